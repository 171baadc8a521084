#pragma once

#include <memory>

#include "host/audio/SoundStream.h"

typedef void PaStream;

// The driver's output stream on a PortAudio device: 2 channels of 16-bit samples at 44,100 Hz,
// 880 frames per buffer (ten emulation periods), no clipping or dithering, the device's low
// latency. Needs a live PortAudioSession.
class PortAudioStream : public SoundStream {
  public:
    static constexpr double kSampleRate = 44100.0;
    static constexpr unsigned long kFramesPerBuffer = 880;

    // Opens the stream stopped; null when the device index has no device or the device refuses.
    static std::unique_ptr<SoundStream> Open(int deviceIndex, Fill fill);

    ~PortAudioStream() override;

    bool Start() override;
    bool Stop() override;
    void Abort() override;
    bool IsActive() const override;
    bool IsStopped() const override;

  private:
    explicit PortAudioStream(Fill fill) : fill_(fill) {}

    static int Callback(const void* input, void* output, unsigned long frames,
                        const struct PaStreamCallbackTimeInfo* time, unsigned long flags,
                        void* user);

    Fill fill_;
    PaStream* stream_ = nullptr;
};
