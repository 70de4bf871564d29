#pragma once
// The update cycle's small decisions: when a tick starts a cycle, when a
// cycle comes too soon after the last one, the next interval and when the
// history images move on. Times of day are in days (one minute is 1/1440).
#include "cycle/classify.h"
#include "cycle/rain_scan.h"

namespace nimbrel {

inline constexpr const char* kManualUpdateCaption = "手動更新";
inline constexpr const char* kWaitingCaption = "更新待ち";

// tickCount already counts this tick.
bool tickStartsCycle(int tickCount, int tickThreshold);

struct ThrottleDecision {
    bool throttled = false;
    // Threshold for the ticks after a throttled cycle (2 or 1); unchanged
    // otherwise.
    int tickThreshold = 0;
    // lastRunTime after the midnight correction: a value from before midnight
    // is moved back one day so the difference stays positive.
    double lastRunTime = 0;
};
// A cycle less than 21.6 s after the last one waits, unless a new location
// was just accepted.
ThrottleDecision throttleDecision(double nowDays, double lastRunTime, bool locationAccepted,
                                  int tickThreshold);

// Ticks until the next cycle: sooner the nearer the rain.
int adaptiveThreshold(const Levels& levels, const Counts& counts);

// True when the history images should move on: the newest image is more than
// 0.002 day newer than before_1 (also across midnight), or the last refresh
// is more than 0.002 day ago.
bool historyRefreshDue(double historyTime0, double historyTime1, double nowDays,
                       double lastHistoryRun);

}  // namespace nimbrel
