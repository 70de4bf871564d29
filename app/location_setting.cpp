// The location-setting mode: typing a location or taking a city's, with
// range checks, cancel, saving and logging.
#include "app/form1.h"
#include "cycle/classify.h"
#include "base/text_util.h"
#include "settings/log_file.h"

namespace nimbrel {


void Form1::Check2_Click() {
    if (Check2->value() == 1) {
        rightAnchorTo(13395);
        setWidth(13395);
        setHeight(10320);
        Command1->setVisible(false);
        Command2->setVisible(false);
        Command3->setVisible(true);
        Command8->setVisible(true);
        Command4->setVisible(false);
        Command6->setVisible(true);
        Command7->setVisible(true);
        Combo1->setVisible(true);
        Combo2->setVisible(true);
        Check1->setVisible(false);
        for (Control* c : {Check3, Check4, Check5, Check6, Option1, Option2, Option3}) c->setVisible(false);
        Text1->setVisible(false);
        Text2->setVisible(true);
        Text3->setVisible(true);
        Text4->setVisible(false);
        Text5->setVisible(true);
        Image1->setVisible(true);
        Image2->setVisible(false);
        Shape1->setVisible(true);
        Label2->setWidth(2880);
        Label3->setEnabled(false);
        Label4->setEnabled(false);
        Label5->setTop(2535);
        Label6->setTop(3015);
        for (Control* c : {Label7, Label8, Label9, Label19}) c->setVisible(true);
        Label14->setVisible(false);
        Label15->setVisible(false);
        Image1->refresh();
        markbase();
        savedStatusCaption = Label2->caption();
        savedStatusColor = Label2->backColor();
        Label2->setCaption("緯度経度を入力して下さい");
        Label2->setBackColor(statusRgb(StatusColor::LightYellow));
        entryLatitude = latitude();
        entryLongitude = longitude();
        locationAccepted = 0;
        return;
    }

    Label2->setCaption(savedStatusCaption);
    Label2->setBackColor(savedStatusColor);
    if (Label3->caption().empty() || Label4->caption().empty()) {
        platform_.messageBox("地点の緯度経度を入力して下さい", "お願い", MsgButtons::Ok);
        Check2->setValue(1);
        return;
    }
    if (Text2->text() != Label3->caption() && Text3->text() != Label4->caption() && !Text2->text().empty() &&
        !Text3->text().empty() && locationAccepted == 0) {
        platform_.messageBox("okボタンが押されていません\r\n入力した位置は反映されていません", "注意", MsgButtons::Ok);
    }
    Command1->setVisible(true);
    Command2->setVisible(true);
    Command2->setTop(1320);
    Command2->setLeft(1900);
    Command2->setHeight(570);
    Command2->setWidth(975);
    Check1->setVisible(true);
    Check1->setTop(1320);
    Check1->setLeft(390);
    Check1->setWidth(1260);
    Check1->setCaption("拡大表示");
    if (Check4->value() == 1) {
        double left = Left() + Width() - 12980;
        double limit = platform_.screenSizeTwips().width - 4000;
        if (limit < left) left = limit;
        setLeft(left);
    }
    setWidth(12980);
    setHeight(10149);
    Command3->setVisible(false);
    Command8->setVisible(false);
    Command4->setVisible(false);
    Command6->setVisible(false);
    Command7->setVisible(false);
    Combo1->setVisible(false);
    Combo2->setVisible(false);
    for (Control* c : {Check3, Check4, Check5, Check6, Option1, Option2, Option3}) c->setVisible(true);
    Text1->setVisible(false);
    Text2->setVisible(false);
    Text3->setVisible(false);
    Text4->setVisible(true);
    Text5->setVisible(false);
    Image1->setVisible(false);
    Image2->setVisible(true);
    marksmall();
    Shape1->setVisible(true);
    Label1->setVisible(true);
    Label2->setTop(120);
    Label2->setLeft(10);
    Label2->setWidth(2910);
    Label2->setHeight(885);
    Label3->setEnabled(true);
    Label4->setEnabled(true);
    Label5->setTop(2325);
    Label6->setTop(2805);
    for (Control* c : {Label7, Label8, Label9, Label19}) c->setVisible(false);
    Label14->setVisible(true);
    Label15->setVisible(true);
    Option2->setValue(1);

    if (locationAccepted == 1) {
        savedLocations[currentRegion][0] = latitude();
        savedLocations[currentRegion][1] = longitude();
        writesettings();
        prependHistoryLine("－地点設定－");
        if (Check3->value() == 1)
            appendLog(locationLogLine(platform_.now(), Label3->caption(), Label4->caption()));
        Command1->press();
    }
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
    if (!insideStrict(regionBounds(regions, currentRegion), lat, lon)) {
        platform_.messageBox("範囲外です", "エラー", MsgButtons::Ok);
        Text2->setText("");
        Text3->setText("");
        return;
    }
    if (Text2->text() == Label3->caption() && Text3->text() == Label4->caption()) return;
    locationAccepted = 1;
    Label3->setCaption(Text2->text());
    Label4->setCaption(Text3->text());
    drawbase();
    markbase();
    Label8->setCaption(Label8->caption() + kCrLf + charLeft(Label3->caption(), 9) + "  " +
                       charLeft(Label4->caption(), 9));
    Label2->setCaption(std::string("位置が良ければ[地点設定]") + kCrLf + "check boxを解除して" + kCrLf +
                       "動作を開始して下さい");
}

void Form1::Command7_Click() {
    double n = leadingNumber(Combo2->text());
    // Only whole row numbers of the table name a row; anything else (the
    // heading, a typed text) does nothing. A row without a city copies two
    // empty texts, which OK then rejects.
    if (n < 1 || n > 100 || n != static_cast<double>(static_cast<int>(n))) return;
    const int row = static_cast<int>(n);
    Text2->setText(cityTable[row][1]);
    Text3->setText(cityTable[row][2]);
    Command3_Click();
}

void Form1::Command8_Click() {
    Text2->setText(numberText(entryLatitude));
    Text3->setText(numberText(entryLongitude));
    Command3_Click();
}

}  // namespace nimbrel
