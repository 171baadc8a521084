#pragma once

#include "host/audio/SoundFrame.h"
#include "machine/Closure.h"

// An audio output stream as the sound driver uses it: opened stopped, started once the ring is
// primed, stopped (played out) on pause, aborted on teardown. While it runs, the device pulls
// frames through the fill callback on a thread of its own.
class SoundStream {
  public:
    // Fill(output, frames): write `frames` frames into output.
    using Fill = Closure<void(SoundFrame* output, unsigned long frames)>;

    virtual ~SoundStream() = default;

    virtual bool Start() = 0;
    // Returns once the device has played what it holds.
    virtual bool Stop() = 0;
    // Returns at once, dropping what the device holds; no fill call runs after it returns.
    virtual void Abort() = 0;
    virtual bool IsActive() const = 0;
    virtual bool IsStopped() const = 0;
};
