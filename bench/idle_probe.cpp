// idle_probe: what the real program costs while it waits between cycles.
// Starts the nimbrel executable from a scratch program folder (base maps
// already on disk) against the local radar service, run here in-process on
// loopback with the real clock, and samples the program's CPU time, context
// switches and resident memory from /proc. Seconds around each cycle (seen
// as its requests reach the service) are left out of the waiting figures.
#include <dirent.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "bench/bench_support.h"
#include "service/http_server.h"
#include "service/radar_service.h"
#include "support/temp_dir.h"

using namespace nimbrel;
using namespace nimbrel::bench;

namespace {

using Clock = std::chrono::steady_clock;

struct Options {
    std::string program;
    int seconds = 120;
    // A cycle counts as busy from a second before its first request to this
    // many seconds after its last.
    double settle = 3.0;
    // Seconds after the first cycle before sampling starts: the splash
    // window closes 7.5 s after start-up.
    double warmup = 10.0;
    std::string qpa;  // empty: as the environment says, offscreen without a display
    bool scenario = false;
    bool trace = false;  // print every sampled second that used CPU
};

bool parseOptions(int argc, char** argv, Options& o) {
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        const bool more = i + 1 < argc;
        if (a == "--program" && more) {
            o.program = argv[++i];
        } else if (a == "--seconds" && more) {
            o.seconds = std::atoi(argv[++i]);
            if (o.seconds < 10 || o.seconds > 86400) return false;
        } else if (a == "--settle" && more) {
            o.settle = std::atof(argv[++i]);
            if (!(o.settle >= 0 && o.settle <= 60)) return false;
        } else if (a == "--warmup" && more) {
            o.warmup = std::atof(argv[++i]);
            if (!(o.warmup >= 0 && o.warmup <= 600)) return false;
        } else if (a == "--qpa" && more) {
            o.qpa = argv[++i];
        } else if (a == "--scenario") {
            o.scenario = true;
        } else if (a == "--trace") {
            o.trace = true;
        } else {
            return false;
        }
    }
    return !o.program.empty();
}

std::string readText(const std::string& path) {
    std::ifstream in(path);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

// utime + stime of the whole process, dead threads included, in clock ticks.
long long processTicks(pid_t pid) {
    return statCpuTicks(readText("/proc/" + std::to_string(pid) + "/stat"));
}

struct ThreadSample {
    std::string name;
    long long runNs = 0;
    long long switches = 0;
};

std::map<int, ThreadSample> threadSamples(pid_t pid) {
    std::map<int, ThreadSample> out;
    const std::string base = "/proc/" + std::to_string(pid) + "/task";
    DIR* dir = opendir(base.c_str());
    if (!dir) return out;
    while (dirent* e = readdir(dir)) {
        if (e->d_name[0] == '.') continue;
        const std::string t = base + "/" + e->d_name;
        ThreadSample s;
        s.name = readText(t + "/comm");
        if (!s.name.empty() && s.name.back() == '\n') s.name.pop_back();
        s.runNs = std::atoll(readText(t + "/schedstat").c_str());
        std::istringstream status(readText(t + "/status"));
        std::string line;
        while (std::getline(status, line)) {
            if (line.rfind("voluntary_ctxt_switches:", 0) == 0 ||
                line.rfind("nonvoluntary_ctxt_switches:", 0) == 0)
                s.switches += std::atoll(line.c_str() + line.find(':') + 1);
        }
        out[std::atoi(e->d_name)] = s;
    }
    closedir(dir);
    return out;
}

struct Sample {
    double t = 0;  // seconds since the program was started
    long long ticks = 0;
    std::map<int, ThreadSample> threads;
    long rssKb = 0;
};

struct Busy {
    double from, to;
};

}  // namespace

int main(int argc, char** argv) {
    Options o;
    if (!parseOptions(argc, argv, o)) {
        std::fputs(
            "usage: idle_probe --program PATH/nimbrel [--seconds N] [--settle S] [--warmup S] "
            "[--qpa NAME] "
            "[--scenario] [--trace]\n",
            stderr);
        return 2;
    }
    std::string error;
    std::vector<ServiceRegion> regions = deliveredRegions(error);
    if (regions.empty()) {
        std::fprintf(stderr, "idle_probe: %s\n", error.c_str());
        return 1;
    }
    ServiceOptions serviceOptions;
    serviceOptions.noDelay = true;
    serviceOptions.scenario.enabled = o.scenario;
    serviceOptions.cities = readMapCities(dataFile("toshi.ini"));
    RadarService service(regions, serviceOptions);
    RadarHttpServer server(service);
    if (server.start(0).port < 0) {
        std::fputs("idle_probe: the radar service did not start\n", stderr);
        return 1;
    }

    // The program folder: the executable, the delivered tables, the base
    // maps already fetched, the location at Tokyo, silent, no log.
    TempDir dir("nimbrel-idle");
    const ServiceRegion& r = regions[kBenchRegion];
    if (!prepareProgramFolder(dir.folder(), o.program, service, r, server.baseUrl(), error)) {
        std::fprintf(stderr, "idle_probe: %s\n", error.c_str());
        return 1;
    }
    const std::string exe = dir.file("nimbrel");

    std::string qpa = o.qpa;
    if (qpa.empty() && std::getenv("QT_QPA_PLATFORM")) qpa = std::getenv("QT_QPA_PLATFORM");
    if (qpa.empty() && !std::getenv("DISPLAY") && !std::getenv("WAYLAND_DISPLAY"))
        qpa = "offscreen";
    std::vector<std::string> env;
    if (!qpa.empty()) env.push_back("QT_QPA_PLATFORM=" + qpa);
    std::vector<char*> envp = childEnvironment(env);
    char* childArgv[] = {const_cast<char*>(exe.c_str()), nullptr};

    const Clock::time_point started = Clock::now();
    auto now = [&] { return std::chrono::duration<double>(Clock::now() - started).count(); };
    pid_t pid = 0;
    if (posix_spawn(&pid, exe.c_str(), nullptr, nullptr, childArgv, envp.data()) != 0) {
        std::perror("idle_probe: posix_spawn");
        return 1;
    }

    // Requests as they reach the service, timed to the poll.
    std::vector<std::pair<double, std::string>> requests;
    auto pollRequests = [&] {
        std::vector<std::string> log = service.requestLog();
        for (size_t i = requests.size(); i < log.size(); ++i) requests.emplace_back(now(), log[i]);
    };
    auto alive = [&] { return waitpid(pid, nullptr, WNOHANG) == 0; };

    // Wait for the first cycle to end: its top image fetched and a settle.
    double firstRequest = -1, firstTop = -1;
    while (alive() && now() < 60) {
        pollRequests();
        for (const auto& [t, line] : requests) {
            if (firstRequest < 0) firstRequest = t;
            if (firstTop < 0 && line.find("_top.png") != std::string::npos) firstTop = t;
        }
        if (firstTop >= 0 && now() > firstTop + o.settle) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    if (firstTop < 0) {
        std::fprintf(stderr, "idle_probe: the program made no complete first cycle\n");
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
        return 1;
    }
    const long rssAfterFirst = statusKb("VmRSS:", pid);
    while (alive() && now() < firstTop + o.warmup) {
        pollRequests();
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }

    std::vector<Sample> samples;
    const double end = now() + o.seconds;
    double nextSample = now();
    while (now() < end && alive()) {
        pollRequests();
        if (now() >= nextSample) {
            samples.push_back(
                {now(), processTicks(pid), threadSamples(pid), statusKb("VmRSS:", pid)});
            nextSample += 1.0;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    pollRequests();
    const bool survived = alive();
    kill(pid, SIGTERM);
    waitpid(pid, nullptr, 0);
    if (!survived || samples.size() < 2) {
        std::fprintf(stderr, "idle_probe: the program ended during the measurement\n");
        return 1;
    }

    // Busy windows: a cycle's requests, widened on both sides.
    std::vector<Busy> busy;
    for (const auto& [t, line] : requests) {
        if (!busy.empty() && t - busy.back().to < o.settle + 1.0) {
            busy.back().to = t + o.settle;
        } else {
            busy.push_back({t - 1.0, t + o.settle});
        }
    }
    auto overlapsBusy = [&](double a, double b) {
        for (const Busy& w : busy)
            if (w.from < b && a < w.to) return true;
        return false;
    };

    const long ticksPerSecond = sysconf(_SC_CLK_TCK);
    double idleSeconds = 0, idleNs = 0, totalNs = 0;
    long long idleTicks = 0, idleSwitches = 0;
    int endedThreads = 0;
    std::map<std::string, long long> switchesByThread;
    for (size_t i = 1; i < samples.size(); ++i) {
        const Sample& a = samples[i - 1];
        const Sample& b = samples[i];
        // A thread started in the interval counts whole; one that ended in
        // it loses its last slice, which utime+stime still holds.
        double ns = 0;
        long long switches = 0;
        std::map<std::string, long long> byThread;
        for (const auto& [tid, s] : b.threads) {
            auto it = a.threads.find(tid);
            const ThreadSample before = it == a.threads.end() ? ThreadSample{} : it->second;
            ns += static_cast<double>(s.runNs - before.runNs);
            switches += s.switches - before.switches;
            byThread[s.name] += s.switches - before.switches;
        }
        for (const auto& [tid, s] : a.threads)
            if (!b.threads.count(tid)) ++endedThreads;
        totalNs += ns;
        const bool waiting = !overlapsBusy(a.t, b.t);
        if (o.trace && ns > 0)
            std::printf("  %7.1f s .. %7.1f s %9.3f ms %3lld switches %s\n", a.t, b.t, ns * 1e-6,
                        switches, waiting ? "" : "(cycle)");
        if (!waiting) continue;
        idleSeconds += b.t - a.t;
        idleNs += ns;
        idleTicks += b.ticks - a.ticks;
        idleSwitches += switches;
        for (const auto& [name, n] : byThread) switchesByThread[name] += n;
    }
    int cycles = 0;
    // One top image a cycle; the forecast's past images are detail images.
    for (const auto& [t, line] : requests) cycles += line.find("_top.png") != std::string::npos;
    cycles -= 1;  // the first, before the window

    const double window = samples.back().t - samples.front().t;
    const long long windowTicks = samples.back().ticks - samples.front().ticks;
    std::printf("program %s, platform %s, scenario %s\n", o.program.c_str(),
                qpa.empty() ? "Qt's default" : qpa.c_str(), o.scenario ? "on" : "off");
    std::printf("process start to first radar request   %8.0f ms\n", firstRequest * 1e3);
    std::printf("process start to first cycle's top image %6.0f ms\n", firstTop * 1e3);
    std::printf("measured window                        %8.1f s, %d cycles in it\n", window,
                cycles);
    std::printf("  CPU in the whole window (utime+stime)  %8.3f s\n",
                static_cast<double>(windowTicks) / static_cast<double>(ticksPerSecond));
    std::printf("  CPU in the whole window (schedstat)    %8.4f s\n", totalNs * 1e-9);
    std::printf("waiting time (cycles left out)         %8.1f s\n", idleSeconds);
    std::printf("  CPU while waiting (utime+stime)        %8.3f s (tick %.0f ms)\n",
                static_cast<double>(idleTicks) / static_cast<double>(ticksPerSecond),
                1e3 / static_cast<double>(ticksPerSecond));
    std::printf("  CPU while waiting (schedstat)          %8.4f s\n", idleNs * 1e-9);
    if (idleSeconds > 0) {
        std::printf("  per ten minutes of waiting, extrapolated %6.4f s CPU\n",
                    idleNs * 1e-9 * 600 / idleSeconds);
        std::printf("  wake-ups per second while waiting     %8.2f\n",
                    static_cast<double>(idleSwitches) / idleSeconds);
        for (const auto& [name, n] : switchesByThread)
            if (n > 0)
                std::printf("    thread %-16s %8.2f /s\n", name.c_str(),
                            static_cast<double>(n) / idleSeconds);
    }
    if (endedThreads > 0)
        std::printf(
            "threads that ended while sampled: %d (their last slice is in utime+stime "
            "only)\n",
            endedThreads);
    std::printf("VmRSS after the first cycle %ld kB, at the end %ld kB\n", rssAfterFirst,
                samples.back().rssKb);
    return 0;
}
