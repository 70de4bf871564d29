#include "base/text_util.h"

#include <gtest/gtest.h>

#include "base/diagnostics.h"

using namespace nimbrel;

TEST(LeadingNumber, ReadsTheNumberAtTheStartOfAText) {
    struct Case {
        const char* text;
        double value;
    } cases[] = {
        {"35.6895N", 35.6895}, {"", 0},    {"  139.7", 139.7}, {"-1", -1}, {"+2.5x", 2.5},
        {"1.2.3", 1.2},        {"abc", 0}, {".5", 0.5},        {"-", 0},   {" 6:関東", 6},
        {"12e3", 12},          {"\t7", 7}, {"  ", 0},          {"0", 0},   {"4.", 4},
    };
    for (const auto& c : cases) EXPECT_DOUBLE_EQ(leadingNumber(c.text), c.value) << c.text;
}

TEST(HalfWidthFigures, FullWidthDigitsStopsSignsAndBlanksBecomeAscii) {
    struct Case {
        const char* typed;
        const char* plain;
    } cases[] = {
        {"３５．６８９５", "35.6895"}, {"－３５．５", "-35.5"}, {"−1", "-1"},     {"＋２", "+2"},
        {"　１３９", " 139"},          {"北緯３５", "北緯35"},  {"35.5", "35.5"}, {"", ""},
        {"３５。５", "35。5"},  // the ideographic full stop is not a decimal point
    };
    for (const auto& c : cases) EXPECT_EQ(halfWidthFigures(c.typed), c.plain) << c.typed;
}

TEST(CharCounting, CountsCharactersNotBytes) {
    EXPECT_EQ(charCount("関東地方"), 4u);
    EXPECT_EQ(charLeft("関東地方", 2), "関東");
    EXPECT_EQ(charLeft("ab", 5), "ab");
    EXPECT_EQ(charMid("2011/07/05", 8, 2), "05");
    EXPECT_EQ(charMid("あいうえお", 3), "えお");
    EXPECT_EQ(charLeft("35.68951234", 9), "35.689512");
}

TEST(NumberText, PlainDecimalShortestAndStrHasALeadingBlankForNonNegatives) {
    EXPECT_EQ(numberText(35.6895), "35.6895");
    EXPECT_EQ(numberText(840), "840");
    EXPECT_EQ(numberText(0), "0");
    EXPECT_EQ(numberText(35.6), "35.6");
    EXPECT_EQ(numberText(1.5), "1.5");
    EXPECT_EQ(numberText(-12.25), "-12.25");
    EXPECT_EQ(strNumber(6), " 6");
    EXPECT_EQ(strNumber(0), " 0");
    EXPECT_EQ(strNumber(-1), "-1");
    // Very large and very small values still read back to themselves.
    for (double v : {1e70, -3.5e300, 4.9e-324, 1.7976931348623157e308})
        EXPECT_EQ(leadingNumber(numberText(v)), v) << v;
}

TEST(RoundHalfEven, HalvesGoToTheEvenInteger) {
    EXPECT_EQ(roundHalfEven(656.5), 656);
    EXPECT_EQ(roundHalfEven(657.5), 658);
    EXPECT_EQ(roundHalfEven(-0.5), 0);
    EXPECT_EQ(roundHalfEven(2.4999), 2);
}

TEST(CrLfLines, SplitAndJoinRoundTrip) {
    auto lines = splitCrLf("a\r\nb\r\n");
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[2], "");
    EXPECT_EQ(joinCrLf(lines), "a\r\nb\r\n");
}

TEST(Blanks, TrimmedDropsAsciiAndIdeographicBlanksAndTheBomOnlyLeads) {
    EXPECT_EQ(trimmed("\xE3\x80\x80 弱い雨 接近中\t\r"), "弱い雨 接近中");
    EXPECT_EQ(trimmed(" a b "), "a b");
    EXPECT_EQ(trimmed("　　"), "");
    EXPECT_EQ(withoutBom("\xEF\xBB\xBFkey=1"), "key=1");
    EXPECT_EQ(withoutBom("key\xEF\xBB\xBF"), "key\xEF\xBB\xBF");
}

TEST(Diagnostics, OneLineEachWithTimePlaceAndReason) {
    // A server's error page or libcurl's message may hold line breaks.
    EXPECT_EQ(
        nimbrel::diagnosticLine("2024-05-05 14:37:50", "http://h/x.png", "HTTP error 503: a\r\nb"),
        "2024-05-05 14:37:50 nimbrel: http://h/x.png: HTTP error 503: a  b\n");
    std::vector<std::string> seen;
    nimbrel::setDiagnosticsSink([&](const std::string& place, const std::string& reason) {
        seen.push_back(place + "|" + reason);
    });
    nimbrel::diagnose("vesk.ini", "write failed");
    nimbrel::setDiagnosticsSink({});
    EXPECT_EQ(seen, std::vector<std::string>{"vesk.ini|write failed"});
}
