#include "base/ini_fields.h"

#include <cmath>
#include <filesystem>
#include <fstream>

#include "base/text_util.h"

namespace nimbrel {

namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}
bool isBreak(char c) {
    return c == '\r' || c == '\n';
}

// Moves past one line break; CR LF counts as one.
size_t skipBreak(std::string_view s, size_t pos) {
    if (s[pos] == '\r' && pos + 1 < s.size() && s[pos + 1] == '\n') return pos + 2;
    return pos + 1;
}

int breaksIn(std::string_view s) {
    int n = 0;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '\n' || (s[i] == '\r' && (i + 1 == s.size() || s[i + 1] != '\n'))) ++n;
    }
    return n;
}

}  // namespace

IniFields splitIniFields(std::string_view s, const IniLimits& limits) {
    IniFields out;
    if (s.size() > limits.maxBytes) {
        out.error = IniError::TooLarge;
        return out;
    }
    size_t pos = s.size() - withoutBom(s).size();
    int line = 1;
    // After a comma another field follows, even an empty one.
    bool fieldDue = false;

    auto emit = [&](std::string text, bool quoted, int at) {
        if (out.fields.size() >= limits.maxFields) {
            out.error = IniError::TooManyFields;
            return false;
        }
        out.fields.push_back({std::move(text), quoted, at});
        return true;
    };

    while (true) {
        while (pos < s.size() && isBlank(s[pos])) ++pos;
        if (pos == s.size()) {
            if (fieldDue) emit("", false, line);
            break;
        }
        if (isBreak(s[pos])) {
            if (fieldDue && !emit("", false, line)) break;
            fieldDue = false;
            pos = skipBreak(s, pos);
            ++line;
            continue;
        }
        int at = line;
        std::string text;
        bool quoted = s[pos] == '"';
        if (quoted) {
            size_t close = s.find('"', pos + 1);
            if (close == std::string_view::npos) {
                out.error = IniError::UnclosedQuote;
                break;
            }
            std::string_view inner = s.substr(pos + 1, close - pos - 1);
            line += breaksIn(inner);
            text.assign(inner);
            pos = close + 1;
            while (pos < s.size() && s[pos] != ',' && !isBreak(s[pos])) ++pos;
        } else {
            size_t start = pos;
            while (pos < s.size() && s[pos] != ',' && !isBreak(s[pos])) ++pos;
            size_t end = pos;
            while (end > start && isBlank(s[end - 1])) --end;
            text.assign(s.substr(start, end - start));
        }
        if (!emit(std::move(text), quoted, at)) break;
        fieldDue = false;
        if (pos == s.size()) break;
        if (s[pos] == ',') {
            ++pos;
            fieldDue = true;
        } else {
            pos = skipBreak(s, pos);
            ++line;
        }
    }
    return out;
}

IniFields readIniFields(const std::string& path, const IniLimits& limits) {
    IniFields out;
    std::error_code ec;
    if (std::filesystem::is_directory(path, ec)) {
        out.error = IniError::CannotOpen;
        return out;
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        out.error = IniError::CannotOpen;
        return out;
    }
    // Read at most one byte past the limit, so a huge file (or an endless
    // device) is never taken in whole.
    std::string content;
    char buf[16384];
    while (content.size() <= limits.maxBytes) {
        in.read(buf, sizeof buf);
        std::streamsize got = in.gcount();
        if (got > 0) content.append(buf, static_cast<size_t>(got));
        if (!in) break;
    }
    if (in.bad()) {
        out.error = IniError::ReadFailed;
        return out;
    }
    return splitIniFields(content, limits);
}

std::optional<double> plainNumber(std::string_view text) {
    size_t i = 0;
    while (i < text.size() && isBlank(text[i])) ++i;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
    bool digits = false;
    bool point = false;
    for (; i < text.size(); ++i) {
        char c = text[i];
        if (c >= '0' && c <= '9') {
            digits = true;
        } else if (c == '.' && !point) {
            point = true;
        } else {
            break;
        }
    }
    while (i < text.size() && isBlank(text[i])) ++i;
    if (!digits || i != text.size()) return std::nullopt;
    double value = leadingNumber(text);
    if (!std::isfinite(value)) return std::nullopt;
    return value;
}

}  // namespace nimbrel
