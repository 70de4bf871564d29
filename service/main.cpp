// radar_service: the local stand-in for the radar web service, serving
// radar images and base maps of the regions of an area_map.ini on 127.0.0.1.
#include <array>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "service/http_server.h"
#include "service/radar_service.h"
#include "service/replay_event.h"
#include "service/service_regions.h"
#include "settings/program_folder.h"

using namespace nimbrel;

namespace {

const char* kUsageLines =
    "usage: radar_service [--port N] [--area-map PATH] [--toshi PATH]\n"
    "                     [--delay-seconds S] [--no-delay] [--clock-offset-seconds S]\n"
    "                     [--no-scenario] [--scenario-lat DEG] [--scenario-lon DEG]\n"
    "                     [--replay DIR [--replay-region KEY] [--replay-lat DEG]\n"
    "                      [--replay-lon DEG] [--replay-anchor X,Y] [--replay-start-minute M]]\n";

const char* kReplayHelp =
    "--replay DIR plays a recorded rain event over one region instead of the\n"
    "generated rain: DIR holds f000.png, f001.png, ... whose pixel values are radar\n"
    "classes, one frame pixel to one detail image pixel. Frame i is the image of\n"
    "minute t0 + i, t0 being M of --replay-start-minute (minutes since 1970-01-01\n"
    "00:00 of the local calendar) or else the service clock's minute at start minus\n"
    "15, so that a program started with it finds 15 minutes of past images. Minutes\n"
    "before t0 show the first frame, minutes past the last frame show the last one.\n"
    "Frame pixel X,Y (default the frame's centre) lies on the detail pixel of\n"
    "--replay-lat/--replay-lon (default the scenario's place, Tokyo); the region is\n"
    "--replay-region KEY, or else the one that holds that place farthest from its\n"
    "edges (kanto for Tokyo). Pixels the frames do not reach are outside coverage\n"
    "(class 2); the top image is the same frames scaled down to it (nearest\n"
    "neighbour). Other regions keep the generated rain.\n";

// The help, with the region table this executable reads by default.
std::string usage(const std::string& exeDir) {
    return std::string(kUsageLines) +
           "\n"
           "--port N listens on 127.0.0.1:N (default 8642; 0 takes a free port) and\n"
           "prints 'listening on N'.\n"
           "--area-map PATH is the region table. Without it, area_map.ini is read as the\n"
           "program reads it: from the executable's folder when area_map.ini and toshi.ini\n"
           "both lie there, else from <executable's folder>/../share/nimbrel; for this\n"
           "executable " +
           deliveredTablesFolder(exeDir) + files::kRegionTable +
           ".\n"
           "--toshi PATH is the city list drawn on the base maps (default: toshi.ini in\n"
           "the region table's folder).\n"
           "--delay-seconds S publishes the image of each minute S seconds after it\n"
           "(default 30); --no-delay serves any minute, past or future, at once.\n"
           "--clock-offset-seconds S moves the service's clock by S seconds.\n"
           "--no-scenario leaves out the demonstration rain band, which otherwise passes\n"
           "over --scenario-lat/--scenario-lon (default Tokyo) every 30 minutes.\n"
           "\n" +
           kReplayHelp +
           "\n"
           "SIGINT (Ctrl-C) or SIGTERM stops the service.\n";
}

std::string executableFolder() {
    std::error_code ec;
    const auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    return (ec ? std::filesystem::current_path() : exe.parent_path()).string();
}

bool wholeNumber(std::string_view text, long long lo, long long hi, long long& value) {
    try {
        size_t used = 0;
        const long long v = std::stoll(std::string(text), &used);
        if (used != text.size() || v < lo || v > hi) return false;
        value = v;
        return true;
    } catch (...) {
        return false;
    }
}

bool decimal(std::string_view text, double lo, double hi, double& value) {
    try {
        size_t used = 0;
        const double v = std::stod(std::string(text), &used);
        if (used != text.size() || !(v >= lo && v <= hi)) return false;
        value = v;
        return true;
    } catch (...) {
        return false;
    }
}

// "X,Y" of two whole numbers.
bool pixelPair(std::string_view text, std::array<int, 2>& value) {
    const size_t comma = text.find(',');
    long long x = 0, y = 0;
    if (comma == std::string_view::npos || !wholeNumber(text.substr(0, comma), 0, 65535, x) ||
        !wholeNumber(text.substr(comma + 1), 0, 65535, y))
        return false;
    value = {static_cast<int>(x), static_cast<int>(y)};
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    long long port = 8642;
    const std::string exeDir = executableFolder();
    std::string areaMap;
    bool namedTable = false;  // else the delivered table, found as the program finds it
    std::string toshi;
    ServiceOptions options;
    std::string replayFolder;
    ReplayRequest replay;
    std::optional<double> replayLat, replayLon;
    bool replayOptions = false;  // any --replay-... besides --replay itself
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        const bool hasValue = i + 1 < argc;
        long long n = 0;
        bool ok = true;
        if (arg == "--port" && hasValue) {
            ok = wholeNumber(argv[++i], 0, 65535, port);
        } else if (arg == "--area-map" && hasValue) {
            areaMap = argv[++i];
            namedTable = true;
        } else if (arg == "--toshi" && hasValue) {
            toshi = argv[++i];
        } else if (arg == "--delay-seconds" && hasValue) {
            ok = wholeNumber(argv[++i], 0, 86400, n);
            options.delaySeconds = static_cast<int>(n);
        } else if (arg == "--no-delay") {
            options.noDelay = true;
        } else if (arg == "--clock-offset-seconds" && hasValue) {
            ok =
                wholeNumber(argv[++i], -3650LL * 86400, 3650LL * 86400, options.clockOffsetSeconds);
        } else if (arg == "--no-scenario") {
            options.scenario.enabled = false;
        } else if (arg == "--scenario-lat" && hasValue) {
            ok = decimal(argv[++i], -90, 90, options.scenario.latitude);
        } else if (arg == "--scenario-lon" && hasValue) {
            ok = decimal(argv[++i], -180, 360, options.scenario.longitude);
        } else if (arg == "--replay" && hasValue) {
            replayFolder = argv[++i];
            ok = !replayFolder.empty();
        } else if (arg == "--replay-region" && hasValue) {
            replay.regionKey = argv[++i];
            replayOptions = true;
        } else if (arg == "--replay-lat" && hasValue) {
            double v = 0;
            ok = decimal(argv[++i], -90, 90, v);
            replayLat = v;
            replayOptions = true;
        } else if (arg == "--replay-lon" && hasValue) {
            double v = 0;
            ok = decimal(argv[++i], -180, 360, v);
            replayLon = v;
            replayOptions = true;
        } else if (arg == "--replay-anchor" && hasValue) {
            std::array<int, 2> anchor{};
            ok = pixelPair(argv[++i], anchor);
            replay.anchor = anchor;
            replayOptions = true;
        } else if (arg == "--replay-start-minute" && hasValue) {
            long long m = 0;
            ok = wholeNumber(argv[++i], 0, minuteIndex(DateTime{9999, 12, 31, 23, 59, 0}), m);
            replay.startMinute = m;
            replayOptions = true;
        } else if (arg == "--help" || arg == "-h") {
            std::fputs(usage(exeDir).c_str(), stdout);
            return 0;
        } else {
            ok = false;
        }
        if (!ok) {
            std::fprintf(stderr, "radar_service: bad option near '%s'\n%s", argv[i],
                         usage(exeDir).c_str());
            return 2;
        }
    }
    if (replayOptions && replayFolder.empty()) {
        std::fprintf(stderr, "radar_service: the --replay-... options need --replay DIR\n%s",
                     usage(exeDir).c_str());
        return 2;
    }
    if (!namedTable) areaMap = deliveredTablesFolder(exeDir) + files::kRegionTable;
    const ServiceRegionsResult table = loadServiceRegions(areaMap);
    if (table.error != ServiceRegionsError::None) {
        std::fprintf(stderr, "radar_service: %s: %s\n", areaMap.c_str(), table.message.c_str());
        if (!namedTable)
            std::fprintf(stderr,
                         "radar_service: looked beside the executable (%s/) and in %s; name the "
                         "table with --area-map PATH\n",
                         exeDir.c_str(), shareFolder(exeDir).c_str());
        return 1;
    }
    if (toshi.empty())
        toshi = (std::filesystem::path(areaMap).parent_path() / files::kCityTable).string();
    options.cities = readMapCities(toshi);
    if (!replayFolder.empty()) {
        const ReplayLoad load = ReplayEvent::load(replayFolder);
        if (!load.event) {
            std::fprintf(stderr, "radar_service: replay: %s\n", load.error.c_str());
            return 1;
        }
        replay.latitude = replayLat.value_or(options.scenario.latitude);
        replay.longitude = replayLon.value_or(options.scenario.longitude);
        const ReplayPlacementResult placed = placeReplay(*load.event, table.regions, replay);
        if (!placed.error.empty()) {
            std::fprintf(stderr, "radar_service: replay: %s\n", placed.error.c_str());
            return 1;
        }
        options.replay = {load.event, placed.placement};
    }

    // Block the stop signals before any thread starts so that only sigwait
    // below receives them.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    RadarService service(table.regions, options);
    RadarHttpServer server(service);
    const ServerStart started = server.start(static_cast<int>(port));
    if (started.port < 0) {
        std::fprintf(stderr, "radar_service: %s\n", started.error.c_str());
        return 1;
    }
    if (const ServiceReplay& r = service.replay(); r.event) {
        const DateTime t0 = dateTimeOfMinute(*r.placement.startMinute);
        std::printf(
            "replaying %d frames of %d x %d over %s, frame 0 at %04d-%02d-%02d %02d:%02d (minute "
            "%lld), the last frame held past the end; frame pixel (0, 0) on detail pixel (%d, "
            "%d)\n",
            r.event->frameCount(), r.event->width(), r.event->height(),
            r.placement.regionKey.c_str(), t0.year, t0.month, t0.day, t0.hour, t0.minute,
            *r.placement.startMinute, r.placement.originX, r.placement.originY);
    }
    std::printf("listening on %d\n", started.port);
    std::fflush(stdout);
    int signal = 0;
    sigwait(&stopSignals, &signal);
    server.stop();
    return 0;
}
