// The location-setting mode: typing a location or taking a city's, with
// range checks, cancel, saving and logging.
#include "app/form1.h"
#include "base/text_util.h"
#include "cycle/classify.h"
#include "settings/log_file.h"

namespace nimbrel {

void Form1::Check2_Click() {
    if (Check2->value() == 1) {
        enterSettingMode();
        return;
    }
    Label2->setCaption(entry.savedStatusCaption);
    Label2->setBackColor(entry.savedStatusColor);
    if (Label3->caption().empty() || Label4->caption().empty()) {
        if (!tell("地点の緯度経度を入力して下さい", "お願い")) return;
        Check2->setValue(1);
        return;
    }
    if (Text2->text() != Label3->caption() && Text3->text() != Label4->caption() &&
        !Text2->text().empty() && !Text3->text().empty() && entry.locationAccepted == 0) {
        if (!tell("okボタンが押されていません\r\n入力した位置は反映されていません", "注意")) return;
    }
    if (!leaveSettingMode()) return;
    if (entry.locationAccepted == 1) keepAcceptedLocation();
}

void Form1::enterSettingMode() {
    rightAnchorTo(13395);
    setWidth(13395);
    setHeight(10320);
    applyChanges(settingModeChanges());
    Image1->refresh();
    markbase();
    // The status line asks for the location meanwhile; it comes back on
    // leaving.
    entry.savedStatusCaption = Label2->caption();
    entry.savedStatusColor = Label2->backColor();
    Label2->setCaption("緯度経度を入力して下さい");
    Label2->setBackColor(statusRgb(StatusColor::LightYellow));
    entry.entryLatitude = latitude();
    entry.entryLongitude = longitude();
    entry.locationAccepted = 0;
}

bool Form1::leaveSettingMode() {
    if (!applyChanges(leavingSettingModeChanges())) return false;
    rightAnchorOnScreen(12980, 4000);
    setWidth(12980);
    setHeight(10149);
    marksmall();
    return applyChanges(backInFullViewChanges());
}

void Form1::keepAcceptedLocation() {
    // Remembered for the region, saved, noted, and watched at once.
    area.savedLocations[area.currentRegion][0] = latitude();
    area.savedLocations[area.currentRegion][1] = longitude();
    writesettings();
    prependHistoryLine("－地点設定－");
    if (Check3->value() == 1)
        appendLog(locationLogLine(platform_.now(), Label3->caption(), Label4->caption()));
    Command1->press();
}

void Form1::Command3_Click() {
    // The one place where input is normalised: figures typed full-width by
    // an input method are taken, and kept, in their plain forms.
    for (Control* box : {Text2, Text3}) {
        const std::string plain = halfWidthFigures(box->text());
        if (plain != box->text()) box->setText(plain);
    }
    double lat = leadingNumber(Text2->text());
    double lon = leadingNumber(Text3->text());
    // A typed location on a bound of the region is out of range.
    if (!insideStrict(regionBounds(area.regions, area.currentRegion), lat, lon)) {
        if (!tell("範囲外です", "エラー")) return;
        Text2->setText("");
        Text3->setText("");
        return;
    }
    if (Text2->text() == Label3->caption() && Text3->text() == Label4->caption()) return;
    entry.locationAccepted = 1;
    Label3->setCaption(Text2->text());
    Label4->setCaption(Text3->text());
    drawbase();
    markbase();
    Label8->setCaption(Label8->caption() + kCrLf + charLeft(Label3->caption(), 9) + "  " +
                       charLeft(Label4->caption(), 9));
    Label2->setCaption(std::string("位置が良ければ[地点設定]") + kCrLf + "check boxを解除して" +
                       kCrLf + "動作を開始して下さい");
}

void Form1::Command7_Click() {
    double n = leadingNumber(Combo2->text());
    // Only whole row numbers of the table name a row; anything else (the
    // heading, a typed text) does nothing. A row without a city copies two
    // empty texts, which OK then rejects.
    if (n < 1 || n > 100 || n != static_cast<double>(static_cast<int>(n))) return;
    const int row = static_cast<int>(n);
    Text2->setText(area.cityTable[row][1]);
    Text3->setText(area.cityTable[row][2]);
    Command3_Click();
}

void Form1::Command8_Click() {
    Text2->setText(numberText(entry.entryLatitude));
    Text3->setText(numberText(entry.entryLongitude));
    Command3_Click();
}

}  // namespace nimbrel
