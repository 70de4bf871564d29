// Moving to another region: the whole start-up runs again for it.
#include "app/form1.h"
#include "base/text_util.h"
#include "settings/log_file.h"

namespace nimbrel {

void Form1::Command6_Click() {
    double n = leadingNumber(Combo1->text());
    if (n == area.currentRegion || n < 0 || n > 10 || n == 4) return;
    // Only whole region numbers of the list are taken; the range is checked
    // first so that a long typed number is never converted to an integer.
    int region = static_cast<int>(n);
    if (n != region) return;
    if (ask(area.regions.regionName[region] + "に、地域変更します", "変更 確認") != MsgAnswer::Ok)
        return;
    Label3->setCaption(numberText(entry.entryLatitude));
    Label4->setCaption(numberText(entry.entryLongitude));
    Check2->setValue(0);  // may ask for a location first
    if (ended_) return;
    Check1->setValue(0);
    Check1_Click();
    area.currentRegion = static_cast<int16_t>(region);
    placement.windowLeft = Left();
    placement.windowTop = Top();
    placement.windowPositionKnown = true;
    writesettings();
    prependHistoryLine("－地域変更－" + area.regions.regionName[region]);
    if (Check3->value() == 1) appendLog(regionChangeLogLine(platform_.now()));
    cycle.lastRunTime = 0;
    Form_Load();
}

}  // namespace nimbrel
