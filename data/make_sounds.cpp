// Writes the six warning sounds beside the program: a chime for the first
// sighting of rain, a two-tone call for rain and light rain at the location,
// and an urgent pulse train for heavy and intense rain, each in a loud and a
// soft ("s") form at a quarter of the amplitude. 16-bit PCM mono WAV.
//
// Usage: make_sounds <output folder>
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

constexpr int kRate = 22050;
constexpr double kPi = 3.14159265358979323846;
constexpr double kLoudPeak = 0.85;  // of full scale
constexpr double kSoftFactor = 0.25;

using Signal = std::vector<double>;

// Short linear ramps at both ends keep the speaker from clicking.
double edgeRamp(double t, double length, double ramp = 0.005) {
    return std::min({1.0, t / ramp, (length - t) / ramp});
}

void addTone(Signal& s, double start, double length, double amplitude, auto&& wave) {
    const int first = static_cast<int>(start * kRate);
    const int count = static_cast<int>(length * kRate);
    if (s.size() < static_cast<size_t>(first + count)) s.resize(first + count, 0.0);
    for (int i = 0; i < count; ++i) {
        const double t = static_cast<double>(i) / kRate;
        s[first + i] += amplitude * edgeRamp(t, length) * wave(t);
    }
}

// A bell: a few inharmonic partials that die away.
Signal chime() {
    Signal s;
    auto bell = [](double freq) {
        return [freq](double t) {
            const double decay = std::exp(-t / 0.28);
            return decay *
                   (std::sin(2 * kPi * freq * t) + 0.35 * std::sin(2 * kPi * freq * 2.76 * t) +
                    0.12 * std::sin(2 * kPi * freq * 5.40 * t));
        };
    };
    addTone(s, 0.00, 0.70, 1.0, bell(1318.51));  // E6
    addTone(s, 0.30, 0.90, 1.0, bell(1046.50));  // C6
    return s;
}

// Two alternating pitches with a hard, square-like timbre.
Signal twoTone() {
    Signal s;
    auto square = [](double freq) {
        return [freq](double t) {
            double v = 0;
            for (int h = 1; h <= 7; h += 2) v += std::sin(2 * kPi * freq * h * t) / h;
            return v;
        };
    };
    for (int k = 0; k < 6; ++k)
        addTone(s, k * 0.17, 0.14, 1.0, square(k % 2 == 0 ? 880.0 : 1174.66));
    return s;
}

// Fast pulses that each sweep upward: hard to ignore.
Signal urgent() {
    Signal s;
    auto sweep = [](double t) {
        const double f0 = 1400, f1 = 2000, len = 0.07;
        const double phase = 2 * kPi * (f0 * t + (f1 - f0) * t * t / (2 * len));
        return std::sin(phase) + 0.5 * std::sin(2 * phase) + 0.33 * std::sin(3 * phase);
    };
    for (int k = 0; k < 8; ++k) addTone(s, k * 0.11, 0.07, 1.0, sweep);
    s.resize(s.size() + kRate / 20, 0.0);
    return s;
}

std::vector<std::int16_t> toPcm(const Signal& s, double peak) {
    double max = 0;
    for (double v : s) max = std::max(max, std::fabs(v));
    const double scale = max > 0 ? peak * 32767.0 / max : 0;
    std::vector<std::int16_t> pcm(s.size());
    for (size_t i = 0; i < s.size(); ++i)
        pcm[i] = static_cast<std::int16_t>(std::lround(s[i] * scale));
    return pcm;
}

void put16(std::string& out, std::uint16_t v) {
    out += static_cast<char>(v & 0xFF);
    out += static_cast<char>(v >> 8);
}
void put32(std::string& out, std::uint32_t v) {
    put16(out, static_cast<std::uint16_t>(v & 0xFFFF));
    put16(out, static_cast<std::uint16_t>(v >> 16));
}

std::string wavBytes(const std::vector<std::int16_t>& pcm) {
    const std::uint32_t dataBytes = static_cast<std::uint32_t>(pcm.size() * 2);
    std::string out = "RIFF";
    put32(out, 36 + dataBytes);
    out += "WAVEfmt ";
    put32(out, 16);
    put16(out, 1);  // PCM
    put16(out, 1);  // mono
    put32(out, kRate);
    put32(out, kRate * 2);
    put16(out, 2);
    put16(out, 16);
    out += "data";
    put32(out, dataBytes);
    for (std::int16_t v : pcm) put16(out, static_cast<std::uint16_t>(v));
    return out;
}

// Written beside the target and renamed, so a cut build never leaves half a
// sound in place.
bool writeFile(const std::filesystem::path& path, const std::string& bytes) {
    std::filesystem::path part = path;
    part += ".part";
    {
        std::ofstream out(part, std::ios::binary | std::ios::trunc);
        if (!out) return false;
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        if (!out) return false;
    }
    std::error_code ec;
    std::filesystem::rename(part, path, ec);
    return !ec;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_sounds <output folder>\n");
        return 2;
    }
    const std::filesystem::path folder = argv[1];
    struct Sound {
        const char* loud;
        const char* soft;
        Signal signal;
    } sounds[] = {
        {"RING3.WAV", "RING3s.WAV", chime()},
        {"SOUND36.WAV", "SOUND36s.WAV", twoTone()},
        {"SOUND38.WAV", "SOUND38s.WAV", urgent()},
    };
    for (const Sound& s : sounds) {
        for (bool soft : {false, true}) {
            const char* name = soft ? s.soft : s.loud;
            const double peak = soft ? kLoudPeak * kSoftFactor : kLoudPeak;
            if (!writeFile(folder / name, wavBytes(toPcm(s.signal, peak)))) {
                std::fprintf(stderr, "make_sounds: cannot write %s\n", (folder / name).c_str());
                return 1;
            }
        }
    }
    return 0;
}
