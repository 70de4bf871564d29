// Whole update cycles of the real window against the local radar service on
// loopback: start-up to the window shown, cycle times over the approach of
// the demonstration band in each view, and memory over many cycles.
//
// Downloads are real (libcurl over 127.0.0.1); waits and sounds are not: the
// fake platform records them and moves its clock instead. Each minute's
// images are rendered by the service before the cycle is timed, so the
// figures are the program's work and the loopback transfer, not the
// service's drawing.
#include <malloc.h>
#include <time.h>

#include <QApplication>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/controls.h"
#include "app/form1.h"
#include "bench/bench_support.h"
#include "cycle/radar_time.h"
#include "platform/download.h"
#include "service/http_server.h"
#include "service/radar_paths.h"
#include "service/radar_service.h"
#include "support/fake/fake_platform.h"
#include "support/settings_text.h"
#include "support/temp_dir.h"

using namespace nimbrel;
using namespace nimbrel::bench;

namespace {

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point t0) {
    return std::chrono::duration<double>(Clock::now() - t0).count();
}

double threadCpuSeconds() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

struct Options {
    int startups = 15;
    int cyclesPerView = 60;  // two periods of the demonstration band
    int memoryCycles = 200;
};

bool parseOptions(int argc, char** argv, Options& o) {
    for (int i = 1; i < argc; ++i) {
        int* target = nullptr;
        if (std::strcmp(argv[i], "--startups") == 0) target = &o.startups;
        if (std::strcmp(argv[i], "--cycles") == 0) target = &o.cyclesPerView;
        if (std::strcmp(argv[i], "--memory-cycles") == 0) target = &o.memoryCycles;
        if (!target || i + 1 >= argc) return false;
        char* end = nullptr;
        const long v = std::strtol(argv[++i], &end, 10);
        if (*end != '\0' || v < 1 || v > 100000) return false;
        *target = static_cast<int>(v);
    }
    return true;
}

// The program folder, the service and the fake platform around one Form1.
class Bench {
  public:
    bool setUp(std::string& error) {
        std::vector<ServiceRegion> regions = deliveredRegions(error);
        if (regions.empty()) return false;
        region_ = regions[kBenchRegion];
        ServiceOptions options;
        options.noDelay = true;
        options.cities = readMapCities(dataFile("toshi.ini"));
        // Enough for every minute a run looks at, so a prepared image is
        // never dropped before its cycle asks for it.
        options.cachedImages = 8;
        service_ = std::make_unique<RadarService>(regions, options);
        server_ = std::make_unique<RadarHttpServer>(*service_);
        const ServerStart started = server_->start(0);
        if (started.port < 0) {
            error = "the radar service did not start: " + started.error;
            return false;
        }
        std::error_code ec;
        for (const char* name : {"area_map.ini", "toshi.ini"}) {
            std::filesystem::copy_file(dataFile(name), dir_.file(name), ec);
            if (ec) {
                error = std::string(name) + ": " + ec.message();
                return false;
            }
        }
        // Region 6 at Tokyo, the log on, loud sounds (recorded, not played).
        if (!writeBytes(dir_.file("vesk.ini"), tokyoSettings(1)) ||
            !writeBytes(dir_.file("server.ini"), server_->baseUrl() + "\r\n")) {
            error = "cannot write into " + dir_.folder();
            return false;
        }
        platform.httpFallback = [this](const std::string& url, const std::string& file) {
            const Clock::time_point t0 = Clock::now();
            DownloadOptions options;
            options.syncToDisk = platform.lastDurability == Durability::Kept;
            const bool stored = downloadToFile(url, file, options).stored();
            downloadSeconds += secondsSince(t0);
            return stored;
        };
        // Past images for the forecast come into memory, as the real
        // platform fetches them.
        platform.fetchFallback = [](const std::string& url) -> std::optional<std::string> {
            FetchedBytes f = fetchToMemory(url);
            if (!f.ok()) return std::nullopt;
            return std::move(f.bytes);
        };
        // They are answered when the benchmark says, not in the middle of
        // what is being timed: the real platform fetches them beside the
        // window, which does not wait for them.
        platform.holdFetches = true;
        platform.onDoEvents = [] { QCoreApplication::processEvents(); };
        platform.clock = dateTimeOfMinute(approachStartMinute());
        // From 40 s past the minute the cycle asks for that minute's image.
        platform.clock.second = 45;
        return true;
    }

    // Renders the images the next cycle will ask for.
    void prepareMinute() {
        for (RadarImage kind : {RadarImage::Detail, RadarImage::Top}) {
            (void)service_->get(radarImageAddress("", region_.key, platform.clock, kind));
        }
    }
    void nextMinute() { platform.advanceSeconds(60); }
    // The fake platform and the service keep a record of every call; it is
    // counted and dropped after each cycle so that it does not show as the
    // program's memory.
    void forgetRecords() {
        sounds += platform.sounds.size();
        waits += platform.sleeps.size();
        platform.downloadedUrls.clear();
        platform.downloadedFiles.clear();
        platform.sounds.clear();
        platform.sleeps.clear();
        service_->clearRequestLog();
    }
    size_t sounds = 0;
    size_t waits = 0;
    // Wall time spent in downloads (libcurl on loopback, writing and syncing
    // the file) since it was last reset.
    double downloadSeconds = 0;

    std::unique_ptr<Form1> newForm() { return std::make_unique<Form1>(platform, dir_.folder()); }
    std::string folder() const { return dir_.folder(); }

    FakePlatform platform;

  private:
    TempDir dir_{"nimbrel-cycle"};
    ServiceRegion region_;
    std::unique_ptr<RadarService> service_;
    std::unique_ptr<RadarHttpServer> server_;
};

void printStatsRow(const char* what, const Stats& s, double scale, const char* unit) {
    std::printf("%-44s %5zu %9.2f %9.2f %9.2f %9.2f %s\n", what, s.count, s.median * scale,
                s.p90 * scale, s.worst * scale, s.best * scale, unit);
}

void printStatsHead() {
    std::printf("%-44s %5s %9s %9s %9s %9s\n", "", "n", "median", "p90", "worst", "best");
}

struct StartupFigures {
    double first = 0;
    std::vector<double> total, construct, load, show;
    int failed = 0;
};

// Form1 built, Form_Load run (with its first cycle) and the window shown and
// painted once.
StartupFigures measureStartups(Bench& b, int runs) {
    StartupFigures f;
    for (int run = 0; run <= runs; ++run) {
        b.prepareMinute();
        const size_t downloads = b.platform.downloadedUrls.size();
        const Clock::time_point t0 = Clock::now();
        std::unique_ptr<Form1> form = b.newForm();
        const Clock::time_point t1 = Clock::now();
        form->Form_Load();
        const Clock::time_point t2 = Clock::now();
        form->show();
        QCoreApplication::processEvents();
        const Clock::time_point t3 = Clock::now();
        const bool cycled = form->Label15->caption() == imageStamp(b.platform.clock);
        b.platform.answerFetches();
        if (!cycled || form->ended()) ++f.failed;
        using D = std::chrono::duration<double>;
        if (run == 0) {
            // The very first start fetches both base maps as well (and the
            // forecast's past images).
            f.first = D(t3 - t0).count();
            if (b.platform.downloadedUrls.size() - downloads < 4) ++f.failed;
        } else {
            f.total.push_back(D(t3 - t0).count());
            f.construct.push_back(D(t1 - t0).count());
            f.load.push_back(D(t2 - t1).count());
            f.show.push_back(D(t3 - t2).count());
        }
        form.reset();
        QCoreApplication::processEvents();
        b.forgetRecords();
        b.nextMinute();
    }
    return f;
}

struct CycleFigures {
    std::vector<double> wall, cpu, downloads;
    std::vector<double> forecast;  // after the cycle: past images and the forecast
    int incomplete = 0;
    int rainyCycles = 0;
    int raining = 0;
};

CycleFigures measureCycles(Bench& b, Form1& form, int cycles) {
    CycleFigures f;
    for (int i = 0; i < cycles; ++i) {
        b.nextMinute();
        b.prepareMinute();
        const size_t downloads = b.platform.downloadedUrls.size();
        b.downloadSeconds = 0;
        const double cpu0 = threadCpuSeconds();
        const Clock::time_point t0 = Clock::now();
        form.Command1_Click();
        // Repaints of what the cycle changed happen once it returns.
        QCoreApplication::processEvents();
        f.wall.push_back(secondsSince(t0));
        f.cpu.push_back(threadCpuSeconds() - cpu0);
        f.downloads.push_back(b.downloadSeconds);
        // The forecast follows once the cycle is over, when its past images
        // are in (answered here as the event loop would).
        const Clock::time_point f0 = Clock::now();
        b.platform.answerFetches();
        QCoreApplication::processEvents();
        f.forecast.push_back(secondsSince(f0));
        // Two images, and past ones for the forecast where it lacks them.
        const bool complete = b.platform.downloadedUrls.size() - downloads >= 2 &&
                              form.Label15->caption() == imageStamp(b.platform.clock);
        if (!complete) ++f.incomplete;
        int strongest = 0;
        for (int level : form.cycle.prevLevels) strongest = std::max(strongest, level);
        if (strongest > 0) ++f.rainyCycles;
        if (strongest == 3) ++f.raining;
        b.forgetRecords();
    }
    return f;
}

struct MemoryPoint {
    int cycle;
    long rssKb;
    size_t heapBytes;
};

std::vector<MemoryPoint> measureMemory(Bench& b, Form1& form, int cycles) {
    std::vector<MemoryPoint> points;
    auto sample = [&](int cycle) {
        malloc_trim(0);
        points.push_back({cycle, statusKb("VmRSS:"), mallinfo2().uordblks});
    };
    sample(0);
    for (int i = 1; i <= cycles; ++i) {
        b.nextMinute();
        b.prepareMinute();
        form.Command1_Click();
        QCoreApplication::processEvents();
        b.platform.answerFetches();
        b.forgetRecords();
        if (i % 50 == 0 || i == cycles) sample(i);
    }
    return points;
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    if (!parseOptions(argc, argv, options)) {
        std::fputs("usage: cycle_bench [--startups N] [--cycles N] [--memory-cycles N]\n", stderr);
        return 2;
    }
    if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    const Clock::time_point appStart = Clock::now();
    QApplication app(argc, argv);
    QApplication::setApplicationName("nimbrel");
    installFontSubstitutions();
    const double appSeconds = secondsSince(appStart);

    Bench b;
    std::string error;
    if (!b.setUp(error)) {
        std::fprintf(stderr, "cycle_bench: %s\n", error.c_str());
        return 1;
    }
    std::printf("platform %s, program folder %s\n",
                QGuiApplication::platformName().toStdString().c_str(), b.folder().c_str());
    std::printf("QApplication created in %.1f ms (once per process)\n\n", appSeconds * 1e3);

    // Start-up.
    StartupFigures s = measureStartups(b, options.startups);
    std::printf("Start-up, base maps on disk, first cycle on loopback (ms)\n");
    printStatsHead();
    printStatsRow("Form1 built", statsOf(s.construct), 1e3, "ms");
    printStatsRow("Form_Load (with the first cycle)", statsOf(s.load), 1e3, "ms");
    printStatsRow("show and first paint", statsOf(s.show), 1e3, "ms");
    printStatsRow("start-up to window shown", statsOf(s.total), 1e3, "ms");
    std::printf("%-44s %5d %9.2f ms (fetches the base maps too)\n", "very first start", 1,
                s.first * 1e3);
    if (s.failed) std::printf("!! %d start-ups did not complete their first cycle\n", s.failed);

    // Cycles in each view, on one window as the user would have it.
    std::unique_ptr<Form1> form = b.newForm();
    b.prepareMinute();
    form->Form_Load();
    form->show();
    QCoreApplication::processEvents();

    struct View {
        const char* name;
        void (*select)(Form1&);
    } views[] = {
        {"compact view, forecast off", [](Form1& f) { f.desktop.forecasting = false; }},
        {"compact view", [](Form1& f) { f.desktop.forecasting = true; }},
        {"full view, radar picture (Option2)", [](Form1& f) { f.Check1->setValue(1); }},
        {"full view, detail picture (Option3)", [](Form1& f) { f.Option3->setValue(1); }},
    };
    std::printf(
        "\nWhole cycles, Command1_Click and its repaint, %d minutes of the approach "
        "each (ms)\n",
        options.cyclesPerView);
    printStatsHead();
    int incomplete = 0;
    for (const View& v : views) {
        v.select(*form);
        QCoreApplication::processEvents();
        CycleFigures c = measureCycles(b, *form, options.cyclesPerView);
        printStatsRow(v.name, statsOf(c.wall), 1e3, "ms wall");
        printStatsRow("  main thread CPU", statsOf(c.cpu), 1e3, "ms");
        printStatsRow("  in the two downloads", statsOf(c.downloads), 1e3, "ms wall");
        printStatsRow("  then the forecast (past images, forecast)", statsOf(c.forecast), 1e3,
                      "ms wall");
        std::printf("  %d cycles saw rain within the far band, %d with rain at the location\n",
                    c.rainyCycles, c.raining);
        incomplete += c.incomplete;
    }
    if (incomplete) std::printf("!! %d cycles did not complete\n", incomplete);
    std::printf("recorded but not performed: %zu sounds, %zu waits\n", b.sounds, b.waits);

    // Memory over many cycles in the full view with the radar picture.
    form->Option2->setValue(1);
    QCoreApplication::processEvents();
    std::vector<MemoryPoint> mem = measureMemory(b, *form, options.memoryCycles);
    std::printf("\nMemory over %d more cycles (full view, radar picture)\n", options.memoryCycles);
    std::printf("%8s %12s %14s\n", "cycle", "VmRSS kB", "heap in use kB");
    for (const MemoryPoint& p : mem)
        std::printf("%8d %12ld %14zu\n", p.cycle, p.rssKb, p.heapBytes / 1024);
    const MemoryPoint* at50 = nullptr;
    const MemoryPoint* at100 = nullptr;
    for (const MemoryPoint& p : mem) {
        if (p.cycle == 50) at50 = &p;
        if (p.cycle == 100) at100 = &p;
    }
    if (at50 && at100) {
        std::printf(
            "growth from cycle 50 to 100: VmRSS %+ld kB, heap %+lld kB\n",
            at100->rssKb - at50->rssKb,
            (static_cast<long long>(at100->heapBytes) - static_cast<long long>(at50->heapBytes)) /
                1024);
    }
    std::printf("VmHWM (peak RSS) %ld kB\n", statusKb("VmHWM:"));
    form.reset();
    return incomplete || s.failed ? 1 : 0;
}
