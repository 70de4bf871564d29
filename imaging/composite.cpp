#include "imaging/composite.h"

#include <algorithm>
#include <array>

#include "base/text_util.h"

namespace nimbrel {

namespace {

// Each component of a tinted class: base / divisor + addend.
struct ClassRule {
    int divisor[3];  // blue, green, red
    int addend[3];
};

// Classes 2 to 9 of the detail view.
constexpr ClassRule kDetailRules[8] = {
    {{2, 2, 2}, {69, 65, 63}},   {{3, 2, 2}, {170, 116, 61}}, {{3, 3, 3}, {170, 105, 70}},
    {{3, 2, 3}, {20, 127, 5}},   {{3, 3, 3}, {45, 143, 157}}, {{4, 4, 5}, {62, 83, 184}},
    {{6, 4, 6}, {103, 30, 175}}, {{6, 4, 6}, {165, 8, 153}},
};

// Classes 2 to 9 of the small view; 2, 7, 8 and 9 as in the detail view.
constexpr ClassRule kSmallRules[8] = {
    {{2, 2, 2}, {69, 65, 63}},   {{2, 2, 3}, {127, 102, 79}}, {{2, 3, 3}, {126, 94, 63}},
    {{3, 3, 4}, {0, 135, 0}},    {{3, 3, 4}, {44, 144, 166}}, {{4, 4, 5}, {62, 83, 184}},
    {{6, 4, 6}, {103, 30, 175}}, {{6, 4, 6}, {165, 8, 153}},
};

constexpr int kTintedClasses = 10;  // classes 0..9 have a rule; the rest are black

uint8_t component(uint8_t base, int divisor, int addend, int offset) {
    // Exact division and one rounding, halves to even.
    const long long v = roundHalfEven(static_cast<double>(base) / divisor + addend + offset);
    return static_cast<uint8_t>(std::clamp<long long>(v, 0, 255));
}

Bgr classColour(const ClassRule (&rules)[8], int v, Bgr base, Tint tint) {
    if (v == 0) return base;
    if (v < 2 || v >= kTintedClasses) return {};
    const ClassRule& r = rules[v - 2];
    const Tint t = v == 2 ? tint : Tint{};
    return {component(base.blue, r.divisor[0], r.addend[0], t.blue),
            component(base.green, r.divisor[1], r.addend[1], t.green),
            component(base.red, r.divisor[2], r.addend[2], t.red)};
}

Bgr tableColour(const ColourTable& table, int i) {
    return {table.blue[i], table.green[i], table.red[i]};
}

CompositeResult failed(CompositeError error, BitmapError bitmapError = BitmapError::None) {
    CompositeResult r;
    r.error = error;
    r.bitmapError = bitmapError;
    return r;
}

// The class rule evaluated once per class and colour-table index, so the
// pixel loop is two look-ups.
using ClassLookup = std::array<std::array<Bgr, 256>, kTintedClasses>;

ClassLookup buildLookup(const ClassRule (&rules)[8], const ColourTable& table, Tint tint) {
    ClassLookup lookup{};
    for (int v = 0; v < kTintedClasses; ++v) {
        for (int i = 0; i < 256; ++i)
            lookup[v][i] = classColour(rules, v, tableColour(table, i), tint);
    }
    return lookup;
}

// Buffers kept from one composite to the next. The pictures are rebuilt
// every few minutes at the same size, and fresh megabyte buffers cost more in
// page faults than the composing itself.
struct Scratch {
    SourceBitmap radar;
    SourceBitmap base;
    CompositePicture out;
};

Scratch& scratch() {
    thread_local Scratch s;
    return s;
}

BitmapError readHeaderInto(const std::string& path, SourceBitmap& into) {
    std::vector<uint8_t> buffer = std::move(into.pixels);
    into = readSourceHeader(path);
    into.pixels = std::move(buffer);
    return into.error;
}

CompositeResult composeOverBase(const std::string& radarBmp, const std::string& baseBmp,
                                const std::string& outBmp, const ViewParams& view,
                                ViewLimits limits, const ClassRule (&rules)[8], Tint tint) {
    Scratch& s = scratch();
    SourceBitmap& radar = s.radar;
    SourceBitmap& base = s.base;
    if (readHeaderInto(radarBmp, radar) != BitmapError::None) {
        return failed(CompositeError::RadarImage, radar.error);
    }
    if (readHeaderInto(baseBmp, base) != BitmapError::None) {
        return failed(CompositeError::BaseMap, base.error);
    }
    // Both are indexed with the radar image's geometry.
    if (radar.width != base.width || radar.height != base.height) {
        return failed(CompositeError::SizeMismatch);
    }
    CompositeResult result;
    result.window = viewWindow(radar.width, radar.height, limits, view);
    const ViewWindow& w = result.window;
    // Only the window's rows are needed: one block of rows from each file.
    if (readSourceRows(radarBmp, w.y0, w.height, radar) != BitmapError::None) {
        return failed(CompositeError::RadarImage, radar.error);
    }
    if (readSourceRows(baseBmp, w.y0, w.height, base) != BitmapError::None) {
        return failed(CompositeError::BaseMap, base.error);
    }

    const ClassLookup lookup = buildLookup(rules, base.colours, tint);
    CompositePicture& out = s.out;
    out.reset(w.width, w.height);
    for (int k = 0; k < w.height; ++k) {
        const size_t source = static_cast<size_t>(k) * radar.stride + w.x0;
        const uint8_t* classes = radar.pixels.data() + source;
        const uint8_t* indices = base.pixels.data() + source;
        uint8_t* o = out.row(k);
        for (int c = 0; c < w.width; ++c, o += 3) {
            const uint8_t v = classes[c];
            if (v >= kTintedClasses) continue;  // stays black
            const Bgr p = lookup[v][indices[c]];
            o[0] = p.blue;
            o[1] = p.green;
            o[2] = p.red;
        }
    }
    const BitmapError written = writeComposite(outBmp, out);
    if (written != BitmapError::None) return failed(CompositeError::Output, written);
    result.picture = &out;
    return result;
}

}  // namespace

Bgr detailClassColour(int v, Bgr base) {
    return classColour(kDetailRules, v, base, {});
}

Bgr smallClassColour(int v, Bgr base, Tint tint) {
    return classColour(kSmallRules, v, base, tint);
}

std::string CompositeResult::reasonText() const {
    switch (error) {
        case CompositeError::None:
            return "ok";
        case CompositeError::RadarImage:
            return std::string("radar image: ") + bitmapErrorText(bitmapError);
        case CompositeError::BaseMap:
            return std::string("base map: ") + bitmapErrorText(bitmapError);
        case CompositeError::SizeMismatch:
            return "radar image and base map differ in size";
        case CompositeError::Output:
            return std::string("picture: ") + bitmapErrorText(bitmapError);
    }
    return "unknown";
}

std::string CompositeResult::shownReason() const {
    switch (error) {
        case CompositeError::None:
            return "正常";
        case CompositeError::RadarImage:
            return std::string("レーダー画像: ") + bitmapErrorShown(bitmapError);
        case CompositeError::BaseMap:
            return std::string("地図: ") + bitmapErrorShown(bitmapError);
        case CompositeError::SizeMismatch:
            return "レーダー画像と地図の大きさが違います";
        case CompositeError::Output:
            return std::string("表示画像: ") + bitmapErrorShown(bitmapError);
    }
    return "不明な理由";
}

CompositeResult composeDetail(const std::string& radarBmp, const std::string& baseBmp,
                              const std::string& outBmp, const ViewParams& view) {
    return composeOverBase(radarBmp, baseBmp, outBmp, view, kDetailViewLimits, kDetailRules, {});
}

CompositeResult composeSmall(const std::string& radarBmp, const std::string& baseBmp,
                             const std::string& outBmp, const ViewParams& view, Tint tint) {
    return composeOverBase(radarBmp, baseBmp, outBmp, view, kSmallViewLimits, kSmallRules, tint);
}

CompositeResult composeBase(const std::string& baseBmp, const std::string& outBmp,
                            const ViewParams& view) {
    Scratch& s = scratch();
    SourceBitmap& base = s.base;
    if (readHeaderInto(baseBmp, base) != BitmapError::None) {
        return failed(CompositeError::BaseMap, base.error);
    }
    CompositeResult result;
    result.window = viewWindow(base.width, base.height, kBaseViewLimits, view);
    const ViewWindow& w = result.window;
    if (readSourceRows(baseBmp, w.y0, w.height, base) != BitmapError::None) {
        return failed(CompositeError::BaseMap, base.error);
    }
    CompositePicture& out = s.out;
    out.reset(w.width, w.height);
    for (int k = 0; k < w.height; ++k) {
        const uint8_t* indices = base.pixels.data() + static_cast<size_t>(k) * base.stride + w.x0;
        uint8_t* o = out.row(k);
        for (int c = 0; c < w.width; ++c, o += 3) {
            o[0] = base.colours.blue[indices[c]];
            o[1] = base.colours.green[indices[c]];
            o[2] = base.colours.red[indices[c]];
        }
    }
    const BitmapError written = writeComposite(outBmp, out);
    if (written != BitmapError::None) return failed(CompositeError::Output, written);
    result.picture = &out;
    return result;
}

}  // namespace nimbrel
