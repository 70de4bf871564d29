#include "service/radar_paths.h"

#include <gtest/gtest.h>

using namespace nimbrel;

TEST(RadarPaths, NameTheMinuteTheSlotAndTheKind) {
    const long long m = minuteIndex(DateTime{2024, 5, 5, 14, 37, 50});
    EXPECT_EQ(radarImagePath("kanto", m, ImageKind::Detail),
              "/xbandradar/rdimg/kanto/20240505/1200/kanto20240505T1437_detail.png");
    EXPECT_EQ(radarImagePath("kanto", m, ImageKind::Small),
              "/xbandradar/rdimg/kanto/20240505/1200/kanto20240505T1437_top.png");
    EXPECT_EQ(baseMapPath("kinki", ImageKind::Detail), "/xbandradar/map/kinki/2/basemap1.png");
    EXPECT_EQ(baseMapPath("kinki", ImageKind::Small), "/xbandradar/map/kinki/1/basemap1.png");
    struct SlotCase {
        int hour;
        const char* slot;
    } slots[] = {{0, "0000"},  {5, "0000"},  {6, "0600"},  {11, "0600"},
                 {12, "1200"}, {17, "1200"}, {18, "1800"}, {23, "1800"}};
    for (const SlotCase& s : slots) EXPECT_EQ(slotOfHour(s.hour), s.slot) << s.hour;
}

TEST(RadarPaths, MinutesCountAcrossDaysMonthsAndLeapYears) {
    const DateTime cases[] = {{1970, 1, 1, 0, 0},
                              {2024, 2, 29, 23, 59},
                              {2024, 3, 1, 0, 0},
                              {2023, 12, 31, 23, 59},
                              {2100, 3, 1, 6, 0}};
    for (const DateTime& t : cases) {
        const DateTime back = dateTimeOfMinute(minuteIndex(t));
        EXPECT_EQ(back.year, t.year);
        EXPECT_EQ(back.month, t.month);
        EXPECT_EQ(back.day, t.day);
        EXPECT_EQ(back.hour, t.hour);
        EXPECT_EQ(back.minute, t.minute);
    }
    EXPECT_EQ(minuteIndex({2024, 3, 1, 0, 0}) - minuteIndex({2024, 2, 29, 23, 59}), 1);
    EXPECT_EQ(minuteIndex({1970, 1, 2, 0, 0}), 1440);
}

TEST(RadarPaths, ParseWhatTheServiceServesAndRejectEverythingElse) {
    struct Case {
        std::string path;
        PathError error;
    } cases[] = {
        {"/xbandradar/rdimg/kanto/20240505/1200/kanto20240505T1437_detail.png", PathError::None},
        {"/xbandradar/rdimg/kanto/20240505/1200/kanto20240505T1437_top.png", PathError::None},
        {"/xbandradar/rdimg/kanto/20240229/0000/kanto20240229T0000_top.png", PathError::None},
        {"/xbandradar/map/kanto/1/basemap1.png", PathError::None},
        {"/xbandradar/map/kanto/2/basemap1.png", PathError::None},
        {"/xbandradar/map/kanto/3/basemap1.png", PathError::BadFileName},
        {"/xbandradar/map/kanto/2/basemap2.png", PathError::BadFileName},
        {"/xbandradar/map/ka.nto/2/basemap1.png", PathError::BadKey},
        {"/xbandradar/rdimg/kanto/20240505/0600/kanto20240505T1437_detail.png",
         PathError::WrongSlot},
        {"/xbandradar/rdimg/kanto/20240505/1200/kanto20240505T1437_detail.gif",
         PathError::BadFileName},
        {"/xbandradar/rdimg/kanto/20240505/1200/kinki20240505T1437_detail.png", PathError::BadKey},
        {"/xbandradar/rdimg/kanto/20240505/1200/kanto20240506T1437_detail.png", PathError::BadDate},
        {"/xbandradar/rdimg/kanto/20230229/0000/kanto20230229T0000_top.png", PathError::BadDate},
        {"/xbandradar/rdimg/kanto/2024055/1200/kanto2024055T1437_top.png", PathError::BadDate},
        {"/xbandradar/rdimg/kanto/20240505/1200/kanto20240505T1460_top.png", PathError::BadTime},
        {"/xbandradar/rdimg/kanto/20240505/1800/kanto20240505T2400_top.png", PathError::BadTime},
        {"/xbandradar/rdimg/kanto/20240505/1200/kanto20240505T14a7_top.png", PathError::BadTime},
        {"/xbandradar/rdimg/kanto/20240505/1200/kanto20240505X1437_top.png",
         PathError::BadFileName},
        {"/xbandradar/rdimg/kanto/20240505/1200/", PathError::BadFileName},
        {"/xbandradar/rdimg/kanto/20240505/1200", PathError::UnknownRoute},
        {"/xbandradar/rdimg/kanto/20240505/1200/x/kanto20240505T1437_top.png",
         PathError::UnknownRoute},
        {"/", PathError::UnknownRoute},
        {"", PathError::UnknownRoute},
        {"xbandradar/map/kanto/1/basemap1.png", PathError::UnknownRoute},
    };
    for (const Case& c : cases) EXPECT_EQ(parseServicePath(c.path).error, c.error) << c.path;

    const ServicePath p =
        parseServicePath("/xbandradar/rdimg/kanto/20240505/1200/kanto20240505T1437_top.png");
    EXPECT_EQ(p.key, "kanto");
    EXPECT_FALSE(p.baseMap);
    EXPECT_EQ(p.kind, ImageKind::Small);
    EXPECT_EQ(p.minute, minuteIndex({2024, 5, 5, 14, 37}));
}

TEST(RadarPaths, RefuseAPathOnePastTheLengthLimit) {
    const std::string prefix = "/xbandradar/map/", suffix = "/1/basemap1.png";
    auto withKey = [&](size_t keyLength) { return prefix + std::string(keyLength, 'k') + suffix; };
    const size_t keyFillingThePath = kMaxPathLength - prefix.size() - suffix.size();
    EXPECT_EQ(parseServicePath(withKey(keyFillingThePath)).error, PathError::BadKey);
    EXPECT_EQ(parseServicePath(withKey(keyFillingThePath + 1)).error, PathError::TooLong);
    EXPECT_EQ(parseServicePath(withKey(kMaxKeyLength)).error, PathError::None);
    EXPECT_EQ(parseServicePath(withKey(kMaxKeyLength + 1)).error, PathError::BadKey);
}
