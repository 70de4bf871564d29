#pragma once
// The files of the program folder, by name: what is delivered with the
// program, what it downloads and converts, what it draws and keeps.
#include <array>
#include <string>

namespace nimbrel::files {

inline constexpr const char* kSettings = "vesk.ini";
inline constexpr const char* kRegionTable = "area_map.ini";
inline constexpr const char* kCityTable = "toshi.ini";
inline constexpr const char* kServer = "server.ini";
// The tray and notification settings of our own.
inline constexpr const char* kOwnSettings = "nimbrel.ini";
// The newest detail image and its bitmap, the newest top image and its
// bitmap, and the picture drawn from them.
inline constexpr const char* kDetailImage = "vesk_image.png";
inline constexpr const char* kDetailBitmap = "vesk_image.bmp";
inline constexpr const char* kTopImage = "vesk_image_s.png";
inline constexpr const char* kTopBitmap = "vesk_image_s.bmp";
inline constexpr const char* kPicture = "vesk_detail.bmp";
// The status of the last analysed cycle, for panels and scripts.
inline constexpr const char* kStatusJson = "status.json";
// The base maps' bitmaps; the maps themselves are named after the region
// key (key ".png" for the detail map, key "s.png" for the small one).
inline constexpr const char* kDetailBaseBitmap = "basemap.bmp";
inline constexpr const char* kSmallBaseBitmap = "basemaps.bmp";
inline std::string detailBaseMap(const std::string& key) {
    return key + ".png";
}
inline std::string smallBaseMap(const std::string& key) {
    return key + "s.png";
}
// History slot k (1..6); slot 0 is the newest top image.
inline std::string historyImage(int k) {
    return "before_" + std::to_string(k) + ".png";
}
// The warning sounds, loud and soft, of the three kinds (ring, rain, heavy).
inline constexpr std::array<std::array<const char*, 2>, 3> kSounds = {{
    {"RING3.WAV", "RING3s.WAV"},
    {"SOUND36.WAV", "SOUND36s.WAV"},
    {"SOUND38.WAV", "SOUND38s.WAV"},
}};

// What an installed program seeds a user's folder with: the tables it cannot
// run without, then the sounds.
inline constexpr std::array<const char*, 2> kDeliveredTables = {kRegionTable, kCityTable};
inline constexpr std::array<const char*, 6> kDeliveredSounds = {
    kSounds[0][0], kSounds[1][0], kSounds[2][0], kSounds[0][1], kSounds[1][1], kSounds[2][1]};

}  // namespace nimbrel::files
