#include "host/audio/SoundDevices.h"

#include <portaudio.h>

#include <algorithm>
#include <initializer_list>

namespace {

bool HasStereoOutput(int deviceIndex) {
    const PaDeviceInfo* info = Pa_GetDeviceInfo(deviceIndex);
    return info != nullptr && info->maxOutputChannels >= 2;
}

bool HasOutputDevice(PaHostApiIndex api) {
    const PaHostApiInfo* info = Pa_GetHostApiInfo(api);
    if (info == nullptr) return false;
    for (int i = 0; i < info->deviceCount; ++i) {
        if (HasStereoOutput(Pa_HostApiDeviceIndexToDeviceIndex(api, i))) return true;
    }
    return false;
}

}  // namespace

int SoundDevices::HostApi(SoundOutputType type) {
    if (Pa_GetHostApiCount() <= 0) return -1;
    if (type == SoundOutputType::DSound) {
        for (PaHostApiTypeId id : {paJACK, paOSS}) {
            const PaHostApiIndex api = Pa_HostApiTypeIdToHostApiIndex(id);
            if (api >= 0 && HasOutputDevice(api)) return api;
        }
    }
    const PaHostApiIndex alsa = Pa_HostApiTypeIdToHostApiIndex(paALSA);
    return alsa >= 0 ? alsa : -1;
}

std::string SoundDevices::HostApiName(SoundOutputType type) {
    const int api = HostApi(type);
    const PaHostApiInfo* info = api >= 0 ? Pa_GetHostApiInfo(api) : nullptr;
    return info != nullptr && info->name != nullptr ? info->name : "";
}

std::vector<SoundDeviceInfo> SoundDevices::List(SoundOutputType type) {
    std::vector<SoundDeviceInfo> devices;
    const int api = HostApi(type);
    const PaHostApiInfo* info = api >= 0 ? Pa_GetHostApiInfo(api) : nullptr;
    if (info == nullptr) return devices;
    for (int i = 0; i < info->deviceCount; ++i) {
        const PaDeviceIndex index = Pa_HostApiDeviceIndexToDeviceIndex(api, i);
        // Input-only devices would fail to open as outputs: offering them means silence.
        if (!HasStereoOutput(index)) continue;
        devices.push_back({index, Pa_GetDeviceInfo(index)->name});
    }
    return devices;
}

int SoundDevices::DefaultDevice(SoundOutputType type) {
    const int api = HostApi(type);
    const PaHostApiInfo* info = api >= 0 ? Pa_GetHostApiInfo(api) : nullptr;
    if (info == nullptr || info->defaultOutputDevice == paNoDevice) return -1;
    return HasStereoOutput(info->defaultOutputDevice) ? info->defaultOutputDevice : -1;
}

int SoundDevices::Select(SoundOutputType type, int storedIndex) {
    const std::vector<SoundDeviceInfo> devices = List(type);
    auto listed = [&devices](int index) {
        return std::any_of(devices.begin(), devices.end(),
                           [index](const SoundDeviceInfo& d) { return d.index == index; });
    };
    if (storedIndex >= 0 && listed(storedIndex)) return storedIndex;
    const int fallback = DefaultDevice(type);
    return listed(fallback) ? fallback : -1;
}
