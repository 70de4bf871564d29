#include "bench/bench_support.h"

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <numeric>
#include <sstream>
#include <stdexcept>

#include "service/radar_paths.h"
#include "service/rain_field.h"

namespace nimbrel::bench {

std::string dataFile(const std::string& name) {
    return std::string(NIMBREL_SOURCE_DIR) + "/data/" + name;
}

std::vector<ServiceRegion> deliveredRegions(std::string& error) {
    ServiceRegionsResult r = loadServiceRegions(dataFile("area_map.ini"));
    if (r.error != ServiceRegionsError::None) {
        error = "area_map.ini: " + r.message;
        return {};
    }
    return r.regions;
}

namespace {
// An ordinary summer afternoon; any day would do.
long long benchDayStart() {
    return minuteIndex(DateTime{2024, 7, 1, 13, 0, 0});
}
}  // namespace

long long rainyMinute() {
    return scenarioMinuteAtOrAfter(benchDayStart(),
                                   scenarioPhaseFor(RainStrength::Intense, Nearness::Raining));
}

long long approachStartMinute() {
    return scenarioMinuteAtOrAfter(benchDayStart(), 0);
}

bool writeBytes(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

Stats statsOf(std::vector<double> samples) {
    Stats s;
    s.count = samples.size();
    if (samples.empty()) return s;
    std::sort(samples.begin(), samples.end());
    const size_t n = samples.size();
    s.median = n % 2 ? samples[n / 2] : (samples[n / 2 - 1] + samples[n / 2]) / 2;
    s.p90 = samples[std::min(n - 1, (n * 9 + 9) / 10 - 1)];
    s.worst = samples.back();
    s.best = samples.front();
    s.mean = std::accumulate(samples.begin(), samples.end(), 0.0) / static_cast<double>(n);
    return s;
}

long long statCpuTicks(std::string_view stat) {
    // The command name ends at the last ")" of the line.
    const size_t close = stat.rfind(')');
    if (close == std::string_view::npos) return -1;
    std::istringstream rest{std::string(stat.substr(close + 1))};
    std::string field;
    long long utime = -1, stime = -1;
    for (int n = 3; n <= 15 && rest >> field; ++n) {
        if (n == 14) utime = std::atoll(field.c_str());
        if (n == 15) stime = std::atoll(field.c_str());
    }
    return utime < 0 || stime < 0 ? -1 : utime + stime;
}

long statusKb(const char* field, pid_t pid) {
    const std::string path =
        pid == 0 ? std::string("/proc/self/status") : "/proc/" + std::to_string(pid) + "/status";
    std::ifstream in(path);
    const std::string key = field;
    std::string line;
    while (std::getline(in, line)) {
        if (line.compare(0, key.size(), key) == 0) return std::atol(line.c_str() + key.size());
    }
    return -1;
}

}  // namespace nimbrel::bench
