#include "host/audio/SoundConfig.h"

#include "host/audio/SoundDevices.h"

namespace soundconfig {

SoundSettings Read(const config::Settings& settings) {
    SoundSettings s;
    s.outType = settings.Get(config::keys::kSoundOutType);
    s.deviceIndex = settings.Get(config::keys::kSoundDeviceIndex);
    s.volumeSpeaker = settings.Get(config::keys::kVolumeSpeaker);
    s.volumeTape = settings.Get(config::keys::kVolumeTape);
    s.volumeMuse = settings.Get(config::keys::kVolumeMuse);
    s.muse = settings.Get(config::keys::kMuse);
    s.mute = settings.Get(config::keys::kMute);
    return s;
}

int SelectDevice(config::Settings& settings) {
    const int stored = settings.Get(config::keys::kSoundDeviceIndex);
    const int selected = SoundDevices::Select(settings.Get(config::keys::kSoundOutType), stored);
    if (selected != stored) settings.Set(config::keys::kSoundDeviceIndex, selected);
    return selected;
}

}  // namespace soundconfig
