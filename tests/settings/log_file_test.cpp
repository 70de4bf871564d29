#include "settings/log_file.h"

#include <gtest/gtest.h>

#include "support/temp_dir.h"

using namespace nimbrel;

TEST(LogFile, NamedByTwoDigitYearAndMonth) {
    struct Case {
        DateTime date;
        const char* name;
    } cases[] = {
        {{2011, 7, 1}, "/p/1107.log"},  {{2011, 12, 31, 23, 59, 59}, "/p/1112.log"},
        {{2012, 1, 1}, "/p/1201.log"},  {{2000, 1, 15}, "/p/0001.log"},
        {{2105, 10, 2}, "/p/0510.log"},
    };
    for (const auto& c : cases) EXPECT_EQ(logFileName("/p/", c.date), c.name);
}

TEST(LogFile, AppendsLinesWithCrLf) {
    TempDir dir;
    std::string path = logFileName(dir.folder(), {2011, 7, 5});
    EXPECT_TRUE(appendStartupLogEntry(path, "05 9:00:00  起動　関東").ok());
    EXPECT_TRUE(appendLogLine(path, "05 9:01:00 弱い雨 接近中").ok());
    EXPECT_EQ(readFileBytes(path), "\r\n05 9:00:00  起動　関東\r\n05 9:01:00 弱い雨 接近中\r\n");
}

TEST(LogFile, ReportsAFileThatCannotBeOpened) {
    TempDir dir;
    writeFileBytes(dir.file("plain"), "x");
    LogWriteResult r = appendLogLine(dir.file("plain") + "/1107.log", "line");
    EXPECT_EQ(r.error, LogWriteError::CannotOpen);
    EXPECT_NE(r.sysError, 0);
}

TEST(LogLines, EveryWriterStartsWithTheDayOfTheMonthAndTheTimeOfOneReading) {
    const DateTime t{2024, 5, 5, 9, 5, 3};
    EXPECT_EQ(startupLogLine(t, "関東地方", "35.6895", "139.6917"),
              "05 9:05:03  起動　関東地方　35.6895N　139.6917E");
    EXPECT_EQ(locationLogLine(t, "35.6895", "139.6917"),
              "05 9:05:03  地点　　　35.6895N　139.6917E 変更");
    EXPECT_EQ(regionChangeLogLine(t), "05 9:05:03  地域変更");
    EXPECT_EQ(exitLogLine({2024, 12, 31, 23, 59, 59}), "31 23:59:59  終了");
}
