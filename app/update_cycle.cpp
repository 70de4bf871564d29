// The tick handler and the update cycle.
#include <algorithm>
#include <cstdio>
#include <filesystem>

#include "app/form1.h"
#include "base/diagnostics.h"
#include "base/text_util.h"
#include "cycle/alerts.h"
#include "cycle/classify.h"
#include "cycle/cycle_rules.h"
#include "cycle/desktop_texts.h"
#include "cycle/radar_time.h"
#include "cycle/rain_scan.h"
#include "forecast/forecast.h"
#include "imaging/bitmap.h"
#include "imaging/png_to_bmp.h"
#include "settings/program_files.h"

namespace nimbrel {

namespace {

// RAII flag: a tick or click that falls due while a cycle lets events run
// must not start a second cycle over the running one's files.
struct CycleGuard {
    bool& flag;
    explicit CycleGuard(bool& f) : flag(f) { flag = true; }
    ~CycleGuard() { flag = false; }
};

}  // namespace

void Form1::Timer1_Timer() {
    ++cycle.tickCount;
    if (tickStartsCycle(cycle.tickCount, cycle.tickThreshold)) Command1->press();
}

Form1::FetchResult Form1::fetchPng(const std::string& url, const std::string& file) {
    return fetchImage(url, file, Durability::Kept, {});
}

Form1::FetchResult Form1::fetchImage(const std::string& url, const std::string& file,
                                     Durability durability, const std::string& bmp) {
    // The answer goes to a file of its own first and replaces the previous
    // one only when it decodes: an error page or a cut image must never be
    // analysed as the newest rain, nor kept as a base map. When its bitmap is
    // wanted the conversion is the check, so the download is decoded once.
    // Stored means it decoded but the bitmap could not be written (or none
    // was asked for).
    const std::string part = file + ".part";
    FetchResult result = FetchResult::Failed;
    const DownloadResult got = platform_.download(url, part, durability);
    std::error_code ec;
    if (ended_) {
        std::filesystem::remove(part, ec);
        return FetchResult::Ended;
    }
    if (!got.stored()) {
        diagnose(url, got.reasonText());
    } else if (bmp.empty()) {
        const PngCheck check = checkPng(part);
        if (check.ok())
            result = FetchResult::Stored;
        else
            diagnose(url, "not a usable PNG: " + check.reasonText());
    } else {
        const ConvertResult converted = convertPngToBmp(bmp, part);
        if (converted.ok()) {
            result = FetchResult::Converted;
        } else if (converted.status == PngStatus::CannotWrite) {
            result = FetchResult::Stored;
            diagnose(bmp, converted.reasonText());
        } else {
            diagnose(url, "not a usable PNG: " + converted.reasonText());
        }
    }
    if (result != FetchResult::Failed) {
        const ReplaceResult moved = moveIntoPlace(part, file, durability);
        if (!moved.ok()) {
            diagnose(file, moved.reasonText());
            result = FetchResult::Failed;
        }
    }
    std::filesystem::remove(part, ec);
    return result;
}

std::string Form1::soundFile(int kind) const {
    if (cycle.soundLevel < 0 || cycle.soundLevel > 2 || kind < 0 || kind > 2) return {};
    return paths.soundFiles[cycle.soundLevel][kind];
}

namespace {

// The detail image: the first attempt at once, the second after a pause with
// a note that the clock may be wrong, the third after the ring and a longer
// pause.
struct DetailAttempt {
    int pauseMs;
    bool clockNote;
    bool ringFirst;
};
constexpr DetailAttempt kDetailAttempts[] = {
    {0, false, false}, {8000, true, false}, {15000, false, true}};

}  // namespace

void Form1::Command1_Click() {
    if (playingBack_) {
        cycleHeldBack_ = true;
        return;
    }
    if (cycleRunning_) return;
    // Outside the region: nothing at all.
    if (!insideInclusive(regionBounds(area.regions, area.currentRegion), latitude(), longitude()))
        return;
    const ThrottleDecision td = throttleDecision(timeOfDayDays(platform_.now()), cycle.lastRunTime,
                                                 entry.locationAccepted != 0, cycle.tickThreshold);
    cycle.lastRunTime = td.lastRunTime;
    if (td.throttled) {
        cycle.tickThreshold = td.tickThreshold;
        Command1->setCaption(kWaitingCaption);
        return;
    }
    CycleGuard guard(cycleRunning_);
    cycle.tickCount = 0;
    setMousePointer(11);
    const LocationPixel loc = locationPixel(latitude(), longitude(), west(), north(),
                                            area.detailScaleX, area.detailScaleY);

    std::string clockNote;
    std::string commNote;
    // A forecast still under way belongs to the previous cycle.
    dropPendingForecast();
    DateTime requested;
    const FetchResult detail = fetchDetailImage(clockNote, requested);
    if (detail == FetchResult::Ended) return;
    if (detail == FetchResult::Failed) {
        reportLostDetailImage(commNote);
        showForecast(Forecast{ForecastGap::BadFrames});
        if (desktop.onStatusShown) desktop.onStatusShown();
        return;
    }
    const DateTime arrived = platform_.now();
    const std::string stamp = showImageTime(arrived);
    // The conversion was done with the download. A bitmap that could not be
    // written (a full disk) leaves the previous image's pixels in place; they
    // must not pass for the newest.
    const bool converted = detail == FetchResult::Converted;
    if (!fetchTopImage(commNote)) return;
    CycleAnalysis analysis = analyse(converted, loc);
    // The image is the one asked for, whatever minute the clock reads once
    // it has arrived.
    analysis.imageTime = imageDateTime(requested);
    if (analysis.ok) tellTheUser(analysis, clockNote, commNote, stamp);
    if (smallViewDue() && !drawsmall(history.historyFiles[0], 0)) return;
    if (Check2->value() == 0 && Option3->value() == 1) drawdetail();
    setNextInterval(analysis);
    const double later = timeOfDayDays(platform_.now());
    if (historyRefreshDue(history.historyTimes[0], history.historyTimes[1], later,
                          cycle.lastHistoryRun)) {
        cycle.lastHistoryRun = later;
        rotatehistory();
    }
    entry.locationAccepted = 0;
    setMousePointer(0);
    if (desktop.onStatusShown) desktop.onStatusShown();
    // Everything the cycle tells the user has been told; the forecast
    // follows when its past images are in.
    if (analysis.ok) startForecast(std::move(analysis), loc);
}

bool Form1::smallViewDue() const {
    // Not during the location setting nor the playback.
    return Check2->value() == 0 && Option2->value() == 1 && Command4->enabled();
}

Form1::FetchResult Form1::fetchDetailImage(std::string& clockNote, DateTime& requested) {
    requested = platform_.now();
    const std::string url =
        radarImageAddress(paths.serverBase, area.regions.regionKey[area.currentRegion], requested,
                          RadarImage::Detail);
    // Each attempt also converts the image into its bitmap for the scan; a
    // failed attempt leaves both files as they were.
    FetchResult detail = FetchResult::Failed;
    for (const DetailAttempt& a : kDetailAttempts) {
        if (a.clockNote) clockNote = kClockNote;
        if (a.ringFirst) platform_.playSound(soundFile(0));
        if (a.pauseMs > 0 && !wait(a.pauseMs)) return FetchResult::Ended;
        detail = fetchImage(url, paths.programFolder + files::kDetailImage, Durability::Replaceable,
                            paths.programFolder + files::kDetailBitmap);
        if (detail == FetchResult::Ended || !letEventsRun()) return FetchResult::Ended;
        if (detail != FetchResult::Failed) break;
    }
    return detail;
}

void Form1::reportLostDetailImage(std::string& commNote) {
    commNote += kDetailFailedNote;
    Label15->setCaption(kErrorStamp);
    Label2->setCaption(commErrorStatus(platform_.now()));
    Label2->setBackColor(statusRgb(StatusColor::LightYellow));
    platform_.playSound(soundFile(0));
    Text4->setText(addCommErrorToHistory(Text4->text(), commNote, platform_.now()));
    setMousePointer(0);
}

std::string Form1::showImageTime(const DateTime& arrived) {
    const std::string stamp = imageStamp(arrived);
    Command1->setCaption(kManualUpdateCaption);
    setCaption(windowCaption(area.regions.regionName[area.currentRegion], stamp));
    Label15->setCaption(stamp);
    cycle.lastRunTime = timeOfDayDays(arrived);
    history.historyTimes[0] = stampTimeOfDay(stamp);
    return stamp;
}

bool Form1::fetchTopImage(std::string& commNote) {
    // One attempt. When the small view is to be drawn from it, it is
    // converted with the download as well.
    const std::string url =
        radarImageAddress(paths.serverBase, area.regions.regionKey[area.currentRegion],
                          platform_.now(), RadarImage::Top);
    smallBitmapFrom_.clear();
    const FetchResult top =
        fetchImage(url, history.historyFiles[0], Durability::Replaceable,
                   smallViewDue() ? paths.programFolder + files::kTopBitmap : std::string());
    if (top == FetchResult::Ended) return false;
    if (top == FetchResult::Failed) commNote += kTopFailedNote;
    if (top == FetchResult::Converted) smallBitmapFrom_ = history.historyFiles[0];
    return letEventsRun();
}

Form1::CycleAnalysis Form1::analyse(bool converted, const LocationPixel& loc) {
    // A bitmap that cannot be read skips this cycle's analysis; the status
    // shown stays as it was.
    CycleAnalysis a;
    SourceBitmap bmp;
    const std::string bitmap = paths.programFolder + files::kDetailBitmap;
    if (converted) bmp = readSourceBitmap(bitmap);
    if (!converted || !bmp.ok()) {
        diagnose(bitmap, converted ? bmp.reasonText() : "not written; the image is not analysed");
        return a;
    }
    const PixelBlock block{bmp.pixels.data(), bmp.width, bmp.height, bmp.stride};
    a.scan = scanRain(block, loc.px, loc.py, cycle.warnRadii,
                      static_cast<int>(area.regions.regionWidthPx[area.currentRegion][1]),
                      static_cast<int>(area.regions.regionHeightPx[area.currentRegion][1]));
    a.ok = a.scan.error == ScanError::None;
    if (!a.ok) {
        diagnose(bitmap, "cannot be scanned");
        return a;
    }
    a.bitmap = std::move(bmp);
    return a;
}

void Form1::tellTheUser(const CycleAnalysis& a, const std::string& clockNote,
                        const std::string& commNote, const std::string& stamp) {
    Text1->setText(a.scan.picture);
    Label1->setCaption(countTableText(a.scan.counts));
    const ClassRecords classes = classifyRain(a.scan.counts, cycle.prevCounts);
    levels_ = levelsOf(classes);
    const StatusLines lines = statusLines(classes, clockNote);
    Label2->setCaption(lines.caption);
    Label2->setBold(lines.bold);
    const std::string head = headline(classes);
    headline_ = head;
    const DateTime t = platform_.now();
    Text4->setText(updateHistory(Text4->text(), commNote, t, stamp, head));
    if (Check3->value() == 1) appendLog(cycleLogLine(dayText(t), stamp, head));
    const SoundKind kind = chooseSound(cycle.prevLevels, levels_, cycle.soundLevel);
    if (kind != SoundKind::None) platform_.playSound(soundFile(static_cast<int>(kind)));
    // The notification is settled with the forecast's line once it is
    // ready (within the past images' budget), or at the cycle's end
    // without one.
    if (!desktop.notificationsOn) return;
    PendingNotice n;
    n.headline = head;
    for (const ClassRecord& c : classes) n.messages.push_back(c.message);
    n.critical = levels_[kIntense] >= 2;  // near or at the place, not in the far band
    n.soundDue = kind != SoundKind::None;
    n.warning = std::any_of(levels_.begin(), levels_.end(), [](auto l) { return l > 0; });
    noticeDue_ = std::move(n);
}

void Form1::setNextInterval(const CycleAnalysis& a) {
    if (!a.ok) {
        // Nothing was learnt: look again soon, but not on every tick.
        cycle.tickThreshold = std::max<int32_t>(cycle.tickThreshold, 6);
        return;
    }
    cycle.tickThreshold = adaptiveThreshold(levels_, a.scan.counts);
    Label1->setCaption(Label1->caption() + intervalText(cycle.tickThreshold));
    Label2->setCaption(Label2->caption() + coverageNote(a.scan.counts));
    Label2->setBackColor(statusRgb(statusColor(levels_)));
    cycle.prevLevels = levels_;
    cycle.prevCounts = a.scan.counts;
}

namespace {

// Past images for the forecast are fetched side by side, all within this
// time: a slow or stalled service costs the forecast, never the cycle.
constexpr std::chrono::milliseconds kPastImagesBudget{3000};

}  // namespace

void Form1::startForecast(CycleAnalysis&& a, const LocationPixel& loc) {
    StatusSnapshot status;
    status.imageTime = a.imageTime;
    status.region = area.regions.regionKey[area.currentRegion];
    status.lat = latitude();
    status.lon = longitude();
    status.headline = headline_;
    status.statusText = Label2->caption();
    status.statusColour = Label2->backColor().value_or(kButtonFace);
    status.levels = strengthLevels(a.scan.counts);
    if (!desktop.forecasting) {
        status.forecast = Forecast{ForecastGap::TooFewFrames};
        writeStatusJson(status);
        sendNotice("");
        return;
    }
    auto job = std::make_shared<ForecastJob>();
    job->bitmap = std::move(a.bitmap);
    job->status = std::move(status);
    const SourceBitmap& b = job->bitmap;
    job->newest.minute = minuteIndex(a.imageTime);
    job->newest.pixels = {b.pixels.data(), b.width, b.height, b.stride};
    job->newest.levels = job->status.levels;
    job->newest.px = loc.px;
    job->newest.py = loc.py;
    job->newest.radii = cycle.warnRadii;
    pendingForecast_ = job;

    const std::vector<long long> minutes = nowcaster_.minutesToFetch(job->newest.minute);
    std::vector<std::string> urls;
    for (long long minute : minutes) {
        // 45 s past its minute the clock names that minute's image.
        urls.push_back(
            radarImageAddress(paths.serverBase, area.regions.regionKey[area.currentRegion],
                              addSeconds(dateTimeOfMinute(minute), 45), RadarImage::Detail));
    }
    const unsigned generation = nowcaster_.generation();
    platform_.fetchInBackground(
        urls, kPastImagesBudget,
        // The job is the window's: one dropped meanwhile is gone, not kept
        // alive by the transfer.
        [this, alive = std::weak_ptr<int>(life_), weakJob = std::weak_ptr<ForecastJob>(job),
         minutes, urls, generation](std::vector<FetchedBytes> answers) {
            if (alive.expired() || ended_) return;
            // Answers for another region are of no use.
            if (generation == nowcaster_.generation()) {
                for (size_t i = 0; i < minutes.size() && i < answers.size(); ++i) {
                    const std::string& url = urls[i];
                    if (!answers[i].ok()) {
                        nowcaster_.pastFailed(minutes[i]);
                        diagnose(url, answers[i].result.reasonText());
                    } else if (const std::string refused =
                                   nowcaster_.pastArrived(minutes[i], answers[i].bytes);
                               !refused.empty()) {
                        diagnose(url, "past image refused: " + refused);
                    }
                }
            }
            const std::shared_ptr<ForecastJob> current = weakJob.lock();
            if (current && pendingForecast_ == current) finishForecast();
        });
}

void Form1::finishForecast() {
    std::shared_ptr<ForecastJob> job = std::move(pendingForecast_);
    pendingForecast_.reset();
    job->status.forecast = nowcaster_.forecast(job->newest);
    showForecast(job->status.forecast);
    writeStatusJson(job->status);
    sendNotice(forecastLine_);
    if (desktop.onStatusShown) desktop.onStatusShown();
}

void Form1::dropPendingForecast() {
    pendingForecast_.reset();
    sendNotice("");
}

void Form1::sendNotice(const std::string& forecast) {
    if (!noticeDue_) return;
    const PendingNotice n = std::move(*noticeDue_);
    noticeDue_.reset();
    const DesktopNotice d = desktopNotice(n.headline, n.messages, forecast, n.critical);
    switch (noticeStep(shownNotice_, d, n.soundDue, n.warning)) {
        case NoticeStep::Nothing:
            break;
        case NoticeStep::Show:
            platform_.notify(d.summary, d.body, d.critical);
            shownNotice_ = d;
            break;
        case NoticeStep::Close:
            platform_.closeNotice();
            shownNotice_.reset();
            break;
    }
}

void Form1::showForecast(const Forecast& forecast) {
    forecastLine_ = forecastLabelText(forecast);
    lblForecast->setCaption(forecastLine_);
    Label2->widget()->setToolTip(QString::fromStdString(forecastLine_));
}

void Form1::writeStatusJson(const StatusSnapshot& status) {
    const std::string json = statusJson(status);
    // For panels and scripts; a file that cannot be written is skipped.
    const std::string path = paths.programFolder + files::kStatusJson;
    diagnoseFailure(path, replaceFile(path, {{json.data(), json.size()}}, Durability::Replaceable));
}

}  // namespace nimbrel
