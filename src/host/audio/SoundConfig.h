#pragma once

// The Sound section of the configuration, read and normalised through the configuration layer.

#include "host/audio/SoundSettings.h"
#include "host/config/Settings.h"

namespace soundconfig {

// Every value of the Sound section, with the keys' defaults and range rules.
SoundSettings Read(const config::Settings& settings);

// What the Sound settings page does when it loads, at start-up too: keeps the stored device when
// the stored output type lists it, else takes that host API's default output device (or -1, no
// sound), and stores the choice at once when it differs. So a fresh installation is heard
// without touching a setting. Needs a live PortAudioSession; returns the device index.
int SelectDevice(config::Settings& settings);

}  // namespace soundconfig
