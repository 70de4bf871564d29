#include "app/layout.h"

namespace nimbrel {

namespace {

constexpr const char* kGothic = "ＭＳ ゴシック";
constexpr const char* kPGothic = "ＭＳ Ｐゴシック";

FontDesign f(const char* family, double size, bool bold = false, bool italic = false,
             bool underline = false) {
    return FontDesign{family, size, bold, italic, underline};
}

using K = ControlKind;

// The design tables read best one control to a line.
// clang-format off
WindowDesign makeForm1() {
    WindowDesign w;
    w.name = "Form1";
    w.caption = "ノクタル";
    w.clientWidth = 3375;
    w.clientHeight = 3930;
    w.defaultFont = f(kGothic, 9);
    const Rgb shadowGrey{128, 128, 128};
    auto& c = w.controls;
    // name, kind, caption, font, fore, back, left, top, width, height, visible
    c.push_back({"Label2", K::Label, "", f(kPGothic, 9.75, true), {}, {}, 0, 60, 2295, 615});
    c.back().opaque = true;  // the status line's colour band
    c.push_back({"Check1", K::CheckBox, "拡大", f(kPGothic, 9), Rgb{0, 0, 192}, {}, 2460, 15, 735, 255});
    c.push_back({"Command2", K::CommandButton, "終了", f(kPGothic, 9), {}, {}, 2460, 315, 825, 405});
    c.push_back({"Label18", K::Label, "", {}, shadowGrey, {}, 1890, 810, 990, 255});
    c.push_back({"Check2", K::CheckBox, "地点設定", f(kPGothic, 9), {}, {}, 120, 1980, 1095, 255});
    c.push_back({"Command5", K::CommandButton, "", f(kGothic, 6.75), {}, {}, 1890, 2010, 210, 210});
    c.push_back({"Label17", K::Label, "警告音大", {}, {}, {}, 2160, 2025, 720, 255});
    // Not of the original design: the arrival forecast, in the full view's
    // free strip under the exit button.
    c.push_back({"lblForecast", K::Label, "", f(kPGothic, 9), Rgb{0, 0, 160}, {}, 15, 1680, 2925, 270});
    c.push_back({"Label5", K::Label, "北緯", f(kPGothic, 9.75), {}, {}, 150, 2325, 480, 270});
    c.push_back({"Label3", K::Label, "", f(kPGothic, 9), {}, {}, 720, 2325, 1200, 240});
    c.push_back({"Text2", K::TextBox, "", f(kPGothic, 9), {}, {}, 720, 2490, 1260, 270, false});
    c.push_back({"Command3", K::CommandButton, "地点 ok", f(kPGothic, 9), {}, {}, 2160, 2520, 615, 645, false});
    c.push_back({"Label6", K::Label, "東経", f(kPGothic, 9.75), {}, {}, 150, 2805, 480, 270});
    c.push_back({"Label4", K::Label, "", f(kPGothic, 9), {}, {}, 720, 2805, 1200, 240});
    c.push_back({"Text3", K::TextBox, "", f(kPGothic, 9), {}, {}, 720, 2985, 1260, 270, false});
    c.push_back({"Label15", K::Label, "14:45", f("Times New Roman", 18, true, true), Rgb{192, 0, 0}, {}, 1950, 3000, 990, 360});
    c.push_back({"Command8", K::CommandButton, "cancel", {}, {}, {}, 2040, 3225, 930, 255, false});
    c.push_back({"Option1", K::OptionButton, "標準", {}, {}, {}, 120, 3270, 1455, 255});
    c.push_back({"Label7", K::Label, "", f(kPGothic, 9), Rgb{96, 96, 255}, {}, 600, 3360, 2175, 615, false});
    c.push_back({"Command4", K::CommandButton, "履歴", f(kGothic, 8.25), {}, {}, 1740, 3470, 825, 345, false});
    c.push_back({"Option2", K::OptionButton, "レーダー画像", {}, {}, {}, 120, 3540, 1575, 255});
    c.push_back({"Option3", K::OptionButton, "レーダー詳細", {}, {}, {}, 120, 3810, 1575, 255});
    c.push_back({"Label9", K::Label, "地図上の○印はおおよそです", f(kPGothic, 9), Rgb{255, 0, 0}, {}, 240, 3960, 2430, 255, false});
    c.push_back({"Check6", K::CheckBox, "警戒範囲拡大", f(kPGothic, 8.25), Rgb{0, 64, 0}, {}, 0, 4185, 1290, 255});
    c.push_back({"Check5", K::CheckBox, "常に手前", f(kPGothic, 8.25), Rgb{0, 64, 0}, {}, 1350, 4185, 990, 255});
    c.push_back({"Check4", K::CheckBox, "右", f(kPGothic, 8.25), Rgb{0, 64, 0}, {}, 2395, 4185, 480, 255});
    c.push_back({"Text5", K::TextBox, kGeocodingUrl, {}, Rgb{0, 0, 192}, Rgb{224, 224, 224}, 420, 4200, 2340, 230, false});
    c.push_back({"Check3", K::CheckBox, "LOG", f(kGothic, 8.25), Rgb{0, 64, 0}, {}, 2395, 4470, 565, 255});
    c.push_back({"Label10", K::Label, "近　←　　　　　→　遠", f(kPGothic, 9), Rgb{0, 0, 255}, {}, 480, 4485, 1575, 225});
    c.push_back({"Label1", K::Label, "", {}, {}, {}, 240, 4710, 2175, 2100});
    c.push_back({"Label12", K::Label, "↓", f(kPGothic, 9), Rgb{0, 0, 255}, {}, 2400, 5505, 300, 255});
    c.push_back({"Label11", K::Label, "強", f(kPGothic, 9), Rgb{0, 0, 255}, {}, 2400, 5760, 300, 255});
    c.push_back({"Command1", K::CommandButton, "手動更新", f(kPGothic, 8.25), {}, {}, 1905, 6465, 990, 345});
    c.push_back({"Command7", K::CommandButton, "地点転送", {}, {}, {}, 1860, 6510, 1050, 375, false});
    c.push_back({"Combo2", K::ComboBox, "", {}, {}, {}, 90, 6570, 1620, 300, false});
    c.push_back({"Label13", K::Label, "降雨履歴", f(kPGothic, 8.25), {}, {}, 180, 6690, 780, 180});
    c.push_back({"Text4", K::MultiLineText, "", f(kPGothic, 8.25), {}, {}, 105, 6860, 2790, 2520});
    c.push_back({"Label8", K::Label, "", f(kPGothic, 9), Rgb{64, 64, 64}, {}, 240, 7050, 2415, 2535, false});
    {
        ControlDesign d{"Label19", K::Label, "住所から経度、緯度を検索", f(kPGothic, 9.75, false, false, true), Rgb{0, 0, 192}, {}, 360, 9390, 2415, 195, false};
        d.linkCursor = true;
        c.push_back(d);
    }
    {
        ControlDesign d{"Label14", K::Label, "ネブランプログラムHP", f("HG丸ｺﾞｼｯｸM-PRO", 9, false, false, true), Rgb{0, 0, 255}, {}, 360, 9480, 2055, 195};
        d.linkCursor = true;
        c.push_back(d);
    }
    c.push_back({"Command6", K::CommandButton, "変更", {}, {}, {}, 2190, 9615, 690, 330, false});
    c.push_back({"Combo1", K::ComboBox, "", {}, {}, {}, 240, 9630, 1860, 300, false});
    c.push_back({"Text1", K::MultiLineText, "データ　未取得\r\n", f(kGothic, 6.75), {}, {}, 3000, 0, 9840, 9720, false});
    c.push_back({"Image1", K::Image, "", {}, {}, {}, 2955, 0, 10305, 9885, false});
    c.push_back({"Image2", K::Image, "", {}, {}, {}, 2955, 0, 9870, 9720});
    c.push_back({"Shape1", K::Shape, "", {}, Rgb{192, 0, 0}, {}, 2850, 2450, 100, 100, false});
    c.push_back({"Label16", K::Label, "12:00", f("CenturyOldst", 24, true, true), Rgb{255, 80, 80}, {}, 11505, 9165, 1440, 600, false});
    return w;
}

WindowDesign makeSplash() {
    WindowDesign w;
    w.name = "frmSplash";
    w.caption = "";
    w.clientWidth = 5385;
    w.clientHeight = 3030;
    w.defaultFont = f(kGothic, 9);
    auto& c = w.controls;
    c.push_back({"Frame1", K::Frame, "", {}, {}, {}, 120, 120, 5100, 2760});
    auto in = [&](ControlDesign d) {
        d.container = "Frame1";
        c.push_back(d);
    };
    in({"imgLogo", K::Image, "", {}, {}, {}, 0, 0, 97 * 15, 122 * 15});
    // The shadow lies behind the product name, so it is created first.
    in({"Label3", K::Label, "ネブラン", f(kPGothic, 24, true), Rgb{255, 255, 0}, {}, 1890, 480, 1980, 615});
    in({"lblProductName", K::Label, "ネブラン", f(kPGothic, 24, true), Rgb{0, 0, 128}, {}, 1830, 480, 1965, 495});
    in({"Label6", K::Label, "2011.7.1 運用版", f(kPGothic, 9.75, true), {}, {}, 3960, 720, 975, 480});
    in({"lblPlatform", K::Label, "for Windows95～windows７", f(kPGothic, 12.75, true), {}, {}, 1680, 1680, 3240, 255});
    in({"Label1", K::Label, "C++ / Qt 6", {}, {}, {}, 2760, 1320, 1815, 255});
    in({"Label4", K::Label, "位置 未設定", {}, {}, {}, 180, 2160, 1740, 480});
    in({"Label5", K::Label, "", {}, {}, {}, 180, 2430, 1500, 240});
    in({"lblCompany", K::Label, "", f(kPGothic, 11.25), {}, {}, 2100, 2280, 2760, 255});
    in({"lblVersion", K::Label, "", f(kPGothic, 11.25, true), {}, {}, 6390, 2640, 105, 225});
    return w;
}

// clang-format on

}  // namespace

const ControlDesign* WindowDesign::find(const std::string& controlName) const {
    for (const auto& c : controls)
        if (c.name == controlName) return &c;
    return nullptr;
}

const WindowDesign& form1Design() {
    static const WindowDesign d = makeForm1();
    return d;
}

const WindowDesign& splashDesign() {
    static const WindowDesign d = makeSplash();
    return d;
}

std::string substituteFontFamily(const std::string& designFamily) {
    if (designFamily == "ＭＳ ゴシック") return "IPAGothic";
    if (designFamily == "ＭＳ Ｐゴシック") return "IPAPGothic";
    if (designFamily == "HG丸ｺﾞｼｯｸM-PRO") return "IPAPGothic";
    if (designFamily == "Times New Roman") return "Liberation Serif";
    if (designFamily == "CenturyOldst") return "Liberation Serif";
    return designFamily;
}

namespace {

using P = ControlProperty;

ControlChange shown(const char* c, bool on) {
    return {c, P::Visible, on ? 1.0 : 0.0};
}
ControlChange enabled(const char* c, bool on) {
    return {c, P::Enabled, on ? 1.0 : 0.0};
}
ControlChange at(const char* c, P p, double v) {
    return {c, p, v};
}
ControlChange caption(const char* c, const char* text) {
    return {c, P::Caption, 0, text};
}

void showAll(ViewChanges& v, std::initializer_list<const char*> controls, bool on) {
    for (const char* c : controls) v.push_back(shown(c, on));
}

}  // namespace

const ViewChanges& fullViewChanges() {
    static const ViewChanges v = [] {
        ViewChanges v{shown("Command1", true),        at("Command2", P::Top, 1110),
                      at("Command2", P::Height, 570), at("Command2", P::Width, 975),
                      at("Check1", P::Top, 1320),     at("Check1", P::Left, 390),
                      at("Check1", P::Width, 1260),   caption("Check1", "拡大表示"),
                      at("Check1", P::FontSize, 11),  shown("Image1", false),
                      shown("Label1", true),          at("Label2", P::Top, 120),
                      at("Label2", P::Left, 10),      at("Label2", P::Width, 2910),
                      at("Label2", P::Height, 885),   shown("Check2", true),
                      shown("Text2", false),          shown("Text3", false),
                      shown("Text4", true),           shown("Text5", false),
                      enabled("Label3", true),        enabled("Label4", true)};
        showAll(v, {"Label7", "Label8", "Label9"}, false);
        // The forecast line under the exit button.
        v.push_back(at("lblForecast", P::Top, 1680));
        v.push_back(at("lblForecast", P::Height, 270));
        v.push_back(at("Check2", P::Value, 0));
        showAll(v, {"Command3", "Command8"}, false);
        return v;
    }();
    return v;
}

const ViewChanges& compactViewChanges() {
    static const ViewChanges v = {
        shown("Command1", false),      at("Command2", P::Top, 315),
        at("Command2", P::Left, 2460), at("Command2", P::Height, 405),
        at("Command2", P::Width, 825), at("Check1", P::Top, 15),
        at("Check1", P::Left, 2460),   at("Check1", P::Width, 735),
        caption("Check1", "拡大"),     at("Check1", P::FontSize, 9),
        shown("Text1", false),         shown("Image1", false),
        shown("Image2", false),        shown("Label1", false),
        at("Label2", P::Top, 60),      at("Label2", P::Left, 0),
        at("Label2", P::Width, 2295),  at("Label2", P::Height, 615),
        shown("Check2", false),
    };
    return v;
}

const ViewChanges& settingModeChanges() {
    static const ViewChanges v = [] {
        ViewChanges v;
        showAll(v, {"Command1", "Command2"}, false);
        showAll(v, {"Command3", "Command8"}, true);
        v.push_back(shown("Command4", false));
        showAll(v, {"Command6", "Command7", "Combo1", "Combo2"}, true);
        showAll(v,
                {"Check1", "Check3", "Check4", "Check5", "Check6", "Option1", "Option2", "Option3",
                 "Text1"},
                false);
        showAll(v, {"Text2", "Text3"}, true);
        v.push_back(shown("Text4", false));
        showAll(v, {"Text5", "Image1"}, true);
        v.push_back(shown("Image2", false));
        v.push_back(shown("Shape1", true));
        v.push_back(at("Label2", P::Width, 2880));
        v.push_back(enabled("Label3", false));
        v.push_back(enabled("Label4", false));
        v.push_back(at("Label5", P::Top, 2535));
        v.push_back(at("Label6", P::Top, 3015));
        showAll(v, {"Label7", "Label8", "Label9", "Label19"}, true);
        showAll(v, {"Label14", "Label15", "lblForecast"}, false);
        return v;
    }();
    return v;
}

const ViewChanges& leavingSettingModeChanges() {
    static const ViewChanges v = [] {
        ViewChanges v{shown("Command1", true),        shown("Command2", true),
                      at("Command2", P::Top, 1320),   at("Command2", P::Left, 1900),
                      at("Command2", P::Height, 570), at("Command2", P::Width, 975),
                      shown("Check1", true),          at("Check1", P::Top, 1320),
                      at("Check1", P::Left, 390),     at("Check1", P::Width, 1260),
                      caption("Check1", "拡大表示")};
        showAll(v, {"Command3", "Command8", "Command4", "Command6", "Command7", "Combo1", "Combo2"},
                false);
        showAll(v, {"Check3", "Check4", "Check5", "Check6", "Option1", "Option2", "Option3"}, true);
        showAll(v, {"Text1", "Text2", "Text3"}, false);
        v.push_back(shown("Text4", true));
        showAll(v, {"Text5", "Image1"}, false);
        v.push_back(shown("Image2", true));
        return v;
    }();
    return v;
}

const ViewChanges& backInFullViewChanges() {
    static const ViewChanges v = [] {
        ViewChanges v{shown("Shape1", true),        shown("Label1", true),
                      at("Label2", P::Top, 120),    at("Label2", P::Left, 10),
                      at("Label2", P::Width, 2910), at("Label2", P::Height, 885),
                      enabled("Label3", true),      enabled("Label4", true),
                      at("Label5", P::Top, 2325),   at("Label6", P::Top, 2805)};
        showAll(v, {"Label7", "Label8", "Label9", "Label19"}, false);
        showAll(v, {"Label14", "Label15", "lblForecast"}, true);
        // The exit button sits lower now: the forecast line goes above it,
        // between the status line and the buttons.
        v.push_back(at("lblForecast", P::Top, 1065));
        v.push_back(at("lblForecast", P::Height, 255));
        v.push_back(at("Option2", P::Value, 1));
        return v;
    }();
    return v;
}

}  // namespace nimbrel
