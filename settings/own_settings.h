#pragma once
// nimbrel.ini: the settings of our own desktop features (tray and
// notifications). They never go into vesk.ini, whose layout is fixed.
#include <string>

#include "base/replace_file.h"
#include "settings/program_files.h"

namespace nimbrel {

inline constexpr const char* kOwnSettingsFileName = files::kOwnSettings;
// The real file is a few dozen bytes; anything far larger is not ours.
inline constexpr size_t kOwnSettingsMaxBytes = 16 * 1024;

struct OwnSettings {
    bool notifications = true;  // desktop notifications when a warning sounds
    bool keepInTray = false;    // closing the window leaves the program in the tray
    bool operator==(const OwnSettings&) const = default;
};

// Reads "key=value" lines; a [nimbrel] section line, blank lines and
// comments (; or #) are skipped. A key that is missing, unknown or holds
// anything but 0 or 1 keeps its default, so a damaged file means defaults.
OwnSettings parseOwnSettings(const std::string& text);
std::string formatOwnSettings(const OwnSettings& settings);

// A missing, unreadable or oversized file gives the defaults.
OwnSettings readOwnSettings(const std::string& path);
// Written whole through replaceFile: a failed write leaves the old file.
ReplaceResult writeOwnSettings(const std::string& path, const OwnSettings& settings);

}  // namespace nimbrel
