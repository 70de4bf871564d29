#pragma once
// Synchronous playing of a WAV file: the call returns when the sound has
// finished. Nothing here fails loudly; the result only says what happened.
#include <chrono>
#include <cstdint>
#include <string>

namespace nimbrel {

enum class SoundStatus {
    Played,
    NoFileName,         // empty name: nothing to play
    CannotOpenFile,     // missing, unreadable or not a sound file
    UnsupportedFormat,  // channel count or sample rate outside what we accept
    NoDevice,           // the sound device could not be opened or set up
    DeviceError,        // the device failed while playing
};

struct SoundResult {
    SoundStatus status = SoundStatus::NoFileName;
    std::int64_t framesPlayed = 0;  // sample frames handed to the device
};

struct SoundOptions {
    std::string device = "default";
    // A warning sound is short; a long or endless file must not hold the
    // window's thread.
    std::chrono::milliseconds maxLength{10'000};
};

const char* soundStatusText(SoundStatus status);

SoundResult playSoundFile(const std::string& file, const SoundOptions& options = {});

}  // namespace nimbrel
