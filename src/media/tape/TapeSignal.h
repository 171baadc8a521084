#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "media/tape/AudioFile.h"

// The tape signal as sound: what the tape interface plays for a record (leader, blocks, gaps,
// trailer, a half-period of 833 ticks of the 2 MHz clock), recorded the way a cassette
// recorder would, for feeding a real machine's tape input.
namespace tape {

inline constexpr int kSignalSampleRate = 44100;
inline constexpr int kSignalClock = 2000000;      // processor ticks per second
inline constexpr int kSignalAmplitude = 24000;    // of the 16-bit samples
inline constexpr double kSignalPauseSeconds = 1;  // of silence between two records

// The samples of the records played one after the other, each as the tape interface plays the
// bytes of a data record (both copies of every block, as stored). `speed` above 1 plays the tape
// faster (a higher bit rate), below 1 slower, as a recorder off its nominal speed would.
inline constexpr double kMinSignalSpeed = 0.5, kMaxSignalSpeed = 2.0;
std::vector<int16_t> PlaySignal(const std::vector<std::vector<uint8_t>>& records,
                                double speed = 1.0);

// The samples as a WAV or FLAC file of 16-bit mono at kSignalSampleRate; empty (with `error`
// set) when it cannot be made.
std::string SignalFile(const std::vector<int16_t>& samples,
                       AudioContainer container = AudioContainer::Wav,
                       std::string* error = nullptr);

}  // namespace tape
