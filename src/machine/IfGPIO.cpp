#include "machine/IfGPIO.h"

#include "machine/ChipCpu8080.h"

namespace {
// Port B pins wired back from port C: PB2, PB3, PB5, PB6, PB7 from the PC lines of the same number.
constexpr uint8_t kLoopedBackFromC = 0xEC;
}  // namespace

IfGPIO::IfGPIO(ChipCpu8080* cpu) : cpu_(cpu) {
    chip_.SetOnPortCChanged(ChipPIO8255::PortCChange::Bind<&IfGPIO::OnPortCChanged>(this));
    chip_.SetOnPortBRead(ChipPIO8255::ReadNotify::Bind<&IfGPIO::OnPortBRead>(this));
}

void IfGPIO::PortWrite(uint8_t port, uint8_t value, int32_t ticks) {
    lastTicks_ = ticks;
    if ((port & 0xFC) == 0xC4) chip_.WritePort(port & 3, value);
}

uint8_t IfGPIO::PortRead(uint8_t port, int32_t ticks) {
    lastTicks_ = ticks;
    switch (port) {
        case 0xC4: {
            uint8_t value = chip_.ReadPort(ChipPIO8255::kPortA, ticks);
            return invertA_ ? static_cast<uint8_t>(~value) : value;
        }
        case 0xC5: return chip_.ReadPort(ChipPIO8255::kPortB, ticks);
        case 0xC6: return chip_.ReadPort(ChipPIO8255::kPortC, ticks);
        case 0xC7: return 0x00;  // the control register is not readable on this board
        default: return 0xFF;
    }
}

void IfGPIO::Reset(int32_t ticks) {
    lastTicks_ = ticks;
    chip_.ResetChip(false);
    invertA_ = false;
    chip_.SetInputs(ChipPIO8255::kPortB, 0x00);
}

void IfGPIO::OnPortCChanged(uint8_t /*oldValue*/, uint8_t /*newValue*/) {
    const uint8_t levels = chip_.OutputLevels(ChipPIO8255::kPortC);
    invertA_ = (levels & 0x10) != 0;
    const uint8_t pinsB = chip_.GetState().PinsB;
    chip_.SetInputs(ChipPIO8255::kPortB, static_cast<uint8_t>((pinsB & ~kLoopedBackFromC) |
                                                              (levels & kLoopedBackFromC)));
}

void IfGPIO::OnPortBRead(int32_t /*ticks*/) {
    uint8_t pins = chip_.GetState().PinsB & static_cast<uint8_t>(~0x13);
    if (inteOnPB0_ && cpu_ != nullptr && cpu_->Inte) pins |= 0x01;
    chip_.SetInputs(ChipPIO8255::kPortB, pins);
}
