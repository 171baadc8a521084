#pragma once

#include <cmath>
#include <cstdint>
#include <cstring>
#include <numbers>
#include <random>
#include <string>
#include <vector>

// What a cassette and its recorder do to the tape signal, for the decoder's tests: the clean
// 44.1 kHz signal resampled at a speed that is off and wanders, band-limited, with noise, DC,
// level changes, clicks and a second channel, written as a WAV file of any sample format.
namespace cassette {

struct Damage {
    int rate = 44100;
    double speed = 1.0;    // at the start of the recording
    double endSpeed = 0;   // at its end (0: the same as at the start)
    double flutter = 0;    // depth of a 5 Hz wow, relative to the speed
    bool lowPass = false;  // 3 kHz, second order
    double noise = 0;      // standard deviation, relative to the signal's amplitude
    double dc = 0;         // of full scale
    bool invert = false;
    bool levelSteps = false;  // the level jumps between 100 %, 40 %, 70 % and 25 % every 2.3 s
    bool clicks = false;      // a full-scale click in the middle of every pause
    int channels = 1;
    int signalChannel = 0;  // the other channel holds a 700 Hz tone and noise
    int bits = 16;          // 8, 16, 24, 32
    bool isFloat = false;   // 32-bit float
};

// Samples in -1..1 per channel, interleaved.
inline std::vector<float> Degrade(const std::vector<int16_t>& clean, const Damage& d) {
    const double inRate = 44100;
    const double seconds = static_cast<double>(clean.size()) / inRate;
    const double endSpeed = d.endSpeed > 0 ? d.endSpeed : d.speed;
    // Clicks go where the clean signal is silent for half a second or more: between records.
    std::vector<double> clickAt;
    if (d.clicks) {
        size_t run = 0;
        for (size_t i = 0; i <= clean.size(); ++i) {
            if (i < clean.size() && clean[i] == 0) {
                ++run;
                continue;
            }
            if (run > inRate / 2) clickAt.push_back((static_cast<double>(i) - run / 2.0) / inRate);
            run = 0;
        }
    }
    std::mt19937 random(12345);
    std::normal_distribution<double> gauss(0.0, 1.0);
    const double amplitude = 24000.0 / 32768.0;
    // Butterworth low-pass (bilinear transform) at 3 kHz.
    const double w = std::tan(std::numbers::pi * 3000.0 / d.rate);
    const double norm = 1 / (1 + std::sqrt(2.0) * w + w * w);
    const double b0 = w * w * norm, b1 = 2 * b0, b2 = b0;
    const double a1 = 2 * (w * w - 1) * norm, a2 = (1 - std::sqrt(2.0) * w + w * w) * norm;
    double x1 = 0, x2 = 0, y1 = 0, y2 = 0;
    std::vector<float> out;
    double tape = 0;  // seconds of the clean signal played so far
    for (int64_t j = 0;; ++j) {
        const double t = static_cast<double>(j) / d.rate;
        const double position = tape * inRate;
        if (position + 1 >= static_cast<double>(clean.size())) break;
        const auto i = static_cast<size_t>(position);
        const double frac = position - static_cast<double>(i);
        double x = ((1 - frac) * clean[i] + frac * clean[i + 1]) / 32768.0;
        const double speed = (d.speed + (endSpeed - d.speed) * tape / seconds) *
                             (1 + d.flutter * std::sin(2 * std::numbers::pi * 5 * t));
        tape += speed / d.rate;
        if (d.lowPass) {
            const double y = b0 * x + b1 * x1 + b2 * x2 - a1 * y1 - a2 * y2;
            x2 = x1;
            x1 = x;
            y2 = y1;
            y1 = y;
            x = y;
        }
        if (d.invert) x = -x;
        if (d.levelSteps) {
            static constexpr double kLevels[] = {1.0, 0.4, 0.7, 0.25};
            x *= kLevels[static_cast<int64_t>(t / 2.3) % 4];
        }
        x += d.noise * amplitude * gauss(random) + d.dc;
        for (double c : clickAt) {
            const double after = tape - c;
            if (after >= 0 && after < 0.003) x += 1.0 * std::exp(-after / 0.0005);
        }
        for (int c = 0; c < d.channels; ++c) {
            double v = x;
            if (c != d.signalChannel) {
                v = 0.5 * std::sin(2 * std::numbers::pi * 700 * t) + 0.05 * gauss(random);
            }
            out.push_back(static_cast<float>(v));
        }
    }
    return out;
}

inline void PutLe(std::string& out, uint64_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) out.push_back(static_cast<char>(value >> (8 * i)));
}

// A RIFF/WAVE file; 24-bit files use the extensible header, as most programs write them.
inline std::string Wave(const std::vector<float>& samples, const Damage& d) {
    const int bytes = d.bits / 8;
    const bool extensible = d.bits == 24;
    std::string body;
    for (float s : samples) {
        const double v = std::fmax(-1.0, std::fmin(1.0, static_cast<double>(s)));
        if (d.isFloat) {
            uint32_t raw;
            const float f = s;
            std::memcpy(&raw, &f, 4);
            PutLe(body, raw, 4);
        } else if (d.bits == 8) {
            body.push_back(static_cast<char>(std::lround(128 + v * 127)));
        } else {
            const double scale = std::ldexp(1.0, d.bits - 1) - 1;
            PutLe(body, static_cast<uint64_t>(std::llround(v * scale)), bytes);
        }
    }
    std::string fmt;
    PutLe(fmt, extensible ? 0xFFFE : d.isFloat ? 3 : 1, 2);
    PutLe(fmt, d.channels, 2);
    PutLe(fmt, d.rate, 4);
    PutLe(fmt, d.rate * d.channels * bytes, 4);
    PutLe(fmt, d.channels * bytes, 2);
    PutLe(fmt, d.bits, 2);
    if (extensible) {
        PutLe(fmt, 22, 2);
        PutLe(fmt, d.bits, 2);
        PutLe(fmt, d.channels == 1 ? 4 : 3, 4);
        PutLe(fmt, 1, 2);  // PCM, then the rest of the GUID
        fmt += std::string("\x00\x00\x00\x00\x10\x00\x80\x00\x00\xAA\x00\x38\x9B\x71", 14);
    }
    std::string out = "RIFF";
    PutLe(out, 4 + 8 + fmt.size() + 12 + 8 + body.size(), 4);
    out += "WAVEfmt ";
    PutLe(out, fmt.size(), 4);
    out += fmt;
    out += "LIST";  // a chunk the reader has to step over
    PutLe(out, 4, 4);
    out += "INFO";
    out += "data";
    PutLe(out, body.size(), 4);
    return out + body;
}

}  // namespace cassette
