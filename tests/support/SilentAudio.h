#pragma once

#include "host/audio/SoundDriver.h"

// An audio "device" that never opens: the machine runs silently on its timer, without PortAudio
// probing the host's sound system in every test.
inline SoundDriver::StreamOpener SilentAudio() {
    return [](int, SoundStream::Fill) -> std::unique_ptr<SoundStream> { return nullptr; };
}
