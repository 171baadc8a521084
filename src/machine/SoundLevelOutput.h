#pragma once

#include <cstdint>

#include "machine/Closure.h"

// Where a source of audio level changes sends them: the sound driver's SetLevel(channel, level
// 0-15, tick stamp inside the emulation period).
using SoundLevelOutput = Closure<void(int channel, int level, int32_t tick)>;

// A source of ready-made stereo samples the sound driver mixes in (the Muse board's generator):
// fills `frames` interleaved left/right 16-bit frames.
using SoundGenerator = Closure<void(int16_t* block, int frames)>;

namespace soundchannel {
inline constexpr int kSpeaker = 0, kTape = 1, kMuse = 2;
}
