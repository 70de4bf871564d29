#pragma once
// What the desktop shows of the status outside the window: the text of a
// notification and the tray icon's colour and tooltip. Plain functions of
// the captions the update cycle has written, so the window's state is the
// only source.
#include <optional>
#include <string>
#include <vector>

#include "base/rgb.h"

namespace nimbrel {

// The status caption (Label2) as lines for a notification or tooltip: split
// at line ends, leading and trailing blanks (ideographic spaces too)
// removed, empty lines dropped.
std::vector<std::string> statusTextLines(const std::string& caption);

struct DesktopNotice {
    std::string summary;
    std::string body;
    bool critical = false;
    bool operator==(const DesktopNotice&) const = default;
};

// summary: the headline (the program's name when it is empty); body: the
// strengths' messages that say something besides the rising mark, each
// once and not the one the summary says, then the forecast line when there
// is one, joined by '\n'. critical: intense rain near or at the place.
DesktopNotice desktopNotice(const std::string& headline, const std::vector<std::string>& messages,
                            const std::string& forecastLine, bool critical);

// What a cycle does with the notification, given the one shown (none
// before the first and after a close), this cycle's, whether its warning
// sound was due and whether any strength is near at all. Notices that
// differ only by the rising mark are the same news.
enum class NoticeStep {
    Nothing,  // unchanged, or nothing to tell
    Show,     // shown, in place of the one shown before
    Close,    // the warning has cleared
};
NoticeStep noticeStep(const std::optional<DesktopNotice>& shown, const DesktopNotice& now,
                      bool soundDue, bool warning);

struct TrayLook {
    Rgb color;
    std::string tooltip;
    bool operator==(const TrayLook&) const = default;
};

// The icon colour of a status with no warning colour: the window's face is
// not drawn in the tray, so a quiet grey stands for it.
inline constexpr Rgb kTrayQuietColor{150, 160, 172};

// The tray icon follows Label2: its back colour (none: the quiet colour)
// and a tooltip of the program's name, the status lines and the forecast
// line.
TrayLook trayLook(const std::string& statusCaption, const std::optional<Rgb>& backColor,
                  const std::string& forecastLine);

}  // namespace nimbrel
