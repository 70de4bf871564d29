#include "cycle/classify.h"

#include <gtest/gtest.h>

#include <vector>

using namespace nimbrel;

namespace {

ClassRecords records(std::array<const char*, 4> messages, Levels levels) {
    ClassRecords r;
    for (int k = 0; k < 4; ++k) r[k] = {messages[k], levels[k]};
    return r;
}

}  // namespace

TEST(StatusLines, ThreeLinesInBoldOrNoRainNearbyInNormalWeight) {
    struct Case {
        ClassRecords classes;
        std::string clockNote;
        std::string caption;
        bool bold;
    } cases[] = {
        {records({"", "", "", ""}, {0, 0, 0, 0}), "", "　近隣降雨なし", false},
        {records({"", "", "", ""}, {0, 0, 0, 0}), "時計合っていますか？",
         "　近隣降雨なし\r\n時計合っていますか？", false},
        // Intense rain has no line of its own here.
        {records({"", "", "", "激しい雨 接近中"}, {0, 0, 0, 2}), "", "　近隣降雨なし", false},
        {records({"弱い雨 注意", "", "", ""}, {1, 0, 0, 0}), "", "弱い雨 注意\r\n\r\n", true},
        {records({"", "雨 接近中", "強い雨 注意", ""}, {0, 2, 1, 0}), "時計合っていますか？",
         "\r\n雨 接近中\r\n強い雨 注意\r\n時計合っていますか？", true},
    };
    for (const auto& c : cases) {
        StatusLines s = statusLines(c.classes, c.clockNote);
        EXPECT_EQ(s.caption, c.caption);
        EXPECT_EQ(s.bold, c.bold) << c.caption;
    }
}

TEST(Headline, MostSevereMessageSaysWhenWeakerRainAlreadyFalls) {
    struct Case {
        std::array<const char*, 4> messages;
        const char* headline;
    } cases[] = {
        {{"", "", "", ""}, ""},
        {{"弱い雨 注意", "", "", ""}, "弱い雨 注意"},
        {{"弱い雨 降雨", "", "強い雨 接近中", ""}, "強い雨 接近中 降雨中"},
        {{"弱い雨 降雨", "雨 降雨", "", ""}, "雨 降雨"},
        {{"弱い雨 降雨", "雨 注意", "強い雨 注意", ""}, "強い雨 注意 降雨中"},
        {{"", "雨 降雨", "", "激しい雨 注意"}, "激しい雨 注意 降雨中"},
        {{"", "", "", "激しい雨 接近中"}, "激しい雨 接近中"},
        {{"", "", "強い雨 注意 ！！", ""}, "強い雨 注意 ！！"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(headline(records(c.messages, {0, 0, 0, 0})), c.headline) << c.messages[0];
}

TEST(StatusColor, WorstClassColoursTheStatusLine) {
    EXPECT_EQ(statusColor({0, 0, 0, 0}), StatusColor::ButtonFace);
    EXPECT_EQ(statusColor({2, 0, 0, 0}), StatusColor::LightYellow);
    EXPECT_EQ(statusColor({3, 0, 0, 0}), StatusColor::LightOrange);
    EXPECT_EQ(statusColor({3, 3, 0, 1}), StatusColor::LightRed);
    EXPECT_FALSE(statusRgb(StatusColor::ButtonFace).has_value());
    std::vector<int> rgb;
    for (StatusColor c :
         {StatusColor::LightYellow, StatusColor::LightOrange, StatusColor::LightRed})
        rgb.insert(rgb.end(), {statusRgb(c)->r, statusRgb(c)->g, statusRgb(c)->b});
    EXPECT_EQ(rgb, (std::vector<int>{255, 255, 192, 255, 192, 128, 255, 128, 128}));
}

TEST(WarningSound, ChosenByHowTheRainChangedSinceTheLastCycle) {
    struct Case {
        const char* rule;
        Levels prev;
        Levels now;
        int soundLevel;
        SoundKind kind;
    } cases[] = {
        {"quiet stays quiet", {0, 0, 0, 0}, {0, 0, 0, 0}, 0, SoundKind::None},
        {"1 first light", {0, 0, 0, 0}, {1, 0, 0, 0}, 0, SoundKind::Ring},
        {"light stays", {1, 0, 0, 0}, {2, 0, 0, 0}, 0, SoundKind::None},
        {"2 light reaches the location", {1, 0, 0, 0}, {3, 0, 0, 0}, 0, SoundKind::Rain},
        {"2 over 1", {0, 0, 0, 0}, {3, 0, 0, 0}, 1, SoundKind::Rain},
        {"2 not when it was near", {2, 0, 0, 0}, {3, 0, 0, 0}, 0, SoundKind::None},
        {"3 first rain", {2, 0, 0, 0}, {0, 1, 0, 0}, 0, SoundKind::Rain},
        {"3 first heavy, far", {0, 0, 0, 0}, {0, 0, 1, 0}, 0, SoundKind::Rain},
        {"rain stays", {0, 1, 0, 0}, {0, 2, 0, 0}, 0, SoundKind::None},
        {"4 heavy comes near", {0, 0, 1, 0}, {0, 0, 2, 0}, 0, SoundKind::Heavy},
        {"4 first heavy, near", {0, 0, 0, 0}, {1, 0, 3, 0}, 0, SoundKind::Heavy},
        {"heavy stays near", {0, 0, 2, 0}, {0, 0, 3, 0}, 0, SoundKind::None},
        {"5 intense every cycle", {0, 0, 0, 3}, {0, 0, 0, 3}, 0, SoundKind::Heavy},
        {"silent level", {0, 0, 0, 0}, {0, 0, 0, 3}, 2, SoundKind::None},
        {"level without files", {0, 0, 0, 0}, {0, 0, 0, 3}, 3, SoundKind::None},
        {"negative level", {0, 0, 0, 0}, {1, 0, 0, 0}, -1, SoundKind::None},
    };
    for (const auto& c : cases)
        EXPECT_EQ(chooseSound(c.prev, c.now, c.soundLevel), c.kind) << c.rule;
}

TEST(CoverageNote, ShownWhenTheNeighbourhoodLeavesTheRadarArea) {
    struct Case {
        int atLocation;
        int near;
        bool shown;
    } cases[] = {{0, 0, false},  {1, 0, false}, {2, 0, true},
                 {0, 50, false}, {1, 50, true}, {0, 51, true}};
    for (const auto& c : cases) {
        Counts counts{};
        counts[kBandLocation][2] = c.atLocation;
        counts[kBandNear][2] = c.near;
        EXPECT_EQ(coverageNote(counts), c.shown ? "\r\n一部 Radar Area 外" : "")
            << c.atLocation << "," << c.near;
    }
}
