#pragma once
// The one field reader behind vesk.ini, area_map.ini and toshi.ini. The whole
// file is one stream of fields: a field ends at a comma or at a line break
// (CR LF, LF or CR); blanks before a field are skipped; a field that begins
// with a double quote runs to the closing quote, is taken without the quotes,
// and whatever follows the closing quote up to the next separator is dropped.
//
// Choices the three files rely on:
// - A leading UTF-8 byte-order mark is skipped.
// - A line that holds nothing but blanks holds no field, so a stray empty
//   line does not shift every later field; after a comma, a line break (or
//   the end of the file) ends an empty field ("a,\r\n" is "a" and "").
// - Trailing blanks of an unquoted field are dropped; quoted fields are
//   taken exactly.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace nimbrel {

struct IniField {
    std::string text;
    bool quoted = false;
    int line = 1;  // line the field begins on, from 1, for messages
};

enum class IniError {
    None,
    CannotOpen,     // the file is missing or cannot be read
    TooLarge,       // more bytes than the limit; nothing is read
    TooManyFields,  // the limit was reached; the fields up to it are kept
    UnclosedQuote,  // a quoted field runs to the end; the fields before it are kept
    ReadFailed,     // the file opened but reading it failed
};

struct IniLimits {
    size_t maxBytes = 1024 * 1024;
    size_t maxFields = 100000;
};

struct IniFields {
    std::vector<IniField> fields;
    IniError error = IniError::None;
};

IniFields splitIniFields(std::string_view content, const IniLimits& limits);
IniFields readIniFields(const std::string& path, const IniLimits& limits);

// The value of a field that must be a plain decimal number as a whole:
// blanks, an optional sign, digits with at most one decimal point, blanks.
// Anything else (an empty text, "12abc", "1e3", a value too large to hold)
// gives nothing.
std::optional<double> plainNumber(std::string_view text);

}  // namespace nimbrel
