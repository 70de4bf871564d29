#pragma once
// Small text rules shared by every part of the program. Texts are UTF-8;
// where a rule counts characters it counts code points, never bytes.
#include <string>
#include <string_view>
#include <vector>

namespace nimbrel {

// The numeric value of a text read from its start: leading blanks skipped,
// then an optional sign, digits and at most one decimal point; reading stops
// at the first other character. No such beginning gives 0 ("35.6895N" reads
// 35.6895, "" reads 0).
double leadingNumber(std::string_view text);

// Number of characters (code points) of a UTF-8 text.
size_t charCount(std::string_view text);
// Full-width digits, full stop, signs and blank as an input method types
// them, in their ASCII forms; everything else unchanged.
std::string halfWidthFigures(std::string_view text);
// The first n characters of a UTF-8 text (all of it when shorter).
std::string charLeft(std::string_view text, size_t n);
// The characters from position start (0-based), at most n of them.
std::string charMid(std::string_view text, size_t start, size_t n = std::string::npos);

// A number as plain decimal text: "." as the decimal mark, no thousands
// separator, integers without a point, the shortest form that reads back to
// the same double (35.6 gives "35.6", 840 gives "840").
std::string numberText(double value);
// numberText with one leading blank when the value is zero or more
// (" 6", "-1"), as list items and range texts write numbers.
std::string strNumber(double value);

// Lines of a text split at CR LF.
std::vector<std::string> splitCrLf(const std::string& text);
// The text without a leading UTF-8 byte-order mark.
std::string_view withoutBom(std::string_view text);
// The text without leading and trailing blanks, tabs, CRs and ideographic
// spaces.
std::string trimmed(std::string_view text);
std::string joinCrLf(const std::vector<std::string>& lines);

inline constexpr const char* kCrLf = "\r\n";

// Round to the nearest integer, halves to the even integer.
long long roundHalfEven(double value);

}  // namespace nimbrel
