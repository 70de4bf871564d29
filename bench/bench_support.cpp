#include "bench/bench_support.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <numeric>
#include <sstream>
#include <stdexcept>

#include "service/radar_paths.h"
#include "service/rain_field.h"
#include "support/settings_text.h"

extern char** environ;

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

bool prepareProgramFolder(const std::string& folder, const std::string& program,
                          RadarService& service, const ServiceRegion& region,
                          const std::string& serverBase, std::string& error) {
    namespace fs = std::filesystem;
    std::error_code ec;
    fs::copy_file(program, fs::path(folder) / "nimbrel", ec);
    for (const char* name : {"area_map.ini", "toshi.ini"})
        if (!ec) fs::copy_file(dataFile(name), fs::path(folder) / name, ec);
    if (ec) {
        error = ec.message();
        return false;
    }
    SettingsFields fields;
    fields.soundLevel = 2;
    auto baseDetail = service.baseMapPng(region, ImageKind::Detail);
    auto baseSmall = service.baseMapPng(region, ImageKind::Small);
    const std::string at = folder + "/";
    if (!baseDetail || !baseSmall || !writeBytes(at + region.key + ".png", *baseDetail) ||
        !writeBytes(at + region.key + "s.png", *baseSmall) ||
        !writeBytes(at + "vesk.ini", settingsText(fields)) ||
        !writeBytes(at + "server.ini", serverBase + "\r\n")) {
        error = "cannot prepare " + folder;
        return false;
    }
    return true;
}

std::vector<char*> childEnvironment(std::vector<std::string>& entries) {
    std::vector<std::string> own;
    for (char** e = environ; *e; ++e) {
        const std::string_view entry(*e);
        const bool replaced =
            std::any_of(entries.begin(), entries.end(), [&](const std::string& n) {
                return entry.substr(0, entry.find('=') + 1) == n.substr(0, n.find('=') + 1);
            });
        if (!replaced) own.emplace_back(entry);
    }
    entries.insert(entries.begin(), own.begin(), own.end());
    std::vector<char*> envp;
    for (std::string& e : entries) envp.push_back(e.data());
    envp.push_back(nullptr);
    return envp;
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
