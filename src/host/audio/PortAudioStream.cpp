#include "host/audio/PortAudioStream.h"

#include <pa_linux_alsa.h>
#include <portaudio.h>

std::unique_ptr<SoundStream> PortAudioStream::Open(int deviceIndex, Fill fill) {
    if (deviceIndex < 0 || deviceIndex >= Pa_GetDeviceCount()) return nullptr;
    const PaDeviceInfo* info = Pa_GetDeviceInfo(deviceIndex);
    if (info == nullptr) return nullptr;

    PaStreamParameters output{};
    output.device = deviceIndex;
    output.channelCount = 2;
    output.sampleFormat = paInt16;
    output.suggestedLatency = info->defaultLowOutputLatency;
    output.hostApiSpecificStreamInfo = nullptr;

    std::unique_ptr<PortAudioStream> stream(new PortAudioStream(fill));
    PaError error =
        Pa_OpenStream(&stream->stream_, nullptr, &output, kSampleRate, kFramesPerBuffer,
                      paClipOff | paDitherOff, &PortAudioStream::Callback, stream.get());
    if (error != paNoError) {
        stream->stream_ = nullptr;
        return nullptr;
    }
    // The device thread must not wait behind the emulation or a busy desktop: a late callback is
    // a gap in the sound. Windows hosts run it at time-critical priority; on ALSA that is a
    // real-time thread where the system allows one (otherwise it stays an ordinary thread).
    const PaHostApiInfo* api = Pa_GetHostApiInfo(info->hostApi);
    if (api != nullptr && api->type == paALSA) PaAlsa_EnableRealtimeScheduling(stream->stream_, 1);
    return stream;
}

PortAudioStream::~PortAudioStream() {
    if (stream_ != nullptr) {
        Pa_AbortStream(stream_);
        Pa_CloseStream(stream_);
    }
}

int PortAudioStream::Callback(const void* /*input*/, void* output, unsigned long frames,
                              const PaStreamCallbackTimeInfo* /*time*/,
                              PaStreamCallbackFlags /*flags*/, void* user) {
    if (user != nullptr && output != nullptr && frames != 0) {
        static_cast<PortAudioStream*>(user)->fill_(static_cast<SoundFrame*>(output), frames);
    }
    return paContinue;
}

bool PortAudioStream::Start() {
    return Pa_StartStream(stream_) == paNoError;
}

bool PortAudioStream::Stop() {
    return Pa_StopStream(stream_) == paNoError;
}

void PortAudioStream::Abort() {
    Pa_AbortStream(stream_);
}

bool PortAudioStream::IsActive() const {
    return Pa_IsStreamActive(stream_) == 1;
}

bool PortAudioStream::IsStopped() const {
    return Pa_IsStreamStopped(stream_) == 1;
}
