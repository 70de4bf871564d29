#include "settings/region_table.h"

#include <cmath>
#include <stdexcept>

#include "base/ini_fields.h"
#include "base/text_util.h"

namespace nimbrel {

namespace {

// Keys end up in file names and in addresses of the radar service.
bool isSafeKey(const std::string& key) {
    if (key.empty()) return false;
    for (char c : key) {
        bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                  c == '_' || c == '-';
        if (!ok) return false;
    }
    return true;
}

RegionTableError errorFor(IniError error) {
    switch (error) {
        case IniError::CannotOpen:
            return RegionTableError::CannotOpen;
        case IniError::TooLarge:
            return RegionTableError::TooLarge;
        case IniError::UnclosedQuote:
            return RegionTableError::UnclosedQuote;
        case IniError::ReadFailed:
            return RegionTableError::ReadFailed;
        default:
            return RegionTableError::TooFewFields;
    }
}

void checkRegion(int region) {
    if (region < 0 || region >= kRegionCount) throw std::out_of_range("region index");
}

}  // namespace

RegionTableResult readRegionTable(const std::string& path) {
    RegionTableResult result;
    IniFields file = readIniFields(path, {kRegionTableMaxBytes, kRegionTableFields});
    if (file.fields.size() < static_cast<size_t>(kRegionTableFields)) {
        result.error = errorFor(file.error);
        return result;
    }
    RegionTable& t = result.table;
    auto fail = [&](RegionTableError error, size_t index, int region) {
        result.error = error;
        result.field = static_cast<int>(index) + 1;
        result.line = file.fields[index].line;
        result.region = region;
        return result;
    };

    for (int row = 0; row < 12; ++row) {
        for (int r = 0; r < kRegionCount; ++r) {
            size_t index = static_cast<size_t>(row * (1 + kRegionCount) + 1 + r);
            const std::string& text = file.fields[index].text;
            if (row == 0) {
                if (!isSafeKey(text)) return fail(RegionTableError::BadKey, index, r);
                t.regionKey[r] = text;
                continue;
            }
            if (row == 1) {
                t.regionName[r] = text;
                continue;
            }
            auto value = plainNumber(text);
            if (!value) return fail(RegionTableError::BadNumber, index, r);
            int column = (row - 2) % 3;
            if (row <= 7 && column < 2 && !(*value > 0))
                return fail(RegionTableError::BadSize, index, r);
            if (row <= 4)
                t.regionWidthPx[r][column] = *value;
            else if (row <= 7)
                t.regionHeightPx[r][column] = *value;
            else if (row <= 9)
                t.regionLonRange[r][row - 8] = *value;
            else
                t.regionLatRange[r][row - 10] = *value;
        }
    }
    for (int r = 0; r < kRegionCount; ++r) {
        auto b = regionBounds(t, r);
        if (!(b.east > b.west)) {
            size_t eastField = static_cast<size_t>(9 * (1 + kRegionCount) + 1 + r);
            return fail(RegionTableError::BadBounds, eastField, r);
        }
        if (!(b.north > b.south)) {
            size_t southField = static_cast<size_t>(11 * (1 + kRegionCount) + 1 + r);
            return fail(RegionTableError::BadBounds, southField, r);
        }
    }
    return result;
}

std::string regionTableErrorText(const RegionTableResult& result) {
    std::string what;
    switch (result.error) {
        case RegionTableError::None:
            return "";
        case RegionTableError::CannotOpen:
            what = "ファイルがありません";
            break;
        case RegionTableError::TooLarge:
            what = "ファイルが大きすぎます";
            break;
        case RegionTableError::UnclosedQuote:
            what = "引用符が閉じていません";
            break;
        case RegionTableError::ReadFailed:
            what = "読み込みに失敗しました";
            break;
        case RegionTableError::TooFewFields:
            what = "項目が足りません";
            break;
        case RegionTableError::BadKey:
            what = "地域キーが不正です";
            break;
        case RegionTableError::BadNumber:
            what = "数値ではない項目があります";
            break;
        case RegionTableError::BadSize:
            what = "地図の大きさが不正です";
            break;
        case RegionTableError::BadBounds:
            what = "地域の範囲が不正です";
            break;
    }
    std::string text = "area_map.ini を読み込めません（" + what;
    if (result.field > 0)
        text += "　" + numberText(result.line) + "行目 " + numberText(result.field) + "番目の項目";
    text += "）";
    return text;
}

RegionBounds regionBounds(const RegionTable& table, int region) {
    checkRegion(region);
    RegionBounds b;
    b.west = table.regionLonRange[region][0];
    b.east = table.regionLonRange[region][1];
    b.north = table.regionLatRange[region][0];
    b.south = table.regionLatRange[region][1];
    return b;
}

bool insideInclusive(const RegionBounds& b, double latitude, double longitude) {
    return !(latitude < b.south / 3600 || latitude > b.north / 3600 || longitude < b.west / 3600 ||
             longitude > b.east / 3600);
}

bool insideStrict(const RegionBounds& b, double latitude, double longitude) {
    return b.south / 3600 < latitude && latitude < b.north / 3600 && b.west / 3600 < longitude &&
           longitude < b.east / 3600;
}

MapScales mapScales(const RegionTable& table, int region) {
    auto b = regionBounds(table, region);
    MapScales s;
    s.smallScaleX = table.regionWidthPx[region][0] / (b.east - b.west);
    s.smallScaleY = table.regionHeightPx[region][0] / (b.south - b.north);
    s.detailScaleX = table.regionWidthPx[region][1] / (b.east - b.west);
    s.detailScaleY = table.regionHeightPx[region][1] / (b.south - b.north);
    return s;
}

std::string regionRangeText(const RegionTable& table, int region) {
    auto b = regionBounds(table, region);
    // Degrees to three decimals, moved inward by one step of the last digit.
    auto s = [](double bound, double d) { return strNumber(std::floor(bound / 3.6 + d) / 1000); };
    return std::string("この地域の範囲") + kCrLf + "　北緯: " + s(b.south, 1) + " ～ " +
           s(b.north, -1) + kCrLf + "　東経:" + s(b.west, 1) + " ～" + s(b.east, -1);
}

std::string regionItemText(const RegionTable& table, int region) {
    checkRegion(region);
    return strNumber(region) + ":" + table.regionName[region];
}

std::vector<std::string> regionListItems(const RegionTable& table) {
    std::vector<std::string> items;
    for (int r = 0; r < kRegionCount; ++r) {
        if (r == 4) continue;
        items.push_back(regionItemText(table, r));
    }
    return items;
}

CityList readCities(const std::string& path, const RegionBounds& b) {
    CityList list;
    IniFields file = readIniFields(path, {kCityFileMaxBytes, kCityFileMaxFields});
    switch (file.error) {
        case IniError::None:
            break;
        case IniError::CannotOpen:
            list.error = CityListError::CannotOpen;
            break;
        case IniError::TooLarge:
            list.error = CityListError::TooLarge;
            break;
        case IniError::TooManyFields:
            list.error = CityListError::TooManyFields;
            break;
        case IniError::UnclosedQuote:
            list.error = CityListError::UnclosedQuote;
            break;
        case IniError::ReadFailed:
            list.error = CityListError::ReadFailed;
            break;
    }
    const auto& f = file.fields;
    size_t whole = f.size() / 3 * 3;
    if (whole != f.size() && list.error == CityListError::None)
        list.error = CityListError::IncompleteRecord;
    for (size_t i = 0; i < whole; i += 3) {
        double lat = leadingNumber(f[i + 1].text) * 3600;
        double lon = leadingNumber(f[i + 2].text) * 3600;
        if (!(lat > b.south && lat < b.north && lon > b.west && lon < b.east)) continue;
        if (list.cities.size() == kMaxCities) {
            ++list.citiesBeyondLimit;
            continue;
        }
        list.cities.push_back({f[i].text, f[i + 1].text, f[i + 2].text});
        list.combo2Items.push_back(strNumber(static_cast<double>(list.cities.size())) + ":" +
                                   f[i].text);
    }
    if (list.citiesBeyondLimit > 0 && list.error == CityListError::None)
        list.error = CityListError::TooManyCities;
    return list;
}

}  // namespace nimbrel
