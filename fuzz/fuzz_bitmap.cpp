// Arbitrary bytes as a converted radar image (8-bit BMP): read, scanned
// around a location, classified, and laid over a base map. Parameters come
// from header bytes the reader ignores (reserved, resolution and colour
// count fields), so the fuzzer steers them without changing what is read.
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "cycle/classify.h"
#include "cycle/rain_scan.h"
#include "fuzz_support.h"
#include "imaging/bitmap.h"
#include "imaging/composite.h"
#include "support/bmp_builder.h"

using namespace nimbrel;
using namespace nimbrel::fuzz;

namespace {

struct Params {
    int px = 0;  // location pixel, from the left
    int py = 0;  // from the top
    int configuredWidth = 0;
    int configuredHeight = 0;
    bool widened = false;
    int viewOddity = 0;  // 0 plain, 1 latitude NaN, 2 longitude infinite, 3 huge scales
    Tint tint;
};

// Offsets 6..9, 38..45 and 46..53 of the header.
Params paramsOf(const uint8_t* data, size_t size, int width, int height) {
    Params p;
    const uint8_t flags = size > 50 ? data[50] : 0;
    p.widened = flags & 1;
    p.viewOddity = (flags >> 1) & 3;
    const uint16_t x = le16At(data, size, 6);
    const uint16_t y = le16At(data, size, 8);
    if (flags & 8) {
        // Anywhere a 16-bit position reaches.
        p.px = static_cast<int16_t>(x);
        p.py = static_cast<int16_t>(y);
    } else {
        // In or near the image, so the scan reads its pixels.
        p.px = static_cast<int>(x % (width + 215)) - 107;
        p.py = static_cast<int>(y % (height + 215)) - 107;
    }
    if (flags & 16) {
        p.configuredWidth = static_cast<int16_t>(le16At(data, size, 38));
        p.configuredHeight = static_cast<int16_t>(le16At(data, size, 42));
    } else {
        p.configuredWidth = width;
        p.configuredHeight = height;
    }
    auto s8 = [&](size_t at) { return at < size ? static_cast<int8_t>(data[at]) * 2 : 0; };
    p.tint = {s8(51), s8(52), s8(53)};
    return p;
}

ViewParams viewOf(const Params& p) {
    ViewParams v;
    v.west = 0;
    v.north = 0;
    v.scaleX = 1;
    v.scaleY = -1;
    v.longitude = p.px / 3600.0;
    v.latitude = -p.py / 3600.0;
    switch (p.viewOddity) {
        case 1:
            v.latitude = std::numeric_limits<double>::quiet_NaN();
            break;
        case 2:
            v.longitude = -std::numeric_limits<double>::infinity();
            break;
        case 3:
            v.scaleX = 1e300;
            v.scaleY = -1e300;
            break;
    }
    return v;
}

Bmp8Image baseMap(int width, int height) {
    Bmp8Image image = blankBmp8(width, height);
    for (int i = 0; i < 256; ++i) {
        image.colours.push_back({static_cast<uint8_t>(i), static_cast<uint8_t>(255 - i),
                                 static_cast<uint8_t>((i * 37) & 0xFF)});
    }
    for (size_t i = 0; i < image.pixels.size(); ++i) image.pixels[i] = static_cast<uint8_t>(i * 7);
    return image;
}

Bgr colourOf(const SourceBitmap& bitmap, int index) {
    return {bitmap.colours.blue[index], bitmap.colours.green[index], bitmap.colours.red[index]};
}

const std::string kPrevious = "the picture of the previous cycle";
const std::set<std::string> kOurFiles = {"vesk_image.bmp", "basemap.bmp", "basemaps.bmp",
                                         "vesk_detail.bmp"};

enum class Kind { Detail, Small, Base };

// Runs one composite over a file that already holds the previous picture and
// checks the result pixel by pixel against the sources read whole.
void checkComposite(Kind kind, const std::string& radarPath, const SourceBitmap* radar,
                    const std::string& basePath, const SourceBitmap& base, const Params& p) {
    static const std::string outPath = scratchFile("vesk_detail.bmp");
    writeFile(outPath, kPrevious);
    const ViewParams view = viewOf(p);
    CompositeResult result;
    switch (kind) {
        case Kind::Detail:
            result = composeDetail(radarPath, basePath, outPath, view);
            break;
        case Kind::Small:
            result = composeSmall(radarPath, basePath, outPath, view, p.tint);
            break;
        case Kind::Base:
            result = composeBase(basePath, outPath, view);
            break;
    }
    const std::string out = readFile(outPath);
    const bool usable = base.ok() && (kind == Kind::Base || radar->ok());
    const bool sameSize =
        kind == Kind::Base || (radar->width == base.width && radar->height == base.height);
    if (!usable || !sameSize) {
        FUZZ_CHECK(!result.ok(), "a composite of an unusable source succeeded");
        FUZZ_CHECK(usable || result.error != CompositeError::SizeMismatch,
                   "size mismatch reported for an unreadable source");
        FUZZ_CHECK(out == kPrevious, "a failed composite touched the previous picture");
        return;
    }
    FUZZ_CHECK(result.ok(), "composite failed: " + result.reasonText());

    const ViewWindow& w = result.window;
    const ViewLimits limits = kind == Kind::Base ? kBaseViewLimits : kDetailViewLimits;
    FUZZ_CHECK(w.width == std::min(base.width, limits.maxWidth) &&
                   w.height == std::min(base.height, limits.maxHeight),
               "window size");
    FUZZ_CHECK(
        w.x0 >= 0 && w.x0 + w.width <= base.width && w.y0 >= 0 && w.y0 + w.height <= base.height,
        "window outside the image");

    const int stride = compositeStride(w.width);
    FUZZ_CHECK(out.size() == kBitmapHeaderBytes + static_cast<size_t>(stride) * w.height,
               "picture of " + std::to_string(out.size()) + " bytes");
    const auto header = compositeHeader(w.width, w.height);
    FUZZ_CHECK(out.compare(0, header.size(), reinterpret_cast<const char*>(header.data()),
                           header.size()) == 0,
               "picture header");
    // Every pixel against the per-pixel rule, each class and base colour
    // index worked out once, so that large pictures stay quick to check.
    std::vector<std::optional<Bgr>> known(256 * 256);
    auto expectedAt = [&](int v, int i) {
        std::optional<Bgr>& e = known[static_cast<size_t>(v) * 256 + i];
        if (!e) {
            const Bgr under = colourOf(base, i);
            e = kind == Kind::Detail  ? detailClassColour(v, under)
                : kind == Kind::Small ? smallClassColour(v, under, p.tint)
                                      : under;
        }
        return *e;
    };
    for (int k = 0; k < w.height; ++k) {
        const char* row = out.data() + kBitmapHeaderBytes + static_cast<size_t>(k) * stride;
        for (int c = 3 * w.width; c < stride; ++c)
            FUZZ_CHECK(row[c] == 0, "picture row padding not zero");
        for (int c = 0; c < w.width; ++c) {
            const int v = kind == Kind::Base ? 0 : radar->at(w.x0 + c, w.y0 + k);
            const Bgr expected = expectedAt(v, base.at(w.x0 + c, w.y0 + k));
            const Bgr got{static_cast<uint8_t>(row[3 * c]), static_cast<uint8_t>(row[3 * c + 1]),
                          static_cast<uint8_t>(row[3 * c + 2])};
            FUZZ_CHECK(got == expected, "pixel " + std::to_string(c) + "," + std::to_string(k));
        }
    }
}

void checkScan(const SourceBitmap& bitmap, const Params& p) {
    const PixelBlock block{bitmap.pixels.data(), bitmap.width, bitmap.height, bitmap.stride};
    const WarnRadii& radii = p.widened ? kWidenedRadii : kNormalRadii;
    const ScanResult scan =
        scanRain(block, p.px, p.py, radii, p.configuredWidth, p.configuredHeight);
    FUZZ_CHECK(scan.error == ScanError::None, "scan refused a bitmap that was read");

    long long total = 0;
    for (const auto& band : scan.counts) {
        for (int32_t n : band) {
            FUZZ_CHECK(n >= 0, "negative count");
            total += n;
        }
    }
    const long long side = 2 * static_cast<long long>(radii.squareHalfSide) + 1;
    FUZZ_CHECK(total <= side * side, "more pixels counted than the square holds");
    FUZZ_CHECK(total <= static_cast<long long>(bitmap.width) * bitmap.height,
               "more pixels counted than the image holds");

    // At most 99 lines of at most 125 pixels and the "@".
    size_t lines = 0;
    size_t start = 0;
    while (start < scan.picture.size()) {
        const size_t end = scan.picture.find("\r\n", start);
        FUZZ_CHECK(end != std::string::npos, "picture line without CR LF");
        FUZZ_CHECK(end - start <= 126, "picture line of " + std::to_string(end - start));
        ++lines;
        start = end + 2;
    }
    FUZZ_CHECK(lines <= 99, "picture of " + std::to_string(lines) + " lines");

    // The previous cycle's counts: the same image one pixel further east.
    const ScanResult before =
        scanRain(block, p.px + 1, p.py, radii, p.configuredWidth, p.configuredHeight);
    const ClassRecords classes = classifyRain(scan.counts, before.counts);
    const Levels levels = levelsOf(classes);
    for (int level : levels) FUZZ_CHECK(level >= 0 && level <= 3, "level out of range");
    const Levels prevLevels = levelsOf(classifyRain(before.counts, scan.counts));
    statusLines(classes, coverageNote(scan.counts));
    headline(classes);
    statusRgb(statusColor(levels));
    for (int soundLevel = 0; soundLevel <= 2; ++soundLevel) {
        const SoundKind sound = chooseSound(prevLevels, levels, soundLevel);
        FUZZ_CHECK(soundLevel < 2 || sound == SoundKind::None, "sound at the silent level");
    }
    const std::string table = countTableText(scan.counts);
    FUZZ_CHECK(std::count(table.begin(), table.end(), '\n') == 8, "count table lines");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string radarPath = scratchFile("vesk_image.bmp");
    static const std::string basePath = scratchFile("basemap.bmp");
    static const std::string otherPath = scratchFile("basemaps.bmp");
    static const SourceBitmap other = [] {
        writeBmp8(otherPath, baseMap(5, 3));
        return readSourceBitmap(otherPath);
    }();

    writeFile(radarPath, data, size);
    const SourceBitmap radar = readSourceBitmap(radarPath);
    const Params p = paramsOf(data, size, radar.width, radar.height);

    // Against a base map of another size, and as the base map itself.
    checkComposite(Kind::Detail, radarPath, &radar, otherPath, other, p);
    checkComposite(Kind::Base, radarPath, nullptr, radarPath, radar, p);
    if (!radar.ok()) {
        checkOnlyThese(kOurFiles);
        return 0;
    }
    FUZZ_CHECK(radar.rowCount == radar.height && radar.firstRow == 0 &&
                   radar.pixels.size() == static_cast<size_t>(radar.stride) * radar.height,
               "a whole read holds every row");

    checkScan(radar, p);

    writeBmp8(basePath, baseMap(radar.width, radar.height));
    const SourceBitmap base = readSourceBitmap(basePath);
    FUZZ_CHECK(base.ok(), "the base map does not read");
    checkComposite(Kind::Detail, radarPath, &radar, basePath, base, p);
    checkComposite(Kind::Small, radarPath, &radar, basePath, base, p);
    checkComposite(Kind::Detail, basePath, &base, radarPath, radar, p);
    checkComposite(Kind::Detail, radarPath, &radar, radarPath, radar, p);
    checkComposite(Kind::Small, radarPath, &radar, radarPath, radar, p);
    checkOnlyThese(kOurFiles);
    return 0;
}
