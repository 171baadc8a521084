#pragma once

#include <cstdint>

// One stereo sample as the output device takes it: two signed 16-bit values, left then right.
struct SoundFrame {
    int16_t left = 0;
    int16_t right = 0;

    bool operator==(const SoundFrame&) const = default;
};
