// The compact and full views, and the warning range.
#include "app/form1.h"

namespace nimbrel {

void Form1::Check1_Click() {
    if (Check1->value() == 1) {
        rightAnchorTo(12980);
        setWidth(12980);
        setHeight(10149);
        Command2->setLeft(1900);
        // The picture of the selected view: the text picture for the
        // standard view, the map otherwise, with the marker and the history
        // button only on the small map.
        const bool standard = Option1->value() == 1;
        Text1->setVisible(standard);
        Image2->setVisible(!standard);
        const bool smallMap = Option2->value() == 1;
        Shape1->setVisible(smallMap);
        Command4->setVisible(smallMap && historyTimes[2] != 0);
        applyChanges(fullViewChanges());
        return;
    }
    Shape1->setVisible(false);
    // The compact window keeps its right edge, but stays on the screen.
    if (Check4->value() == 1) {
        double left = Left() + Width() - 3420;
        const double limit = platform_.screenSizeTwips().width - 3000;
        if (limit < left) left = limit;
        setLeft(left);
    }
    setWidth(3420);
    setHeight(1120);
    applyChanges(compactViewChanges());
}

void Form1::Check6_Click() {
    warnRadii = Check6->value() == 1 ? kWidenedRadii : kNormalRadii;
}

}  // namespace nimbrel
