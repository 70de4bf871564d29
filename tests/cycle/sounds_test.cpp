// The warning sounds the build writes beside the program.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <vector>

#include "support/temp_dir.h"

namespace {

std::uint32_t le(const std::string& b, size_t at, int bytes) {
    std::uint32_t v = 0;
    for (int i = bytes - 1; i >= 0; --i) v = v << 8 | static_cast<unsigned char>(b[at + i]);
    return v;
}

// The samples of a 16-bit PCM mono WAV with the plain 44-byte header.
std::vector<int> readWav(const std::filesystem::path& path) {
    std::string b = readFileBytes(path.string());
    EXPECT_GE(b.size(), 44u) << path;
    if (b.size() < 44) return {};
    EXPECT_EQ(b.substr(0, 4) + b.substr(8, 8) + b.substr(36, 4), "RIFFWAVEfmt data") << path;
    EXPECT_EQ(le(b, 4, 4), b.size() - 8) << path;
    EXPECT_EQ(le(b, 40, 4), b.size() - 44) << path;
    EXPECT_EQ(le(b, 20, 2), 1u) << path;  // PCM
    EXPECT_EQ(le(b, 22, 2), 1u) << path;  // mono
    EXPECT_EQ(le(b, 24, 4), 22050u) << path;
    EXPECT_EQ(le(b, 34, 2), 16u) << path;
    std::vector<int> samples;
    for (size_t i = 44; i + 1 < b.size(); i += 2)
        samples.push_back(static_cast<std::int16_t>(le(b, i, 2)));
    return samples;
}

int peak(const std::vector<int>& s) {
    int p = 0;
    for (int v : s) p = std::max(p, std::abs(v));
    return p;
}

}  // namespace

TEST(WarningSounds, ThreeShortDistinctSoundsEachWithAQuarterStrengthSoftForm) {
    const std::filesystem::path bin = NIMBREL_BIN_DIR;
    if (!std::filesystem::exists(bin / "RING3.WAV"))
        GTEST_SKIP() << "sounds not built in " << bin << " (build the 'sounds' target)";
    std::vector<double> seconds;
    for (std::string name : {"RING3", "SOUND36", "SOUND38"}) {
        std::vector<int> loud = readWav(bin / (name + ".WAV"));
        std::vector<int> soft = readWav(bin / (name + "s.WAV"));
        seconds.push_back(loud.size() / 22050.0);
        EXPECT_GT(seconds.back(), 0.3) << name;
        EXPECT_LE(seconds.back(), 1.5) << name;
        EXPECT_GT(peak(loud), 20000) << name;
        ASSERT_EQ(soft.size(), loud.size()) << name;
        // The same sound, every sample at a quarter.
        for (size_t i = 0; i < loud.size(); i += 97)
            ASSERT_NEAR(soft[i], loud[i] * 0.25, 2.0) << name << " sample " << i;
    }
    EXPECT_GT(std::abs(seconds[0] - seconds[1]), 0.05);
    EXPECT_GT(std::abs(seconds[1] - seconds[2]), 0.05);
    EXPECT_GT(std::abs(seconds[0] - seconds[2]), 0.05);
}
