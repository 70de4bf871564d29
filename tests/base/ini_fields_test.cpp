#include "base/ini_fields.h"

#include <gtest/gtest.h>

#include <cmath>

#include "support/temp_dir.h"

using namespace nimbrel;

namespace {
std::vector<std::string> texts(const IniFields& f) {
    std::vector<std::string> out;
    for (const auto& field : f.fields) out.push_back(field.text);
    return out;
}
}  // namespace

TEST(IniFields, SplitsTheStreamAtCommasAndLineBreaks) {
    struct Case {
        std::string content;
        std::vector<std::string> fields;
    } cases[] = {
        {"a,b\r\nc", {"a", "b", "c"}},
        {"a,b\nc\rd", {"a", "b", "c", "d"}},
        {"  a,\t b", {"a", "b"}},
        {"a  ,b ", {"a", "b"}},
        {"\"a,b\",c", {"a,b", "c"}},
        {"\" a \",c", {" a ", "c"}},
        {"\"a\"xyz,c", {"a", "c"}},
        {"\"\",,x", {"", "", "x"}},
        {"a,\r\nb", {"a", "", "b"}},
        {"a,", {"a", ""}},
        {"a,b\r\n", {"a", "b"}},
        {"a\r\n\r\n  \r\nb", {"a", "b"}},
        {"\"a\r\nb\",c", {"a\r\nb", "c"}},
        {"\xEF\xBB\xBF"
         "a,b",
         {"a", "b"}},
        {"a,\xEF\xBB\xBF"
         "b",
         {"a",
          "\xEF\xBB\xBF"
          "b"}},
        {"東京,\"大阪\"", {"東京", "大阪"}},
        {"", {}},
        {"\r\n\r\n", {}},
    };
    for (const auto& c : cases) {
        IniFields f = splitIniFields(c.content, {});
        EXPECT_EQ(f.error, IniError::None) << c.content;
        EXPECT_EQ(texts(f), c.fields) << c.content;
    }
}

TEST(IniFields, KnowsQuotingAndTheLineAFieldBeginsOn) {
    IniFields f = splitIniFields("a,\"b\"\r\n\"c\r\nd\",e\n\nf", {});
    ASSERT_EQ(f.fields.size(), 5u);
    EXPECT_FALSE(f.fields[0].quoted);
    EXPECT_TRUE(f.fields[1].quoted);
    int lines[] = {1, 1, 2, 3, 5};
    for (size_t i = 0; i < 5; ++i) EXPECT_EQ(f.fields[i].line, lines[i]) << i;
}

TEST(IniFields, AnUnclosedQuoteKeepsTheFieldsBeforeIt) {
    IniFields f = splitIniFields("a,b,\"c,d\r\n", {});
    EXPECT_EQ(f.error, IniError::UnclosedQuote);
    EXPECT_EQ(texts(f), (std::vector<std::string>{"a", "b"}));
}

TEST(IniFields, LimitsHoldAtTheBoundaryAndRefuseOnePast) {
    std::string content = "1,2,3,4";  // 7 bytes, 4 fields
    struct Case {
        IniLimits limits;
        IniError error;
        size_t fields;
    } cases[] = {
        {{7, 100}, IniError::None, 4},
        {{6, 100}, IniError::TooLarge, 0},
        {{100, 4}, IniError::None, 4},
        {{100, 3}, IniError::TooManyFields, 3},
    };
    for (const auto& c : cases) {
        IniFields f = splitIniFields(content, c.limits);
        EXPECT_EQ(f.error, c.error) << c.limits.maxBytes << " " << c.limits.maxFields;
        EXPECT_EQ(f.fields.size(), c.fields);
    }
    // The empty field after a final comma counts against the limit too.
    EXPECT_EQ(splitIniFields("1,", {100, 1}).error, IniError::TooManyFields);
}

TEST(IniFields, ReadsFilesWithinTheByteLimit) {
    TempDir dir;
    std::string content(1000, 'x');
    writeFileBytes(dir.file("a.ini"), content);
    EXPECT_EQ(readIniFields(dir.file("a.ini"), {1000, 10}).fields.size(), 1u);
    EXPECT_EQ(readIniFields(dir.file("a.ini"), {999, 10}).error, IniError::TooLarge);
    EXPECT_EQ(readIniFields(dir.file("none.ini"), {}).error, IniError::CannotOpen);
    EXPECT_EQ(readIniFields(dir.path().string(), {}).error, IniError::CannotOpen);
}

TEST(PlainNumber, AcceptsOnlyAWholeDecimalNumber) {
    struct Case {
        std::string text;
        std::optional<double> value;
    } cases[] = {
        {"840", 840},
        {" -1.5 ", -1.5},
        {"+2", 2},
        {".5", 0.5},
        {"35.6895", 35.6895},
        {"0", 0},
        {"", std::nullopt},
        {"  ", std::nullopt},
        {"abc", std::nullopt},
        {"12abc", std::nullopt},
        {"1e3", std::nullopt},
        {"-", std::nullopt},
        {"1.2.3", std::nullopt},
        {"1 2", std::nullopt},
        {std::string(400, '9'), std::nullopt},
    };
    for (const auto& c : cases) EXPECT_EQ(plainNumber(c.text), c.value) << c.text;
}
