#include "cycle/radar_time.h"

#include <gtest/gtest.h>

#include <cstdio>

using namespace nimbrel;

namespace {
DateTime at(int y, int mo, int d, int h, int mi, int s) {
    return {y, mo, d, h, mi, s};
}
}  // namespace

TEST(RadarTime, PicksTheNewestPublishedMinuteAndItsDayAndSlot) {
    struct Case {
        DateTime now;
        ClockStyle style;
        const char* time;
        const char* date;
        const char* slot;
    } cases[] = {
        {at(2024, 5, 5, 14, 37, 39), ClockStyle::H24, "1436", "20240505", "1200"},
        {at(2024, 5, 5, 14, 37, 40), ClockStyle::H24, "1437", "20240505", "1200"},
        {at(2024, 5, 6, 0, 0, 20), ClockStyle::H24, "2359", "20240505", "1800"},
        {at(2024, 5, 6, 0, 0, 50), ClockStyle::H24, "0000", "20240506", "0000"},
        {at(2024, 5, 5, 23, 59, 45), ClockStyle::H24, "2359", "20240505", "1800"},
        {at(2024, 5, 6, 5, 59, 50), ClockStyle::H24, "0559", "20240506", "0000"},
        {at(2024, 5, 6, 6, 0, 10), ClockStyle::H24, "0559", "20240506", "0000"},
        {at(2024, 5, 6, 6, 0, 45), ClockStyle::H24, "0600", "20240506", "0600"},
        {at(2024, 1, 1, 0, 0, 20), ClockStyle::H24, "2359", "20231231", "1800"},
        {at(2024, 3, 1, 0, 0, 20), ClockStyle::H24, "2359", "20240229", "1800"},
        {at(2023, 3, 1, 0, 0, 20), ClockStyle::H24, "2359", "20230228", "1800"},
        {at(2024, 5, 6, 9, 5, 45), ClockStyle::HH24, "0905", "20240506", "0600"},
        {at(2024, 5, 6, 0, 0, 20), ClockStyle::HH24, "2359", "20240505", "1800"},
    };
    for (const auto& c : cases) {
        std::string where = formatClockText(c.now.hour, c.now.minute, c.now.second, c.style);
        EXPECT_EQ(radartime(c.now, c.style), c.time) << where;
        EXPECT_EQ(radardate(c.now, c.style), c.date) << where;
        EXPECT_EQ(radarslot(c.now, c.style), c.slot) << where;
    }
}

TEST(RadarTime, EverySecondOfTheDayGivesTheSameMinuteInEveryClockStyle) {
    for (int sec = 0; sec < 86400; ++sec) {
        DateTime now = at(2024, 5, 6, sec / 3600, sec / 60 % 60, sec % 60);
        int minute = (sec / 60 - (now.second < 40 ? 1 : 0) + 1440) % 1440;
        char expected[8];
        std::snprintf(expected, sizeof expected, "%02d%02d", minute / 60, minute % 60);
        for (ClockStyle style : {ClockStyle::H24, ClockStyle::HH24}) {
            ASSERT_EQ(radartime(now, style), expected)
                << formatClockText(now.hour, now.minute, now.second, style);
        }
    }
}

TEST(RadarDate, DateTextsBecomeEightDigitsOrZeros) {
    struct Case {
        const char* text;
        const char* digits;
    } cases[] = {
        {"24/5/6", "20240506"},   {"2024/05/06", "20240506"}, {"2024/5/6", "20240506"},
        {"24/12/31", "20241231"}, {"2024-05-06", "000000"},   {"", "000000"},
        {"2024/05", "000000"},  // no second "/": cannot be split
    };
    for (const auto& c : cases) EXPECT_EQ(dateDigits(c.text), c.digits) << c.text;
    EXPECT_EQ(radardate(at(2024, 5, 6, 12, 0, 50), ClockStyle::H24, DateStyle::Short), "20240506");
    EXPECT_EQ(radardate(at(2024, 5, 6, 12, 0, 50), ClockStyle::H24, DateStyle::Dashed), "000000");
}

TEST(RadarAddress, NamesKeyDateSlotAndMinuteFromOneClockReading) {
    EXPECT_EQ(radarImageAddress("http://radar.example", "K", at(2024, 5, 5, 14, 37, 50),
                                RadarImage::Detail),
              "http://radar.example/xbandradar/rdimg/K/20240505/1200/K20240505T1437_detail.png");
    EXPECT_EQ(
        radarImageAddress("http://radar.example/", "kanto", at(2024, 5, 6, 0, 0, 20),
                          RadarImage::Top),
        "http://radar.example/xbandradar/rdimg/kanto/20240505/1800/kanto20240505T2359_top.png");
}

TEST(ImageStamp, HoursAndMinutesOfTheImageAndItsHistoryTime) {
    EXPECT_EQ(imageStamp(at(2024, 5, 5, 14, 37, 50)), "14:37");
    EXPECT_EQ(imageStamp(at(2024, 5, 5, 14, 37, 39)), "14:36");
    EXPECT_EQ(imageStamp(at(2024, 5, 6, 0, 0, 20)), "23:59");
    EXPECT_EQ(imageStamp(at(2024, 5, 6, 9, 5, 45), ClockStyle::HH24), "09:05");
    EXPECT_DOUBLE_EQ(stampTimeOfDay("14:37"), timeOfDayDays(14, 37, 1));
    EXPECT_DOUBLE_EQ(stampTimeOfDay("09:05"), timeOfDayDays(9, 5, 1));
    DateTime t = at(2024, 5, 5, 9, 5, 3);
    EXPECT_EQ(dateText(t) + " " + timeText(t) + " " + dayText(t), "2024/05/05 9:05:03 05");
}

TEST(ImageMinute, MinutesCountFromTheEpochAndTheImageIsTheMinuteBeforeUntil40Seconds) {
    EXPECT_EQ(minuteIndex(at(1970, 1, 1, 0, 1, 0)), 1);
    const DateTime t = at(2024, 3, 1, 0, 0, 39);  // the image of Feb 29, 23:59
    const DateTime image = imageDateTime(t);
    EXPECT_EQ(image.day, 29);
    EXPECT_EQ(image.hour * 100 + image.minute, 2359);
    EXPECT_EQ(radartime(t), "2359");
    EXPECT_EQ(minuteIndex(image) + 1, minuteIndex(t));
    const DateTime back = dateTimeOfMinute(minuteIndex(t));
    EXPECT_EQ(timeText(back) + dateText(back), "0:00:002024/03/01");
    EXPECT_EQ(radartime(addSeconds(dateTimeOfMinute(minuteIndex(image)), 45)), "2359");
}
