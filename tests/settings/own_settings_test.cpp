#include "settings/own_settings.h"

#include <gtest/gtest.h>

#include "support/temp_dir.h"

using namespace nimbrel;

TEST(OwnSettings, TextsReadAsTheirFlagsAndDamageMeansDefaults) {
    const OwnSettings defaults;
    struct Case {
        const char* name;
        std::string text;
        OwnSettings expected;
    };
    const Case cases[] = {
        {"empty", "", defaults},
        {"both flipped", "[nimbrel]\nnotifications=0\nkeep_in_tray=1\n", {false, true}},
        {"CR LF, BOM, blanks",
         "\xEF\xBB\xBF[nimbrel]\r\n notifications = 0 \r\nkeep_in_tray=1\r\n",
         {false, true}},
        {"comments and unknown keys", "; note\n# note\nvolume=3\nkeep_in_tray=1\n", {true, true}},
        {"value not a flag keeps default", "notifications=yes\nkeep_in_tray=2\n", defaults},
        {"no equals sign", "notifications\nkeep_in_tray\n", defaults},
        {"binary junk", std::string("\0\xff\xfe=\x01\n=1\n", 9), defaults},
        {"later line wins", "notifications=0\nnotifications=1\n", defaults},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(parseOwnSettings(c.text), c.expected);
    }
}

TEST(OwnSettings, FileRoundTripsAndMissingOrOversizedFilesGiveDefaults) {
    TempDir dir;
    const std::string path = dir.file(kOwnSettingsFileName);
    EXPECT_EQ(readOwnSettings(path), OwnSettings{});

    for (const OwnSettings s : {OwnSettings{false, false}, OwnSettings{true, true},
                                OwnSettings{false, true}, OwnSettings{true, false}}) {
        ASSERT_TRUE(writeOwnSettings(path, s).ok());
        EXPECT_EQ(readOwnSettings(path), s);
    }

    // One byte past the limit is refused whole, even though its start reads.
    std::string big = "notifications=0\n";
    big.resize(kOwnSettingsMaxBytes, '\n');
    writeFileBytes(path, big);
    EXPECT_FALSE(readOwnSettings(path).notifications);
    writeFileBytes(path, big + "\n");
    EXPECT_TRUE(readOwnSettings(path).notifications);
}

TEST(OwnSettings, FailedWriteKeepsThePreviousFile) {
    TempDir dir;
    const std::string path = dir.file(kOwnSettingsFileName);
    ASSERT_TRUE(writeOwnSettings(path, {false, true}).ok());
    // A folder that does not exist cannot take the temporary file.
    EXPECT_FALSE(writeOwnSettings(dir.file("gone/nimbrel.ini"), {}).ok());
    EXPECT_EQ(readOwnSettings(path), (OwnSettings{false, true}));
}
