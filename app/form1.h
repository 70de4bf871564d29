#pragma once
// The main window: its controls under their designed names, the program's
// state, and every handler. Handlers are defined in the folder of their
// subsystem (app/update_cycle.cpp defines Command1_Click, and so on).
#include <QTimer>
#include <QWidget>
#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "app/controls.h"
#include "app/layout.h"
#include "cycle/classify.h"
#include "cycle/rain_scan.h"
#include "forecast/forecast.h"
#include "forecast/nowcaster.h"
#include "imaging/bitmap.h"
#include "imaging/composite.h"
#include "platform/platform.h"
#include "settings/region_table.h"
#include "settings/settings_file.h"

namespace nimbrel {

class frmSplash;

class Form1 : public QWidget {
    Q_OBJECT
  public:
    Form1(Platform& platform, std::string programFolder, QWidget* parent = nullptr);
    ~Form1() override;

    // --- controls, by their designed names -------------------------------
    Control* Label1;
    Control* Label2;
    Control* Label3;
    Control* Label4;
    Control* Label5;
    Control* Label6;
    Control* Label7;
    Control* Label8;
    Control* Label9;
    Control* Label10;
    Control* Label11;
    Control* Label12;
    Control* Label13;
    Control* Label14;
    Control* Label15;
    Control* Label16;
    Control* Label17;
    Control* Label18;
    Control* Label19;
    Control* Check1;
    Control* Check2;
    Control* Check3;
    Control* Check4;
    Control* Check5;
    Control* Check6;
    Control* Command1;
    Control* Command2;
    Control* Command3;
    Control* Command4;
    Control* Command5;
    Control* Command6;
    Control* Command7;
    Control* Command8;
    Control* Option1;
    Control* Option2;
    Control* Option3;
    Control* Text1;
    Control* Text2;
    Control* Text3;
    Control* Text4;
    Control* Text5;
    Control* Combo1;
    Control* Combo2;
    Control* Image1;
    Control* Image2;
    Control* Shape1;
    Control* lblForecast;  // the arrival forecast, beside the designed controls
    QTimer Timer1;

    Control* control(const std::string& name) const;
    frmSplash* splash() const { return splash_.get(); }

    // --- the window's outer geometry in twips ------------------------------
    double Left() const { return left_; }
    double Top() const { return top_; }
    double Width() const { return width_; }
    double Height() const { return height_; }
    void setLeft(double v);
    void setTop(double v);
    void setWidth(double v);
    void setHeight(double v);
    void setCaption(const std::string& caption);
    std::string caption() const { return caption_; }
    // 11 = hourglass, 0 = default.
    void setMousePointer(int pointer);
    int mousePointer() const { return mousePointer_; }

    // True once the program has ended (second instance, missing region
    // table, exit button, window closed).
    bool ended() const { return ended_; }
    // Runs a handler from outside the program (a click, a tick, main). When
    // the program ends while the handler lets events run, the handler stops
    // there: nothing of it happens after the exit.
    void runHandler(const std::function<void()>& handler);
    // A stop signal (SIGTERM, SIGINT, SIGHUP): the program ends as when its
    // window is closed, whatever the tray setting, and writes nothing.
    void endOnSignal();

    // --- handlers and procedures -----------------------------------------
    void Form_Load();
    void Timer1_Timer();
    void Command1_Click();
    void Command2_Click();
    void Command3_Click();
    void Command4_Click();
    void Command5_Click();
    void Command6_Click();
    void Command7_Click();
    void Command8_Click();
    void Check1_Click();
    void Check2_Click();
    void Check5_Click();
    void Check6_Click();
    void Option1_Click();
    void Option2_Click();
    void Option3_Click();
    void Label14_Click();
    void Label19_Click();
    void Label15_Change();

    void writesettings();
    void drawdetail();
    void drawsmall(const std::string& radarPng, int16_t tintRow);
    void drawbase();
    void markbase();
    void marksmall();
    void rotatehistory();

    // --- module state ----------------------------------------------------
    std::string programFolder;
    std::string serverBase;
    int32_t tickThreshold = 18;
    std::array<std::array<std::string, 3>, 3> soundFiles;
    std::array<std::array<int16_t, 3>, 6> tintOffsets{};
    std::array<std::string, 7> historyFiles;
    std::array<double, 7> historyTimes{};
    std::string logFilePath;
    int16_t currentRegion = 0;
    RegionTable regions;
    std::array<std::array<double, 2>, kSettingsRegions> savedLocations{};
    double windowLeft = 0;
    double windowTop = 0;
    bool windowPositionKnown = false;
    int16_t soundLevel = 0;
    WarnRadii warnRadii = kNormalRadii;
    double smallScaleX = 0, smallScaleY = 0;
    double detailScaleX = 0, detailScaleY = 0;
    std::array<std::array<std::string, 3>, 101> cityTable;
    int listedCities = 0;  // rows 1..listedCities of cityTable hold this region's cities

    int32_t tickCount = 0;
    double lastRunTime = 0;
    double lastHistoryRun = 0;
    int16_t locationAccepted = 0;
    Counts prevCounts{};
    Levels prevLevels{};

    double entryLatitude = 0, entryLongitude = 0;
    std::string savedStatusCaption;
    std::optional<Rgb> savedStatusColor;

    // Desktop integration, set by main from nimbrel.ini and the tray: a
    // desktop notification whenever a warning sound is due, closing the
    // window into the tray, and a call after each cycle has shown its status.
    bool notificationsOn = true;
    // The benchmarks switch the arrival forecast off to weigh it.
    bool forecasting = true;
    bool closeToTray = false;
    std::function<void()> onStatusShown;

    // What the last composite or analysis refused, for the status bar of
    // the picture; empty when all went well.
    std::string lastImagingProblem;

  protected:
    void moveEvent(QMoveEvent* event) override;
    // Closing the window other than by the exit button ends the program at
    // once and writes nothing.
    void closeEvent(QCloseEvent* event) override;

    // Bounds of the current region in arc-seconds.
    double west() const { return regions.regionLonRange[currentRegion][0]; }
    double east() const { return regions.regionLonRange[currentRegion][1]; }
    double north() const { return regions.regionLatRange[currentRegion][0]; }
    double south() const { return regions.regionLatRange[currentRegion][1]; }
    // The location of record as numbers (leading-number conversion).
    double latitude() const;
    double longitude() const;

  private:
    ViewParams viewParams(bool small) const;
    void reportImaging(const CompositeResult& result, Control* picture, const std::string& file);
    void placeMarker(bool base);
    void widenForViews();
    // A base map: kept for good, checked before it replaces the old one.
    bool fetchPng(const std::string& url, const std::string& file);
    // Any image, kept as durability says; with bmp it is also converted there.
    enum class FetchResult { Failed, Stored, Converted };
    FetchResult fetchImage(const std::string& url, const std::string& file, Durability durability,
                           const std::string& bmp);
    std::string soundFile(int kind) const;
    // The steps of the update cycle.
    struct CycleAnalysis {
        bool ok = false;
        ScanResult scan;
        SourceBitmap bitmap;  // the newest detail image as the scan read it
        DateTime imageTime;   // the minute of the image asked for
    };
    // requested: the clock reading the image's address was made from.
    FetchResult fetchDetailImage(std::string& clockNote, DateTime& requested);
    void reportLostDetailImage(std::string& commNote);
    std::string showImageTime(const DateTime& arrived);
    void fetchTopImage(std::string& commNote);
    CycleAnalysis analyse(bool converted, const LocationPixel& loc);
    void tellTheUser(const CycleAnalysis& analysis, const std::string& clockNote,
                     const std::string& commNote, const std::string& stamp);
    void setNextInterval(const CycleAnalysis& analysis);
    // After the cycle: the past images the nowcaster lacks are fetched in
    // the background; when they are in (or the budget has passed) the
    // forecast goes to lblForecast, Label2's tooltip, status.json, the
    // notification due and the tray.
    void startForecast(CycleAnalysis&& analysis, const LocationPixel& loc);
    void finishForecast();
    // A new cycle or region: the forecast under way is not shown; its
    // notification goes out without a forecast line.
    void dropPendingForecast();
    void sendNotice(const std::string& forecastLine);
    void showForecast(const Forecast& forecast);
    void writeStatusJson(const StatusSnapshot& status);

  public:
    // The arrival forecast's line, empty when there is none.
    std::string forecastLine() const { return forecastLine_; }

  private:
    void applyWindowGeometry();
    void rightAnchorTo(double newWidth);
    void rightAnchorOnScreen(double newWidth, double keepOnScreen);
    // The steps of the start-up.
    void prepareProgramFiles();
    StartupSettings applySettings();
    void fallBackToRememberedLocation(const RegionBounds& b);
    void fetchBaseMaps();
    void fillCityList(const RegionBounds& b);
    void startWatchingOrAskForLocation(bool located);
    // The steps of the location-setting mode.
    void enterSettingMode();
    void leaveSettingMode();
    void keepAcceptedLocation();
    // Applies a view's changes to the controls, in order.
    void applyChanges(const ViewChanges& changes);
    void endProgram();
    // The points where the window's events may run; each stops the running
    // handler when the program ended meanwhile.
    void letEventsRun();
    void wait(int ms);
    void stopIfEnded() const;
    void appendLog(const std::string& line);
    void prependHistoryLine(const std::string& line);

    friend class Form1TestAccess;

    Platform& platform_;
    std::map<std::string, Control*> controls_;
    std::unique_ptr<frmSplash> splash_;
    double left_ = 0, top_ = 0, width_ = 0, height_ = 0;
    std::string caption_;
    int mousePointer_ = 0;
    bool ended_ = false;
    int handlerDepth_ = 0;
    bool cycleRunning_ = false;
    Levels levels_{};  // this cycle's nearness of the four strengths
    std::string forecastLine_;
    Nowcaster nowcaster_;
    struct ForecastJob {
        SourceBitmap bitmap;  // owns the newest image's pixels
        NewestImage newest;
        StatusSnapshot status;
    };
    std::shared_ptr<ForecastJob> pendingForecast_;
    struct PendingNotice {
        std::string headline;
        std::string statusText;
        bool critical = false;
    };
    std::optional<PendingNotice> noticeDue_;
    // Answers that arrive after the window is gone are dropped.
    std::shared_ptr<int> life_ = std::make_shared<int>(0);
    std::string headline_;
    // The PNG that "vesk_image_s.bmp" was last converted from by the cycle's
    // fetch, so drawing it need not convert it again; empty when unknown.
    std::string smallBitmapFrom_;
    bool applyingGeometry_ = false;
};

}  // namespace nimbrel
