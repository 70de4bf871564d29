// Start-up: runs when the program starts and again, whole, on every region
// change.
#include <filesystem>
#include <fstream>

#include "app/form1.h"
#include "app/splash.h"
#include "app/version_text.h"
#include "base/diagnostics.h"
#include "base/text_util.h"
#include "cycle/classify.h"
#include "imaging/png_to_bmp.h"
#include "settings/log_file.h"
#include "settings/program_files.h"
#include "settings/program_folder.h"
#include "settings/region_table.h"
#include "settings/server_file.h"
#include "settings/settings_file.h"

namespace nimbrel {

void Form1::Form_Load() {
    // One instance per program folder.
    if (platform_.anotherInstanceRunning(paths.programFolder)) {
        // Unless it ended while the box was open (its close box, a signal).
        if (tell("既に起動されています。", "nimbrel")) endProgram();
        return;
    }
    splash_->showSplash();
    prepareProgramFiles();
    // Without the region table the program cannot work.
    RegionTableResult table = readRegionTable(paths.programFolder + files::kRegionTable);
    if (!table.ok()) {
        if (tell(regionTableErrorText(table), "nimbrel")) endProgram();
        return;
    }
    area.regions = table.table;
    const StartupSettings s = applySettings();
    const RegionBounds b = regionBounds(area.regions, area.currentRegion);
    fallBackToRememberedLocation(b);
    if (const char* caption = soundLevelCaption(cycle.soundLevel)) Label17->setCaption(caption);
    Check6_Click();
    const MapScales scales = mapScales(area.regions, area.currentRegion);
    area.smallScaleX = scales.smallScaleX;
    area.smallScaleY = scales.smallScaleY;
    area.detailScaleX = scales.detailScaleX;
    area.detailScaleY = scales.detailScaleY;
    if (Combo1->itemCount() < 2)
        for (const std::string& item : regionListItems(area.regions)) Combo1->addItem(item);
    Combo1->setText(regionItemText(area.regions, area.currentRegion));
    if (!fetchBaseMaps()) return;
    drawbase();
    if (s.windowPosition) {
        placement.windowLeft = s.windowPosition->left;
        placement.windowTop = s.windowPosition->top;
        placement.windowPositionKnown = true;
        setLeft(placement.windowLeft);
        setTop(placement.windowTop);
    }
    fillCityList(b);
    Label7->setCaption(regionRangeText(area.regions, area.currentRegion));
    startWatchingOrAskForLocation(!s.locationUnset && insideStrict(b, latitude(), longitude()));
}

void Form1::prepareProgramFiles() {
    if (paths.programFolder.empty() || paths.programFolder.back() != '/')
        paths.programFolder += '/';
    // server.ini lies in the program folder, or, for an installed program,
    // in the user's configuration folder.
    std::string server = paths.programFolder + files::kServer;
    if (!std::filesystem::exists(server)) {
        const std::string config = userConfigFolder(processFolderEnvironment());
        if (!config.empty()) server = config + files::kServer;
    }
    paths.serverBase = readServerBase(server);
    Timer1.setInterval(9750);
    cycle.tickThreshold = 18;
    if (!Timer1.isActive()) Timer1.start();
    setHeight(1120);
    Text2->setText("");
    Text3->setText("");
    // Loud and soft sounds; the silent level has none.
    for (int kind = 0; kind < 3; ++kind) {
        paths.soundFiles[0][kind] = paths.programFolder + files::kSounds[kind][0];
        paths.soundFiles[1][kind] = paths.programFolder + files::kSounds[kind][1];
        paths.soundFiles[2][kind].clear();
    }
    // The playback's tints, as blue, green and red offsets.
    history.tintOffsets = {
        {{0, 0, 0}, {16, -7, -7}, {8, -14, 8}, {-7, -7, 16}, {-14, 8, 8}, {-7, 16, -7}}};
    history.historyFiles[0] = paths.programFolder + files::kTopImage;
    for (int k = 1; k <= 6; ++k)
        history.historyFiles[k] = paths.programFolder + files::historyImage(k);
    for (int k = 2; k <= 6; ++k) history.historyTimes[k] = 0;
    paths.logFilePath = logFileName(paths.programFolder, platform_.now());
    // The history starts afresh; missing or locked files are skipped.
    for (int k = 6; k >= 1; --k) {
        std::error_code ec;
        std::filesystem::remove(history.historyFiles[k], ec);
    }
    Label18->setCaption(versionText());
    // Past images of another region must not move this one's rain.
    nowcaster_.forget();
    dropPendingForecast();
}

StartupSettings Form1::applySettings() {
    // What is read over what the program holds: the captions are the
    // location of record.
    SettingsRecord start;
    start.latitude = Label3->caption();
    start.longitude = Label4->caption();
    start.savedLocations = area.savedLocations;
    if (placement.windowPositionKnown) {
        start.windowLeft = placement.windowLeft;
        start.windowTop = placement.windowTop;
    }
    const SettingsReadResult read = readSettings(paths.programFolder + files::kSettings, start);
    const ScreenTwips screen = platform_.screenSizeTwips();
    const StartupSettings s = interpretSettings(read, screen.width, screen.height);
    area.currentRegion = static_cast<int16_t>(s.currentRegion);
    Label3->setCaption(s.locationUnset ? "" : s.latitude);
    Label4->setCaption(s.locationUnset ? "" : s.longitude);
    area.savedLocations = s.savedLocations;
    cycle.soundLevel = static_cast<int16_t>(s.soundLevel);
    Check4->setValue(s.check4);
    Check6->setValue(s.check6);
    Check3->setValue(s.check3);
    splash_->lblCompany->setCaption(area.regions.regionName[area.currentRegion] + "　" +
                                    splash_->lblCompany->caption());
    if (Check3->value() == 1)
        diagnoseFailure(
            paths.logFilePath,
            appendStartupLogEntry(
                paths.logFilePath,
                startupLogLine(platform_.now(), area.regions.regionName[area.currentRegion],
                               Label3->caption(), Label4->caption())));
    return s;
}

void Form1::fallBackToRememberedLocation(const RegionBounds& b) {
    // A location outside the region gives way to the one remembered for
    // the region, if that lies inside it.
    if (insideInclusive(b, latitude(), longitude())) return;
    Label3->setCaption("");
    Label4->setCaption("");
    const double lat = area.savedLocations[area.currentRegion][0];
    const double lon = area.savedLocations[area.currentRegion][1];
    if (insideStrict(b, lat, lon)) {
        Label3->setCaption(numberText(lat));
        Label4->setCaption(numberText(lon));
    }
}

bool Form1::fetchBaseMaps() {
    // A whole base map on disk is never fetched again; one that does not
    // decode (cut short by a crash or a full disk) would otherwise leave the
    // map blank for good.
    const std::string& key = area.regions.regionKey[area.currentRegion];
    struct BaseMap {
        std::string png, bmp, path;
    } maps[2] = {{paths.programFolder + files::detailBaseMap(key),
                  paths.programFolder + files::kDetailBaseBitmap, "/2/basemap1.png"},
                 {paths.programFolder + files::smallBaseMap(key),
                  paths.programFolder + files::kSmallBaseBitmap, "/1/basemap1.png"}};
    for (const BaseMap& m : maps) {
        if (!checkPng(m.png).ok()) {
            // Kept for good once stored, so only a whole, decodable map is.
            const FetchResult stored =
                fetchPng(paths.serverBase + "/xbandradar/map/" + key + m.path, m.png);
            if (stored == FetchResult::Ended || !letEventsRun()) return false;
            if (stored == FetchResult::Failed &&
                !tell(std::string("通信エラーが発生しました　一旦終了し") + kCrLf +
                          "インターネットとの接続を確認した上で" + kCrLf +
                          "　再度起動して下さい　　" + timeText(platform_.now()),
                      "nimbrel"))
                return false;
        }
        imgtobmp(m.bmp, m.png);
        if (!letEventsRun()) return false;
    }
    return true;
}

void Form1::fillCityList(const RegionBounds& b) {
    Combo2->clearItems();
    const CityList cities = readCities(paths.programFolder + files::kCityTable, b);
    area.listedCities = static_cast<int>(cities.cities.size());
    for (size_t n = 0; n < cities.cities.size(); ++n) {
        area.cityTable[n + 1][0] = cities.cities[n].name;
        area.cityTable[n + 1][1] = cities.cities[n].latitude;
        area.cityTable[n + 1][2] = cities.cities[n].longitude;
    }
    // Rows left from the previous region would hand its cities on.
    for (int row = area.listedCities + 1; row <= 100; ++row)
        for (std::string& field : area.cityTable[row]) field.clear();
    for (const std::string& item : cities.combo2Items) Combo2->addItem(item);
    Combo2->setText(kCityListCaption);
}

void Form1::startWatchingOrAskForLocation(bool located) {
    if (located) {
        splash_->Label4->setCaption("北緯  " + Label3->caption());
        splash_->Label5->setCaption("東経 " + Label4->caption());
        splash_->repaint();
        Command1->press();
        if (ended_) return;
        marksmall();
        Label8->setCaption(charLeft(Label3->caption(), 9) + "  " + charLeft(Label4->caption(), 9) +
                           " ☆");
        return;
    }
    Check1->setValue(1);
    Check2->setValue(1);
    Label8->setCaption("地点未設定");
    Label2->setCaption("動作地点を設定して下さい");
    Label2->setBackColor(statusRgb(StatusColor::LightRed));
}

void Form1::writesettings() {
    SettingsRecord r;
    r.region = area.currentRegion;
    r.latitude = Label3->caption();
    r.longitude = Label4->caption();
    if (placement.windowPositionKnown) {
        r.windowLeft = placement.windowLeft;
        r.windowTop = placement.windowTop;
    }
    r.check4 = Check4->value();
    r.check6 = Check6->value();
    r.check3 = Check3->value();
    r.soundLevel = cycle.soundLevel;
    r.savedLocations = area.savedLocations;
    // A failed write leaves the previous file whole; the window says nothing.
    const std::string path = paths.programFolder + files::kSettings;
    diagnoseFailure(path, writeSettings(path, r));
}

}  // namespace nimbrel
