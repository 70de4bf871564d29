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
#include "cycle/desktop_texts.h"
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

// The window's desktop side, beside its designed behaviour; given at
// construction, and the tray's menu changes the first two.
struct DesktopOptions {
    // A desktop notification whenever a warning sound is due.
    bool notificationsOn = true;
    // Closing the window leaves the program in the tray.
    bool closeToTray = false;
    // The benchmarks switch the arrival forecast off to weigh it.
    bool forecasting = true;
    // Called after each cycle has shown its status (the tray's look).
    std::function<void()> onStatusShown;
};

class Form1 : public QWidget {
    Q_OBJECT
  public:
    Form1(Platform& platform, std::string programFolder, DesktopOptions desktop = {},
          QWidget* parent = nullptr);
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
    // Runs a handler from outside the program (a click, a tick, main),
    // unless the program has ended. When it ends while the handler lets
    // events run, the handler returns from that point: nothing of it
    // happens after the exit.
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
    // False when the program ended while it let events run.
    [[nodiscard]] bool drawsmall(const std::string& radarPng, int16_t tintRow);
    void drawbase();
    void markbase();
    void marksmall();
    void rotatehistory();

    // --- module state, by subsystem --------------------------------------
    // Where things are: the program folder, the radar service, the sounds
    // and the log of this month.
    struct Paths {
        std::string programFolder;
        std::string serverBase;
        std::array<std::array<std::string, 3>, 3> soundFiles;
        std::string logFilePath;
    } paths;
    // The region watched, its tables and the locations remembered per region.
    struct Area {
        int16_t currentRegion = 0;
        RegionTable regions;
        std::array<std::array<double, 2>, kSettingsRegions> savedLocations{};
        double smallScaleX = 0, smallScaleY = 0;
        double detailScaleX = 0, detailScaleY = 0;
        std::array<std::array<std::string, 3>, 101> cityTable;
        int listedCities = 0;  // rows 1..listedCities of cityTable hold this region's cities
    } area;
    // The update cycle: its timing, the previous analysis, sounds and radii.
    struct Cycle {
        int32_t tickThreshold = 18;
        int32_t tickCount = 0;
        double lastRunTime = 0;
        double lastHistoryRun = 0;
        Counts prevCounts{};
        Levels prevLevels{};
        int16_t soundLevel = 0;
        WarnRadii warnRadii = kNormalRadii;
    } cycle;
    // The six previous small images and the playback's tints.
    struct History {
        std::array<std::string, 7> historyFiles;
        std::array<double, 7> historyTimes{};
        std::array<std::array<int16_t, 3>, 6> tintOffsets{};
    } history;
    // The window's position as saved and restored.
    struct Placement {
        double windowLeft = 0;
        double windowTop = 0;
        bool windowPositionKnown = false;
    } placement;
    // The location-setting mode.
    struct Entry {
        int16_t locationAccepted = 0;
        double entryLatitude = 0, entryLongitude = 0;
        std::string savedStatusCaption;
        std::optional<Rgb> savedStatusColor;
    } entry;

    DesktopOptions desktop;

  protected:
    void moveEvent(QMoveEvent* event) override;
    // Closing the window other than by the exit button ends the program at
    // once and writes nothing.
    void closeEvent(QCloseEvent* event) override;

    // Bounds of the current region in arc-seconds.
    double west() const { return area.regions.regionLonRange[area.currentRegion][0]; }
    double east() const { return area.regions.regionLonRange[area.currentRegion][1]; }
    double north() const { return area.regions.regionLatRange[area.currentRegion][0]; }
    double south() const { return area.regions.regionLatRange[area.currentRegion][1]; }
    // The location of record as numbers (leading-number conversion).
    double latitude() const;
    double longitude() const;

  private:
    ViewParams viewParams(bool small) const;
    void reportImaging(const CompositeResult& result, Control* picture, const std::string& file);
    void placeMarker(bool base);
    void widenForViews();
    // Any image, kept as durability says; with bmp it is also converted
    // there. Ended: the program ended during the download.
    enum class FetchResult { Failed, Stored, Converted, Ended };
    [[nodiscard]] FetchResult fetchImage(const std::string& url, const std::string& file,
                                         Durability durability, const std::string& bmp);
    // A base map: kept for good, checked before it replaces the old one.
    [[nodiscard]] FetchResult fetchPng(const std::string& url, const std::string& file);
    std::string soundFile(int kind) const;
    // The steps of the update cycle.
    struct CycleAnalysis {
        bool ok = false;
        ScanResult scan;
        SourceBitmap bitmap;  // the newest detail image as the scan read it
        DateTime imageTime;   // the minute of the image asked for
    };
    // requested: the clock reading the image's address was made from.
    [[nodiscard]] FetchResult fetchDetailImage(std::string& clockNote, DateTime& requested);
    void reportLostDetailImage(std::string& commNote);
    std::string showImageTime(const DateTime& arrived);
    [[nodiscard]] bool fetchTopImage(std::string& commNote);
    // The cycle ends by drawing the small view; its bitmap is then made
    // with the top image's download.
    bool smallViewDue() const;
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
    [[nodiscard]] bool fetchBaseMaps();
    void fillCityList(const RegionBounds& b);
    void startWatchingOrAskForLocation(bool located);
    // The steps of the location-setting mode.
    void enterSettingMode();
    [[nodiscard]] bool leaveSettingMode();
    void keepAcceptedLocation();
    // Applies a view's changes to the controls, in order. A value set runs
    // its click handler; false when one of them ended the program, and the
    // rest is not applied.
    bool applyChanges(const ViewChanges& changes);
    void endProgram();
    // The points where the window's events may run. Each says whether the
    // program goes on; when it does not, the handler returns at once.
    [[nodiscard]] bool letEventsRun();
    [[nodiscard]] bool wait(int ms);
    // A message box with OK, and one that asks; nullopt when the program
    // ended while it was open.
    [[nodiscard]] bool tell(const std::string& text, const std::string& title);
    [[nodiscard]] std::optional<MsgAnswer> ask(const std::string& text, const std::string& title);
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
    bool cycleRunning_ = false;
    bool playingBack_ = false;
    bool cycleHeldBack_ = false;  // fell due during the playback
    Levels levels_{};             // this cycle's nearness of the four strengths
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
        std::vector<std::string> messages;  // the four strengths'
        bool critical = false;
        bool soundDue = false;
        bool warning = false;
    };
    std::optional<PendingNotice> noticeDue_;
    std::optional<DesktopNotice> shownNotice_;  // as last sent, until closed
    // Answers that arrive after the window is gone are dropped.
    std::shared_ptr<int> life_ = std::make_shared<int>(0);
    std::string headline_;
    // The PNG that "vesk_image_s.bmp" was last converted from by the cycle's
    // fetch, so drawing it need not convert it again; empty when unknown.
    std::string smallBitmapFrom_;
    bool applyingGeometry_ = false;
};

}  // namespace nimbrel
