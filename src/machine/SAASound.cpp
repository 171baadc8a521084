#include "machine/SAASound.h"

#include <algorithm>
#include <array>

#include "machine/ChipSAA1099.h"

SAASND newSAASND() {
    return new ChipSAA1099();
}

bool SAASNDSetSoundParameters(SAASND handle, unsigned flags) {
    if (handle == nullptr) return false;
    const unsigned filter = flags & saaparam::kFilterMask;
    if (filter != 0 && filter != saaparam::kNoFilter) return false;
    if ((flags & saaparam::kBitsMask) != saaparam::k16Bit) return false;
    if ((flags & saaparam::kChannelsMask) != saaparam::kStereo) return false;
    switch (flags & saaparam::kRateMask) {
        case saaparam::k44100: return handle->SetSampleRate(44100);
        case saaparam::k22050: return handle->SetSampleRate(22050);
        case saaparam::k11025: return handle->SetSampleRate(11025);
        default: return false;
    }
}

void SAASNDWriteAddress(SAASND handle, uint8_t address) {
    if (handle != nullptr) handle->WriteAddress(address);
}

void SAASNDWriteData(SAASND handle, uint8_t value) {
    if (handle != nullptr) handle->WriteData(value);
}

void SAASNDGenerateMany(SAASND handle, uint8_t* buffer, unsigned long frames) {
    if (handle == nullptr || buffer == nullptr) return;
    constexpr unsigned long kChunk = 256;
    std::array<int16_t, kChunk * 2> samples;
    while (frames > 0) {
        const unsigned long count = std::min(frames, kChunk);
        handle->Generate(samples.data(), static_cast<int>(count));
        for (unsigned long i = 0; i < count * 2; ++i) {
            const auto sample = static_cast<uint16_t>(samples[i]);
            *buffer++ = static_cast<uint8_t>(sample & 0xFF);
            *buffer++ = static_cast<uint8_t>(sample >> 8);
        }
        frames -= count;
    }
}

void deleteSAASND(SAASND handle) {
    delete handle;
}
