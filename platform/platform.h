#pragma once
// The seam between the program and everything outside its process: network,
// sound device, clock, desktop and window system. Form1 reaches the outside
// only through this interface; tests pass a fake.
#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "base/clock.h"
#include "base/replace_file.h"
#include "platform/download.h"

namespace nimbrel {

enum class MsgButtons { Ok, OkCancel };

enum class MsgAnswer { Ok, Cancel };

struct ScreenTwips {
    double width = 0;
    double height = 0;
};

class Platform {
  public:
    virtual ~Platform() = default;

    // Fetches the address into the local file: stored() when the whole
    // answer is there; on failure the file is left as it was and the result
    // says why. A Kept file is on disk before it replaces the previous one.
    // Waits as sleepMs does.
    virtual DownloadResult download(const std::string& url, const std::string& file,
                                    Durability durability) = 0;
    // Fetches the addresses into memory beside the window's thread, all at
    // once, each given up when the budget has passed. done runs later on the
    // window's thread, from its event loop (never before this returns), with
    // one answer per address in their order. Nothing waits for it: the
    // window's handlers go on meanwhile. After endWaits the transfers are
    // given up and done is not run.
    virtual void fetchInBackground(std::vector<std::string> urls, std::chrono::milliseconds budget,
                                   std::function<void(std::vector<FetchedBytes>)> done) = 0;
    // Plays a WAV file and returns when it has finished. An empty name, a
    // missing file or no sound device return at once.
    virtual void playSound(const std::string& file) = 0;
    // Opens a web address in the desktop's browser.
    virtual void openUrl(const std::string& url) = 0;
    // Keeps the main window above all others, or stops doing so.
    virtual void setTopmost(bool on) = 0;
    // Waits on the window's thread. The window keeps repainting, but no
    // handler runs meanwhile except the exit: clicks are held back until the
    // next doEvents, and a timer that fell due ticks once then.
    virtual void sleepMs(int ms) = 0;
    virtual DateTime now() = 0;
    // A modal message box; title is the window title of the box. The
    // window's events run while it is open; when the program ends meanwhile
    // (or has ended) the box closes and the answer is Cancel.
    virtual MsgAnswer messageBox(const std::string& text, const std::string& title,
                                 MsgButtons buttons) = 0;
    // Lets pending window events (timer ticks, clicks) run.
    virtual void doEvents() = 0;
    virtual ScreenTwips screenSizeTwips() = 0;
    // True when another instance already runs from this program folder. The
    // first caller takes a lock that is released when its process ends.
    virtual bool anotherInstanceRunning(const std::string& programFolder) = 0;
    // The program has ended: a wait, download or message box under way
    // returns at once (the download fails), and later ones do nothing.
    virtual void endWaits() = 0;
    // Shows a desktop notification that replaces the previous one; critical
    // for the strongest warnings. Without a notification service nothing
    // is shown and nothing is retried.
    virtual void notify(const std::string& summary, const std::string& body, bool critical) = 0;
    // Takes the notification shown down, if there is one.
    virtual void closeNotice() = 0;
};

}  // namespace nimbrel
