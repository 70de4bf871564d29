#include "cycle/cycle_rules.h"

namespace nimbrel {

namespace {
constexpr double kThrottleDays = 0.00025;       // 21.6 s
constexpr double kShortThrottleDays = 0.00015;  // 12.96 s
constexpr double kHistoryStepDays = 0.002;      // 172.8 s
}  // namespace

bool tickStartsCycle(int tickCount, int tickThreshold) {
    // A threshold of 0 or less is never set; start a cycle, which sets a
    // proper one, rather than divide by it.
    if (tickThreshold <= 0) return true;
    return tickCount % tickThreshold == 0 || tickCount > tickThreshold;
}

ThrottleDecision throttleDecision(double nowDays, double lastRunTime, bool locationAccepted,
                                  int tickThreshold) {
    ThrottleDecision decision;
    decision.tickThreshold = tickThreshold;
    decision.lastRunTime = lastRunTime;
    if (nowDays - decision.lastRunTime < 0) decision.lastRunTime -= 1;
    double d = nowDays - decision.lastRunTime;
    if (d < kThrottleDays && !locationAccepted) {
        decision.throttled = true;
        decision.tickThreshold = d < kShortThrottleDays ? 2 : 1;
    }
    return decision;
}

int adaptiveThreshold(const Levels& levels, const Counts& counts) {
    if (levels[kRain] > 0 || levels[kHeavy] > 0 || levels[kLight] == 3) return 6;
    if (levels[kLight] > 0) return 9;
    const auto& outer = counts[kBandOuter];
    if (static_cast<long long>(outer[3]) + outer[4] + outer[5] > 0) return 12;
    return 18;
}

bool historyRefreshDue(double historyTime0, double historyTime1, double nowDays,
                       double lastHistoryRun) {
    double step = historyTime0 - historyTime1;
    return step > kHistoryStepDays || nowDays - lastHistoryRun > kHistoryStepDays ||
           (step < 0 && 1 + step > kHistoryStepDays);
}

}  // namespace nimbrel
