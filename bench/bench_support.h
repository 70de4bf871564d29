#pragma once
// What the benchmark programs share: a scratch folder, the delivered data
// files, the demonstration minutes of the local radar service, and small
// statistics over timings.
#include <sys/types.h>

#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "service/radar_service.h"
#include "service/service_regions.h"

namespace nimbrel::bench {

// A file of the project's data folder (area_map.ini, toshi.ini).
std::string dataFile(const std::string& name);

// The region the benchmarks watch: Tokyo's, as the delivered table has it.
inline constexpr int kBenchRegion = 6;
inline constexpr double kTokyoLatitude = 35.6895;
inline constexpr double kTokyoLongitude = 139.6917;

// The delivered regions, or an empty list with the reason in error.
std::vector<ServiceRegion> deliveredRegions(std::string& error);

// A minute whose image has intense rain over Tokyo and heavier rain around
// it: the busiest picture the demonstration band gives.
long long rainyMinute();
// The first minute of a demonstration period, the band still far away.
long long approachStartMinute();

bool writeBytes(const std::string& path, const std::string& bytes);

// A scratch program folder for the real executable: a copy of it, the
// delivered tables, the region's base maps already fetched, the location at
// Tokyo with the sounds silent, and server.ini naming the service. False,
// with the reason in error, when something could not be written.
bool prepareProgramFolder(const std::string& folder, const std::string& program,
                          RadarService& service, const ServiceRegion& region,
                          const std::string& serverBase, std::string& error);

// This process's environment with the given NAME=value entries in place of
// any of the same names, as execve wants it (the strings must outlive it).
std::vector<char*> childEnvironment(std::vector<std::string>& entries);

struct Stats {
    std::size_t count = 0;
    double median = 0;
    double p90 = 0;
    double worst = 0;
    double best = 0;
    double mean = 0;
};
Stats statsOf(std::vector<double> samples);

// utime + stime (fields 14 and 15) of a /proc/<pid>/stat line, in clock
// ticks; -1 when the line is cut short. The command name in field 2 may hold
// blanks and parentheses of its own.
long long statCpuTicks(std::string_view stat);

// A line of /proc/<pid>/status such as "VmRSS:" as a number of kB; -1 when
// it cannot be read. pid 0 means this process.
long statusKb(const char* field, pid_t pid = 0);

}  // namespace nimbrel::bench
