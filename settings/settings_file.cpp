#include "settings/settings_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <filesystem>

#include "base/ini_fields.h"
#include "base/text_util.h"

namespace nimbrel {

namespace {

constexpr int kFieldCount = 9 + 2 * kSettingsRegions;

// Field 1 and the box and sound fields are 16-bit integers in the file's
// layout; a value is rounded as the integer conversion does (halves to even).
std::optional<int> smallInteger(double value) {
    if (!(value > -32768.5 && value < 32767.5)) return std::nullopt;
    long long rounded = roundHalfEven(value);
    if (rounded < -32768 || rounded > 32767) return std::nullopt;
    return static_cast<int>(rounded);
}

bool isEmptyText(const IniField& field) {
    return field.text.empty();
}

SettingsProblem problemFor(IniError error) {
    switch (error) {
        case IniError::TooLarge:
            return SettingsProblem::TooLarge;
        case IniError::UnclosedQuote:
            return SettingsProblem::UnclosedQuote;
        case IniError::ReadFailed:
            return SettingsProblem::ReadFailed;
        default:
            return SettingsProblem::EndedEarly;
    }
}

// Takes field index i (0-based) into the record; false when it does not fit.
bool takeField(SettingsRecord& rec, int i, const IniField& field) {
    if (i == 0) {
        auto number = plainNumber(field.text);
        if (!number) return false;
        auto value = smallInteger(*number);
        if (!value) return false;
        rec.region = *value;
        return true;
    }
    if (i == 1) {
        rec.latitude = field.text;
        return true;
    }
    if (i == 2) {
        rec.longitude = field.text;
        return true;
    }
    if (i == 3 || i == 4) {
        std::optional<double> value;
        if (!isEmptyText(field)) {
            value = plainNumber(field.text);
            if (!value) return false;
        }
        (i == 3 ? rec.windowLeft : rec.windowTop) = value;
        return true;
    }
    if (i <= 8) {
        int value = 0;
        if (!isEmptyText(field)) {
            auto number = plainNumber(field.text);
            if (!number) return false;
            auto small = smallInteger(*number);
            if (!small) return false;
            value = *small;
        }
        int* targets[] = {&rec.check4, &rec.check6, &rec.check3, &rec.soundLevel};
        *targets[i - 5] = value;
        return true;
    }
    auto number = plainNumber(field.text);
    if (!number) return false;
    int k = i - 9;
    rec.savedLocations[k / 2][k % 2] = *number;
    return true;
}

}  // namespace

SettingsReadResult readSettings(const std::string& path, const SettingsRecord& start) {
    SettingsReadResult result;
    // Room for every field plus the empty one after line 2's last comma.
    IniFields file = readIniFields(path, {kSettingsMaxBytes, kFieldCount + 1});
    if (file.error == IniError::CannotOpen) {
        result.record.latitude = start.latitude;
        result.record.longitude = start.longitude;
        result.status = SettingsStatus::Missing;
        return result;
    }
    result.record = start;
    for (int i = 0; i < kFieldCount; ++i) {
        if (i >= static_cast<int>(file.fields.size())) {
            result.status = SettingsStatus::Partial;
            result.problem = problemFor(file.error);
            result.stoppedAtField = i + 1;
            return result;
        }
        if (!takeField(result.record, i, file.fields[static_cast<size_t>(i)])) {
            result.status = SettingsStatus::Partial;
            result.problem = SettingsProblem::FieldDoesNotFit;
            result.stoppedAtField = i + 1;
            return result;
        }
        result.fieldsRead = i + 1;
    }
    result.status = SettingsStatus::Complete;
    return result;
}

StartupSettings interpretSettings(const SettingsReadResult& read, double screenWidthTwips,
                                  double screenHeightTwips) {
    const SettingsRecord& rec = read.record;
    StartupSettings out;
    out.latitude = rec.latitude;
    out.longitude = rec.longitude;
    out.savedLocations = rec.savedLocations;

    bool otherLayout = leadingNumber(rec.latitude) > 130;
    if (!otherLayout) {
        out.check4 = rec.check4;
        out.check6 = rec.check6;
        out.check3 = rec.check3;
        out.soundLevel = rec.soundLevel;
    }
    if (out.latitude.empty() || out.longitude.empty()) {
        out.latitude.clear();
        out.longitude.clear();
        out.locationUnset = true;
    }
    out.currentRegion = rec.region;
    if (read.status == SettingsStatus::Missing || otherLayout || rec.region < 0 || rec.region > 10)
        out.currentRegion = 6;

    if (rec.windowLeft && rec.windowTop) {
        WindowPosition pos{*rec.windowLeft, *rec.windowTop};
        if (pos.left > screenWidthTwips - 3000) pos.left = screenWidthTwips - 3000;
        if (pos.top > screenHeightTwips - 1000) pos.top = screenHeightTwips - 1000;
        // A position far beyond any screen cannot be a real one; the window
        // stays where it was designed to be rather than vanish.
        constexpr double kFar = 2147483647.0;
        if (std::fabs(pos.left) <= kFar && std::fabs(pos.top) <= kFar) out.windowPosition = pos;
    }
    return out;
}

std::string formatSettings(const SettingsRecord& record) {
    auto optional = [](const std::optional<double>& v) { return v ? numberText(*v) : ""; };
    std::string out;
    out += numberText(record.region) + ",";
    out += "\"" + record.latitude + "\",";
    out += "\"" + record.longitude + "\",";
    out += optional(record.windowLeft) + ",";
    out += optional(record.windowTop) + ",";
    out += numberText(record.check4) + ",";
    out += numberText(record.check6) + ",";
    out += numberText(record.check3) + ",";
    out += numberText(record.soundLevel);
    out += kCrLf;
    for (const auto& pair : record.savedLocations) {
        for (double v : pair) out += numberText(std::isfinite(v) ? v : 0.0) + ",";
    }
    out += kCrLf;
    return out;
}

ReplaceResult writeSettings(const std::string& path, const SettingsRecord& record) {
    const std::string bytes = formatSettings(record);
    return replaceFile(path, {{bytes.data(), bytes.size()}}, Durability::Kept);
}

}  // namespace nimbrel
