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
        Command4->setVisible(smallMap && history.historyTimes[2] != 0);
        applyChanges(fullViewChanges());
        return;
    }
    Shape1->setVisible(false);
    rightAnchorOnScreen(3420, 3000);
    setWidth(3420);
    setHeight(1120);
    applyChanges(compactViewChanges());
}

void Form1::Check6_Click() {
    cycle.warnRadii = Check6->value() == 1 ? kWidenedRadii : kNormalRadii;
}

}  // namespace nimbrel
