// The exit button and the small controls: sound level, always on top, links.
#include "app/form1.h"
#include "base/text_util.h"
#include "cycle/classify.h"
#include "settings/log_file.h"

namespace nimbrel {

void Form1::Command2_Click() {
    Check1->setValue(0);
    Check1_Click();  // also when it was already clear, so the compact position is saved
    placement.windowLeft = Left();
    placement.windowTop = Top();
    placement.windowPositionKnown = true;
    area.savedLocations[area.currentRegion][0] = latitude();
    area.savedLocations[area.currentRegion][1] = longitude();
    writesettings();
    if (Check3->value() == 1) appendLog(exitLogLine(platform_.now()));
    endProgram();
}

void Form1::Command5_Click() {
    // Loud, soft, silent, loud again; any other level stays as it is.
    if (!soundLevelCaption(cycle.soundLevel)) return;
    cycle.soundLevel = static_cast<int16_t>((cycle.soundLevel + 1) % 3);
    Label17->setCaption(soundLevelCaption(cycle.soundLevel));
}

void Form1::Check5_Click() {
    platform_.setTopmost(Check5->value() == 1);
}

void Form1::Label14_Click() {
    platform_.openUrl(kHomePageUrl);
}

// The fixed address, not whatever may have been typed into Text5.
void Form1::Label19_Click() {
    platform_.openUrl(kGeocodingUrl);
}

}  // namespace nimbrel
