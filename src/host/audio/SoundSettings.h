#pragma once

#include "host/audio/SoundDevices.h"

// The Sound section of the configuration as the sound system applies it.
struct SoundSettings {
    SoundOutputType outType = SoundOutputType::WaveOut;
    int deviceIndex = -1;  // PortAudio device index; negative: no sound at all
    int volumeSpeaker = 90;
    int volumeTape = 50;
    int volumeMuse = 50;
    bool muse = false;  // the Muse board is fitted
    bool mute = false;
};
