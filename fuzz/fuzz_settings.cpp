// Arbitrary bytes as vesk.ini: read, interpreted for start-up, and, when the
// file was read completely, written out and read again, which must give the
// same record and the same bytes: what the user saved is never lost.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz_support.h"
#include "settings/settings_file.h"

using namespace nimbrel;
using namespace nimbrel::fuzz;

namespace {

// The window's state before reading, distinct from every default so that a
// field taken from the wrong place shows.
SettingsRecord startRecord() {
    SettingsRecord start;
    start.region = 3;
    start.latitude = "35.6895";
    start.longitude = "139.6917";
    start.check4 = 1;
    start.check6 = 1;
    start.check3 = 1;
    start.soundLevel = 1;
    for (int r = 0; r < kSettingsRegions; ++r) start.savedLocations[r] = {30.0 + r, 130.0 + r};
    return start;
}

// Field i (0-based, file order) of two records is the same.
bool sameField(const SettingsRecord& a, const SettingsRecord& b, int i) {
    switch (i) {
        case 0:
            return a.region == b.region;
        case 1:
            return a.latitude == b.latitude;
        case 2:
            return a.longitude == b.longitude;
        case 3:
            return a.windowLeft == b.windowLeft;
        case 4:
            return a.windowTop == b.windowTop;
        case 5:
            return a.check4 == b.check4;
        case 6:
            return a.check6 == b.check6;
        case 7:
            return a.check3 == b.check3;
        case 8:
            return a.soundLevel == b.soundLevel;
        default:
            return a.savedLocations[(i - 9) / 2][(i - 9) % 2] ==
                   b.savedLocations[(i - 9) / 2][(i - 9) % 2];
    }
}

constexpr int kFields = 9 + 2 * kSettingsRegions;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string path = scratchFile(kSettingsFileName);
    static const std::string again = scratchFile("again.ini");
    static const SettingsRecord start = startRecord();

    writeFile(path, data, size);
    const SettingsReadResult read = readSettings(path, start);
    FUZZ_CHECK(read.status != SettingsStatus::Missing, "an existing file read as missing");
    FUZZ_CHECK(read.fieldsRead >= 0 && read.fieldsRead <= kFields, "fields read");

    if (read.status == SettingsStatus::Partial) {
        FUZZ_CHECK(read.problem != SettingsProblem::None, "a partial read without a reason");
        FUZZ_CHECK(read.stoppedAtField == read.fieldsRead + 1, "stopped at the wrong field");
        // The fields not read keep the window's values.
        for (int i = read.fieldsRead; i < kFields; ++i) {
            FUZZ_CHECK(sameField(read.record, start, i),
                       "field " + std::to_string(i + 1) + " changed although not read");
        }
    } else {
        FUZZ_CHECK(read.problem == SettingsProblem::None && read.fieldsRead == kFields,
                   "a complete read with a problem");
    }

    const double screenWidth = 1920 * 15;
    const double screenHeight = 1080 * 15;
    const StartupSettings startup = interpretSettings(read, screenWidth, screenHeight);
    FUZZ_CHECK(startup.currentRegion >= 0 && startup.currentRegion <= 10, "region out of range");
    FUZZ_CHECK(startup.latitude.empty() == startup.longitude.empty(), "half a location");
    if (startup.windowPosition) {
        const WindowPosition& pos = *startup.windowPosition;
        FUZZ_CHECK(std::isfinite(pos.left) && std::isfinite(pos.top), "window position");
        FUZZ_CHECK(pos.left <= screenWidth - 3000 && pos.top <= screenHeight - 1000,
                   "window placed off the screen");
    }

    // The writer does not escape double quotes, as the header says.
    const SettingsRecord& record = read.record;
    if (read.status != SettingsStatus::Complete || record.latitude.find('"') != std::string::npos ||
        record.longitude.find('"') != std::string::npos) {
        checkOnlyThese({kSettingsFileName, "again.ini"});
        return 0;
    }
    const std::string written = formatSettings(record);
    writeFile(again, written);
    const SettingsReadResult reread = readSettings(again, start);
    FUZZ_CHECK(reread.status == SettingsStatus::Complete,
               "the written file stops at field " + std::to_string(reread.stoppedAtField) + ":\n" +
                   written);
    FUZZ_CHECK(reread.record == record, "the written file reads back differently:\n" + written);
    FUZZ_CHECK(formatSettings(reread.record) == written, "writing is not stable");
    checkOnlyThese({kSettingsFileName, "again.ini"});
    return 0;
}
