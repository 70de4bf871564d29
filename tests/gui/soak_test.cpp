// Days of unattended running in a few seconds: thousands of cycles with the
// fake clock across three midnights and a month end, with the log on. Images of
// one period of the scenario are rendered once and served from memory, so the
// program's own work is what is measured. Filter with Soak.* to leave it out.
#include <gtest/gtest.h>
#include <malloc.h>

#if defined(__SANITIZE_ADDRESS__)
#define SOAK_UNDER_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define SOAK_UNDER_ASAN 1
#endif
#endif
#ifdef SOAK_UNDER_ASAN
// The sanitizer runtime's allocator statistics (GCC ships no header for it).
extern "C" size_t __sanitizer_get_current_allocated_bytes();
#endif

#include <QCoreApplication>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <set>

#include "base/text_util.h"
#include "cycle/radar_time.h"
#include "service/radar_paths.h"
#include "service/radar_service.h"
#include "support/fake/app_fixture.h"
#include "support/fake/delivered_service.h"

using namespace nimbrel;
namespace fs = std::filesystem;

namespace {

constexpr int kCycles = 3000;
constexpr int kWarmUpCycles = 300;
// Resident memory may wobble with the allocator and Qt's caches, but must not
// climb with the number of cycles.
constexpr long kRssMarginKb = 4 * 1024;
// The heap in use is steadier: a leak of a few hundred bytes a cycle shows.
constexpr size_t kHeapMarginKb = 512;
constexpr int kFdMargin = 2;

long residentKb() {
    std::ifstream in("/proc/self/status");
    std::string line;
    while (std::getline(in, line))
        if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
    return -1;
}

// Under AddressSanitizer malloc is the sanitizer's own, so glibc's counters
// read zero; its allocator counts the bytes still allocated instead.
size_t heapInUseKb() {
#ifdef SOAK_UNDER_ASAN
    return __sanitizer_get_current_allocated_bytes() / 1024;
#else
    return mallinfo2().uordblks / 1024;
#endif
}

// AddressSanitizer keeps freed blocks in a quarantine of up to 256 MB before
// reusing them, so the resident size climbs for a long while whatever the
// program does; there only the heap count says whether memory leaks.
constexpr bool kResidentSizeIsMeaningful =
#ifdef SOAK_UNDER_ASAN
    false;
#else
    true;
#endif

int openDescriptors() {
    int n = 0;
    for ([[maybe_unused]] const auto& e : fs::directory_iterator("/proc/self/fd")) ++n;
    return n;
}

// Reads what was appended to a file since `offset`.
std::string tailFrom(const std::string& path, std::uintmax_t offset) {
    std::ifstream in(path, std::ios::binary);
    in.seekg(static_cast<std::streamoff>(offset));
    return std::string(std::istreambuf_iterator<char>(in), {});
}

size_t countCrLf(const std::string& text) {
    size_t n = 0;
    for (size_t p = text.find("\r\n"); p != std::string::npos; p = text.find("\r\n", p + 2)) ++n;
    return n;
}

}  // namespace

class Soak : public ::testing::Test {
  protected:
    void SetUp() override {
        copyDeliveredTables(dir);
        service = deliveredRadarService();
        ASSERT_TRUE(service);
        writeFileBytes(dir.file("vesk.ini"), tokyoSettings(1));
        platform.clock = {2024, 1, 31, 23, 0, 50};

        // One image pair per phase of the scenario: the band over the place
        // repeats with the period, so serving by phase keeps the rain moving.
        const ServiceRegion& kanto = *service->findRegion("kanto");
        const long long first = minuteIndex(platform.clock);
        for (int phase = 0; phase < kScenarioPeriodMinutes; ++phase) {
            long long m = scenarioMinuteAtOrAfter(first, phase);
            frames[phase][0] = *service->radarPng(kanto, ImageKind::Detail, m);
            frames[phase][1] = *service->radarPng(kanto, ImageKind::Small, m);
        }
        platform.httpFallback = [this](const std::string& url, const std::string& file) {
            size_t at = url.find("/xbandradar/");
            if (at == std::string::npos) return false;
            ServicePath p = parseServicePath(url.substr(at));
            const ServiceRegion* region =
                p.error == PathError::None ? service->findRegion(p.key) : nullptr;
            if (!region) return false;
            if (p.baseMap)
                writeFileBytes(file, *service->baseMapPng(*region, p.kind));
            else
                writeFileBytes(
                    file, frames[scenarioPhase(p.minute)][p.kind == ImageKind::Detail ? 0 : 1]);
            return true;
        };
    }

    TempDir dir;
    FakePlatform platform;
    std::unique_ptr<RadarService> service;
    std::array<std::array<std::string, 2>, kScenarioPeriodMinutes> frames;
    std::unique_ptr<Form1> form;
};

TEST_F(Soak, ThousandsOfCyclesAcrossMidnightAndAMonthEndStayInBounds) {
    const auto began = std::chrono::steady_clock::now();
    form = std::make_unique<Form1>(platform, dir.folder());
    form->Form_Load();
    ASSERT_FALSE(form->ended());
    form->Timer1.stop();  // cycles come from the presses below only
    ASSERT_EQ(form->Check3->value(), 1);
    ASSERT_NE(form->Label15->caption(), "error");

    // The log's name comes from the start-up date and stays for the run.
    const std::string log = dir.file("2401.log");
    ASSERT_EQ(form->paths.logFilePath, log);
    std::uintmax_t logSize = fs::file_size(log);
    ASSERT_EQ(countCrLf(readFileBytes(log)), 3u);  // blank, start-up, first cycle

    long warmRss = 0;
    size_t warmHeap = 0;
    int warmFds = 0;
    size_t maxHistoryLines = 0;
    int historyCuts = 0;
    int rainyCycles = 0;
    std::set<std::string> days;
    for (int cycle = 1; cycle <= kCycles; ++cycle) {
        platform.advanceSeconds(60);
        const std::string stamp = imageStamp(platform.clock);
        const size_t before = splitCrLf(form->Text4->text()).size();
        form->Command1->press();
        // Between ticks the window's event loop runs; without it the events
        // the widgets post (scroll ranges, repaints) would pile up here.
        QCoreApplication::processEvents();

        ASSERT_EQ(form->Label15->caption(), stamp) << "cycle " << cycle;
        const size_t lines = splitCrLf(form->Text4->text()).size();
        ASSERT_LE(lines, 101u) << "cycle " << cycle;
        maxHistoryLines = std::max(maxHistoryLines, lines);
        if (lines < before) ++historyCuts;

        // Exactly one line per cycle, carrying the day and the image time.
        const std::string added = tailFrom(log, logSize);
        ASSERT_EQ(countCrLf(added), 1u) << "cycle " << cycle << ": " << added;
        ASSERT_EQ(added.substr(2, 7), " " + stamp + " ") << added;
        if (added.size() > 11) ++rainyCycles;  // more than "dd HH:MM " and CR LF
        days.insert(added.substr(0, 2));
        logSize += added.size();

        // The fake's own records would grow with the run.
        platform.downloadedUrls.clear();
        platform.downloadedFiles.clear();
        platform.notifications.clear();
        platform.sounds.clear();
        if (cycle == kWarmUpCycles) {
            warmRss = residentKb();
            warmHeap = heapInUseKb();
            warmFds = openDescriptors();
        }
    }
    const long endRss = residentKb();
    const size_t endHeap = heapInUseKb();
    const int endFds = openDescriptors();
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
    std::cout << "[ soak     ] " << kCycles << " cycles in " << seconds << " s; VmRSS " << warmRss
              << " kB after " << kWarmUpCycles << ", " << endRss << " kB at the end; heap in use "
              << warmHeap << " -> " << endHeap << " kB; fds " << warmFds << " -> " << endFds
              << "\n";

    if (kResidentSizeIsMeaningful) {
        EXPECT_LE(endRss, warmRss + kRssMarginKb);
    }
    EXPECT_GT(warmHeap, 0u) << "the heap counter reads nothing in this build";
    EXPECT_LE(endHeap, warmHeap + kHeapMarginKb);
    EXPECT_LE(endFds, warmFds + kFdMargin);
    // The run crossed three midnights and the month end, and the rain came and
    // went often enough for the history list to be cut several times.
    EXPECT_EQ(platform.clock.month, 2);
    EXPECT_EQ(days, (std::set<std::string>{"31", "01", "02", "03"}));
    EXPECT_GT(rainyCycles, kCycles / 10);
    EXPECT_EQ(maxHistoryLines, 101u);
    EXPECT_GT(historyCuts, 3);
    EXPECT_FALSE(fs::exists(dir.file("2402.log")));
    EXPECT_EQ(countCrLf(readFileBytes(log)), 3u + kCycles);
}
