#include "settings/own_settings.h"

#include <fstream>
#include <optional>
#include <sstream>

#include "base/text_util.h"

namespace nimbrel {

namespace {

std::optional<bool> flag(const std::string& value) {
    if (value == "1") return true;
    if (value == "0") return false;
    return std::nullopt;
}

}  // namespace

OwnSettings parseOwnSettings(const std::string& text) {
    OwnSettings s;
    std::istringstream in(std::string(withoutBom(text)));
    std::string line;
    while (std::getline(in, line)) {
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
