#pragma once
// The seam between the program and everything outside its process: network,
// sound device, clock, desktop and window system. Form1 reaches the outside
// only through this interface; tests pass a fake.
#include <string>

#include "app/clock.h"

namespace nimbrel {

enum class MsgButtons { Ok, OkCancel };

// How much a downloaded file is worth keeping through a power cut. Radar
// images are replaced every minute and fetched again when missing; base maps
// are fetched once and kept for good.
enum class Durability { Replaceable, Kept };
enum class MsgAnswer { Ok, Cancel };

struct ScreenTwips {
    double width = 0;
    double height = 0;
};

class Platform {
public:
    virtual ~Platform() = default;

    // Fetches the address into the local file. True when the whole answer was
    // stored there; on failure the file is left as it was. A Kept file is on
    // disk before it replaces the previous one.
    virtual bool download(const std::string& url, const std::string& file,
                          Durability durability) = 0;
    // Plays a WAV file and returns when it has finished. An empty name, a
    // missing file or no sound device return at once.
    virtual void playSound(const std::string& file) = 0;
    // Opens a web address in the desktop's browser.
    virtual void openUrl(const std::string& url) = 0;
    // Keeps the main window above all others, or stops doing so.
    virtual void setTopmost(bool on) = 0;
    // Blocks the window's thread; no events are processed meanwhile.
    virtual void sleepMs(int ms) = 0;
    virtual DateTime now() = 0;
    // A modal message box; title is the window title of the box.
    virtual MsgAnswer messageBox(const std::string& text, const std::string& title,
                                 MsgButtons buttons) = 0;
    // Lets pending window events (timer ticks, clicks) run.
    virtual void doEvents() = 0;
    virtual ScreenTwips screenSizeTwips() = 0;
    // True when another instance already runs from this program folder. The
    // first caller takes a lock that is released when its process ends.
    virtual bool anotherInstanceRunning(const std::string& programFolder) = 0;
    // Shows a desktop notification that replaces the previous one; critical
    // for the strongest warnings. Without a notification service nothing
    // is shown and nothing is retried.
    virtual void notify(const std::string& summary, const std::string& body, bool critical) = 0;
};

}  // namespace nimbrel
