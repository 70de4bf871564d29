// Whatever the network, the disk or the user's editor does to the program,
// it keeps running, keeps the files it had, and recovers once the fault is
// gone. Cycles run against the local radar service on loopback with real
// downloads under short time-outs; the service's fault switches spoil
// answers, and forked children run with a read-only folder or a full disk.
#include <fcntl.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <map>

#include "base/text_util.h"
#include "cycle/radar_time.h"
#include "imaging/png_to_bmp.h"
#include "platform/download.h"
#include "service/http_server.h"
#include "service/radar_paths.h"
#include "service/radar_service.h"
#include "settings/settings_file.h"
#include "support/fake/app_fixture.h"
#include "support/fake/delivered_service.h"
#include "support/recorded_diagnostics.h"

using namespace nimbrel;
namespace fs = std::filesystem;

namespace {

// Short enough that a stalled service cannot hold a test for long; the
// service answers from its cache well within it.
constexpr auto kTotalTimeout = std::chrono::seconds(2);
constexpr int kStallSeconds = 4;

const char* const kKeptFiles[] = {"vesk_image.png", "vesk_image_s.png", "vesk_image.bmp",
                                  "vesk.ini"};
const char* const kBaseMapMessage =
    "通信エラーが発生しました　一旦終了し\r\nインターネットとの接続を確認した上で\r\n　再度起動して"
    "下さい　　";

using Snapshot = std::map<std::string, std::string>;

std::string bytesOrMissing(const std::string& path) {
    std::error_code ec;
    if (!fs::is_regular_file(path, ec)) return fs::exists(path, ec) ? "<not a file>" : "<missing>";
    return readFileBytes(path);
}

// Compares file contents without printing megabytes when they differ.
::testing::AssertionResult sameBytes(const std::string& actual, const std::string& expected) {
    if (actual == expected) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << actual.size() << " bytes (" << charLeft(actual, 12)
                                         << "), not the " << expected.size() << " expected";
}

// Every file of the folder by name, with its size and a digest of its bytes.
std::map<std::string, std::string> folderContents(const fs::path& folder) {
    std::map<std::string, std::string> out;
    for (const auto& e : fs::directory_iterator(folder)) {
        std::string bytes = bytesOrMissing(e.path());
        out[e.path().filename()] =
            std::to_string(bytes.size()) + ":" + std::to_string(std::hash<std::string>{}(bytes));
    }
    return out;
}

// Names whose content differs between two snapshots.
std::vector<std::string> changed(const Snapshot& a, const Snapshot& b) {
    std::vector<std::string> out;
    for (const auto& [name, bytes] : a) {
        auto it = b.find(name);
        if (it == b.end() || it->second != bytes) out.push_back(name);
    }
    return out;
}

// Files the program writes end in one of these; anything else left in the
// folder is a temporary file that was not cleaned up.
std::vector<std::string> strayFiles(const fs::path& folder) {
    std::vector<std::string> out;
    for (const auto& e : fs::directory_iterator(folder)) {
        std::string ext = e.path().extension().string();
        if (ext != ".png" && ext != ".bmp" && ext != ".ini" && ext != ".log" &&
            e.path().filename() != "status.json")
            out.push_back(e.path().filename());
    }
    return out;
}

size_t lineCount(const std::string& path) {
    std::string text = bytesOrMissing(path);
    size_t n = 0;
    for (size_t p = text.find("\r\n"); p != std::string::npos; p = text.find("\r\n", p + 2)) ++n;
    return n;
}

// Bytes of every value, with commas, quotes and line breaks among them.
std::string binaryBytes(size_t n) {
    std::string s(n, '\0');
    for (size_t i = 0; i < n; ++i) s[i] = static_cast<char>((i * 37 + 11) & 0xff);
    return s;
}

// The delivered region table with one edit.
std::string areaMapWith(const std::function<void(std::string&)>& edit) {
    std::string t = readFileBytes(std::string(NIMBREL_SOURCE_DIR) + "/data/area_map.ini");
    edit(t);
    return t;
}

bool startsWith(const std::string& text, const std::string& prefix) {
    return text.rfind(prefix, 0) == 0;
}

// What the user must see after the detail image could not be fetched; empty
// when all of it is there. Usable in a forked child, which cannot report
// through the test framework.
std::string detailFailureProblems(const Form1& f) {
    std::string p;
    if (f.ended()) p += "the program ended\n";
    if (f.Label15->caption() != "error") p += "Label15 reads " + f.Label15->caption() + "\n";
    if (!startsWith(f.Label2->caption(), "通信error 時計/net確認\r\nsystem:"))
        p += "Label2 reads " + f.Label2->caption() + "\n";
    if (!startsWith(f.Text4->text(), "通信エラー発生 [DI] "))
        p += "Text4 begins " + charLeft(f.Text4->text(), 30) + "\n";
    return p;
}

std::string recoveredProblems(const Form1& f, const std::string& stamp) {
    std::string p;
    if (f.ended()) p += "the program ended\n";
    if (f.Label15->caption() != stamp)
        p += "Label15 reads " + f.Label15->caption() + ", not " + stamp + "\n";
    if (startsWith(f.Label2->caption(), "通信error"))
        p += "Label2 still shows the communication error\n";
    return p;
}

// Runs work in a forked copy of this process, so that a lowered file size
// limit or an unprivileged user ends with it. The child reports through a
// pipe: empty when all its checks held, "SKIP: why" when it could not set
// up its conditions, otherwise what failed.
std::string runInChild(const std::function<std::string()>& work) {
    int fds[2];
    if (pipe(fds) != 0) return "pipe failed";
    std::fflush(nullptr);
    pid_t pid = fork();
    if (pid < 0) return "fork failed";
    if (pid == 0) {
        close(fds[0]);
        std::string report;
        try {
            report = work();
        } catch (const std::exception& e) {
            report = std::string("exception: ") + e.what();
        }
        for (size_t done = 0; done < report.size();) {
            ssize_t n = write(fds[1], report.data() + done, report.size() - done);
            if (n <= 0) break;
            done += static_cast<size_t>(n);
        }
        _exit(report.empty() ? 0 : 1);
    }
    close(fds[1]);
    std::string report;
    char buf[512];
    for (ssize_t n; (n = read(fds[0], buf, sizeof buf)) != 0;) {
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) break;
        report.append(buf, static_cast<size_t>(n));
    }
    close(fds[0]);
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (WIFSIGNALED(status))
        report += "child killed by signal " + std::to_string(WTERMSIG(status));
    else if (WEXITSTATUS(status) != 0 && report.empty())
        report = "child exited with " + std::to_string(WEXITSTATUS(status));
    return report;
}

}  // namespace

class FaultInjection : public ::testing::Test {
  protected:
    // One service for the whole suite: its cache keeps base maps and recent
    // images rendered, so answers come well within the short time-outs.
    static void SetUpTestSuite() {
        ServiceOptions options;
        options.cachedImages = 64;
        service_ = deliveredRadarService(options).release();
        ASSERT_TRUE(service_);
        const ServiceRegion& kanto = *service_->findRegion("kanto");
        service_->baseMapPng(kanto, ImageKind::Detail);
        service_->baseMapPng(kanto, ImageKind::Small);
    }
    static void TearDownTestSuite() {
        delete service_;
        service_ = nullptr;
    }

    void SetUp() override {
        ASSERT_TRUE(service_);
        service_->setFault({});
        service_->clearRequestLog();
        copyDeliveredTables(dir);
        ASSERT_TRUE(startServer(0));
        writeFileBytes(dir.file("server.ini"), server->baseUrl() + "\r\n");
        writeFileBytes(dir.file("vesk.ini"), tokyoSettings(1));
        platform.clock = {2024, 5, 5, 14, 37, 50};
        platform.httpFallback = [](const std::string& url, const std::string& file) {
            DownloadOptions o;
            o.connectTimeout = std::chrono::seconds(1);
            o.totalTimeout = kTotalTimeout;
            return downloadToFile(url, file, o).stored();
        };
    }
    void TearDown() override {
        form.reset();
        if (server) server->stop();
        service_->setFault({});
    }

    bool startServer(int port) {
        if (server) server->stop();
        server = std::make_unique<RadarHttpServer>(*service_);
        ServerStart s = server->start(port);
        if (s.port <= 0) ADD_FAILURE() << s.error;
        return s.port > 0;
    }
    const ServiceRegion& kanto() const { return *service_->findRegion("kanto"); }
    // Moves the clock to second 50 of the next minute (the minute the cycle
    // then asks for) and renders that minute's images ahead.
    long long nextMinute() {
        long long m = minuteIndex(platform.clock) + 1;
        platform.clock = addSeconds(dateTimeOfMinute(m), 50);
        service_->radarPng(kanto(), ImageKind::Detail, m);
        service_->radarPng(kanto(), ImageKind::Small, m);
        return m;
    }
    void startUp() {
        nextMinute();
        form = std::make_unique<Form1>(platform, dir.folder());
        form->Form_Load();
        // The event loop then brings in the forecast's past images.
        platform.answerFetches();
    }
    // One cycle at the next minute; the real time it took, in seconds.
    double timedCycle() {
        nextMinute();
        auto t0 = std::chrono::steady_clock::now();
        form->Command1->press();
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    }
    Snapshot snapshot() const {
        Snapshot s;
        for (const char* f : kKeptFiles) s[f] = bytesOrMissing(dir.file(f));
        return s;
    }
    std::string served(ImageKind kind, long long minute) const {
        return *service_->radarPng(kanto(), kind, minute);
    }
    int requestsFor(const std::string& part) const {
        int n = 0;
        for (const std::string& line : service_->requestLog())
            if (line.find(part) != std::string::npos) ++n;
        return n;
    }

    static RadarService* service_;
    TempDir dir;
    FakePlatform platform;
    RecordedDiagnostics diagnostics;
    std::unique_ptr<RadarHttpServer> server;
    std::unique_ptr<Form1> form;
};

RadarService* FaultInjection::service_ = nullptr;

// --- spoilt answers -------------------------------------------------------

struct ImageFault {
    const char* name;
    FaultMode mode;
    bool detail;  // the detail image, otherwise the top image
};

void PrintTo(const ImageFault& f, std::ostream* os) {
    *os << f.name;
}

class ImageFaults : public FaultInjection, public ::testing::WithParamInterface<ImageFault> {};

TEST_P(ImageFaults, TheCycleReportsKeepsThePreviousImagesAndRecovers) {
    const ImageFault& f = GetParam();
    startUp();
    ASSERT_FALSE(form->ended());
    ASSERT_NE(form->Label15->caption(), "error");
    const Snapshot before = snapshot();
    const std::string log = dir.file("2405.log");
    const size_t logLines = lineCount(log);
    service_->clearRequestLog();
    service_->setFault(
        {f.mode, kMaxFaultCount, kStallSeconds, f.detail ? "_detail.png" : "_top.png"});

    const long long minute = minuteIndex(platform.clock) + 1;
    const std::string stamp = imageStamp(addSeconds(dateTimeOfMinute(minute), 50));
    const double took = timedCycle();

    // A stalled answer is given up at the time-out, on every attempt; the
    // waits between attempts are the fake's and cost nothing.
    const int attempts = f.detail ? 3 : 1;
    const double limit = attempts * std::chrono::duration<double>(kTotalTimeout).count();
    if (f.mode == FaultMode::Stall) {
        EXPECT_GE(took, 0.75 * limit);
    }
    EXPECT_LT(took, limit + 3.0);
    EXPECT_EQ(requestsFor(f.detail ? "_detail.png" : "_top.png"), attempts);
    EXPECT_EQ(strayFiles(dir.path()), std::vector<std::string>{});
    if (f.detail) {
        EXPECT_EQ(detailFailureProblems(*form), "");
        EXPECT_EQ(changed(before, snapshot()), std::vector<std::string>{});
        EXPECT_EQ(lineCount(log), logLines);  // the cycle ended before its log line
    } else {
        EXPECT_EQ(recoveredProblems(*form, stamp), "");
        auto lines = splitCrLf(form->Text4->text());
        bool noted = false;
        for (size_t i = 0; i < lines.size() && i < 2; ++i)
            noted = noted || startsWith(lines[i], "通信エラー発生 [TI] ");
        EXPECT_TRUE(noted) << form->Text4->text();
        EXPECT_TRUE(
            sameBytes(bytesOrMissing(dir.file("vesk_image_s.png")), before.at("vesk_image_s.png")));
        EXPECT_TRUE(sameBytes(bytesOrMissing(dir.file("vesk_image.png")),
                              served(ImageKind::Detail, minute)));
        EXPECT_EQ(bytesOrMissing(dir.file("vesk.ini")), before.at("vesk.ini"));
        EXPECT_EQ(lineCount(log), logLines + 1);
    }

    service_->setFault({});
    const long long next = minuteIndex(platform.clock) + 1;
    timedCycle();
    EXPECT_EQ(recoveredProblems(*form, imageStamp(platform.clock)), "");
    EXPECT_FALSE(startsWith(form->Text4->text(), "通信エラー発生"));
    EXPECT_TRUE(
        sameBytes(bytesOrMissing(dir.file("vesk_image.png")), served(ImageKind::Detail, next)));
    EXPECT_TRUE(
        sameBytes(bytesOrMissing(dir.file("vesk_image_s.png")), served(ImageKind::Small, next)));
}

INSTANTIATE_TEST_SUITE_P(
    Answers, ImageFaults,
    ::testing::Values(ImageFault{"DetailNotFound", FaultMode::Fail, true},
                      ImageFault{"DetailServerError", FaultMode::Error500, true},
                      ImageFault{"DetailStalled", FaultMode::Stall, true},
                      ImageFault{"DetailTruncated", FaultMode::Truncated, true},
                      ImageFault{"DetailNotAPng", FaultMode::NotPng, true},
                      ImageFault{"DetailHuge", FaultMode::Huge, true},
                      ImageFault{"TopNotFound", FaultMode::Fail, false},
                      ImageFault{"TopServerError", FaultMode::Error500, false},
                      ImageFault{"TopStalled", FaultMode::Stall, false},
                      ImageFault{"TopTruncated", FaultMode::Truncated, false},
                      ImageFault{"TopNotAPng", FaultMode::NotPng, false},
                      ImageFault{"TopHuge", FaultMode::Huge, false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(FaultInjection, ServiceDownIsACommunicationErrorUntilItIsBack) {
    startUp();
    ASSERT_NE(form->Label15->caption(), "error");
    const Snapshot before = snapshot();
    const int port = server->port();
    server->stop();

    const double took = timedCycle();
    EXPECT_LT(took, 3.0);  // refused at once; the retry waits are the fake's
    EXPECT_EQ(detailFailureProblems(*form), "");
    EXPECT_EQ(platform.sleeps, (std::vector<int>{8000, 15000}));
    EXPECT_EQ(changed(before, snapshot()), std::vector<std::string>{});
    EXPECT_EQ(strayFiles(dir.path()), std::vector<std::string>{});

    ASSERT_TRUE(startServer(port));
    const long long next = minuteIndex(platform.clock) + 1;
    timedCycle();
    EXPECT_EQ(recoveredProblems(*form, imageStamp(platform.clock)), "");
    EXPECT_TRUE(
        sameBytes(bytesOrMissing(dir.file("vesk_image.png")), served(ImageKind::Detail, next)));
}

// --- past images for the forecast -----------------------------------------

struct PastFault {
    const char* name;
    FaultMode mode;
    const char* note;  // the forecast's line
};

void PrintTo(const PastFault& f, std::ostream* os) {
    *os << f.name;
}

class PastImageFaults : public FaultInjection, public ::testing::WithParamInterface<PastFault> {};

TEST_P(PastImageFaults, TheForecastSaysWhyTheCycleIsUntouchedAndNothingIsAskedAgainSoon) {
    const PastFault& f = GetParam();
    // Into memory, with the test's short time-outs.
    platform.fetchFallback = [](const std::string& url) -> std::optional<std::string> {
        DownloadOptions o;
        o.connectTimeout = std::chrono::seconds(1);
        o.totalTimeout = kTotalTimeout;
        FetchedBytes b = fetchToMemory(url, o);
        if (!b.ok()) return std::nullopt;
        return std::move(b.bytes);
    };
    nextMinute();
    form = std::make_unique<Form1>(platform, dir.folder());
    form->Form_Load();
    const std::string status = form->Label2->caption();
    const Snapshot cycle = snapshot();
    // The cycle has told everything; now its past images are spoilt.
    service_->clearRequestLog();
    service_->setFault({f.mode, kMaxFaultCount, kStallSeconds, "_detail.png"});
    platform.answerFetches();
    EXPECT_EQ(requestsFor("_detail.png"), 3);
    EXPECT_EQ(form->forecastLine(), f.note);
    EXPECT_EQ(form->Label2->caption(), status);
    // Only status.json follows the forecast.
    std::vector<std::string> changes = changed(cycle, snapshot());
    std::erase(changes, std::string("status.json"));
    EXPECT_EQ(changes, std::vector<std::string>{});
    EXPECT_EQ(strayFiles(dir.path()), std::vector<std::string>{});

    // The next cycles ask for their newest image only.
    service_->setFault({});
    for (int i = 0; i < Nowcaster::kRetryAfterCycles; ++i) {
        service_->clearRequestLog();
        timedCycle();
        platform.answerFetches();
        EXPECT_EQ(requestsFor("_detail.png"), 1) << i;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Answers, PastImageFaults,
    ::testing::Values(PastFault{"NotFound", FaultMode::Fail, "予測なし: 画像が足りません"},
                      PastFault{"Stalled", FaultMode::Stall, "予測なし: 画像が足りません"},
                      PastFault{"Truncated", FaultMode::Truncated, "予測なし: 画像を読めません"},
                      PastFault{"NotAPng", FaultMode::NotPng, "予測なし: 画像を読めません"},
                      PastFault{"Huge", FaultMode::Huge, "予測なし: 画像を読めません"}),
    [](const auto& info) { return std::string(info.param.name); });

// --- base maps at start-up ------------------------------------------------

struct BaseMapFault {
    const char* name;
    bool serviceDown;
    FaultMode mode;  // when the service is up
};

void PrintTo(const BaseMapFault& f, std::ostream* os) {
    *os << f.name;
}

class BaseMapFaults : public FaultInjection, public ::testing::WithParamInterface<BaseMapFault> {};

TEST_P(BaseMapFaults, StartUpTellsTheTimeGoesOnAndALaterStartUpFetchesThem) {
    const BaseMapFault& f = GetParam();
    const int port = server->port();
    if (f.serviceDown)
        server->stop();
    else
        service_->setFault({f.mode, kMaxFaultCount, kStallSeconds, "/xbandradar/map/"});
    const Snapshot before = snapshot();
    // The messages come before the first cycle, whose failed attempts move
    // the fake clock on.
    const DateTime at = addSeconds(dateTimeOfMinute(minuteIndex(platform.clock) + 1), 50);

    startUp();
    ASSERT_FALSE(form->ended());
    const std::string expected = kBaseMapMessage + timeText(at);
    ASSERT_EQ(platform.messages.size(), 2u);
    for (const auto& m : platform.messages) {
        EXPECT_EQ(m.text, expected);
        EXPECT_EQ(m.buttons, MsgButtons::Ok);
    }
    // Nothing that could pass for a base map was kept, so it is fetched again.
    EXPECT_FALSE(fs::exists(dir.file("kanto.png")));
    EXPECT_FALSE(fs::exists(dir.file("kantos.png")));
    EXPECT_EQ(strayFiles(dir.path()), std::vector<std::string>{});
    EXPECT_EQ(bytesOrMissing(dir.file("vesk.ini")), before.at("vesk.ini"));
    // The first cycle ran: without the service it failed like any other.
    if (f.serviceDown) {
        EXPECT_EQ(detailFailureProblems(*form), "");
    } else {
        EXPECT_EQ(recoveredProblems(*form, imageStamp(platform.clock)), "");
    }

    form.reset();
    if (f.serviceDown) {
        ASSERT_TRUE(startServer(port));
    }
    service_->setFault({});
    platform.messages.clear();
    diagnostics.lines.clear();
    startUp();
    ASSERT_FALSE(form->ended());
    EXPECT_TRUE(platform.messages.empty());
    EXPECT_TRUE(checkPng(dir.file("kanto.png")).ok());
    EXPECT_TRUE(checkPng(dir.file("kantos.png")).ok());
    EXPECT_TRUE(fs::exists(dir.file("basemap.bmp")));
    EXPECT_TRUE(fs::exists(dir.file("basemaps.bmp")));
    EXPECT_EQ(recoveredProblems(*form, imageStamp(platform.clock)), "");
    EXPECT_EQ(diagnostics.about(".bmp"), std::vector<std::string>{});
}

INSTANTIATE_TEST_SUITE_P(StartUp, BaseMapFaults,
                         ::testing::Values(BaseMapFault{"ServiceDown", true, FaultMode::None},
                                           BaseMapFault{"NotFound", false, FaultMode::Fail},
                                           BaseMapFault{"Truncated", false, FaultMode::Truncated},
                                           BaseMapFault{"NotAPng", false, FaultMode::NotPng}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(FaultInjection, ADamagedBaseMapOnDiskIsFetchedAgain) {
    // As a cut copy or a crash while the file was written would leave it.
    std::string whole = *service_->baseMapPng(kanto(), ImageKind::Detail);
    writeFileBytes(dir.file("kanto.png"), whole.substr(0, whole.size() / 3));
    writeFileBytes(dir.file("kantos.png"), "");
    startUp();
    ASSERT_FALSE(form->ended());
    EXPECT_TRUE(platform.messages.empty());
    EXPECT_TRUE(sameBytes(bytesOrMissing(dir.file("kanto.png")), whole));
    EXPECT_TRUE(sameBytes(bytesOrMissing(dir.file("kantos.png")),
                          *service_->baseMapPng(kanto(), ImageKind::Small)));
    EXPECT_EQ(requestsFor("/xbandradar/map/"), 2);

    // Whole maps on disk are not asked for again.
    form.reset();
    service_->clearRequestLog();
    startUp();
    EXPECT_EQ(requestsFor("/xbandradar/map/"), 0);
}

// --- the program folder cannot be written -----------------------------------

TEST_F(FaultInjection, AReadOnlyFolderLosesNothingAndTheNextCycleRecovers) {
    // Root ignores permission bits, so the child gives up root for the
    // unprivileged "nobody" before it runs; the folder stays root's, 0555.
    startUp();
    ASSERT_NE(form->Label15->caption(), "error");
    const Snapshot before = snapshot();
    const size_t logLines = lineCount(dir.file("2405.log"));
    fs::permissions(dir.path(), fs::perms::owner_read | fs::perms::owner_exec |
                                    fs::perms::group_read | fs::perms::group_exec |
                                    fs::perms::others_read | fs::perms::others_exec);
    for (const auto& e : fs::directory_iterator(dir.path()))
        fs::permissions(e.path(),
                        fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);

    const std::string folder = dir.folder();
    // The child touches no lock of this process's service threads: the
    // minute's images are rendered here, before the fork.
    nextMinute();
    std::string report = runInChild([&]() -> std::string {
        if (geteuid() == 0 &&
            (setgroups(0, nullptr) != 0 || setgid(65534) != 0 || setuid(65534) != 0))
            return "SKIP: cannot give up root";
        int probe = open((folder + "probe").c_str(), O_CREAT | O_WRONLY, 0644);
        if (probe >= 0) return "SKIP: the folder is still writable";
        std::string problems;
        form->Command1->press();
        problems += detailFailureProblems(*form);
        // Exit writes the settings and a log line; both fail silently.
        form->Command2->press();
        if (!form->ended()) problems += "exit did not end the program\n";
        return problems;
    });
    fs::permissions(dir.path(), fs::perms::owner_all);
    for (const auto& e : fs::directory_iterator(dir.path()))
        fs::permissions(e.path(), fs::perms::owner_read | fs::perms::owner_write,
                        fs::perm_options::add);
    if (startsWith(report, "SKIP: ")) GTEST_SKIP() << report.substr(6);
    EXPECT_EQ(report, "");
    EXPECT_EQ(changed(before, snapshot()), std::vector<std::string>{});
    EXPECT_EQ(lineCount(dir.file("2405.log")), logLines);
    EXPECT_EQ(strayFiles(dir.path()), std::vector<std::string>{});

    // This process's window never saw the child's cycle.
    const long long next = minuteIndex(platform.clock) + 1;
    timedCycle();
    EXPECT_EQ(recoveredProblems(*form, imageStamp(platform.clock)), "");
    EXPECT_TRUE(
        sameBytes(bytesOrMissing(dir.file("vesk_image.png")), served(ImageKind::Detail, next)));
}

// --- the disk is full -------------------------------------------------------

struct DiskFull {
    const char* name;
    bool imagesFit;  // the limit lets the downloads through but not the bitmaps
};

void PrintTo(const DiskFull& f, std::ostream* os) {
    *os << f.name;
}

class DiskFullFaults : public FaultInjection, public ::testing::WithParamInterface<DiskFull> {};

TEST_P(DiskFullFaults, NothingIsCutShortAndTheNextCycleRecovers) {
    const DiskFull& f = GetParam();
    startUp();
    ASSERT_NE(form->Label15->caption(), "error");
    // A small file size limit stands in for a full disk: writes past it fail
    // (EFBIG with SIGXFSZ ignored) as they would with ENOSPC.
    const long long minute = minuteIndex(platform.clock) + 1;
    rlim_t limit = 16;
    if (f.imagesFit) {
        size_t largest = std::max({served(ImageKind::Detail, minute).size(),
                                   served(ImageKind::Small, minute).size(),
                                   bytesOrMissing(dir.file("2405.log")).size()});
        limit = largest + 4096;
        ASSERT_LT(limit, fs::file_size(dir.file("vesk_image.bmp")) / 4)
            << "the images are too large for this case";
    }
    form->Label2->setCaption("before");
    const Snapshot before = snapshot();
    const std::string detailBefore = bytesOrMissing(dir.file("vesk_detail.bmp"));
    const size_t logLines = lineCount(dir.file("2405.log"));

    nextMinute();
    std::string report = runInChild([&]() -> std::string {
        signal(SIGXFSZ, SIG_IGN);
        struct rlimit rl {
            limit, limit
        };
        if (setrlimit(RLIMIT_FSIZE, &rl) != 0) return "SKIP: setrlimit failed";
        std::string problems;
        form->Command1->press();
        if (f.imagesFit) {
            // The image arrived but could not be converted: its time is shown,
            // the stale bitmap is not analysed as if it were new.
            problems += recoveredProblems(*form, imageStamp(platform.clock));
            if (form->Label2->caption() != "before")
                problems += "the status was rebuilt from the previous image\n";
        } else {
            problems += detailFailureProblems(*form);
        }
        form->Command2->press();
        if (!form->ended()) problems += "exit did not end the program\n";
        return problems;
    });
    if (startsWith(report, "SKIP: ")) GTEST_SKIP() << report.substr(6);
    EXPECT_EQ(report, "");
    Snapshot after = snapshot();
    EXPECT_TRUE(sameBytes(after.at("vesk_image.bmp"), before.at("vesk_image.bmp")));
    EXPECT_TRUE(sameBytes(bytesOrMissing(dir.file("vesk_detail.bmp")), detailBefore));
    EXPECT_EQ(strayFiles(dir.path()), std::vector<std::string>{});
    if (f.imagesFit) {
        EXPECT_TRUE(sameBytes(after.at("vesk_image.png"), served(ImageKind::Detail, minute)));
        EXPECT_TRUE(sameBytes(after.at("vesk_image_s.png"), served(ImageKind::Small, minute)));
        // Settings and the exit line fit; the cycle wrote no line of its own.
        EXPECT_EQ(readSettings(dir.file("vesk.ini")).status, SettingsStatus::Complete);
        EXPECT_EQ(lineCount(dir.file("2405.log")), logLines + 1);
    } else {
        EXPECT_TRUE(sameBytes(after.at("vesk_image.png"), before.at("vesk_image.png")));
        EXPECT_TRUE(sameBytes(after.at("vesk_image_s.png"), before.at("vesk_image_s.png")));
        EXPECT_EQ(after.at("vesk.ini"), before.at("vesk.ini"));
        EXPECT_EQ(lineCount(dir.file("2405.log")), logLines);
    }

    const long long next = minuteIndex(platform.clock) + 1;
    timedCycle();
    EXPECT_EQ(recoveredProblems(*form, imageStamp(platform.clock)), "");
    EXPECT_TRUE(
        sameBytes(bytesOrMissing(dir.file("vesk_image.png")), served(ImageKind::Detail, next)));
    EXPECT_NE(form->Label2->caption(), "before");
}

INSTANTIATE_TEST_SUITE_P(Writes, DiskFullFaults,
                         ::testing::Values(DiskFull{"NothingFits", false},
                                           DiskFull{"ImagesFitBitmapsDoNot", true}),
                         [](const auto& info) { return std::string(info.param.name); });

// --- files the user edits by hand -------------------------------------------

struct DamagedSettings {
    const char* name;
    std::string bytes;  // "<dir>": a folder in the file's place
    bool locationKept;  // the location was read, so the first cycle runs
};

void PrintTo(const DamagedSettings& f, std::ostream* os) {
    *os << f.name;
}

class DamagedSettingsFiles : public FaultInjection,
                             public ::testing::WithParamInterface<DamagedSettings> {};

TEST_P(DamagedSettingsFiles, StartUpGoesOnAndOnlyTheExitRewritesTheFile) {
    const DamagedSettings& f = GetParam();
    const std::string ini = dir.file("vesk.ini");
    fs::remove(ini);
    if (f.bytes == "<dir>")
        fs::create_directory(ini);
    else
        writeFileBytes(ini, f.bytes);
    const std::string before = bytesOrMissing(ini);

    startUp();
    ASSERT_FALSE(form->ended());
    EXPECT_TRUE(platform.messages.empty());
    if (f.locationKept) {
        EXPECT_EQ(form->Label3->caption().substr(0, 7), "35.6895");
        EXPECT_EQ(recoveredProblems(*form, imageStamp(platform.clock)), "");
    } else {
        EXPECT_EQ(form->Label2->caption(), "動作地点を設定して下さい");
        EXPECT_EQ(form->Check2->value(), 1);
    }
    EXPECT_EQ(form->area.currentRegion, 6);
    timedCycle();  // a cycle (or, without a location, its silent refusal) leaves it alone
    EXPECT_TRUE(sameBytes(bytesOrMissing(ini), before));

    form->Command2->press();
    EXPECT_TRUE(form->ended());
    EXPECT_EQ(strayFiles(dir.path()), std::vector<std::string>{});
    if (f.bytes == "<dir>") {
        EXPECT_TRUE(fs::is_directory(ini));  // replaced by nothing, and nothing lost
    } else {
        SettingsReadResult back = readSettings(ini);
        EXPECT_EQ(back.status, SettingsStatus::Complete);
        EXPECT_EQ(back.record.region, 6);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Settings, DamagedSettingsFiles,
    ::testing::Values(DamagedSettings{"Garbage", "this is not a settings file\r\n", false},
                      DamagedSettings{"Empty", "", false},
                      DamagedSettings{"CutInsideLine1", tokyoSettings(1).substr(0, 20), false},
                      DamagedSettings{"CutInsideLine2", tokyoSettings(1).substr(0, 60), true},
                      DamagedSettings{"OnlyLine1",
                                      tokyoSettings(1).substr(0, tokyoSettings(1).find("\r\n") + 2),
                                      true},
                      DamagedSettings{"Binary", binaryBytes(4096), false},
                      DamagedSettings{"NulBytes", std::string(4096, '\0'), false},
                      DamagedSettings{"BinaryInsideTheLatitude",
                                      std::string("6,\"35.6895\0\xff\xfe\x01", 14) +
                                          "\",\"139.6917\",840,615,0,0,1,0\r\n",
                                      true},
                      DamagedSettings{"OverTheSizeLimit",
                                      tokyoSettings(1) + std::string(kSettingsMaxBytes, ' '),
                                      false},
                      DamagedSettings{"AFolder", "<dir>", false}),
    [](const auto& info) { return std::string(info.param.name); });

struct DamagedRegionTable {
    const char* name;
    std::string bytes;  // "<dir>": a folder; "<none>": no file
};

void PrintTo(const DamagedRegionTable& f, std::ostream* os) {
    *os << f.name;
}

class DamagedRegionTables : public FaultInjection,
                            public ::testing::WithParamInterface<DamagedRegionTable> {};

TEST_P(DamagedRegionTables, TheProgramEndsWithAMessageAndWritesNothing) {
    const DamagedRegionTable& f = GetParam();
    const std::string table = dir.file("area_map.ini");
    fs::remove(table);
    if (f.bytes == "<dir>")
        fs::create_directory(table);
    else if (f.bytes != "<none>")
        writeFileBytes(table, f.bytes);
    const auto files = folderContents(dir.path());

    startUp();
    EXPECT_TRUE(form->ended());
    ASSERT_EQ(platform.messages.size(), 1u);
    EXPECT_FALSE(platform.messages[0].text.empty());
    EXPECT_EQ(platform.messages[0].title, "nimbrel");
    EXPECT_TRUE(platform.downloadedUrls.empty());
    EXPECT_EQ(folderContents(dir.path()), files);
}

INSTANTIATE_TEST_SUITE_P(
    RegionTable, DamagedRegionTables,
    ::testing::Values(DamagedRegionTable{"Missing", "<none>"},
                      DamagedRegionTable{"AFolder", "<dir>"}, DamagedRegionTable{"Empty", ""},
                      DamagedRegionTable{"Garbage", "garbage\r\n"},
                      DamagedRegionTable{"Binary", binaryBytes(2000)},
                      DamagedRegionTable{
                          "CutInHalf", areaMapWith([](std::string& t) { t.resize(t.size() / 2); })},
                      DamagedRegionTable{"LastRecordMissing", areaMapWith([](std::string& t) {
                                             t.resize(t.rfind("south"));
                                         })},
                      DamagedRegionTable{"KeyLeavingTheFolder", areaMapWith([](std::string& t) {
                                             t.replace(t.find("kanto"), 5, "../../etc");
                                         })},
                      DamagedRegionTable{"NumberThatIsNot", areaMapWith([](std::string& t) {
                                             t.replace(t.find(",760,"), 5, ",7x0,");
                                         })},
                      DamagedRegionTable{"OverTheSizeLimit", areaMapWith([](std::string& t) {
                                             t += std::string(kRegionTableMaxBytes, ' ');
                                         })}),
    [](const auto& info) { return std::string(info.param.name); });

struct DamagedCityList {
    const char* name;
    std::string bytes;  // "<dir>": a folder; "<none>": no file
    std::vector<std::string> items;
};

void PrintTo(const DamagedCityList& f, std::ostream* os) {
    *os << f.name;
}

class DamagedCityLists : public FaultInjection,
                         public ::testing::WithParamInterface<DamagedCityList> {};

TEST_P(DamagedCityLists, TheListHoldsWhatCouldBeReadAndStartUpGoesOn) {
    const DamagedCityList& f = GetParam();
    const std::string cities = dir.file("toshi.ini");
    fs::remove(cities);
    if (f.bytes == "<dir>")
        fs::create_directory(cities);
    else if (f.bytes != "<none>")
        writeFileBytes(cities, f.bytes);

    startUp();
    ASSERT_FALSE(form->ended());
    EXPECT_TRUE(platform.messages.empty());
    EXPECT_EQ(recoveredProblems(*form, imageStamp(platform.clock)), "");
    EXPECT_EQ(form->Combo2->text(), "都市名 選択");
    std::vector<std::string> items;
    for (int i = 0; i < form->Combo2->itemCount(); ++i) items.push_back(form->Combo2->item(i));
    EXPECT_EQ(items, f.items);
    EXPECT_EQ(form->area.listedCities, static_cast<int>(f.items.size()));
}

const char* const kTwoCities = "東京,35.6895,139.6917\r\n横浜,35.4437,139.6380\r\n";

INSTANTIATE_TEST_SUITE_P(
    CityList, DamagedCityLists,
    ::testing::Values(
        DamagedCityList{"Missing", "<none>", {}}, DamagedCityList{"AFolder", "<dir>", {}},
        DamagedCityList{"Empty", "", {}}, DamagedCityList{"Binary", binaryBytes(3000), {}},
        DamagedCityList{"Complete", kTwoCities, {" 1:東京", " 2:横浜"}},
        DamagedCityList{
            "CutInsideARecord", std::string(kTwoCities) + "千葉,35.60", {" 1:東京", " 2:横浜"}},
        DamagedCityList{"UnclosedQuote",
                        std::string(kTwoCities) + "\"千葉,35.6074,140.1065\r\n",
                        {" 1:東京", " 2:横浜"}},
        DamagedCityList{"OtherRegionsOnly", "札幌市,43.0621,141.3544\r\n", {}},
        DamagedCityList{
            "OverTheSizeLimit", std::string(kTwoCities) + std::string(kCityFileMaxBytes, ','), {}}),
    [](const auto& info) { return std::string(info.param.name); });
