#pragma once

#include <string>
#include <vector>

#include "host/audio/SoundOutputType.h"

struct SoundDeviceInfo {
    int index;  // PortAudio device index (global across host APIs), as stored in the settings
    std::string name;
    bool operator==(const SoundDeviceInfo&) const = default;
};

// Output devices by the stored output type. Needs a live PortAudioSession; without one (or
// without any audio system) every list is empty and every choice -1.
class SoundDevices {
  public:
    // The PortAudio host API index standing for the type, -1 when PortAudio has none.
    static int HostApi(SoundOutputType type);
    // That host API's name as PortAudio gives it ("ALSA"); empty when there is none.
    static std::string HostApiName(SoundOutputType type);
    // The devices of that host API that can play stereo, in PortAudio's order.
    static std::vector<SoundDeviceInfo> List(SoundOutputType type);
    // The host API's default output device when it is in the list, else -1.
    static int DefaultDevice(SoundOutputType type);
    // What the Sound settings page selects for a stored device index: the stored device when it
    // is in the type's list, otherwise the host API's default output device, otherwise -1 (no
    // sound). When this differs from the stored index, the page stores it at once.
    static int Select(SoundOutputType type, int storedIndex);
};
