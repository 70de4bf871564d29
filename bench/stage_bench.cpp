// The stages of one update cycle, each on the files a cycle really handles:
// the detail radar image of the Tokyo region at a rainy minute, rendered by
// the local radar service's generator, and the region's base maps. Floors
// beside them: the bare libpng decode of the same file and a memcpy of a
// whole composite.
#include <benchmark/benchmark.h>
#include <png.h>

#include <cstdio>
#include <cstring>
#include <iostream>
#include <map>
#include <memory>
#include <vector>

#include "base/replace_file.h"
#include "bench/bench_support.h"
#include "cycle/classify.h"
#include "cycle/rain_scan.h"
#include "imaging/bitmap.h"
#include "imaging/composite.h"
#include "imaging/png_to_bmp.h"
#include "service/base_map.h"
#include "service/radar_service.h"
#include "settings/region_table.h"
#include "support/temp_dir.h"

using namespace nimbrel;
using namespace nimbrel::bench;

namespace {

struct StageFiles {
    std::unique_ptr<TempDir> dir;
    std::string detailPng, smallPng;
    std::string radarBmp, smallBmp, baseBmp, baseSmallBmp;
    std::string outBmp, convertedBmp;
    ViewParams detailView, smallView;
    LocationPixel location;
    int detailWidth = 0, detailHeight = 0;
    SourceBitmap radar;
    ServiceRegion region;
    std::unique_ptr<RadarService> service;
    long long minute = 0;
};

StageFiles files;

// Renders everything once. False with a message when something the
// benchmarks need could not be made.
bool prepare(std::string& error) {
    std::vector<ServiceRegion> regions = deliveredRegions(error);
    if (regions.empty()) return false;
    RegionTableResult table = readRegionTable(dataFile("area_map.ini"));
    if (!table.ok()) {
        error = "area_map.ini: " + regionTableErrorText(table);
        return false;
    }
    files.dir = std::make_unique<TempDir>("nimbrel-stage");
    files.region = regions[kBenchRegion];
    files.minute = rainyMinute();
    ServiceOptions options;
    options.noDelay = true;
    options.cities = readMapCities(dataFile("toshi.ini"));
    files.service = std::make_unique<RadarService>(regions, options);

    const ServiceRegion& r = files.region;
    files.detailPng = files.dir->file("vesk_image.png");
    files.smallPng = files.dir->file("vesk_image_s.png");
    auto detail = files.service->radarPng(r, ImageKind::Detail, files.minute);
    auto small = files.service->radarPng(r, ImageKind::Small, files.minute);
    auto baseDetail = files.service->baseMapPng(r, ImageKind::Detail);
    auto baseSmall = files.service->baseMapPng(r, ImageKind::Small);
    if (!detail || !small || !baseDetail || !baseSmall) {
        error = "the radar service could not render region " + r.key;
        return false;
    }
    const std::string baseDetailPng = files.dir->file(r.key + ".png");
    const std::string baseSmallPng = files.dir->file(r.key + "s.png");
    if (!writeBytes(files.detailPng, *detail) || !writeBytes(files.smallPng, *small) ||
        !writeBytes(baseDetailPng, *baseDetail) || !writeBytes(baseSmallPng, *baseSmall)) {
        error = "cannot write into " + files.dir->folder();
        return false;
    }
    files.radarBmp = files.dir->file("vesk_image.bmp");
    files.smallBmp = files.dir->file("vesk_image_s.bmp");
    files.baseBmp = files.dir->file("basemap.bmp");
    files.baseSmallBmp = files.dir->file("basemaps.bmp");
    files.outBmp = files.dir->file("vesk_detail.bmp");
    files.convertedBmp = files.dir->file("converted.bmp");
    const std::pair<std::string, std::string> conversions[] = {{files.radarBmp, files.detailPng},
                                                               {files.smallBmp, files.smallPng},
                                                               {files.baseBmp, baseDetailPng},
                                                               {files.baseSmallBmp, baseSmallPng}};
    for (const auto& [bmp, png] : conversions) {
        ConvertResult c = convertPngToBmp(bmp, png);
        if (!c.ok()) {
            error = png + ": " + pngStatusText(c.status);
            return false;
        }
    }
    files.radar = readSourceBitmap(files.radarBmp);
    if (!files.radar.ok()) {
        error = files.radarBmp + ": " + files.radar.reasonText();
        return false;
    }

    const MapScales scales = mapScales(table.table, kBenchRegion);
    const RegionBounds b = regionBounds(table.table, kBenchRegion);
    files.detailView = {kTokyoLatitude, kTokyoLongitude,     b.west,
                        b.north,        scales.detailScaleX, scales.detailScaleY};
    files.smallView = {kTokyoLatitude, kTokyoLongitude,    b.west,
                       b.north,        scales.smallScaleX, scales.smallScaleY};
    files.location = locationPixel(kTokyoLatitude, kTokyoLongitude, b.west, b.north,
                                   scales.detailScaleX, scales.detailScaleY);
    files.detailWidth = static_cast<int>(table.table.regionWidthPx[kBenchRegion][1]);
    files.detailHeight = static_cast<int>(table.table.regionHeightPx[kBenchRegion][1]);
    return true;
}

// Decodes a PNG's rows into memory with libpng and nothing else: no limits,
// no checks beyond libpng's own, no output file.
bool decodeRowsOnly(const char* path, std::vector<png_byte>& pixels) {
    FILE* file = std::fopen(path, "rb");
    if (!file) return false;
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!info) {
        png_destroy_read_struct(&png, nullptr, nullptr);
        std::fclose(file);
        return false;
    }
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_read_struct(&png, &info, nullptr);
        std::fclose(file);
        return false;
    }
    png_init_io(png, file);
    png_read_info(png, info);
    const png_uint_32 height = png_get_image_height(png, info);
    const size_t rowBytes = png_get_rowbytes(png, info);
    pixels.resize(rowBytes * height);
    for (png_uint_32 y = 0; y < height; ++y)
        png_read_row(png, pixels.data() + y * rowBytes, nullptr);
    png_read_end(png, nullptr);
    png_destroy_read_struct(&png, &info, nullptr);
    std::fclose(file);
    return true;
}

void BM_imgtobmp(benchmark::State& state) {
    for (auto _ : state) {
        if (!imgtobmp(files.convertedBmp, files.detailPng)) {
            state.SkipWithError("imgtobmp failed");
            break;
        }
    }
    state.SetItemsProcessed(state.iterations() * files.detailWidth * files.detailHeight);
}
BENCHMARK(BM_imgtobmp)->Unit(benchmark::kMicrosecond);

void BM_pngDecodeBare(benchmark::State& state) {
    std::vector<png_byte> pixels;
    for (auto _ : state) {
        if (!decodeRowsOnly(files.detailPng.c_str(), pixels)) {
            state.SkipWithError("libpng refused the file");
            break;
        }
        benchmark::DoNotOptimize(pixels.data());
    }
    state.SetItemsProcessed(state.iterations() * files.detailWidth * files.detailHeight);
}
BENCHMARK(BM_pngDecodeBare)->Unit(benchmark::kMicrosecond);

// The write half of the conversion alone: as many bytes as the converted
// BMP, put in place of the previous one the way the program replaces its
// bitmaps.
void BM_writeReplaceFloor(benchmark::State& state) {
    const std::string bytes(static_cast<size_t>(std::filesystem::file_size(files.radarBmp)), '\0');
    for (auto _ : state) {
        if (!replaceFile(files.convertedBmp, {{bytes.data(), bytes.size()}},
                         Durability::Replaceable)
                 .ok()) {
            state.SkipWithError("cannot write the scratch folder");
            break;
        }
    }
}
BENCHMARK(BM_writeReplaceFloor)->Unit(benchmark::kMicrosecond);

// Base maps are decoded once to check them before they are kept.
void BM_checkPng(benchmark::State& state) {
    for (auto _ : state) {
        PngCheck c = checkPng(files.detailPng);
        if (!c.ok()) {
            state.SkipWithError("checkPng refused the file");
            break;
        }
        benchmark::DoNotOptimize(c.width);
    }
}
BENCHMARK(BM_checkPng)->Unit(benchmark::kMicrosecond);

void BM_readSourceBitmap(benchmark::State& state) {
    for (auto _ : state) {
        SourceBitmap b = readSourceBitmap(files.radarBmp);
        if (!b.ok()) {
            state.SkipWithError("the radar bitmap cannot be read");
            break;
        }
        benchmark::DoNotOptimize(b.pixels.data());
    }
}
BENCHMARK(BM_readSourceBitmap)->Unit(benchmark::kMicrosecond);

// Arg 0: normal radii, 1: widened.
void BM_scanClassify(benchmark::State& state) {
    const WarnRadii& radii = state.range(0) ? kWidenedRadii : kNormalRadii;
    const PixelBlock block{files.radar.pixels.data(), files.radar.width, files.radar.height,
                           files.radar.stride};
    const Counts previous{};
    int raining = 0;
    for (auto _ : state) {
        ScanResult scan = scanRain(block, files.location.px, files.location.py, radii,
                                   files.detailWidth, files.detailHeight);
        ClassRecords classes = classifyRain(scan.counts, previous);
        raining = classes[kIntense].level;
        benchmark::DoNotOptimize(classes);
    }
    // The rainy minute must show rain at the location, or the scan measured
    // an empty neighbourhood.
    if (raining != 3) state.SkipWithError("no intense rain at the location");
    state.SetLabel(state.range(0) ? "wide" : "normal");
}
BENCHMARK(BM_scanClassify)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

void BM_composeDetail(benchmark::State& state) {
    for (auto _ : state) {
        CompositeResult r =
            composeDetail(files.radarBmp, files.baseBmp, files.outBmp, files.detailView);
        if (!r.ok()) {
            state.SkipWithError(r.reasonText().c_str());
            break;
        }
    }
}
BENCHMARK(BM_composeDetail)->Unit(benchmark::kMicrosecond);

void BM_composeSmall(benchmark::State& state) {
    for (auto _ : state) {
        CompositeResult r = composeSmall(files.smallBmp, files.baseSmallBmp, files.outBmp,
                                         files.smallView, Tint{16, -7, -7});
        if (!r.ok()) {
            state.SkipWithError(r.reasonText().c_str());
            break;
        }
    }
}
BENCHMARK(BM_composeSmall)->Unit(benchmark::kMicrosecond);

void BM_composeBase(benchmark::State& state) {
    for (auto _ : state) {
        CompositeResult r = composeBase(files.baseSmallBmp, files.outBmp, files.smallView);
        if (!r.ok()) {
            state.SkipWithError(r.reasonText().c_str());
            break;
        }
    }
}
BENCHMARK(BM_composeBase)->Unit(benchmark::kMicrosecond);

// The write half of every composite: a whole 658 x 648 picture.
void BM_writeComposite(benchmark::State& state) {
    const CompositePicture picture(658, 648);
    for (auto _ : state) {
        if (writeComposite(files.outBmp, picture) != BitmapError::None) {
            state.SkipWithError("cannot write the composite");
            break;
        }
    }
}
BENCHMARK(BM_writeComposite)->Unit(benchmark::kMicrosecond);

// The least any composite can cost: touching its bytes once.
void BM_memcpyComposite(benchmark::State& state) {
    const size_t bytes = 658u * 648u * 3u;
    std::vector<char> from(bytes, 1), to(bytes);
    for (auto _ : state) {
        std::memcpy(to.data(), from.data(), bytes);
        benchmark::DoNotOptimize(to.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes));
}
BENCHMARK(BM_memcpyComposite)->Unit(benchmark::kMicrosecond);

// Not the program's work: what the local service spends on one detail
// image. Cycles on loopback are timed with the image already rendered.
void BM_serviceRenderDetail(benchmark::State& state) {
    const GeoBounds bounds = files.region.bounds();
    for (auto _ : state) {
        PaletteImage img = files.service->field().render(bounds, files.region.detailWidth,
                                                         files.region.detailHeight, files.minute);
        PngEncodeResult png = encodePalettePng(img, radarImagePalette(), 1);
        benchmark::DoNotOptimize(png.bytes.data());
    }
}
BENCHMARK(BM_serviceRenderDetail)->Unit(benchmark::kMillisecond)->Iterations(5);

// Console output as usual, and the medians kept for the summary.
class SummaryReporter : public benchmark::ConsoleReporter {
  public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (run.error_occurred) continue;
            const bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
            const bool single = run.run_type == Run::RT_Iteration && run.repetitions <= 1;
            if (!median && !single) continue;
            const double seconds =
                run.GetAdjustedRealTime() / benchmark::GetTimeUnitMultiplier(run.time_unit);
            medians[run.run_name.str()] = seconds;
        }
    }
    std::map<std::string, double> medians;
};

void printSummary(const std::map<std::string, double>& m) {
    auto get = [&](const char* name) {
        auto it = m.find(name);
        return it == m.end() ? -1.0 : it->second;
    };
    std::printf("\nSummary (medians of the repetitions)\n");
    std::printf("%-36s %12s %14s %s\n", "figure", "measured", "target", "");
    auto line = [](const char* what, double value, const char* unit, double scale, double target,
                   const char* targetText) {
        if (value < 0) {
            std::printf("%-36s %12s %14s\n", what, "n/a", targetText);
            return;
        }
        std::printf("%-36s %10.3f %s %14s %s\n", what, value * scale, unit, targetText,
                    *targetText == '\0' ? ""
                    : value <= target   ? "met"
                                        : "MISSED");
    };
    const double conv = get("BM_imgtobmp"), bare = get("BM_pngDecodeBare");
    line("imgtobmp (detail image)", conv, "ms", 1e3, 1e9, "");
    line("bare libpng decode (same file)", bare, "ms", 1e3, 1e9, "");
    if (conv > 0 && bare > 0)
        std::printf("%-36s %10.2f x  %14s %s\n", "conversion / bare decode", conv / bare,
                    "<= 1.5 x", conv / bare <= 1.5 ? "met" : "MISSED");
    const double write = get("BM_writeReplaceFloor");
    line("write + replace of as many bytes", write, "ms", 1e3, 1e9, "");
    if (conv > 0 && bare > 0 && write > 0)
        std::printf("%-36s %10.2f x\n", "conversion / (decode + write)", conv / (bare + write));
    line("checkPng (validation decode)", get("BM_checkPng"), "ms", 1e3, 1e9, "");
    line("readSourceBitmap (radar BMP)", get("BM_readSourceBitmap"), "ms", 1e3, 1e9, "");
    line("scan + classify, normal radii", get("BM_scanClassify/0"), "ms", 1e3, 0.2e-3, "< 0.2 ms");
    line("scan + classify, wide radii", get("BM_scanClassify/1"), "ms", 1e3, 0.2e-3, "< 0.2 ms");
    line("composeDetail with file I/O", get("BM_composeDetail"), "ms", 1e3, 3e-3, "< 3 ms");
    line("composeSmall with file I/O", get("BM_composeSmall"), "ms", 1e3, 3e-3, "< 3 ms");
    line("composeBase with file I/O", get("BM_composeBase"), "ms", 1e3, 3e-3, "< 3 ms");
    line("writeComposite alone (658x648)", get("BM_writeComposite"), "ms", 1e3, 1e9, "");
    const double floor = get("BM_memcpyComposite");
    line("memcpy of 658x648x3 bytes", floor, "ms", 1e3, 1e9, "");
    if (floor > 0 && get("BM_composeDetail") > 0)
        std::printf("%-36s %10.1f x\n", "composeDetail / memcpy floor",
                    get("BM_composeDetail") / floor);
    line("service render+encode (not ours)", get("BM_serviceRenderDetail/iterations:5"), "ms", 1e3,
         1e9, "");
}

}  // namespace

int main(int argc, char** argv) {
    // Medians of ten repetitions unless the caller says otherwise.
    std::vector<char*> args(argv, argv + argc);
    bool repetitionsGiven = false;
    for (int i = 1; i < argc; ++i)
        if (std::strncmp(argv[i], "--benchmark_repetitions", 23) == 0) repetitionsGiven = true;
    static char repetitions[] = "--benchmark_repetitions=10";
    static char aggregatesOnly[] = "--benchmark_display_aggregates_only=true";
    if (!repetitionsGiven) {
        args.push_back(repetitions);
        args.push_back(aggregatesOnly);
    }
    int count = static_cast<int>(args.size());
    benchmark::Initialize(&count, args.data());
    if (benchmark::ReportUnrecognizedArguments(count, args.data())) return 1;

    std::string error;
    if (!prepare(error)) {
        std::fprintf(stderr, "stage_bench: %s\n", error.c_str());
        return 1;
    }
    std::printf("detail image %dx%d (%zu bytes PNG), small %dx%d, region %s, minute %lld\n",
                files.region.detailWidth, files.region.detailHeight,
                static_cast<size_t>(std::filesystem::file_size(files.detailPng)),
                files.region.smallWidth, files.region.smallHeight, files.region.key.c_str(),
                files.minute);
    SummaryReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    printSummary(reporter.medians);
    benchmark::Shutdown();
    files = StageFiles{};
    return 0;
}
