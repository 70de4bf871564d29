// The arithmetic and /proc reading the benchmark programs report with.
#include "bench/bench_support.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

using namespace nimbrel::bench;

TEST(BenchStats, MedianPercentileAndExtremesOfUnsortedSamples) {
    struct Case {
        std::vector<double> samples;
        double median, p90, worst, best;
    } cases[] = {
        {{5}, 5, 5, 5, 5},
        {{4, 1, 3, 2}, 2.5, 4, 4, 1},
        {{3, 1, 2}, 2, 3, 3, 1},
        {{10, 9, 8, 7, 6, 5, 4, 3, 2, 1}, 5.5, 9, 10, 1},
        {{1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 50}, 1, 1, 50, 1},
    };
    for (const Case& c : cases) {
        const Stats s = statsOf(c.samples);
        EXPECT_EQ(s.count, c.samples.size());
        EXPECT_DOUBLE_EQ(s.median, c.median);
        EXPECT_DOUBLE_EQ(s.p90, c.p90);
        EXPECT_DOUBLE_EQ(s.worst, c.worst);
        EXPECT_DOUBLE_EQ(s.best, c.best);
    }
    const Stats none = statsOf({});
    EXPECT_EQ(none.count, 0u);
    EXPECT_EQ(none.median, 0);
}

TEST(BenchProc, CpuTicksAreFieldsFourteenAndFifteenWhateverTheCommandName) {
    const std::string tail = " S 1 1 1 0 -1 4194560 100 0 0 0 7 3 0 0 20 0 1 0 555 1000 50\n";
    struct Case {
        std::string line;
        long long ticks;
    } cases[] = {
        {"1234 (nimbrel)" + tail, 10},
        {"1234 (Thread (pooled))" + tail, 10},
        {"1234 (a) b 1 2 3 (c)" + tail, 10},
        {"1234 (nimbrel) S 1 1 1 0 -1 4194560 100 0 0 0 7 3", 10},
        {"1234 (nimbrel) S 1 1 1 0 -1 4194560 100 0 0 0 7", -1},
        {"1234 (nimbrel)", -1},
        {"1234 nimbrel S 1", -1},
        {"", -1},
    };
    for (const Case& c : cases) EXPECT_EQ(statCpuTicks(c.line), c.ticks) << c.line;
}

TEST(BenchProc, StatusFieldsInKilobytesOrMinusOne) {
    EXPECT_GT(statusKb("VmRSS:"), 0);
    EXPECT_GE(statusKb("VmHWM:"), statusKb("VmRSS:"));
    EXPECT_EQ(statusKb("NoSuchField:"), -1);
    EXPECT_EQ(statusKb("VmRSS:", INT_MAX), -1);
}
