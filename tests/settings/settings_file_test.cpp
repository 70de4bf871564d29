#include "settings/settings_file.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "settings/server_file.h"
#include "support/file_size_limit.h"
#include "support/temp_dir.h"

using namespace nimbrel;

namespace {

constexpr double kScreenW = 19200;  // 1280 × 720 pixels
constexpr double kScreenH = 10800;

SettingsRecord exampleRecord() {
    SettingsRecord r;
    r.region = 6;
    r.latitude = "35.6895";
    r.longitude = "139.6917";
    r.windowLeft = 840;
    r.windowTop = 615;
    r.check4 = 0;
    r.check6 = 1;
    r.check3 = 1;
    r.soundLevel = 0;
    r.savedLocations[6] = {35.6895, 139.6917};
    return r;
}

const char* kExampleLine1 = "6,\"35.6895\",\"139.6917\",840,615,0,1,1,0\r\n";

SettingsReadResult readText(TempDir& dir, const std::string& content,
                            const SettingsRecord& start = {}) {
    writeFileBytes(dir.file("vesk.ini"), content);
    return readSettings(dir.file("vesk.ini"), start);
}

size_t filesIn(const std::filesystem::path& folder) {
    size_t n = 0;
    for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(folder)) ++n;
    return n;
}

}  // namespace

TEST(Settings, AMissingFileGivesTheFreshInstallation) {
    TempDir dir;
    SettingsReadResult read = readSettings(dir.file("vesk.ini"));
    EXPECT_EQ(read.status, SettingsStatus::Missing);
    StartupSettings s = interpretSettings(read, kScreenW, kScreenH);
    EXPECT_EQ(s.currentRegion, 6);
    EXPECT_EQ(s.latitude, "");
    EXPECT_EQ(s.longitude, "");
    EXPECT_TRUE(s.locationUnset);
    EXPECT_EQ(s.soundLevel, 0);
    EXPECT_EQ(s.check4, 0);
    EXPECT_EQ(s.check6, 0);
    EXPECT_EQ(s.check3, 0);
    EXPECT_FALSE(s.windowPosition.has_value());

    // A region held from an earlier run does not survive a missing file.
    SettingsRecord start;
    start.region = 3;
    start.check3 = 1;
    EXPECT_EQ(readSettings(dir.file("vesk.ini"), start).record.region, 6);
    EXPECT_EQ(readSettings(dir.file("vesk.ini"), start).record.check3, 0);
}

TEST(Settings, WritesTheExampleBytes) {
    std::string line2;
    for (int i = 0; i < 12; ++i) line2 += "0,";
    line2 += "35.6895,139.6917,";
    for (int i = 0; i < 8; ++i) line2 += "0,";
    EXPECT_EQ(formatSettings(exampleRecord()), std::string(kExampleLine1) + line2 + "\r\n");

    SettingsRecord unset = exampleRecord();
    unset.windowLeft.reset();
    unset.windowTop.reset();
    unset.latitude.clear();
    std::string bytes = formatSettings(unset);
    EXPECT_EQ(bytes.substr(0, bytes.find('\n') + 1), "6,\"\",\"139.6917\",,,0,1,1,0\r\n");
}

TEST(Settings, ReadingWhatWasWrittenGivesTheSameRecord) {
    std::vector<SettingsRecord> records;
    records.push_back(exampleRecord());
    records.push_back(SettingsRecord{});
    SettingsRecord odd = exampleRecord();
    odd.region = 10;
    odd.latitude = " 35,5 ";  // a comma and blanks inside the quotes
    odd.longitude = "";
    odd.windowLeft = -1200.5;
    odd.windowTop.reset();
    odd.soundLevel = 2;
    for (int i = 0; i < 11; ++i) odd.savedLocations[i] = {20.125 + i, -0.000001 * i};
    records.push_back(odd);

    for (const auto& rec : records) {
        TempDir dir;
        ASSERT_TRUE(writeSettings(dir.file("vesk.ini"), rec).ok());
        SettingsReadResult read = readSettings(dir.file("vesk.ini"));
        EXPECT_EQ(read.status, SettingsStatus::Complete) << formatSettings(rec);
        EXPECT_EQ(read.fieldsRead, 31);
        EXPECT_EQ(read.record, rec) << formatSettings(rec);
        EXPECT_EQ(filesIn(dir.path()), 1u);
    }
}

TEST(Settings, AFileWithOnlyLineOneKeepsTheRememberedLocations) {
    TempDir dir;
    SettingsRecord start;
    start.savedLocations[2] = {33.5, 130.4};
    SettingsReadResult read = readText(dir, kExampleLine1, start);
    EXPECT_EQ(read.status, SettingsStatus::Partial);
    EXPECT_EQ(read.problem, SettingsProblem::EndedEarly);
    EXPECT_EQ(read.stoppedAtField, 10);
    EXPECT_EQ(read.record.latitude, "35.6895");
    EXPECT_EQ(read.record.check6, 1);
    EXPECT_EQ(read.record.savedLocations, start.savedLocations);
}

TEST(Settings, AFieldThatDoesNotFitStopsTheReading) {
    struct Case {
        std::string content;
        int stoppedAt;
        int region;     // as read; the start record holds 3
        int check6;     // start holds 0
        double saved0;  // start holds 1.5
    } cases[] = {
        {"abc,\"35\",\"139\",1,2,0,1,0,0\r\n", 1, 3, 0, 1.5},
        {",\"35\",\"139\",1,2,0,1,0,0\r\n", 1, 3, 0, 1.5},
        {"40000,\"35\",\"139\",1,2,0,1,0,0\r\n", 1, 3, 0, 1.5},
        {"5,\"35\",\"139\",1x,2,0,1,0,0\r\n", 4, 5, 0, 1.5},
        {"5,\"35\",\"139\",1,2,yes,1,0,0\r\n", 6, 5, 0, 1.5},
        {"5,\"35\",\"139\",1,2,0,1,0,99999\r\n", 9, 5, 1, 1.5},
        {"5,\"35\",\"139\",1,2,0,1,0,0\r\nx,", 10, 5, 1, 1.5},
        {"5,\"35\",\"139\",1,2,0,1,0,0\r\n2,,", 11, 5, 1, 2},
    };
    for (const auto& c : cases) {
        TempDir dir;
        SettingsRecord start;
        start.region = 3;
        start.savedLocations[0][0] = 1.5;
        SettingsReadResult read = readText(dir, c.content, start);
        EXPECT_EQ(read.status, SettingsStatus::Partial) << c.content;
        EXPECT_EQ(read.problem, SettingsProblem::FieldDoesNotFit) << c.content;
        EXPECT_EQ(read.stoppedAtField, c.stoppedAt) << c.content;
        EXPECT_EQ(read.record.region, c.region) << c.content;
        EXPECT_EQ(read.record.check6, c.check6) << c.content;
        EXPECT_EQ(read.record.savedLocations[0][0], c.saved0) << c.content;
    }
}

TEST(Settings, EmptyBoxAndSoundFieldsReadZeroAndNumbersAreRounded) {
    TempDir dir;
    SettingsRecord start;
    start.check4 = start.check6 = start.check3 = start.soundLevel = 1;
    SettingsReadResult read = readText(dir, "2.5,\"35\",\"139\",,,\"\",,0.5,1.5\r\n", start);
    EXPECT_EQ(read.record.region, 2);
    EXPECT_EQ(read.record.check4, 0);
    EXPECT_EQ(read.record.check6, 0);
    EXPECT_EQ(read.record.check3, 0);
    EXPECT_EQ(read.record.soundLevel, 2);
}

TEST(Settings, InterpretationFollowsTheStartUpRules) {
    struct Case {
        const char* line1;
        int region;
        int sound;
        int check4, check6, check3;
        bool unset;
    } cases[] = {
        {"3,\"35.6895\",\"139.6917\",840,615,1,1,1,2", 3, 2, 1, 1, 1, false},
        {"3,\"139.7\",\"35\",840,615,1,1,1,2", 6, 0, 0, 0, 0, false},
        {"3,\"130\",\"35\",840,615,1,1,1,2", 3, 2, 1, 1, 1, false},
        {"11,\"35\",\"139\",840,615,0,0,1,1", 6, 1, 0, 0, 1, false},
        {"-1,\"35\",\"139\",840,615,0,0,1,1", 6, 1, 0, 0, 1, false},
        {"0,\"35\",\"139\",840,615,0,0,1,1", 0, 1, 0, 0, 1, false},
        {"10,\"35\",\"139\",840,615,0,0,1,1", 10, 1, 0, 0, 1, false},
        {"4,\"\",\"139\",840,615,0,0,0,0", 4, 0, 0, 0, 0, true},
        {"4,\"35\",\"\",840,615,0,0,0,0", 4, 0, 0, 0, 0, true},
    };
    for (const auto& c : cases) {
        TempDir dir;
        SettingsReadResult read = readText(dir, std::string(c.line1) + "\r\n");
        StartupSettings s = interpretSettings(read, kScreenW, kScreenH);
        EXPECT_EQ(s.currentRegion, c.region) << c.line1;
        EXPECT_EQ(s.soundLevel, c.sound) << c.line1;
        EXPECT_EQ(s.check4, c.check4) << c.line1;
        EXPECT_EQ(s.check6, c.check6) << c.line1;
        EXPECT_EQ(s.check3, c.check3) << c.line1;
        EXPECT_EQ(s.locationUnset, c.unset) << c.line1;
        if (c.unset)
            EXPECT_EQ(s.latitude + s.longitude, "") << c.line1;
        else
            EXPECT_EQ(s.latitude, read.record.latitude) << c.line1;
    }
}

TEST(Settings, TheWindowPositionIsAppliedOnlyWithBothFieldsAndIsClamped) {
    struct Case {
        std::string fields45;
        bool applied;
        double left, top;
    } cases[] = {
        {"840,615", true, 840, 615},         {"\"\",615", false, 0, 0},
        {"840,\"\"", false, 0, 0},           {",", false, 0, 0},
        {"\"840\",\"615\"", true, 840, 615}, {"16200,9800", true, 16200, 9800},
        {"16201,9801", true, 16200, 9800},   {"99999,99999", true, 16200, 9800},
        {"-3000,-200", true, -3000, -200},   {"-99999999999,0", false, 0, 0},
    };
    for (const auto& c : cases) {
        TempDir dir;
        SettingsReadResult read = readText(dir, "6,\"35\",\"139\"," + c.fields45 + ",0,0,0,0\r\n");
        StartupSettings s = interpretSettings(read, kScreenW, kScreenH);
        ASSERT_EQ(s.windowPosition.has_value(), c.applied) << c.fields45;
        if (c.applied) {
            EXPECT_EQ(s.windowPosition->left, c.left) << c.fields45;
            EXPECT_EQ(s.windowPosition->top, c.top) << c.fields45;
        }
    }
}

TEST(Settings, AnOversizedFileIsNotRead) {
    TempDir dir;
    std::string big = kExampleLine1;
    big.resize(kSettingsMaxBytes, ' ');
    EXPECT_EQ(readText(dir, big).status, SettingsStatus::Partial);
    EXPECT_EQ(readText(dir, big).fieldsRead, 9);
    big += ' ';
    SettingsReadResult read = readText(dir, big);
    EXPECT_EQ(read.problem, SettingsProblem::TooLarge);
    EXPECT_EQ(read.fieldsRead, 0);
}

TEST(Settings, AFailedWriteKeepsTheOldFile) {
    TempDir dir;
    // The target's folder is a regular file: nothing can be created there.
    writeFileBytes(dir.file("plain"), "x");
    ReplaceResult r = writeSettings(dir.file("plain") + "/vesk.ini", exampleRecord());
    EXPECT_EQ(r.error, ReplaceError::CannotCreate);
    EXPECT_EQ(readFileBytes(dir.file("plain")), "x");

    // The target is a folder: the rename fails and the new file is removed.
    std::filesystem::create_directory(dir.file("vesk.ini"));
    r = writeSettings(dir.file("vesk.ini"), exampleRecord());
    EXPECT_EQ(r.error, ReplaceError::RenameFailed);
    EXPECT_TRUE(std::filesystem::is_directory(dir.file("vesk.ini")));
    EXPECT_EQ(filesIn(dir.path()), 2u);
}

TEST(Settings, AWriteCutShortLeavesTheOldFileWhole) {
    TempDir dir;
    std::string old = formatSettings(exampleRecord());
    writeFileBytes(dir.file("vesk.ini"), old);

    // A file size limit below the record's length makes the write fail
    // halfway, as a full disk would.
    SettingsRecord changed = exampleRecord();
    changed.region = 2;
    ReplaceResult r;
    {
        FileSizeLimit limit(20);
        ASSERT_TRUE(limit.active());
        r = writeSettings(dir.file("vesk.ini"), changed);
    }

    EXPECT_EQ(r.error, ReplaceError::WriteFailed);
    EXPECT_EQ(readFileBytes(dir.file("vesk.ini")), old);
    EXPECT_EQ(filesIn(dir.path()), 1u);

    ASSERT_TRUE(writeSettings(dir.file("vesk.ini"), changed).ok());
    EXPECT_EQ(readSettings(dir.file("vesk.ini")).record.region, 2);
}

TEST(ServerFile, TheFirstLineNamesTheServiceOrTheLocalOneIsUsed) {
    struct Case {
        const char* line;
        const char* base;
    } cases[] = {
        {"http://127.0.0.1:9000", "http://127.0.0.1:9000"},
        {"\xEF\xBB\xBF  https://radar.example.org/ \r", "https://radar.example.org"},
        {"", kDefaultServer},
        {"ftp://radar.example.org", kDefaultServer},
        {"radar.example.org", kDefaultServer},
    };
    for (const auto& c : cases) EXPECT_EQ(parseServerBase(c.line), c.base) << c.line;
    EXPECT_EQ(readServerBase("/nonexistent/server.ini"), kDefaultServer);
}
