#include "base/text_util.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace nimbrel {

double leadingNumber(std::string_view text) {
    size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
    std::string number;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) number += text[i++];
    bool point = false;
    bool digits = false;
    for (; i < text.size(); ++i) {
        char c = text[i];
        if (c >= '0' && c <= '9') {
            number += c;
            digits = true;
        } else if (c == '.' && !point) {
            number += c;
            point = true;
        } else {
            break;
        }
    }
    if (!digits) return 0.0;
    return std::strtod(number.c_str(), nullptr);
}

namespace {
bool isContinuation(unsigned char c) {
    return (c & 0xC0) == 0x80;
}

// Byte offset of the character at position index (or text.size()).
size_t byteOffset(std::string_view text, size_t index) {
    size_t pos = 0;
    size_t count = 0;
    while (pos < text.size() && count < index) {
        ++pos;
        while (pos < text.size() && isContinuation(static_cast<unsigned char>(text[pos]))) ++pos;
        ++count;
    }
    return pos;
}
}  // namespace

size_t charCount(std::string_view text) {
    size_t n = 0;
    for (unsigned char c : text)
        if (!isContinuation(c)) ++n;
    return n;
}

std::string charLeft(std::string_view text, size_t n) {
    return std::string(text.substr(0, byteOffset(text, n)));
}

std::string charMid(std::string_view text, size_t start, size_t n) {
    size_t from = byteOffset(text, start);
    std::string_view rest = text.substr(from);
    if (n == std::string::npos) return std::string(rest);
    return std::string(rest.substr(0, byteOffset(rest, n)));
}

std::string numberText(double value) {
    if (value == 0) return "0";
    // The longest plain form of a double (a denormal) is about 330 characters.
    char buf[400];
    auto res = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed);
    if (res.ec != std::errc()) return "0";
    return std::string(buf, res.ptr);
}

std::string strNumber(double value) {
    std::string s = numberText(value);
    if (value >= 0) s = " " + s;
    return s;
}

std::vector<std::string> splitCrLf(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (true) {
        size_t pos = text.find("\r\n", start);
        if (pos == std::string::npos) {
            lines.push_back(text.substr(start));
            break;
        }
        lines.push_back(text.substr(start, pos - start));
        start = pos + 2;
    }
    return lines;
}

std::string joinCrLf(const std::vector<std::string>& lines) {
    std::string out;
    for (size_t i = 0; i < lines.size(); ++i) {
        if (i) out += "\r\n";
        out += lines[i];
    }
    return out;
}

long long roundHalfEven(double value) {
    return static_cast<long long>(std::nearbyint(value));
}

std::string halfWidthFigures(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        const auto b = [&](size_t k) { return static_cast<unsigned char>(text[i + k]); };
        if (i + 2 < text.size() && b(0) == 0xEF && (b(1) == 0xBC || b(1) == 0xBD)) {
            // U+FF01..U+FF5E sit 0xFEE0 above their ASCII forms.
            const unsigned code = 0xFF00 + ((b(1) & 0x03) << 6) + (b(2) & 0x3F);
            const char ascii = static_cast<char>(code - 0xFEE0);
            if ((ascii >= '0' && ascii <= '9') || ascii == '.' || ascii == '-' || ascii == '+') {
                out += ascii;
                i += 3;
                continue;
            }
        }
        if (text.substr(i, 3) == "\u2212") {  // minus sign
            out += '-';
            i += 3;
            continue;
        }
        if (text.substr(i, 3) == "\u3000") {  // ideographic space
            out += ' ';
            i += 3;
            continue;
        }
        out += text[i++];
    }
    return out;
}

std::string_view withoutBom(std::string_view text) {
    return text.substr(0, 3) == "\xEF\xBB\xBF" ? text.substr(3) : text;
}

std::string trimmed(std::string_view text) {
    constexpr std::string_view kIdeographicSpace = "\xE3\x80\x80";
    auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r'; };
    for (;;) {
        if (!text.empty() && blank(text.front())) {
            text.remove_prefix(1);
        } else if (text.substr(0, 3) == kIdeographicSpace) {
            text.remove_prefix(3);
        } else if (!text.empty() && blank(text.back())) {
            text.remove_suffix(1);
        } else if (text.size() >= 3 && text.substr(text.size() - 3) == kIdeographicSpace) {
            text.remove_suffix(3);
        } else {
            return std::string(text);
        }
    }
}

}  // namespace nimbrel
