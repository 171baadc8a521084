// The audio library's own cost at normal speed: the stream the emulator opens (the default
// output, 2 channels of 16-bit samples at 44,100 Hz in buffers of 880 frames, its low latency
// and real-time callback thread), fed silence, for the given seconds. What the emulator costs
// the host above this program's processor time is the emulator's own.
#include <pa_linux_alsa.h>
#include <portaudio.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

namespace {

int Silence(const void*, void* output, unsigned long frames, const PaStreamCallbackTimeInfo*,
            PaStreamCallbackFlags, void*) {
    std::memset(output, 0, frames * 2 * sizeof(int16_t));
    return paContinue;
}

}  // namespace

int main(int argc, char** argv) {
    const double seconds = argc > 1 ? std::atof(argv[1]) : 30.0;
    if (Pa_Initialize() != paNoError) return 2;
    PaStreamParameters output{};
    output.device = Pa_GetDefaultOutputDevice();
    const PaDeviceInfo* info = output.device >= 0 ? Pa_GetDeviceInfo(output.device) : nullptr;
    if (info == nullptr) return 2;
    output.channelCount = 2;
    output.sampleFormat = paInt16;
    output.suggestedLatency = info->defaultLowOutputLatency;
    PaStream* stream = nullptr;
    if (Pa_OpenStream(&stream, nullptr, &output, 44100, 880, paClipOff | paDitherOff, &Silence,
                      nullptr) != paNoError) {
        return 2;
    }
    const PaHostApiInfo* api = Pa_GetHostApiInfo(info->hostApi);
    if (api != nullptr && api->type == paALSA) PaAlsa_EnableRealtimeScheduling(stream, 1);
    if (Pa_StartStream(stream) != paNoError) return 2;
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
    Pa_AbortStream(stream);
    Pa_CloseStream(stream);
    Pa_Terminate();
    std::printf("portaudio-floor: %s, %.0f s\n", info->name, seconds);
    return 0;
}
