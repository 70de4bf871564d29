#include "support/settings_text.h"

namespace nimbrel {

std::string settingsText(const SettingsFields& f) {
    auto n = [](int v) { return std::to_string(v); };
    std::string l1 = "6,\"" + f.latitude + "\",\"" + f.longitude + "\"," + n(f.left) + "," +
                     n(f.top) + "," + n(f.check4) + "," + n(f.check6) + "," + n(f.check3) + "," +
                     n(f.soundLevel) + "\r\n";
    std::string l2;
    for (int i = 0; i < 11; ++i)
        l2 += (i == 6 ? std::string("35.6895,139.6917,") : std::string("0,0,"));
    return l1 + l2 + "\r\n";
}

std::string tokyoSettings(int check3) {
    SettingsFields f;
    f.check3 = check3;
    return settingsText(f);
}

}  // namespace nimbrel
