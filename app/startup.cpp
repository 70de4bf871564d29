// Start-up: runs when the program starts and again, whole, on every region
// change.
#include <filesystem>
#include <fstream>

#include "app/form1.h"
#include "app/log_file.h"
#include "app/program_folder.h"
#include "app/region_table.h"
#include "app/settings_file.h"
#include "app/splash.h"
#include "app/text_util.h"
#include "app/version_text.h"
#include "cycle/alerts.h"
#include "cycle/radar_time.h"
#include "platform/png_to_bmp.h"

namespace nimbrel {

namespace {

constexpr const char* kDefaultServer = "http://127.0.0.1:8642";

// The radar service's base address: the first line of server.ini, or the
// local radar service when the file is missing or empty. The file is looked
// for in the program folder, then in the user's configuration folder, where
// an installed program's user puts it.
std::string readServerBase(const std::string& folder) {
    std::ifstream in(folder + "server.ini", std::ios::binary);
    if (!in) {
        const std::string config = userConfigFolder(processFolderEnvironment());
        if (!config.empty()) in.open(config + "server.ini", std::ios::binary);
    }
    std::string line;
    if (in && std::getline(in, line)) {
        if (line.size() >= 3 && line.compare(0, 3, "\xEF\xBB\xBF") == 0) line.erase(0, 3);
        while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '/'))
            line.pop_back();
        size_t start = line.find_first_not_of(' ');
        if (start != std::string::npos) line.erase(0, start);
        if (line.rfind("http://", 0) == 0 || line.rfind("https://", 0) == 0) return line;
    }
    return kDefaultServer;
}

}  // namespace

void Form1::Form_Load() {
    // 1. One instance per program folder.
    if (platform_.anotherInstanceRunning(programFolder)) {
        platform_.messageBox("既に起動されています。", "nimbrel", MsgButtons::Ok);
        endProgram();
        return;
    }
    // 2.
    splash_->showSplash();
    // 3.
    if (programFolder.empty() || programFolder.back() != '/') programFolder += '/';
    serverBase = readServerBase(programFolder);
    // 4.
    Timer1.setInterval(9750);
    tickThreshold = 18;
    if (!Timer1.isActive()) Timer1.start();
    // 5.
    setHeight(1120);
    // 6.
    Text2->setText("");
    Text3->setText("");
    // 7.
    static const char* kSounds[3][2] = {{"RING3.WAV", "RING3s.WAV"},
                                        {"SOUND36.WAV", "SOUND36s.WAV"},
                                        {"SOUND38.WAV", "SOUND38s.WAV"}};
    for (int kind = 0; kind < 3; ++kind) {
        soundFiles[0][kind] = programFolder + kSounds[kind][0];
        soundFiles[1][kind] = programFolder + kSounds[kind][1];
        soundFiles[2][kind].clear();
    }
    // 8.
    static const int16_t kTints[6][3] = {{0, 0, 0},    {16, -7, -7}, {8, -14, 8},
                                         {-7, -7, 16}, {-14, 8, 8},  {-7, 16, -7}};
    for (int k = 0; k < 6; ++k)
        for (int c = 0; c < 3; ++c) tintOffsets[k][c] = kTints[k][c];
    // 9, 10.
    historyFiles[0] = programFolder + "vesk_image_s.png";
    for (int k = 1; k <= 6; ++k)
        historyFiles[k] = programFolder + "before_" + std::to_string(k) + ".png";
    for (int k = 2; k <= 6; ++k) historyTimes[k] = 0;
    // 11.
    const DateTime started = platform_.now();
    logFilePath = logFileName(programFolder, started);
    // 12. Missing or locked history files are skipped.
    for (int k = 6; k >= 1; --k) {
        std::error_code ec;
        std::filesystem::remove(historyFiles[k], ec);
    }
    // 13.
    Label18->setCaption(versionText());
    // 14. Without the region table the program cannot work.
    RegionTableResult table = readRegionTable(programFolder + "area_map.ini");
    if (!table.ok()) {
        platform_.messageBox(regionTableErrorText(table), "nimbrel", MsgButtons::Ok);
        endProgram();
        return;
    }
    regions = table.table;
    // 15. The captions are the location of record.
    SettingsRecord start;
    start.latitude = Label3->caption();
    start.longitude = Label4->caption();
    for (int r = 0; r < 11; ++r)
        for (int i = 0; i < 2; ++i) start.savedLocations[r][i] = savedLocations[r][i];
    if (windowPositionKnown) {
        start.windowLeft = windowLeft;
        start.windowTop = windowTop;
    }
    SettingsReadResult read = readSettings(programFolder + kSettingsFileName, start);
    ScreenTwips screen = platform_.screenSizeTwips();
    StartupSettings s = interpretSettings(read, screen.width, screen.height);
    currentRegion = static_cast<int16_t>(s.currentRegion);
    Label3->setCaption(s.latitude);
    Label4->setCaption(s.longitude);
    for (int r = 0; r < 11; ++r)
        for (int i = 0; i < 2; ++i) savedLocations[r][i] = s.savedLocations[r][i];
    // 16-19 (the rules live in interpretSettings).
    bool unset = s.locationUnset;
    if (unset) {
        Label3->setCaption("");
        Label4->setCaption("");
    }
    soundLevel = static_cast<int16_t>(s.soundLevel);
    Check4->setValue(s.check4);
    Check6->setValue(s.check6);
    Check3->setValue(s.check3);
    // 20.
    splash_->lblCompany->setCaption(regions.regionName[currentRegion] + "　" +
                                    splash_->lblCompany->caption());
    // 21.
    if (Check3->value() == 1)
        (void)appendStartupLogEntry(
            logFilePath, startupLogLine(dayText(platform_.now()), timeText(platform_.now()),
                                        regions.regionName[currentRegion], Label3->caption(),
                                        Label4->caption()));
    // 22.
    RegionBounds b = regionBounds(regions, currentRegion);
    if (!insideInclusive(b, latitude(), longitude())) {
        Label3->setCaption("");
        Label4->setCaption("");
        double sLat = savedLocations[currentRegion][0];
        double sLon = savedLocations[currentRegion][1];
        if (insideStrict(b, sLat, sLon)) {
            Label3->setCaption(numberText(sLat));
            Label4->setCaption(numberText(sLon));
        }
    }
    // 23.
    switch (soundLevel) {
        case 0:
            Label17->setCaption("警告音大");
            break;
        case 1:
            Label17->setCaption("警告音小");
            break;
        case 2:
            Label17->setCaption("警告音無");
            break;
        default:
            break;
    }
    // 24.
    Check6_Click();
    // 25.
    MapScales scales = mapScales(regions, currentRegion);
    smallScaleX = scales.smallScaleX;
    smallScaleY = scales.smallScaleY;
    detailScaleX = scales.detailScaleX;
    detailScaleY = scales.detailScaleY;
    // 26.
    if (Combo1->itemCount() < 2)
        for (const std::string& item : regionListItems(regions)) Combo1->addItem(item);
    Combo1->setText(regionItemText(regions, currentRegion));
    // 27. A whole base map on disk is never fetched again; one that does not
    // decode (cut short by a crash or a full disk) would otherwise leave the
    // map blank for good.
    const std::string& key = regions.regionKey[currentRegion];
    struct BaseMap {
        std::string png, bmp, path;
    } maps[2] = {
        {programFolder + key + ".png", programFolder + "basemap.bmp", "/2/basemap1.png"},
        {programFolder + key + "s.png", programFolder + "basemaps.bmp", "/1/basemap1.png"}};
    for (const BaseMap& m : maps) {
        if (!checkPng(m.png).ok()) {
            // Kept for good once stored, so only a whole, decodable map is.
            bool stored = fetchPng(serverBase + "/xbandradar/map/" + key + m.path, m.png);
            letEventsRun();
            if (!stored) {
                platform_.messageBox(std::string("通信エラーが発生しました　一旦終了し") + kCrLf +
                                         "インターネットとの接続を確認した上で" + kCrLf +
                                         "　再度起動して下さい　　" + timeText(platform_.now()),
                                     "nimbrel", MsgButtons::Ok);
            }
        }
        imgtobmp(m.bmp, m.png);
        letEventsRun();
    }
    drawbase();
    // 28.
    if (s.windowPosition) {
        windowLeft = s.windowPosition->left;
        windowTop = s.windowPosition->top;
        windowPositionKnown = true;
        setLeft(windowLeft);
        setTop(windowTop);
    }
    // 29.
    Combo2->clearItems();
    CityList cities = readCities(programFolder + "toshi.ini", b);
    listedCities = static_cast<int>(cities.cities.size());
    for (size_t n = 0; n < cities.cities.size(); ++n) {
        cityTable[n + 1][0] = cities.cities[n].name;
        cityTable[n + 1][1] = cities.cities[n].latitude;
        cityTable[n + 1][2] = cities.cities[n].longitude;
    }
    for (const std::string& item : cities.combo2Items) Combo2->addItem(item);
    Combo2->setText(kCityListCaption);
    // 30.
    Label7->setCaption(regionRangeText(regions, currentRegion));
    // 31.
    bool valid = !unset && insideStrict(b, latitude(), longitude());
    if (valid) {
        splash_->Label4->setCaption("北緯  " + Label3->caption());
        splash_->Label5->setCaption("東経 " + Label4->caption());
        splash_->repaint();
        Command1->press();
        marksmall();
        Label8->setCaption(charLeft(Label3->caption(), 9) + "  " + charLeft(Label4->caption(), 9) +
                           " ☆");
    } else {
        Check1->setValue(1);
        Check2->setValue(1);
        Label8->setCaption("地点未設定");
        Label2->setCaption("動作地点を設定して下さい");
        Label2->setBackColor(Rgb{255, 128, 128});
    }
}

void Form1::writesettings() {
    SettingsRecord r;
    r.region = currentRegion;
    r.latitude = Label3->caption();
    r.longitude = Label4->caption();
    if (windowPositionKnown) {
        r.windowLeft = windowLeft;
        r.windowTop = windowTop;
    }
    r.check4 = Check4->value();
    r.check6 = Check6->value();
    r.check3 = Check3->value();
    r.soundLevel = soundLevel;
    for (int i = 0; i < 11; ++i) {
        r.savedLocations[i][0] = savedLocations[i][0];
        r.savedLocations[i][1] = savedLocations[i][1];
    }
    // A failed write leaves the previous file whole; nothing is reported.
    (void)writeSettings(programFolder + kSettingsFileName, r);
}

}  // namespace nimbrel
