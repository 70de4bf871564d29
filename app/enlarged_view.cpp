// The compact and full views, and the warning range.
#include "app/form1.h"

namespace nimbrel {

void Form1::Check1_Click() {
    if (Check1->value() == 1) {
        rightAnchorTo(12980);
        setWidth(12980);
        setHeight(10149);
        Command2->setLeft(1900);
        bool standard = Option1->value() == 1;
        Text1->setVisible(standard);
        Image2->setVisible(!standard);
        if (Option2->value() == 1) {
            Shape1->setVisible(true);
            Command4->setVisible(historyTimes[2] != 0);
        } else {
            Shape1->setVisible(false);
            Command4->setVisible(false);
        }
        Command1->setVisible(true);
        Command2->setTop(1110);
        Command2->setHeight(570);
        Command2->setWidth(975);
        Check1->setTop(1320);
        Check1->setLeft(390);
        Check1->setWidth(1260);
        Check1->setCaption("拡大表示");
        Check1->setFontSize(11);
        Image1->setVisible(false);
        Label1->setVisible(true);
        Label2->setTop(120);
        Label2->setLeft(10);
        Label2->setWidth(2910);
        Label2->setHeight(885);
        Check2->setVisible(true);
        Text2->setVisible(false);
        Text3->setVisible(false);
        Text4->setVisible(true);
        Text5->setVisible(false);
        Label3->setEnabled(true);
        Label4->setEnabled(true);
        Label7->setVisible(false);
        Label8->setVisible(false);
        Label9->setVisible(false);
        Check2->setValue(0);
        Command3->setVisible(false);
        Command8->setVisible(false);
    } else {
        Shape1->setVisible(false);
        if (Check4->value() == 1) {
            double left = Left() + Width() - 3420;
            double limit = platform_.screenSizeTwips().width - 3000;
            if (limit < left) left = limit;
            setLeft(left);
        }
        setWidth(3420);
        setHeight(1120);
        Command1->setVisible(false);
        Command2->setTop(315);
        Command2->setLeft(2460);
        Command2->setHeight(405);
        Command2->setWidth(825);
        Check1->setTop(15);
        Check1->setLeft(2460);
        Check1->setWidth(735);
        Check1->setCaption("拡大");
        Check1->setFontSize(9);
        Text1->setVisible(false);
        Image1->setVisible(false);
        Image2->setVisible(false);
        Label1->setVisible(false);
        Label2->setTop(60);
        Label2->setLeft(0);
        Label2->setWidth(2295);
        Label2->setHeight(615);
        Check2->setVisible(false);
    }
}

void Form1::Check6_Click() {
    warnRadii = Check6->value() == 1 ? kWidenedRadii : kNormalRadii;
}

}  // namespace nimbrel
