// The warning sounds the build writes beside the program.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "support/temp_dir.h"

namespace {

struct Wav {
    int format = 0;
    int channels = 0;
    int rate = 0;
    int bits = 0;
    std::vector<std::int16_t> samples;
    double seconds() const { return rate ? double(samples.size()) / rate : 0; }
    int peak() const {
        int p = 0;
        for (auto v : samples) p = std::max(p, std::abs(int(v)));
        return p;
    }
};

std::uint32_t le(const std::string& b, size_t at, int bytes) {
    std::uint32_t v = 0;
    for (int i = bytes - 1; i >= 0; --i) v = v << 8 | static_cast<unsigned char>(b[at + i]);
    return v;
}

// Reads the plain 44-byte-header layout the generator writes; anything else
// fails the test.
Wav readWav(const std::string& path) {
    std::string b = readFileBytes(path);
    Wav w;
    EXPECT_GE(b.size(), 44u) << path;
    if (b.size() < 44) return w;
    EXPECT_EQ(b.substr(0, 4), "RIFF");
    EXPECT_EQ(le(b, 4, 4), b.size() - 8);
    EXPECT_EQ(b.substr(8, 8), "WAVEfmt ");
    w.format = le(b, 20, 2);
    w.channels = le(b, 22, 2);
    w.rate = le(b, 24, 4);
    w.bits = le(b, 34, 2);
    EXPECT_EQ(b.substr(36, 4), "data");
    EXPECT_EQ(le(b, 40, 4), b.size() - 44);
    for (size_t i = 44; i + 1 < b.size(); i += 2)
        w.samples.push_back(static_cast<std::int16_t>(le(b, i, 2)));
    return w;
}

}  // namespace

TEST(WarningSounds, ThreeShortDistinctSoundsEachWithAQuarterStrengthSoftForm) {
    const std::filesystem::path bin = NIMBREL_BIN_DIR;
    if (!std::filesystem::exists(bin / "RING3.WAV"))
        GTEST_SKIP() << "sounds not built in " << bin << " (build the 'sounds' target)";
    const char* loud[] = {"RING3.WAV", "SOUND36.WAV", "SOUND38.WAV"};
    const char* soft[] = {"RING3s.WAV", "SOUND36s.WAV", "SOUND38s.WAV"};
    std::vector<double> lengths;
    for (int k = 0; k < 3; ++k) {
        Wav l = readWav((bin / loud[k]).string());
        Wav s = readWav((bin / soft[k]).string());
        EXPECT_EQ(l.format, 1) << loud[k];
        EXPECT_EQ(l.channels, 1) << loud[k];
        EXPECT_EQ(l.bits, 16) << loud[k];
        EXPECT_GT(l.seconds(), 0.3) << loud[k];
        EXPECT_LE(l.seconds(), 1.5) << loud[k];
        EXPECT_EQ(s.samples.size(), l.samples.size()) << soft[k];
        EXPECT_GT(l.peak(), 20000) << loud[k];
        double ratio = double(s.peak()) / l.peak();
        EXPECT_NEAR(ratio, 0.25, 0.02) << soft[k];
        // Same sound, not merely same peak: every sample follows the loud one.
        for (size_t i = 0; i < l.samples.size() && i < s.samples.size(); i += 97)
            ASSERT_NEAR(s.samples[i], l.samples[i] * 0.25, 2.0) << soft[k] << " sample " << i;
        lengths.push_back(l.seconds());
    }
    EXPECT_GT(std::abs(lengths[0] - lengths[1]), 0.05);
    EXPECT_GT(std::abs(lengths[1] - lengths[2]), 0.05);
    EXPECT_GT(std::abs(lengths[0] - lengths[2]), 0.05);
}
