// bench_image: writes the detail radar image the stage benchmarks convert
// (Tokyo's region at a rainy minute of the demonstration band), so that
// whole-process converters can be timed on the same file.
#include <cstdio>

#include "bench/bench_support.h"
#include "service/radar_service.h"

using namespace nimbrel;
using namespace nimbrel::bench;

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fputs("usage: bench_image OUT.png\n", stderr);
        return 2;
    }
    std::string error;
    std::vector<ServiceRegion> regions = deliveredRegions(error);
    if (regions.empty()) {
        std::fprintf(stderr, "bench_image: %s\n", error.c_str());
        return 1;
    }
    ServiceOptions options;
    options.noDelay = true;
    RadarService service(regions, options);
    auto png = service.radarPng(regions[kBenchRegion], ImageKind::Detail, rainyMinute());
    if (!png || !writeBytes(argv[1], *png)) {
        std::fprintf(stderr, "bench_image: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
