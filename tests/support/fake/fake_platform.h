#pragma once
// A platform for window tests: records what the program asked of the
// outside world, answers message boxes from a script, serves downloads from
// memory (or passes them to a real HTTP fetch), and has a settable clock.
#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace nimbrel {

class FakePlatform : public Platform {
  public:
    struct Notification {
        std::string summary;
        std::string body;
        bool critical = false;
    };
    struct Message {
        std::string text;
        std::string title;
        MsgButtons buttons;
    };

    DownloadResult download(const std::string& url, const std::string& file,
                            Durability durability) override;
    void fetchInBackground(std::vector<std::string> urls, std::chrono::milliseconds budget,
                           std::function<void(std::vector<FetchedBytes>)> done) override;
    void playSound(const std::string& file) override { sounds.push_back(file); }
    void openUrl(const std::string& url) override { openedUrls.push_back(url); }
    void setTopmost(bool on) override { topmostCalls.push_back(on); }
    void sleepMs(int ms) override;
    DateTime now() override { return clock; }
    MsgAnswer messageBox(const std::string& text, const std::string& title,
                         MsgButtons buttons) override;
    void doEvents() override;
    ScreenTwips screenSizeTwips() override { return screen; }
    bool anotherInstanceRunning(const std::string&) override { return otherInstance; }
    // Recorded: what the program asks of the platform after it has ended
    // stays visible to the tests. Downloads and message boxes then fail or
    // answer Cancel at once, as the real ones do, until a test sets
    // waitsEnded back for another window.
    void endWaits() override {
        ++endWaitsCalls;
        waitsEnded = true;
    }
    void notify(const std::string& summary, const std::string& body, bool critical) override {
        notifications.push_back({summary, body, critical});
    }
    void closeNotice() override { ++closedNotices; }
    int closedNotices = 0;

    // Answers the background fetches asked for so far, as the real
    // platform's event loop does once they have arrived: from bodies, else
    // fetchFallback, else httpFallback; failNextFetches spoils that many
    // addresses. doEvents and sleeps do this too unless holdFetches is set.
    void answerFetches();
    struct PendingFetch {
        std::vector<std::string> urls;
        std::function<void(std::vector<FetchedBytes>)> done;
    };
    std::vector<PendingFetch> pendingFetches;
    bool holdFetches = false;
    int failNextFetches = 0;
    std::function<std::optional<std::string>(const std::string& url)> fetchFallback;
    std::vector<std::string> fetchedUrls;  // every address asked for in the background
    std::vector<long long> fetchBudgetsMs;

    // Advances the clock by whole seconds (across midnight and month ends).
    void advanceSeconds(long seconds);

    // Downloads: a registered body is stored; an address that is not
    // registered fails unless httpFallback is set, which then does the work.
    std::map<std::string, std::string> bodies;
    std::function<bool(const std::string& url, const std::string& file)> httpFallback;
    // Failing the next n downloads, whatever the address.
    int failNextDownloads = 0;
    std::vector<std::string> downloadedUrls;
    std::vector<std::string> downloadedFiles;  // where each was asked to go
    // How the last download was asked to be kept.
    Durability lastDurability = Durability::Kept;

    std::vector<std::string> sounds;
    std::vector<std::string> openedUrls;
    std::vector<bool> topmostCalls;
    std::vector<int> sleeps;
    std::vector<Message> messages;
    std::vector<Notification> notifications;
    std::deque<MsgAnswer> answers;  // empty: Ok
    DateTime clock{2024, 5, 5, 14, 37, 50};
    bool advanceClockOnSleep = true;
    ScreenTwips screen{1920 * 15.0, 1080 * 15.0};
    bool otherInstance = false;
    int doEventsCalls = 0;
    int endWaitsCalls = 0;
    bool waitsEnded = false;
    std::function<void()> onDoEvents;
    // Runs after a pause is recorded: the real platform lets the exit
    // through while it waits.
    std::function<void()> onSleep;
    // Run while a message box is open, a download is under way and the
    // background fetches' answers are about to be handed over: the real
    // platform runs the window's events at each (ticks, the tray, the
    // close box). A download or box the program ended meanwhile fails or
    // answers Cancel; fetches it ended are not handed over.
    std::function<void()> onMessageBox;
    std::function<void()> onDownload;
    std::function<void()> onFetchAnswers;
};

}  // namespace nimbrel
