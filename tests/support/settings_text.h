#pragma once
// Settings files (vesk.ini) as the program writes them, for tests and
// benchmarks that start the program from a known state.
#include <string>

namespace nimbrel {

// vesk.ini for region 6 with Tokyo remembered; the fields default to Tokyo
// at window position 840, 615 with the boxes clear and the loud sound.
struct SettingsFields {
    std::string latitude = "35.6895";
    std::string longitude = "139.6917";
    int left = 840, top = 615;
    int check4 = 0, check6 = 0, check3 = 0, soundLevel = 0;
};
std::string settingsText(const SettingsFields& f);
// The default fields with "LOG" (check3) as given.
std::string tokyoSettings(int check3 = 0);

}  // namespace nimbrel
