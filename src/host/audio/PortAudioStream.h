#pragma once

#include <memory>

#include "host/audio/SoundStream.h"

typedef void PaStream;

// The driver's output stream on a PortAudio device: 2 channels of 16-bit samples at 44,100 Hz,
// 1760 frames per buffer (twenty emulation periods, 40 ms), no clipping or dithering, the device's
// low latency (on ALSA two such buffers). Every buffer costs the host a round of wake-ups in the
// audio threads (through PulseAudio's ALSA plugin some twenty system calls on two threads), so
// at normal speed their number is most of the process's load: 40 ms buffers take half the 20 ms
// ones' share; the sound ring is 20 ms shorter in exchange. Needs a live PortAudioSession.
class PortAudioStream : public SoundStream {
  public:
    static constexpr double kSampleRate = 44100.0;
    static constexpr unsigned long kFramesPerBuffer = 1760;

    // Opens the stream stopped; null when the device index has no device or the device refuses.
    static std::unique_ptr<SoundStream> Open(int deviceIndex, Fill fill);

    ~PortAudioStream() override;

    bool Start() override;
    bool Stop() override;
    void Abort() override;
    bool IsActive() const override;
    bool IsStopped() const override;
    // A PulseAudio or PipeWire stream (and ALSA's plugin for them) fills its own buffer of two
    // device buffers and takes a third before it starts playing; a hardware device takes two,
    // and then hears a buffer's length more of the priming frame, which at a start is no gap.
    unsigned long StartFrames() const override { return 3 * kFramesPerBuffer; }

  private:
    explicit PortAudioStream(Fill fill) : fill_(fill) {}

    static int Callback(const void* input, void* output, unsigned long frames,
                        const struct PaStreamCallbackTimeInfo* time, unsigned long flags,
                        void* user);

    Fill fill_;
    PaStream* stream_ = nullptr;
};
