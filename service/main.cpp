// radar_service: the local stand-in for the radar web service, serving
// radar images and base maps of the regions of an area_map.ini on 127.0.0.1.
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>

#include "service/http_server.h"
#include "service/radar_service.h"
#include "service/service_regions.h"

using namespace nimbrel;

namespace {

const char* kUsage =
    "usage: radar_service [--port N] [--area-map PATH] [--toshi PATH]\n"
    "                     [--delay-seconds S] [--no-delay] [--clock-offset-seconds S]\n"
    "                     [--no-scenario] [--scenario-lat DEG] [--scenario-lon DEG]\n";

std::filesystem::path programFolder() {
    std::error_code ec;
    const auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::filesystem::current_path() : exe.parent_path();
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

}  // namespace

int main(int argc, char** argv) {
    long long port = 8642;
    std::string areaMap = (programFolder() / "area_map.ini").string();
    std::string toshi;
    ServiceOptions options;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        const bool hasValue = i + 1 < argc;
        long long n = 0;
        bool ok = true;
        if (arg == "--port" && hasValue) {
            ok = wholeNumber(argv[++i], 0, 65535, port);
        } else if (arg == "--area-map" && hasValue) {
            areaMap = argv[++i];
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
        } else if (arg == "--help" || arg == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        } else {
            ok = false;
        }
        if (!ok) {
            std::fprintf(stderr, "radar_service: bad option near '%s'\n%s", argv[i], kUsage);
            return 2;
        }
    }
    const ServiceRegionsResult table = loadServiceRegions(areaMap);
    if (table.error != ServiceRegionsError::None) {
        std::fprintf(stderr, "radar_service: %s: %s\n", areaMap.c_str(), table.message.c_str());
        return 1;
    }
    if (toshi.empty())
        toshi = (std::filesystem::path(areaMap).parent_path() / "toshi.ini").string();
    options.cities = readMapCities(toshi);

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
    std::printf("listening on %d\n", started.port);
    std::fflush(stdout);
    int signal = 0;
    sigwait(&stopSignals, &signal);
    server.stop();
    return 0;
}
