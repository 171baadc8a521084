#include "machine/Muse.h"

#include <algorithm>
#include <array>

#include "machine/IfGPIO.h"

namespace {
constexpr uint8_t kStrobes = 0x09, kNotReset = 0x02, kDataSelect = 0x04, kJoystickOwnsA = 0x10;
}

Muse::Muse(IfGPIO* port) : port_(port), saa_(newSAASND()) {
    SAASNDSetSoundParameters(saa_, saaparam::kMuse);
    if (port_ == nullptr) return;
    ChipPIO8255& chip = port_->Chip();
    previousPortA_ = chip.SetOnPortAWritten(ChipPIO8255::Notify::Bind<&Muse::OnPortAWritten>(this));
    previousPortC_ =
        chip.SetOnPortCChanged(ChipPIO8255::PortCChange::Bind<&Muse::OnPortCChanged>(this));
}

Muse::~Muse() {
    if (port_ != nullptr) {
        ChipPIO8255& chip = port_->Chip();
        chip.SetOnPortAWritten(previousPortA_);
        chip.SetOnPortCChanged(previousPortC_);
    }
    deleteSAASND(saa_);
}

bool Muse::PortOwnedByJoystick() const {
    return (port_->OutputLevels(ChipPIO8255::kPortC) & kJoystickOwnsA) != 0;
}

void Muse::OnPortAWritten() {
    previousPortA_();
    if (PortOwnedByJoystick()) return;
    latchedData_ = static_cast<uint8_t>(~port_->OutputLevels(ChipPIO8255::kPortA));
}

void Muse::OnPortCChanged(uint8_t oldValue, uint8_t newValue) {
    previousPortC_(oldValue, newValue);
    if (port_ == nullptr || PortOwnedByJoystick()) return;
    const uint8_t control = port_->OutputLevels(ChipPIO8255::kPortC);
    if (control == lastControl_) return;
    lastControl_ = control;
    if ((control & kNotReset) == 0) {
        for (uint8_t r = 0; r < 32; ++r) {
            SAASNDWriteAddress(saa_, r);
            SAASNDWriteData(saa_, 0);
        }
        return;
    }
    if ((control & kStrobes) != kStrobes) return;
    if (control & kDataSelect) {
        SAASNDWriteData(saa_, latchedData_);
    } else {
        SAASNDWriteAddress(saa_, latchedData_);
    }
}

void Muse::Generate(int16_t* block, int frames) {
    constexpr int kChunkFrames = 880;  // one audio block
    std::array<uint8_t, 4 * kChunkFrames> bytes;
    while (frames > 0) {
        const int count = std::min(frames, kChunkFrames);
        SAASNDGenerateMany(saa_, bytes.data(), static_cast<unsigned long>(count));
        for (int i = 0; i < count * 2; ++i) {
            block[i] = static_cast<int16_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8));
        }
        block += count * 2;
        frames -= count;
    }
}
