// The service's answers without HTTP: routes, publication delay, faults.
#include "service/radar_service.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <functional>

#include "service/png_codec.h"
#include "service/replay_event.h"
#include "support/png_builder.h"
#include "support/temp_dir.h"

using namespace nimbrel;

namespace {

const std::string kAreaMap = std::string(NIMBREL_SOURCE_DIR) + "/data/area_map.ini";

std::vector<ServiceRegion> regions() {
    const ServiceRegionsResult r = loadServiceRegions(kAreaMap);
    EXPECT_EQ(r.error, ServiceRegionsError::None) << r.message;
    return r.regions;
}

const DateTime kNow{2024, 5, 5, 14, 37, 29};
const long long kMinute = minuteIndex(kNow);  // 14:37

ServiceOptions at(DateTime now) {
    ServiceOptions o;
    o.clock = [now] { return now; };
    return o;
}

std::string detailPath(long long minute) {
    return radarImagePath("kanto", minute, ImageKind::Detail);
}

}  // namespace

TEST(RadarService, ServesEveryRouteAtTheRegionTablesSizes) {
    RadarService svc(regions(), at(kNow));
    for (const ServiceRegion& r : svc.regions()) {
        for (ImageKind kind : {ImageKind::Small, ImageKind::Detail}) {
            for (const std::string& path :
                 {baseMapPath(r.key, kind), radarImagePath(r.key, kMinute - 1, kind)}) {
                const HttpAnswer a = svc.get(path);
                ASSERT_EQ(a.status, 200) << path << ": " << a.body;
                EXPECT_EQ(a.contentType, "image/png");
                const PngDecodeResult png = decodePalettePng(a.body);
                ASSERT_EQ(png.error, PngError::None) << path;
                EXPECT_EQ(png.image.width, r.width(kind)) << path;
                EXPECT_EQ(png.image.height, r.height(kind)) << path;
            }
        }
    }
}

TEST(RadarService, AnswersNotFoundForWhatItDoesNotHave) {
    RadarService svc(regions(), at(kNow));
    struct Case {
        std::string path;
        int status;
    } cases[] = {
        {detailPath(kMinute - 1), 200},
        {"/xbandradar/map/nowhere/2/basemap1.png", 404},
        {radarImagePath("nowhere", kMinute - 1, ImageKind::Detail), 404},
        {"/xbandradar/rdimg/kanto/20240505/0600/kanto20240505T1436_detail.png", 404},
        {"/xbandradar/rdimg/kanto/20240505/1200/kanto20240505T1436.png", 404},
        {"/index.html", 404},
        {detailPath(kMinute + 1), 404},
        {detailPath(kMinute + 60 * 24), 404},
    };
    for (const Case& c : cases) EXPECT_EQ(svc.get(c.path).status, c.status) << c.path;
}

TEST(RadarService, PublishesAMinuteThirtySecondsAfterItStarts) {
    struct Case {
        DateTime clock;
        long long offset;
        int delay;
        bool noDelay;
        int status;
    } cases[] = {
        {{2024, 5, 5, 14, 37, 29}, 0, 30, false, 404},
        {{2024, 5, 5, 14, 37, 30}, 0, 30, false, 200},
        {{2024, 5, 5, 14, 37, 0}, 0, 0, false, 200},
        {{2024, 5, 5, 14, 36, 59}, 0, 0, false, 404},
        {{2024, 5, 5, 14, 37, 0}, 29, 30, false, 404},
        {{2024, 5, 5, 14, 37, 0}, 30, 30, false, 200},
        {{2024, 5, 5, 14, 38, 10}, -70, 30, false, 404},
        {{2024, 5, 5, 14, 38, 10}, -40, 30, false, 200},
        {{2024, 5, 5, 14, 0, 0}, 0, 30, true, 200},   // any minute, future included
        {{2024, 5, 6, 0, 0, 30}, 0, 30, false, 200},  // the day turned over meanwhile
    };
    for (const Case& c : cases) {
        ServiceOptions o = at(c.clock);
        o.clockOffsetSeconds = c.offset;
        o.delaySeconds = c.delay;
        o.noDelay = c.noDelay;
        RadarService svc(regions(), o);
        EXPECT_EQ(svc.get(detailPath(kMinute)).status, c.status)
            << c.clock.hour << ":" << c.clock.minute << ":" << c.clock.second << " offset "
            << c.offset;
    }
}

TEST(RadarService, SameMinuteGivesTheSameBytesAcrossServices) {
    RadarService a(regions(), at(kNow)), b(regions(), at(kNow));
    const std::string first = a.get(detailPath(kMinute - 3)).body;
    a.get(detailPath(kMinute - 2));
    EXPECT_EQ(a.get(detailPath(kMinute - 3)).body, first);
    EXPECT_EQ(b.get(detailPath(kMinute - 3)).body, first);
    EXPECT_NE(a.get(detailPath(kMinute - 2)).body, first);
}

TEST(RadarService, FaultSwitchesSpoilTheNextRequestsThenClear) {
    struct Case {
        const char* mode;
        int expectStatus;
        PngError expectPng;  // of the spoilt answer's body
    } cases[] = {
        {"fail", 404, PngError::NotPng},       {"error500", 500, PngError::NotPng},
        {"truncated", 200, PngError::Corrupt}, {"notpng", 200, PngError::NotPng},
        {"huge", 200, PngError::TooLarge},     {"stall", 200, PngError::None},
    };
    for (const Case& c : cases) {
        RadarService svc(regions(), at(kNow));
        const std::string good = svc.get(detailPath(kMinute - 1)).body;
        const HttpAnswer set =
            svc.control("/_control/fault", {{"mode", c.mode}, {"count", "2"}, {"seconds", "3"}});
        ASSERT_EQ(set.status, 200) << c.mode;
        for (int i = 0; i < 2; ++i) {
            const HttpAnswer a = svc.get(detailPath(kMinute - 1));
            EXPECT_EQ(a.status, c.expectStatus) << c.mode;
            EXPECT_EQ(decodePalettePng(a.body).error, c.expectPng) << c.mode;
            EXPECT_EQ(a.stallMs, std::string(c.mode) == "stall" ? 3000 : 0) << c.mode;
            if (std::string(c.mode) == "truncated") {
                EXPECT_EQ(a.body.size(), good.size() / 2);
            }
        }
        const HttpAnswer after = svc.get(detailPath(kMinute - 1));
        EXPECT_EQ(after.status, 200) << c.mode;
        EXPECT_EQ(after.body, good) << c.mode;
        EXPECT_EQ(after.stallMs, 0);
    }
}

TEST(RadarService, FaultsCanTargetSomePathsAndBadSwitchesAreRefused) {
    RadarService svc(regions(), at(kNow));
    ASSERT_EQ(svc.control("/_control/fault", {{"mode", "fail"}, {"match", "_top.png"}}).status,
              200);
    EXPECT_EQ(svc.get(detailPath(kMinute - 1)).status, 200);
    EXPECT_EQ(svc.get(radarImagePath("kanto", kMinute - 1, ImageKind::Small)).status, 404);
    EXPECT_EQ(svc.get(radarImagePath("kanto", kMinute - 1, ImageKind::Small)).status, 200);

    struct Case {
        std::multimap<std::string, std::string> params;
        int status;
    } cases[] = {
        {{}, 400},
        {{{"mode", "explode"}}, 400},
        {{{"mode", "fail"}, {"count", "-1"}}, 400},
        {{{"mode", "fail"}, {"count", "100001"}}, 400},
        {{{"mode", "fail"}, {"count", "100000"}}, 200},
        {{{"mode", "fail"}, {"count", "2x"}}, 400},
        {{{"mode", "stall"}, {"seconds", "601"}}, 400},
        {{{"mode", "stall"}, {"seconds", "600"}}, 200},
        {{{"mode", "none"}}, 200},
    };
    for (const Case& c : cases)
        EXPECT_EQ(svc.control("/_control/fault", c.params).status, c.status);
    // "none" above switched the stall off.
    EXPECT_EQ(svc.fault().mode, FaultMode::None);
    EXPECT_EQ(svc.control("/_control/unknown", {}).status, 404);
}

TEST(RadarService, KeepsALogOfRequestsThatTestsCanReadAndClear) {
    RadarService svc(regions(), at(kNow));
    svc.get(baseMapPath("kanto", ImageKind::Small));
    svc.get("/nothing");
    EXPECT_EQ(svc.control("/_control/log", {}).body,
              "200 /xbandradar/map/kanto/1/basemap1.png\n404 /nothing\n");
    EXPECT_EQ(svc.control("/_control/log", {{"clear", "1"}}).status, 200);
    EXPECT_TRUE(svc.requestLog().empty());
}

// ---- A recorded event replayed over one region ----

namespace {

const std::string kRealEvent = std::string(NIMBREL_TESTDATA_DIR) + "/realrain/fmi-20160928";

// Frame i of a small made-up event: every pixel a class, every frame different.
uint8_t madeUp(int frame, int x, int y) {
    return static_cast<uint8_t>((3 * frame + x + 2 * y) % 11);
}

// Writes f000.png, f001.png, ... (4- and 8-bit in turn, as either may come).
void writeFrames(const TempDir& dir, int count, int w, int h,
                 uint8_t (*value)(int, int, int) = madeUp) {
    for (int i = 0; i < count; ++i) {
        std::vector<uint16_t> px;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) px.push_back(value(i, x, y));
        char name[16];
        std::snprintf(name, sizeof name, "f%03d.png", i);
        writePng(dir.file(name), palettePng(w, h, i % 2 ? 4 : 8, distinctPalette(16), px));
    }
}

// Requests that change one thing.
ReplayRequest inRegion(const std::string& key) {
    ReplayRequest r;
    r.regionKey = key;
    return r;
}
ReplayRequest anchoredAt(int x, int y) {
    ReplayRequest r;
    r.anchor = {{x, y}};
    return r;
}
ReplayRequest atPoint(double lat, double lon) {
    ReplayRequest r;
    r.latitude = lat;
    r.longitude = lon;
    return r;
}
ReplayRequest startingAt(long long minute) {
    ReplayRequest r;
    r.startMinute = minute;
    return r;
}

ServiceOptions replaying(const ReplayLoad& load, const ReplayRequest& request) {
    ServiceOptions o = at(kNow);
    EXPECT_TRUE(load.event) << load.error;
    if (!load.event) return o;
    const ReplayPlacementResult placed = placeReplay(*load.event, regions(), request);
    EXPECT_EQ(placed.error, "");
    o.replay = {load.event, placed.placement};
    return o;
}

PaletteImage served(RadarService& svc, const std::string& key, long long minute,
                    ImageKind kind = ImageKind::Detail) {
    const HttpAnswer a = svc.get(radarImagePath(key, minute, kind));
    EXPECT_EQ(a.status, 200) << a.body;
    return decodePalettePng(a.body).image;
}

// Which frame the image shows with frame pixel (0, 0) on detail pixel
// (ox, oy); -1: none of them, or a pixel around the frame is not class 2.
int shownFrame(const PaletteImage& img, const ReplayEvent& event, int ox, int oy) {
    if (img.pixels.empty()) return -1;
    for (int y = -1; y <= event.height(); ++y)
        for (int x = -1; x <= event.width(); ++x) {
            const bool inside = x >= 0 && y >= 0 && x < event.width() && y < event.height();
            if (!inside && img.at(ox + x, oy + y) != kOutsideCoverage) return -1;
        }
    for (int i = 0; i < event.frameCount(); ++i) {
        bool same = true;
        for (int y = 0; y < event.height(); ++y)
            for (int x = 0; x < event.width(); ++x)
                same = same && img.at(ox + x, oy + y) == event.frame(i).at(x, y);
        if (same) return i;
    }
    return -1;
}

}  // namespace

TEST(Replay, ShowsFrameIAtMinuteStartPlusIWithTheAnchorOnThePoint) {
    TempDir dir;
    writeFrames(dir, 3, 7, 5);
    const ReplayLoad load = ReplayEvent::load(dir.path().string());
    ASSERT_TRUE(load.event) << load.error;
    const long long t0 = kMinute - 15;
    struct Case {
        ReplayRequest request;
        const char* region;
        int originX, originY;  // Tokyo is detail pixel (657, 724) of kanto
        std::vector<std::pair<long long, int>> minuteFrames;
    } cases[] = {
        {{}, "kanto", 654, 722, {{t0, 0}, {t0 + 1, 1}, {t0 + 2, 2}, {t0 + 3, 2}, {t0 - 1, 0}}},
        {anchoredAt(0, 0), "kanto", 657, 724, {{t0 + 7, 2}, {t0 - 3, 0}}},
        {anchoredAt(6, 4), "kanto", 651, 720, {{t0 + 2, 2}}},
        {inRegion("shizuoka"), "shizuoka", 1158, 317, {{t0 + 1, 1}}},
        {atPoint(34.6937, 135.5023), "kinki", 657, 630, {{t0, 0}}},
        {startingAt(kMinute - 100), "kanto", 654, 722, {{kMinute - 99, 1}, {kMinute - 1, 2}}},
    };
    for (const Case& c : cases) {
        RadarService svc(regions(), replaying(load, c.request));
        ASSERT_EQ(svc.replay().placement.regionKey, c.region);
        EXPECT_EQ(svc.replay().placement.originX, c.originX) << c.region;
        EXPECT_EQ(svc.replay().placement.originY, c.originY) << c.region;
        for (auto [minute, frame] : c.minuteFrames) {
            const PaletteImage img = served(svc, c.region, minute);
            EXPECT_EQ(shownFrame(img, *load.event, c.originX, c.originY), frame)
                << c.region << " minute " << minute - t0;
            EXPECT_EQ(img.at(0, 0), kOutsideCoverage);
            EXPECT_EQ(img.at(img.width - 1, img.height - 1), kOutsideCoverage);
        }
    }
    // Other regions keep the generated field.
    RadarService plain(regions(), at(kNow)), replayed(regions(), replaying(load, {}));
    EXPECT_EQ(replayed.get(radarImagePath("tokai", t0, ImageKind::Detail)).body,
              plain.get(radarImagePath("tokai", t0, ImageKind::Detail)).body);
    EXPECT_NE(replayed.get(detailPath(t0)).body, plain.get(detailPath(t0)).body);
}

TEST(Replay, TheTopImageIsTheFramesScaledDownByNearestNeighbour) {
    // Left half class 4, right half class 8; the frame covers kanto's detail
    // pixels 635..678 x 713..734, small pixels about 346..369 x 389..400.
    TempDir dir;
    writeFrames(dir, 1, 44, 22, [](int, int x, int) -> uint8_t { return x < 22 ? 4 : 8; });
    RadarService svc(regions(), replaying(ReplayEvent::load(dir.path().string()), {}));
    const PaletteImage top = served(svc, "kanto", kMinute - 5, ImageKind::Small);
    ASSERT_EQ(top.width, 720);
    const struct {
        int x, y, cls;
    } pixels[] = {{345, 395, 2}, {346, 395, 4}, {357, 395, 4}, {358, 395, 8}, {369, 395, 8},
                  {370, 395, 2}, {358, 388, 2}, {358, 389, 8}, {358, 400, 8}, {358, 401, 2}};
    for (const auto& p : pixels) EXPECT_EQ(top.at(p.x, p.y), p.cls) << p.x << "," << p.y;
}

TEST(Replay, RefusesFoldersWithoutUsableFramesAndPlacesOffTheMap) {
    auto bytesTo = [](const TempDir& d, const char* name, const std::string& bytes) {
        writeFileBytes(d.file(name), bytes);
    };
    struct Case {
        const char* name;
        std::function<void(const TempDir&)> make;
        const char* error;
    } cases[] = {
        {"missing", [](const TempDir&) {}, "no such folder"},
        {"no frames", [&](const TempDir& d) { bytesTo(d, "README.md", "x"); }, "no frames"},
        {"gap",
         [&](const TempDir& d) {
             writeFrames(d, 1, 4, 4);
             writeFileBytes(d.file("f002.png"), readFileBytes(d.file("f000.png")));
         },
         "f001.png is missing"},
        {"two frame 1s",
         [&](const TempDir& d) {
             writeFrames(d, 2, 4, 4);
             writeFileBytes(d.file("f1.png"), readFileBytes(d.file("f000.png")));
         },
         "two files are frame 1"},
        {"sizes differ",
         [&](const TempDir& d) {
             writeFrames(d, 1, 4, 4);
             writePng(d.file("f001.png"), palettePng(5, 4, 8, distinctPalette(16), {}));
         },
         "is 5 x 4, the first frame 4 x 4"},
        {"not a class",
         [&](const TempDir& d) {
             writePng(d.file("f000.png"), palettePng(2, 2, 8, distinctPalette(16), {0, 3, 11}));
         },
         "pixel (0, 1) holds 11"},
        {"not a PNG", [&](const TempDir& d) { bytesTo(d, "f000.png", "<html>"); }, "not a PNG"},
        {"too wide",
         [&](const TempDir& d) {
             writePng(d.file("f000.png"), palettePng(4097, 1, 8, distinctPalette(16), {}));
         },
         "too large"},
    };
    for (const Case& c : cases) {
        TempDir dir;
        c.make(dir);
        const std::string folder =
            dir.path().string() + (std::string(c.name) == "missing" ? "/no" : "");
        const ReplayLoad load = ReplayEvent::load(folder);
        EXPECT_FALSE(load.event) << c.name;
        EXPECT_NE(load.error.find(c.error), std::string::npos) << c.name << ": " << load.error;
    }

    TempDir dir;
    writeFrames(dir, 1, 7, 5);
    const ReplayLoad load = ReplayEvent::load(dir.path().string());
    ASSERT_TRUE(load.event) << load.error;
    const struct {
        ReplayRequest request;
        const char* error;
    } places[] = {
        {inRegion("nowhere"), "unknown region nowhere"},
        {inRegion("hokkaido"), "not in the detail image of hokkaido"},
        {atPoint(0, 0), "no region holds the point 0.0000, 0.0000"},
        {anchoredAt(7, 0), "anchor 7,0 is not a pixel"},
        {anchoredAt(0, -1), "anchor 0,-1 is not a pixel"},
    };
    for (const auto& p : places)
        EXPECT_NE(placeReplay(*load.event, regions(), p.request).error.find(p.error),
                  std::string::npos)
            << p.error;
}

TEST(Replay, TheRealEventLoadsWithItsClassesAndIsPlacedOverTokyo) {
    if (!std::filesystem::is_directory(kRealEvent))
        GTEST_SKIP() << "the real rain event is not there: " << kRealEvent;
    const ReplayLoad load = ReplayEvent::load(kRealEvent);
    ASSERT_TRUE(load.event) << load.error;
    ASSERT_EQ(load.event->frameCount(), 40);
    ASSERT_EQ(load.event->width(), 760);
    ASSERT_EQ(load.event->height(), 1226);
    // The class counts of all frames together, as meta.json gives them.
    std::array<long long, 11> counts{};
    for (int i = 0; i < 40; ++i)
        for (uint8_t c : load.event->frame(i).pixels) ++counts[c];
    EXPECT_EQ(counts, (std::array<long long, 11>{19640927, 0, 9073760, 6356598, 2129430, 57289,
                                                 10633, 1386, 319, 48, 10}));
    // Centre (380, 613) on Tokyo (657, 724); the frame's last 78 rows fall
    // below kanto's 1260.
    ServiceOptions o = replaying(load, {});
    o.noDelay = true;  // the last frames are minutes ahead of the clock
    RadarService svc(regions(), o);
    for (int i : {0, 17, 39}) {
        const PaletteImage img = served(svc, "kanto", kMinute - 15 + i);
        ASSERT_EQ(img.width, 1320);
        const PaletteImage& f = load.event->frame(i);
        long long differ = 0, uncoveredNot2 = 0;
        for (int y = 0; y < img.height; ++y)
            for (int x = 0; x < img.width; ++x) {
                const int fx = x - 277, fy = y - 111;
                if (fx >= 0 && fy >= 0 && fx < f.width && fy < f.height)
                    differ += img.at(x, y) != f.at(fx, fy);
                else
                    uncoveredNot2 += img.at(x, y) != kOutsideCoverage;
            }
        EXPECT_EQ(differ, 0) << "frame " << i;
        EXPECT_EQ(uncoveredNot2, 0) << "frame " << i;
        EXPECT_EQ(img.at(277 + 380, 111 + 613), f.at(380, 613));
    }
}
