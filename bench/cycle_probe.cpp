// cycle_probe: how long the real program takes, seen from outside, from the
// service receiving its newest detail request to the composite written into
// its folder (vesk_detail.bmp) and to status.json (the forecast's answer).
// Each run starts the executable afresh from a scratch program folder (base
// maps on disk, no past image kept: the forecast starts cold and fetches its
// past images) against the local radar service, run here in-process on
// loopback, and ends it once both files are in.
//
//   cycle_probe --program PATH/nimbrel [--runs N] [--stall-past S]
//               [--kill-during-past] [--qpa NAME]
//
// Each run ends with SIGKILL (--kill-during-past: 200 ms after the composite,
// while the past images are on the way) and counts what is left in the
// program's own TMPDIR.
//
// --stall-past S: the service holds the past image of five minutes before
// the newest S seconds before answering (the newest answers at once).
#include <signal.h>
#include <spawn.h>
#include <sys/inotify.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "bench/bench_support.h"
#include "cycle/radar_time.h"
#include "service/http_server.h"
#include "service/radar_service.h"
#include "support/temp_dir.h"

using namespace nimbrel;
using namespace nimbrel::bench;

namespace {

using Clock = std::chrono::steady_clock;

struct Run {
    double composite = -1;  // ms after the newest detail request
    double status = -1;
    int pastRequests = 0;
    bool newestAsExpected = true;
    int tempFilesLeft = 0;  // in the program's temporary folder after the kill
};

// The minute of the radar service's calendar that a detail path names.
long long pathMinute(const std::string& line) {
    const size_t t = line.rfind('T');
    const size_t d = line.find("_detail.png");
    const size_t slash = line.rfind('/', t);
    if (t == std::string::npos || d == std::string::npos || slash == std::string::npos ||
        d < t + 5 || t < slash + 9)
        return -1;
    const std::string date = line.substr(t - 8, 8), hm = line.substr(t + 1, 4);
    DateTime dt{std::atoi(date.substr(0, 4).c_str()), std::atoi(date.substr(4, 2).c_str()),
                std::atoi(date.substr(6, 2).c_str()), std::atoi(hm.substr(0, 2).c_str()),
                std::atoi(hm.substr(2, 2).c_str()),   0};
    return minuteIndex(dt);
}

bool runOnce(const std::string& program, const std::string& qpa, int stallPast, bool killEarly,
             const std::vector<ServiceRegion>& regions, Run& out) {
    ServiceOptions so;
    so.noDelay = true;
    so.scenario.enabled = true;  // rain near Tokyo, so the forecast has work
    so.cities = readMapCities(dataFile("toshi.ini"));
    RadarService service(regions, so);
    RadarHttpServer server(service);
    if (server.start(0).port < 0) return false;

    TempDir dir("nimbrel-cycle-probe");
    const ServiceRegion& r = regions[kBenchRegion];
    std::string error;
    if (!prepareProgramFolder(dir.folder(), program, service, r, server.baseUrl(), error)) {
        std::fprintf(stderr, "cycle_probe: %s\n", error.c_str());
        return false;
    }
    const std::string exe = dir.file("nimbrel");

    // The minute the program will ask for first, and the one five minutes
    // before it, which stalls; a run that asks for another is not counted.
    const std::time_t wall = std::time(nullptr);
    std::tm tm{};
    localtime_r(&wall, &tm);
    const long long newest =
        minuteIndex(imageDateTime(DateTime{tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour,
                                           tm.tm_min, std::min(tm.tm_sec, 59)}));
    // Rendered beforehand, so that what is timed is the program, not the
    // service drawing its images.
    for (long long m : {newest, newest - 5, newest - 10, newest - 15}) {
        (void)service.radarPng(r, ImageKind::Detail, m);
        if (m == newest) (void)service.radarPng(r, ImageKind::Small, m);
    }
    if (stallPast > 0) {
        const DateTime p = dateTimeOfMinute(newest - 5);
        char match[32];
        std::snprintf(match, sizeof match, "T%02d%02d_detail.png", p.hour, p.minute);
        service.setFault({FaultMode::Stall, kMaxFaultCount, stallPast, match});
    }

    const int watch = inotify_init1(IN_NONBLOCK);
    inotify_add_watch(watch, dir.folder().c_str(), IN_CLOSE_WRITE | IN_MOVED_TO);

    // A temporary folder of its own, to see what a kill leaves there; Qt
    // makes its runtime folder in TMPDIR when none is given.
    std::error_code ec;
    const std::string tmp = dir.file("tmp"), run = dir.file("run");
    std::filesystem::create_directory(tmp, ec);
    std::filesystem::create_directory(run, ec);
    std::filesystem::permissions(run, std::filesystem::perms::owner_all, ec);
    std::vector<std::string> env = {"QT_QPA_PLATFORM=" + qpa, "TMPDIR=" + tmp,
                                    "XDG_RUNTIME_DIR=" + run};
    std::vector<char*> envp = childEnvironment(env);
    char* childArgv[] = {const_cast<char*>(exe.c_str()), nullptr};
    pid_t pid = 0;
    if (posix_spawn(&pid, exe.c_str(), nullptr, nullptr, childArgv, envp.data()) != 0) {
        close(watch);
        return false;
    }
    const Clock::time_point spawned = Clock::now();
    Clock::time_point request{};
    bool seen = false;
    size_t logged = 0;
    while (Clock::now() - spawned < std::chrono::seconds(40) &&
           (out.composite < 0 || out.status < 0)) {
        // Killed while its past images are on the way.
        if (killEarly && out.composite >= 0 &&
            std::chrono::duration<double, std::milli>(Clock::now() - request).count() >
                out.composite + 200)
            break;
        std::vector<std::string> log = service.requestLog();
        for (; logged < log.size(); ++logged) {
            const std::string& line = log[logged];
            if (line.find("_detail.png") == std::string::npos) continue;
            if (!seen) {
                seen = true;
                request = Clock::now();
                out.newestAsExpected = pathMinute(line) == newest;
            } else {
                ++out.pastRequests;
            }
        }
        alignas(inotify_event) char buf[4096];
        const ssize_t n = read(watch, buf, sizeof buf);
        for (ssize_t at = 0; n > 0 && at < n;) {
            const auto* e = reinterpret_cast<const inotify_event*>(buf + at);
            const std::string name = e->len ? e->name : "";
            const double ms =
                std::chrono::duration<double, std::milli>(Clock::now() - request).count();
            if (seen && name == "vesk_detail.bmp" && out.composite < 0) out.composite = ms;
            if (seen && name == "status.json" && out.status < 0) out.status = ms;
            at += static_cast<ssize_t>(sizeof(inotify_event) + e->len);
        }
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
    close(watch);
    for (const auto& e : std::filesystem::directory_iterator(tmp, ec)) {
        std::fprintf(stderr, "left in TMPDIR: %s\n", e.path().filename().c_str());
        ++out.tempFilesLeft;
    }
    return out.composite >= 0;
}

}  // namespace

int main(int argc, char** argv) {
    std::string program, qpa = "offscreen";
    int runs = 5, stallPast = 0;
    bool killEarly = false;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--program" && i + 1 < argc) {
            program = argv[++i];
        } else if (a == "--runs" && i + 1 < argc) {
            runs = std::clamp(std::atoi(argv[++i]), 1, 100);
        } else if (a == "--stall-past" && i + 1 < argc) {
            stallPast = std::clamp(std::atoi(argv[++i]), 0, kMaxStallSeconds);
        } else if (a == "--kill-during-past") {
            killEarly = true;
        } else if (a == "--qpa" && i + 1 < argc) {
            qpa = argv[++i];
        } else {
            std::fputs(
                "usage: cycle_probe --program PATH/nimbrel [--runs N] [--stall-past S] "
                "[--qpa NAME]\n",
                stderr);
            return 2;
        }
    }
    if (program.empty()) return 2;
    std::string error;
    const std::vector<ServiceRegion> regions = deliveredRegions(error);
    if (regions.empty()) {
        std::fprintf(stderr, "cycle_probe: %s\n", error.c_str());
        return 1;
    }
    std::vector<double> composite, status;
    for (int i = 0, tries = 0; i < runs; ++tries) {
        Run r;
        if (tries > 3 * runs || !runOnce(program, qpa, stallPast, killEarly, regions, r)) {
            std::fprintf(stderr, "cycle_probe: run %d wrote no composite\n", i + 1);
            return 1;
        }
        // The minute turned as the program started: another image stalled.
        if (!r.newestAsExpected) continue;
        ++i;
        std::printf(
            "run %d: detail request -> composite written %7.1f ms, -> status.json %7.1f ms"
            " (%d past images asked; killed, %d files left in its TMPDIR)\n",
            i, r.composite, r.status, r.pastRequests, r.tempFilesLeft);
        composite.push_back(r.composite);
        if (r.status >= 0) status.push_back(r.status);
    }
    auto median = [](std::vector<double> v) {
        std::sort(v.begin(), v.end());
        return v.empty() ? -1.0 : v[v.size() / 2];
    };
    std::printf(
        "median of %d runs%s: detail request -> composite written %.1f ms, "
        "-> status.json %.1f ms\n",
        runs, stallPast ? " (past images stalled)" : "", median(composite), median(status));
    return 0;
}
