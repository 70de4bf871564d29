// Keeping the six previous small radar images and playing them back.
#include <filesystem>
#include <fstream>
#include <iterator>

#include "app/form1.h"
#include "base/diagnostics.h"
#include "base/text_util.h"
#include "cycle/alerts.h"
#include "cycle/history_time.h"

namespace nimbrel {

void Form1::rotatehistory() {
    namespace fs = std::filesystem;
    std::error_code ec;
    // Each failing delete, rename or copy is skipped; the rest still runs.
    for (int k = 6; k >= 2; --k) {
        fs::remove(history.historyFiles[k], ec);
        fs::rename(history.historyFiles[k - 1], history.historyFiles[k], ec);
        history.historyTimes[k] = history.historyTimes[k - 1];
    }
    fs::remove(history.historyFiles[1], ec);
    // A copy that replaces the slot whole, so a full disk cannot leave a cut
    // image for the playback.
    std::ifstream newest(history.historyFiles[0], std::ios::binary);
    if (newest) {
        const std::string bytes{std::istreambuf_iterator<char>(newest), {}};
        const std::string& slot = history.historyFiles[1];
        if (newest.bad())
            diagnose(history.historyFiles[0], "cannot be read; the history slot is left empty");
        else
            diagnoseFailure(
                slot, replaceFile(slot, {{bytes.data(), bytes.size()}}, Durability::Replaceable));
    }
    history.historyTimes[1] = history.historyTimes[0];
    if (Option2->value() == 1 && history.historyTimes[2] != 0 && Check1->value() == 1)
        Command4->setVisible(true);
    if (Check2->value() == 1) Command4->setVisible(false);
}

void Form1::Command4_Click() {
    struct Step {
        int slot;
        int16_t tint;
        int pauseMs;
    };
    static constexpr Step kSteps[] = {{6, 5, 1200}, {5, 1, 1000}, {4, 2, 1000},
                                      {3, 3, 1000}, {2, 4, 1000}, {1, 5, 900}};

    for (Control* c : {Command4, Check1, Check2, Option1, Option3}) c->setEnabled(false);
    Command1->setVisible(false);
    // Drawing a frame lets events run; a cycle that fell due there would
    // show its image time only for the playback to put the old one back.
    // It is held back and runs when the playback has ended.
    const bool wasPlayingBack = playingBack_;
    playingBack_ = true;
    std::string kept = Label15->caption();
    Label15->setCaption("");
    Label15->setVisible(true);
    Label16->setVisible(true);
    Label15->refresh();
    Label16->refresh();
    bool first = true;
    for (const Step& s : kSteps) {
        if (history.historyTimes[s.slot] == 0) {
            first = false;
            continue;
        }
        if (!drawsmall(history.historyFiles[s.slot], s.tint)) return;
        Label15->setCaption(playbackTimeText(history.historyTimes[s.slot]));
        if (first) Label16->setCaption(Label15->caption());
        first = false;
        Label15->refresh();
        Label16->refresh();
        if (!wait(s.pauseMs)) return;
    }
    for (Control* c : {Command4, Check1, Check2, Option1, Option3}) c->setEnabled(true);
    Command1->setVisible(true);
    Label16->setVisible(false);
    Option2_Click();
    if (ended_) return;
    Label15->setCaption(kept);
    playingBack_ = wasPlayingBack;
    if (!playingBack_ && cycleHeldBack_) {
        cycleHeldBack_ = false;
        Command1->press();
    }
}

}  // namespace nimbrel
