#include "service/replay_event.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <map>

#include "imaging/png_to_bmp.h"

namespace nimbrel {

namespace {

ReplayLoad failure(std::string message) {
    return {nullptr, std::move(message)};
}

std::string frameName(long long index) {
    char name[32];
    std::snprintf(name, sizeof name, "f%03lld.png", index);
    return name;
}

// The frame number of "f<digits>.png"; -1 for any other name.
long long frameNumber(const std::string& name) {
    if (name.size() < 6 || name.size() > 12 || name.front() != 'f' || !name.ends_with(".png"))
        return -1;
    long long n = 0;
    for (size_t i = 1; i + 4 < name.size(); ++i) {
        if (name[i] < '0' || name[i] > '9') return -1;
        n = n * 10 + (name[i] - '0');
    }
    return n;
}

// What is wrong with a frame, measured against the first one; empty when
// nothing is.
std::string frameProblem(const PaletteImage& frame, const PaletteImage& first) {
    if (frame.width < 1 || frame.height < 1 || frame.width > kMaxImageSide ||
        frame.height > kMaxImageSide ||
        frame.pixels.size() != static_cast<size_t>(frame.width) * frame.height) {
        return "size " + std::to_string(frame.width) + " x " + std::to_string(frame.height) +
               " is not 1 to " + std::to_string(kMaxImageSide) + " pixels a side";
    }
    if (frame.width != first.width || frame.height != first.height) {
        return "is " + std::to_string(frame.width) + " x " + std::to_string(frame.height) +
               ", the first frame " + std::to_string(first.width) + " x " +
               std::to_string(first.height);
    }
    const auto bad = std::find_if(frame.pixels.begin(), frame.pixels.end(),
                                  [](uint8_t v) { return v > kMaxReplayClass; });
    if (bad != frame.pixels.end()) {
        const size_t at = static_cast<size_t>(bad - frame.pixels.begin());
        return "pixel (" + std::to_string(at % frame.width) + ", " +
               std::to_string(at / frame.width) + ") holds " + std::to_string(*bad) +
               ", not a radar class 0.." + std::to_string(kMaxReplayClass);
    }
    return {};
}

std::string tooMuch(long long frames, const PaletteImage& first) {
    if (frames > kMaxReplayFrames)
        return std::to_string(frames) + " frames, more than " + std::to_string(kMaxReplayFrames);
    if (frames * first.width * first.height > kMaxReplayPixels)
        return std::to_string(frames) + " frames of " + std::to_string(first.width) + " x " +
               std::to_string(first.height) + " pixels, more than " +
               std::to_string(kMaxReplayPixels >> 20) + " Mi pixels in all";
    return {};
}

}  // namespace

ReplayLoad ReplayEvent::load(const std::string& folder) {
    namespace fs = std::filesystem;
    std::error_code ec;
    if (!fs::is_directory(folder, ec)) return failure(folder + ": no such folder");
    std::map<long long, fs::path> numbered;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        const long long n = frameNumber(it->path().filename().string());
        if (n < 0) continue;
        if (!numbered.emplace(n, it->path()).second)
            return failure(folder + ": two files are frame " + std::to_string(n));
    }
    if (ec) return failure(folder + ": " + ec.message());
    if (numbered.empty()) return failure(folder + ": no frames f000.png, f001.png, ... in it");
    long long expected = 0;
    for (const auto& entry : numbered) {
        if (entry.first != expected)
            return failure(folder + ": " + frameName(expected) + " is missing (frames run from " +
                           frameName(0) + " without gaps)");
        ++expected;
    }

    PngLimits limits;
    limits.maxWidth = kMaxImageSide;
    limits.maxHeight = kMaxImageSide;
    std::vector<PaletteImage> frames;
    for (const auto& [n, path] : numbered) {
        PaletteImage img;
        const PngCheck read = readPngIndices(path.string(), img.pixels, limits);
        if (!read.ok()) {
            return failure(path.string() + ": " + pngStatusText(read.status) +
                           (read.detail.empty() ? "" : " (" + read.detail + ")"));
        }
        img.width = static_cast<int>(read.width);
        img.height = static_cast<int>(read.height);
        frames.push_back(std::move(img));
        // Before the rest is decoded: would they all fit?
        if (n == 0) {
            if (std::string e = tooMuch(static_cast<long long>(numbered.size()), frames[0]);
                !e.empty())
                return failure(folder + ": " + e);
        }
        if (std::string e = frameProblem(frames.back(), frames.front()); !e.empty())
            return failure(path.string() + ": " + e);
    }
    return {std::shared_ptr<const ReplayEvent>(new ReplayEvent(std::move(frames))), {}};
}

std::array<long long, 2> detailPixelOf(const ServiceRegion& region, double latitude,
                                       double longitude) {
    const GeoBounds b = region.bounds();
    const double x = (longitude - b.west) * region.detailWidth / (b.east - b.west);
    const double y = (b.north - latitude) * region.detailHeight / (b.north - b.south);
    // Far outside any image is far enough (not-a-number too).
    auto whole = [](double v) {
        return static_cast<long long>(std::floor(v > -1e9 ? std::min(v, 1e9) : -1e9));
    };
    return {whole(x), whole(y)};
}

ReplayPlacementResult placeReplay(const ReplayEvent& event,
                                  const std::vector<ServiceRegion>& regions,
                                  const ReplayRequest& request) {
    ReplayPlacementResult result;
    char point[64];
    std::snprintf(point, sizeof point, "%.4f, %.4f", request.latitude, request.longitude);
    // How far inside the region's detail image the point lies, in pixels; -1
    // when outside.
    auto margin = [&](const ServiceRegion& r) {
        const auto [x, y] = detailPixelOf(r, request.latitude, request.longitude);
        const long long m = std::min({x, r.detailWidth - 1 - x, y, r.detailHeight - 1 - y});
        return m < 0 ? -1LL : m;
    };
    const ServiceRegion* region = nullptr;
    if (!request.regionKey.empty()) {
        for (const ServiceRegion& r : regions)
            if (r.key == request.regionKey) region = &r;
        if (!region) {
            result.error = "unknown region " + request.regionKey;
            return result;
        }
        if (margin(*region) < 0) {
            result.error =
                std::string("the point ") + point + " is not in the detail image of " + region->key;
            return result;
        }
    } else {
        long long best = -1;
        for (const ServiceRegion& r : regions) {
            if (const long long m = margin(r); m > best) {
                best = m;
                region = &r;
            }
        }
        if (!region) {
            result.error = std::string("no region holds the point ") + point;
            return result;
        }
    }
    const std::array<int, 2> anchor =
        request.anchor.value_or(std::array<int, 2>{event.width() / 2, event.height() / 2});
    if (anchor[0] < 0 || anchor[1] < 0 || anchor[0] >= event.width() ||
        anchor[1] >= event.height()) {
        result.error = "the anchor " + std::to_string(anchor[0]) + "," + std::to_string(anchor[1]) +
                       " is not a pixel of the " + std::to_string(event.width()) + " x " +
                       std::to_string(event.height()) + " frames";
        return result;
    }
    const auto [px, py] = detailPixelOf(*region, request.latitude, request.longitude);
    result.placement.regionKey = region->key;
    result.placement.originX = static_cast<int>(px - anchor[0]);
    result.placement.originY = static_cast<int>(py - anchor[1]);
    result.placement.startMinute = request.startMinute;
    return result;
}

int replayFrameIndex(long long minute, long long startMinute, int frameCount) {
    return static_cast<int>(std::clamp<long long>(minute - startMinute, 0, frameCount - 1));
}

PaletteImage renderReplay(const ReplayEvent& event, const ReplayPlacement& placement,
                          const ServiceRegion& region, ImageKind kind, long long minute) {
    const int w = region.width(kind), h = region.height(kind);
    PaletteImage img(w, h, kOutsideCoverage);
    const PaletteImage& frame = event.frame(
        replayFrameIndex(minute, placement.startMinute.value_or(0), event.frameCount()));
    // The detail pixel under the centre of pixel i of n: floor((i + 0.5) * detail / n).
    auto detailOf = [&](long long i, long long n, long long detail) {
        return kind == ImageKind::Detail ? i : (2 * i + 1) * detail / (2 * n);
    };
    std::vector<int> columns(static_cast<size_t>(w), -1);  // frame column, -1: none
    for (int x = 0; x < w; ++x) {
        const long long fx = detailOf(x, w, region.detailWidth) - placement.originX;
        if (fx >= 0 && fx < frame.width) columns[x] = static_cast<int>(fx);
    }
    for (int y = 0; y < h; ++y) {
        const long long fy = detailOf(y, h, region.detailHeight) - placement.originY;
        if (fy < 0 || fy >= frame.height) continue;
        const uint8_t* in = frame.pixels.data() + static_cast<size_t>(fy) * frame.width;
        uint8_t* out = img.pixels.data() + static_cast<size_t>(y) * w;
        for (int x = 0; x < w; ++x)
            if (columns[x] >= 0) out[x] = in[columns[x]];
    }
    return img;
}

}  // namespace nimbrel
