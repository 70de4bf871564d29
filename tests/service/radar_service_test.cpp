// The service's answers without HTTP: routes, publication delay, faults.
#include "service/radar_service.h"

#include <gtest/gtest.h>

#include "service/png_codec.h"

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
