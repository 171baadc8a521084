#pragma once

#include "host/audio/SoundOutputType.h"
#include "host/config/ConfigKeys.h"

// The Sound section of the configuration as the sound system applies it; unread, each value is
// its key's default.
struct SoundSettings {
    SoundOutputType outType = config::keys::kSoundOutType.fallback;
    // PortAudio device index; negative: no sound at all
    int deviceIndex = config::keys::kSoundDeviceIndex.fallback;
    int volumeSpeaker = config::keys::kVolumeSpeaker.fallback;
    int volumeTape = config::keys::kVolumeTape.fallback;
    int volumeMuse = config::keys::kVolumeMuse.fallback;
    bool muse = config::keys::kMuse.fallback;  // the Muse board is fitted
    bool mute = config::keys::kMute.fallback;
};
