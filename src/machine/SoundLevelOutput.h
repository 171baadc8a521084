#pragma once

#include <cstdint>

#include "machine/Closure.h"

// Where a source of audio level changes sends them: the sound driver's SetLevel(channel, level
// 0-15, tick stamp inside the emulation period).
using SoundLevelOutput = Closure<void(int channel, int level, int32_t tick)>;

namespace soundchannel {
inline constexpr int kSpeaker = 0, kTape = 1, kMuse = 2;
}
