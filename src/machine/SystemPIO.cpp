#include "machine/SystemPIO.h"

#include "machine/IfInterrupt.h"

SystemPIO::SystemPIO(ScrollOutput scroll, IfInterrupt* interrupts)
    : scroll_(scroll), interrupts_(interrupts) {
    chip_.SetOnPortAWritten(ChipPIO8255::Notify::Bind<&SystemPIO::OnPortAWritten>(this));
    chip_.SetOnPortBRead(ChipPIO8255::ReadNotify::Bind<&SystemPIO::OnPortBRead>(this));
    chip_.SetOnPortCLowerChanged(
        ChipPIO8255::PortCChange::Bind<&SystemPIO::OnPortCLowerChanged>(this));
    chip_.SetOnPortCUpperChanged(
        ChipPIO8255::PortCChange::Bind<&SystemPIO::OnPortCUpperChanged>(this));
    for (auto& column : keyMatrix_) column.store(0, std::memory_order_relaxed);
}

void SystemPIO::PortWrite(uint8_t port, uint8_t value, int32_t ticks) {
    lastTicks_ = ticks;
    if ((port & 0xFC) == 0xC0) chip_.WritePort(port & 3, value);
}

uint8_t SystemPIO::PortRead(uint8_t port, int32_t ticks) {
    lastTicks_ = ticks;
    if ((port & 0xFC) == 0xC0) return chip_.ReadPort(port & 3, ticks);
    return 0xFF;
}

void SystemPIO::Reset(int32_t ticks) {
    lastTicks_ = ticks;
    chip_.ResetChip(false);
}

SoundLevelOutput SystemPIO::SetSpeakerOutput(SoundLevelOutput output) {
    SoundLevelOutput previous = speaker_;
    speaker_ = output;
    return previous;
}

SystemPIO::ScrollOutput SystemPIO::SetScrollOutput(ScrollOutput output) {
    ScrollOutput previous = scroll_;
    scroll_ = output;
    return previous;
}

void SystemPIO::OnPortAWritten() {
    scroll_(chip_.OutputLevels(ChipPIO8255::kPortA));
}

void SystemPIO::OnPortBRead(int32_t /*ticks*/) {
    const uint8_t column = chip_.OutputLevels(ChipPIO8255::kPortC) & 0x0F;
    // Keys pull their row low.
    const uint8_t pins =
        static_cast<uint8_t>((~KeyMatrix(column) & 0x3F) | (~KeyModifiers() & 0xC0));
    chip_.SetInputs(ChipPIO8255::kPortB, pins);
}

void SystemPIO::OnPortCLowerChanged(uint8_t /*oldValue*/, uint8_t /*newValue*/) {
    uint8_t level = chip_.OutputLevels(ChipPIO8255::kPortC);
    // PC4 cuts the speaker; it is only looked at when the level itself changes.
    if (level & 0x10) level = 0;
    if (speaker_) speaker_(soundchannel::kSpeaker, level & 0x0F, lastTicks_);
}

void SystemPIO::OnPortCUpperChanged(uint8_t /*oldValue*/, uint8_t /*newValue*/) {
    if (interrupts_ == nullptr) return;
    const uint8_t levels = chip_.OutputLevels(ChipPIO8255::kPortC);
    interrupts_->SetPortControls((levels >> 5) & 1, (levels >> 6) & 1);
}

void SystemPIO::SetKeyMatrix(const std::array<uint8_t, 16>& matrix, uint8_t modifiers) {
    for (int column = 0; column < 16; ++column) {
        keyMatrix_[column].store(matrix[column], std::memory_order_relaxed);
    }
    keyModifiers_.store(modifiers, std::memory_order_relaxed);
}
