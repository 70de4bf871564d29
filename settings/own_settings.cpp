#include "settings/own_settings.h"

#include <fstream>
#include <optional>
#include <sstream>

namespace nimbrel {

namespace {

std::string trimmed(const std::string& s) {
    const size_t a = s.find_first_not_of(" \t\r");
    if (a == std::string::npos) return {};
    const size_t b = s.find_last_not_of(" \t\r");
    return s.substr(a, b - a + 1);
}

std::optional<bool> flag(const std::string& value) {
    if (value == "1") return true;
    if (value == "0") return false;
    return std::nullopt;
}

}  // namespace

OwnSettings parseOwnSettings(const std::string& text) {
    OwnSettings s;
    std::istringstream in(text);
    std::string line;
    bool first = true;
    while (std::getline(in, line)) {
        if (first && line.compare(0, 3, "\xEF\xBB\xBF") == 0) line.erase(0, 3);
        first = false;
        line = trimmed(line);
        if (line.empty() || line[0] == ';' || line[0] == '#' || line[0] == '[') continue;
        const size_t eq = line.find('=');
        if (eq == std::string::npos) continue;
        const std::string key = trimmed(line.substr(0, eq));
        const std::optional<bool> value = flag(trimmed(line.substr(eq + 1)));
        if (!value) continue;
        if (key == "notifications")
            s.notifications = *value;
        else if (key == "keep_in_tray")
            s.keepInTray = *value;
    }
    return s;
}

std::string formatOwnSettings(const OwnSettings& settings) {
    std::string out = "[nimbrel]\n";
    out += std::string("notifications=") + (settings.notifications ? "1" : "0") + "\n";
    out += std::string("keep_in_tray=") + (settings.keepInTray ? "1" : "0") + "\n";
    return out;
}

OwnSettings readOwnSettings(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return {};
    std::string text(kOwnSettingsMaxBytes + 1, '\0');
    in.read(text.data(), static_cast<std::streamsize>(text.size()));
    const size_t got = static_cast<size_t>(in.gcount());
    if (got > kOwnSettingsMaxBytes || in.bad()) return {};
    text.resize(got);
    return parseOwnSettings(text);
}

ReplaceResult writeOwnSettings(const std::string& path, const OwnSettings& settings) {
    const std::string bytes = formatOwnSettings(settings);
    return replaceFile(path, {{bytes.data(), bytes.size()}}, Durability::Kept);
}

}  // namespace nimbrel
