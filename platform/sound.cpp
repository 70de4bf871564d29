#include "platform/sound.h"

#include <alsa/asoundlib.h>
#include <sndfile.h>

#include <algorithm>
#include <mutex>
#include <vector>

namespace nimbrel {

namespace {

// ALSA reports missing devices on stderr by default; the program stays quiet.
void silentAlsaError(const char*, int, const char*, int, const char*, ...) {}

void silenceAlsa() {
    static std::once_flag once;
    std::call_once(once, [] { snd_lib_error_set_handler(silentAlsaError); });
}

struct SoundFile {
    SNDFILE* f = nullptr;
    ~SoundFile() {
        if (f) sf_close(f);
    }
};

struct Pcm {
    snd_pcm_t* pcm = nullptr;
    ~Pcm() {
        if (pcm) snd_pcm_close(pcm);
    }
};

constexpr int maxChannels = 8;
constexpr int minRate = 1000;
constexpr int maxRate = 384000;

}  // namespace

SoundResult playSoundFile(const std::string& file, const SoundOptions& options) {
    SoundResult result;
    if (file.empty()) return result;

    SF_INFO info{};
    SoundFile in;
    in.f = sf_open(file.c_str(), SFM_READ, &info);
    if (!in.f) {
        result.status = SoundStatus::CannotOpenFile;
        return result;
    }
    if (info.channels < 1 || info.channels > maxChannels || info.samplerate < minRate ||
        info.samplerate > maxRate) {
        result.status = SoundStatus::UnsupportedFormat;
        return result;
    }

    silenceAlsa();
    Pcm out;
    if (snd_pcm_open(&out.pcm, options.device.c_str(), SND_PCM_STREAM_PLAYBACK, 0) < 0) {
        out.pcm = nullptr;
        result.status = SoundStatus::NoDevice;
        return result;
    }
    if (snd_pcm_set_params(out.pcm, SND_PCM_FORMAT_S16, SND_PCM_ACCESS_RW_INTERLEAVED,
                           static_cast<unsigned>(info.channels),
                           static_cast<unsigned>(info.samplerate), 1, 100'000) < 0) {
        result.status = SoundStatus::NoDevice;
        return result;
    }

    const std::int64_t limit =
        static_cast<std::int64_t>(info.samplerate) * options.maxLength.count() / 1000;
    constexpr sf_count_t chunkFrames = 1024;
    std::vector<short> buffer(static_cast<size_t>(chunkFrames * info.channels));
    result.status = SoundStatus::Played;
    while (result.framesPlayed < limit) {
        const sf_count_t want = std::min<sf_count_t>(chunkFrames, limit - result.framesPlayed);
        const sf_count_t got = sf_readf_short(in.f, buffer.data(), want);
        if (got <= 0) break;
        sf_count_t done = 0;
        while (done < got) {
            snd_pcm_sframes_t w = snd_pcm_writei(out.pcm, buffer.data() + done * info.channels,
                                                 static_cast<snd_pcm_uframes_t>(got - done));
            if (w < 0) {
                // An underrun or a suspend is recoverable; anything else ends the sound.
                if (snd_pcm_recover(out.pcm, static_cast<int>(w), 1) < 0) {
                    result.status = SoundStatus::DeviceError;
                    return result;
                }
                continue;
            }
            done += w;
        }
        result.framesPlayed += got;
    }
    snd_pcm_drain(out.pcm);
    return result;
}

const char* soundStatusText(SoundStatus status) {
    switch (status) {
        case SoundStatus::Played:
            return "played";
        case SoundStatus::NoFileName:
            return "no file name";
        case SoundStatus::CannotOpenFile:
            return "cannot open the sound file";
        case SoundStatus::UnsupportedFormat:
            return "unsupported sound format";
        case SoundStatus::NoDevice:
            return "no sound device";
        case SoundStatus::DeviceError:
            return "the sound device failed";
    }
    return "unknown";
}

}  // namespace nimbrel
