#include "settings/region_table.h"

#include <gtest/gtest.h>

#include <functional>

#include "support/temp_dir.h"

using namespace nimbrel;

namespace {

// Rows of a table as texts: [row][0] the label, [row][1 + r] region r.
using Rows = std::vector<std::vector<std::string>>;

Rows sampleRows() {
    Rows rows(12);
    const char* labels[] = {"1", "name", "w0", "w1", "w2", "h0", "h1", "h2", "9", "10", "11", "12"};
    for (int row = 0; row < 12; ++row) rows[row].push_back(labels[row]);
    for (int r = 0; r < kRegionCount; ++r) {
        rows[0].push_back("area_" + std::to_string(r));
        rows[1].push_back("\"地域" + std::to_string(r) + "\"");
        rows[2].push_back("400");
        rows[3].push_back("800");
        rows[4].push_back("1600");
        rows[5].push_back("300");
        rows[6].push_back("600");
        rows[7].push_back("1200");
        double west = (128 + r) * 3600.0;
        rows[8].push_back(std::to_string(static_cast<long>(west)));
        rows[9].push_back(std::to_string(static_cast<long>(west + 2 * 3600)));
        rows[10].push_back(std::to_string(37 * 3600));  // north
        rows[11].push_back(std::to_string(35 * 3600));  // south
    }
    return rows;
}

// Each record is broken after its sixth field, as a long record may be.
std::string tableText(const Rows& rows) {
    std::string out;
    for (const auto& row : rows) {
        for (size_t i = 0; i < row.size(); ++i) {
            out += row[i];
            if (i + 1 < row.size()) out += (i == 5) ? "\r\n" : ",";
        }
        out += "\r\n";
    }
    return out;
}

RegionTableResult readText(TempDir& dir, const std::string& text) {
    writeFileBytes(dir.file("area_map.ini"), text);
    return readRegionTable(dir.file("area_map.ini"));
}

RegionTableResult readRows(TempDir& dir, const Rows& rows) {
    return readText(dir, tableText(rows));
}

}  // namespace

TEST(RegionTable, ReadsRecordsBrokenOverLinesWithAnyLabels) {
    TempDir dir;
    RegionTableResult res = readRows(dir, sampleRows());
    ASSERT_TRUE(res.ok()) << regionTableErrorText(res);
    const RegionTable& t = res.table;
    EXPECT_EQ(t.regionKey[0], "area_0");
    EXPECT_EQ(t.regionKey[10], "area_10");
    EXPECT_EQ(t.regionName[6], "地域6");
    EXPECT_EQ(t.regionWidthPx[3][0], 400);
    EXPECT_EQ(t.regionWidthPx[3][1], 800);
    EXPECT_EQ(t.regionWidthPx[3][2], 1600);
    EXPECT_EQ(t.regionHeightPx[3][1], 600);
    EXPECT_EQ(t.regionLonRange[2][0], 130 * 3600);
    EXPECT_EQ(t.regionLonRange[2][1], 132 * 3600);
    EXPECT_EQ(t.regionLatRange[2][0], 37 * 3600);
    EXPECT_EQ(t.regionLatRange[2][1], 35 * 3600);
}

TEST(RegionTable, NeedsAll144Fields) {
    TempDir dir;
    std::string text = tableText(sampleRows());
    // Drop the last field: 143 remain.
    std::string short143 = text.substr(0, text.rfind(',')) + "\r\n";
    RegionTableResult res = readText(dir, short143);
    EXPECT_EQ(res.error, RegionTableError::TooFewFields);
    EXPECT_FALSE(regionTableErrorText(res).empty());

    EXPECT_TRUE(readText(dir, text).ok());
    EXPECT_TRUE(readText(dir, text + "extra,fields\r\n").ok());
    EXPECT_EQ(readText(dir, "").error, RegionTableError::TooFewFields);
    EXPECT_EQ(readRegionTable(dir.file("none.ini")).error, RegionTableError::CannotOpen);
}

TEST(RegionTable, RefusesWhatWouldBeUnsafeToUse) {
    struct Case {
        const char* what;
        std::function<void(Rows&)> change;
        RegionTableError error;
        int region;
        int line;
    } cases[] = {
        {"empty key", [](Rows& r) { r[0][3] = "\"\""; }, RegionTableError::BadKey, 2, 1},
        {"slash", [](Rows& r) { r[0][4] = "a/b"; }, RegionTableError::BadKey, 3, 1},
        {"dots", [](Rows& r) { r[0][8] = "..x"; }, RegionTableError::BadKey, 7, 2},
        {"blank inside", [](Rows& r) { r[0][1] = "\"a b\""; }, RegionTableError::BadKey, 0, 1},
        {"non-ASCII", [](Rows& r) { r[0][1] = "関東"; }, RegionTableError::BadKey, 0, 1},
        {"query", [](Rows& r) { r[0][11] = "x?y=1"; }, RegionTableError::BadKey, 10, 2},
        {"not a number", [](Rows& r) { r[2][1] = "40O"; }, RegionTableError::BadNumber, 0, 5},
        {"empty number", [](Rows& r) { r[11][11] = ""; }, RegionTableError::BadNumber, 10, 24},
        {"zero width", [](Rows& r) { r[3][2] = "0"; }, RegionTableError::BadSize, 1, 7},
        {"negative height", [](Rows& r) { r[5][2] = "-300"; }, RegionTableError::BadSize, 1, 11},
        {"east == west", [](Rows& r) { r[9][6] = r[8][6]; }, RegionTableError::BadBounds, 5, 20},
        {"east < west", [](Rows& r) { r[9][6] = "1"; }, RegionTableError::BadBounds, 5, 20},
        {"north == south", [](Rows& r) { r[10][9] = r[11][9]; }, RegionTableError::BadBounds, 8,
         24},
    };
    for (const auto& c : cases) {
        TempDir dir;
        Rows rows = sampleRows();
        c.change(rows);
        RegionTableResult res = readRows(dir, rows);
        EXPECT_EQ(res.error, c.error) << c.what;
        EXPECT_EQ(res.region, c.region) << c.what;
        EXPECT_EQ(res.line, c.line) << c.what;
    }
    // The third size column is read but unused: any number will do.
    TempDir dir;
    Rows rows = sampleRows();
    rows[4][1] = "0";
    EXPECT_TRUE(readRows(dir, rows).ok());
}

TEST(RegionTable, ScalesRangeTextAndList) {
    TempDir dir;
    Rows rows = sampleRows();
    rows[1][5] = "地域四";
    rows[10][1] = "133200";  // north 37°
    rows[11][1] = "126000";  // south 35°
    rows[8][1] = "500400";   // west 139°
    rows[9][1] = "507600";   // east 141°
    rows[10][2] = "133200";
    rows[11][2] = "128482.2";  // 35.6895°
    rows[8][2] = "-3600";
    rows[9][2] = "3600";
    RegionTableResult res = readRows(dir, rows);
    ASSERT_TRUE(res.ok()) << regionTableErrorText(res);

    MapScales s = mapScales(res.table, 0);
    EXPECT_DOUBLE_EQ(s.smallScaleX, 400.0 / 7200);
    EXPECT_DOUBLE_EQ(s.smallScaleY, -300.0 / 7200);
    EXPECT_DOUBLE_EQ(s.detailScaleX, 800.0 / 7200);
    EXPECT_DOUBLE_EQ(s.detailScaleY, -600.0 / 7200);

    EXPECT_EQ(regionRangeText(res.table, 0),
              "この地域の範囲\r\n　北緯:  35.001 ～  36.999\r\n　東経: 139.001 ～ 140.999");
    EXPECT_EQ(regionRangeText(res.table, 1),
              "この地域の範囲\r\n　北緯:  35.69 ～  36.999\r\n　東経:-0.999 ～ 0.999");

    std::vector<std::string> items = regionListItems(res.table);
    ASSERT_EQ(items.size(), 10u);
    EXPECT_EQ(items.front(), " 0:地域0");
    EXPECT_EQ(items[4], " 5:地域5");
    EXPECT_EQ(items.back(), " 10:地域10");
    for (const auto& item : items) EXPECT_EQ(item.find(" 4:"), std::string::npos) << item;
    EXPECT_EQ(regionItemText(res.table, 4), " 4:地域四");
    EXPECT_THROW(regionItemText(res.table, 11), std::out_of_range);
}

TEST(RegionTable, BoundsAreInclusiveForTheCycleAndStrictForTheLocationOfRecord) {
    RegionBounds b{139 * 3600.0, 141 * 3600.0, 37 * 3600.0, 35 * 3600.0};
    struct Case {
        double lat, lon;
        bool inclusive, strict;
    } cases[] = {
        {36, 140, true, true},        {37, 140, true, false},       {35, 140, true, false},
        {36, 139, true, false},       {36, 141, true, false},       {37.0001, 140, false, false},
        {34.9999, 140, false, false}, {36, 141.0001, false, false}, {36, 138.9999, false, false},
        {0, 0, false, false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(insideInclusive(b, c.lat, c.lon), c.inclusive) << c.lat << " " << c.lon;
        EXPECT_EQ(insideStrict(b, c.lat, c.lon), c.strict) << c.lat << " " << c.lon;
    }
}
