#include "platform/sound.h"

#include <gtest/gtest.h>
#include <sndfile.h>

#include <chrono>
#include <cmath>
#include <string>
#include <vector>

#include "support/temp_dir.h"

namespace nimbrel {
namespace {

using namespace std::chrono_literals;

// A sine tone of the given length as a 16-bit PCM WAV file.
bool writeTone(const std::string& path, int rate, int channels, double seconds) {
    SF_INFO info{};
    info.samplerate = rate;
    info.channels = channels;
    info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    SNDFILE* f = sf_open(path.c_str(), SFM_WRITE, &info);
    if (!f) return false;
    const auto frames = static_cast<sf_count_t>(rate * seconds);
    std::vector<short> data(static_cast<size_t>(frames * channels));
    for (sf_count_t i = 0; i < frames; ++i)
        for (int c = 0; c < channels; ++c)
            data[static_cast<size_t>(i * channels + c)] =
                static_cast<short>(3000 * std::sin(i * 0.1));
    const bool ok = sf_writef_short(f, data.data(), frames) == frames;
    sf_close(f);
    return ok;
}

TEST(SoundTest, NothingToPlayReturnsAtOnce) {
    TempDir dir;
    writeFileBytes(dir.file("RING3.WAV"), "this is not a sound file");
    ASSERT_TRUE(writeTone(dir.file("wide.wav"), 8000, 16, 0.1));
    ASSERT_TRUE(writeTone(dir.file("tone.wav"), 8000, 1, 2.0));
    struct Case {
        std::string file;
        std::string device;
        SoundStatus status;
    };
    const std::vector<Case> cases = {
        {"", "default", SoundStatus::NoFileName},
        {dir.file("SOUND36.WAV"), "default", SoundStatus::CannotOpenFile},
        {dir.file("RING3.WAV"), "default", SoundStatus::CannotOpenFile},
        {dir.folder(), "default", SoundStatus::CannotOpenFile},
        {dir.file("wide.wav"), "default", SoundStatus::UnsupportedFormat},
        {dir.file("tone.wav"), "no-such-device", SoundStatus::NoDevice},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file + " on " + c.device);
        SoundOptions o;
        o.device = c.device;
        const auto start = std::chrono::steady_clock::now();
        const SoundResult r = playSoundFile(c.file, o);
        EXPECT_LT(std::chrono::steady_clock::now() - start, 1s);
        EXPECT_EQ(r.status, c.status);
        EXPECT_EQ(r.framesPlayed, 0);
    }
}

TEST(SoundTest, PlaysTheWholeFileButNoLongerThanTheBound) {
    TempDir dir;
    ASSERT_TRUE(writeTone(dir.file("short.wav"), 8000, 2, 0.5));
    ASSERT_TRUE(writeTone(dir.file("long.wav"), 8000, 1, 3.0));
    struct Case {
        std::string file;
        std::chrono::milliseconds bound;
        std::int64_t frames;
    };
    const std::vector<Case> cases = {
        {dir.file("short.wav"), 10s, 4000},
        {dir.file("long.wav"), 10s, 24000},
        {dir.file("long.wav"), 1000ms, 8000},
        {dir.file("long.wav"), 0ms, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file + " bound " + std::to_string(c.bound.count()));
        SoundOptions o;
        o.device = "null";  // ALSA's discarding device, present without sound hardware
        o.maxLength = c.bound;
        const SoundResult r = playSoundFile(c.file, o);
        if (r.status == SoundStatus::NoDevice) GTEST_SKIP() << "ALSA null device not available";
        EXPECT_EQ(r.status, SoundStatus::Played);
        EXPECT_EQ(r.framesPlayed, c.frames);
    }
}

}  // namespace
}  // namespace nimbrel
