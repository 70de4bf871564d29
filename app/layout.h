#pragma once
// The designed content of the two windows: every control's name, kind,
// caption, font, colours, position (twips) and whether it starts visible.
#include <optional>
#include <string>
#include <vector>

#include "base/rgb.h"

namespace nimbrel {

enum class ControlKind {
    Label,
    CommandButton,
    CheckBox,
    OptionButton,
    TextBox,
    MultiLineText,
    ComboBox,
    Image,
    Shape,
    Frame
};

struct FontDesign {
    std::string family;  // the design's family name ("ＭＳ ゴシック" ...)
    double size = 9;     // points
    bool bold = false;
    bool italic = false;
    bool underline = false;
};

struct ControlDesign {
    std::string name;
    ControlKind kind;
    std::string caption;
    std::optional<FontDesign> font;  // empty: the window's default font
    std::optional<Rgb> foreColor;
    std::optional<Rgb> backColor;
    double left = 0, top = 0, width = 0, height = 0;
    bool visible = true;
    std::string container;  // splash controls sit inside Frame1
    bool linkCursor = false;
    bool opaque = false;  // a label with its own background, even without a colour
};

struct WindowDesign {
    std::string name;
    std::string caption;
    double clientWidth = 0, clientHeight = 0;  // twips
    FontDesign defaultFont;
    std::vector<ControlDesign> controls;

    const ControlDesign* find(const std::string& controlName) const;
};

const WindowDesign& form1Design();
const WindowDesign& splashDesign();

// One change a view makes to a control of Form1. The views are tables of
// them, applied in order; a Value change runs the control's click handler.
enum class ControlProperty { Left, Top, Width, Height, Visible, Enabled, Caption, FontSize, Value };
struct ControlChange {
    const char* control;
    ControlProperty property;
    double number = 0;           // twips, points, or 1 / 0 for flags and values
    const char* text = nullptr;  // captions
};
using ViewChanges = std::vector<ControlChange>;

// The full view (Check1 ticked), after the picture of the selected view is
// chosen, and the compact view (Check1 cleared).
const ViewChanges& fullViewChanges();
const ViewChanges& compactViewChanges();
// Entering the location-setting mode, and leaving it for the full view:
// before the marker is placed on the small map, and after.
const ViewChanges& settingModeChanges();
const ViewChanges& leavingSettingModeChanges();
const ViewChanges& backInFullViewChanges();

// The window's frame where the window system draws none: a 3-pixel border and
// a 24-pixel caption.
inline constexpr double kNominalFrameWidthTwips = 45;
inline constexpr double kNominalFrameHeightTwips = 405;
inline constexpr double kTwipsPerScreenPixel = 15;

// Design font names and the free fonts that stand in for them.
std::string substituteFontFamily(const std::string& designFamily);

inline constexpr const char* kGeocodingUrl = "https://maps.gsi.go.jp/";
inline constexpr const char* kHomePageUrl = "https://example.org/nimbrel/";

}  // namespace nimbrel
