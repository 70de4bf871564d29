#pragma once
// vesk.ini: what the program remembers between runs. Reading keeps what the
// file says apart from what start-up makes of it, so each can be tested.
#include <array>
#include <optional>
#include <string>

#include "base/replace_file.h"
#include "settings/program_files.h"

namespace nimbrel {

inline constexpr const char* kSettingsFileName = files::kSettings;
inline constexpr int kSettingsRegions = 11;

struct SettingsRecord {
    int region = 6;                    // field 1
    std::string latitude;              // field 2, the Label3 caption
    std::string longitude;             // field 3, the Label4 caption
    std::optional<double> windowLeft;  // field 4, twips; empty: never set
    std::optional<double> windowTop;   // field 5
    int check4 = 0;                    // field 6
    int check6 = 0;                    // field 7
    int check3 = 0;                    // field 8
    int soundLevel = 0;                // field 9: 0 loud, 1 soft, 2 silent
    std::array<std::array<double, 2>, kSettingsRegions> savedLocations{};  // fields 10-31

    bool operator==(const SettingsRecord&) const = default;
};

enum class SettingsStatus { Missing, Complete, Partial };

enum class SettingsProblem {
    None,
    TooLarge,         // refused whole; nothing read
    EndedEarly,       // the file holds fewer fields than the record
    FieldDoesNotFit,  // see SettingsReadResult::stoppedAtField
    UnclosedQuote,
    ReadFailed,
};

struct SettingsReadResult {
    SettingsRecord record;
    SettingsStatus status = SettingsStatus::Missing;
    SettingsProblem problem = SettingsProblem::None;
    int fieldsRead = 0;      // fields taken into the record, in file order
    int stoppedAtField = 0;  // 1-based field that ended a partial read, 0 otherwise
};

// Hard limit on the size of vesk.ini; the real file is under 300 bytes.
inline constexpr size_t kSettingsMaxBytes = 64 * 1024;

// Reads the file field by field. A missing or unreadable file gives the
// fresh-installation record (region 6, nothing remembered) with the captions
// of start unchanged. In a short or damaged file the fields not read keep
// their values from start, the window's state before reading (its window
// fields empty, as no position has been read yet).
// Field 1 and fields 6 to 9 must be numbers that round to a 16-bit integer
// (6 to 9 may also be empty, which reads 0); fields 4 and 5 are numbers or
// empty; fields 10 to 31 are numbers. The first field that does not fit
// stops the reading.
SettingsReadResult readSettings(const std::string& path, const SettingsRecord& start = {});

// What start-up applies from the settings.
struct WindowPosition {
    double left = 0;
    double top = 0;
};

struct StartupSettings {
    int currentRegion = 6;
    std::string latitude;        // Label3 caption
    std::string longitude;       // Label4 caption
    bool locationUnset = false;  // either caption was empty: both are emptied
    int soundLevel = 0;
    int check4 = 0;
    int check6 = 0;
    int check3 = 0;
    // Present only when the file gave both fields 4 and 5; already clamped to
    // the screen. Absent: the window keeps its designed position.
    std::optional<WindowPosition> windowPosition;
    std::array<std::array<double, 2>, kSettingsRegions> savedLocations{};
};

// The start-up rules for a settings read: a latitude above 130 marks a file
// of another layout, so the boxes and the sound level are taken as 0 and the
// region as 6; a region outside 0..10 becomes 6; the window position is kept
// at least 3000 twips from the right and 1000 from the bottom of the screen
// (smaller values, negatives too, are kept).
StartupSettings interpretSettings(const SettingsReadResult& read, double screenWidthTwips,
                                  double screenHeightTwips);

// The exact bytes of vesk.ini for a record: line 1 the nine fields joined by
// commas, texts in double quotes, a window field never set written empty;
// line 2 the 22 remembered coordinates, each followed by a comma. Lines end
// in CR LF. Texts are written as they stand: a caption holding a double
// quote does not read back intact. A coordinate that is not finite is
// written as 0 so that the file always reads back.
std::string formatSettings(const SettingsRecord& record);

// writesettings: formatSettings replacing the file, kept for good: a failed
// write never leaves a shortened or empty file behind.
ReplaceResult writeSettings(const std::string& path, const SettingsRecord& record);

}  // namespace nimbrel
