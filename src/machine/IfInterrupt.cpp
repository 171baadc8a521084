#include "machine/IfInterrupt.h"

#include "machine/ChipCpu8080.h"

IfInterrupt::IfInterrupt() {
    chip_.SetEnableGroup(1);
}

void IfInterrupt::DriveGated(int line, uint8_t input, uint8_t enable) {
    chip_.SetRequest(line, input && enable);
}

void IfInterrupt::PortWrite(uint8_t port, uint8_t value, int32_t /*ticks*/) {
    if ((port & 0xFC) != 0xD4) return;
    s_.LastWritten = value;
    // The status lines are wired inverted; bit 3 is SGS.
    chip_.WriteStatus(static_cast<uint8_t>(~value & 7), (value >> 3) & 1);
    s_.EnableLine0 = (value >> 7) & 1;
    s_.EnableLine1 = (value >> 6) & 1;
    s_.EnableLine3 = (value >> 5) & 1;
    s_.EnableLine5 = (value >> 4) & 1;
    DriveGated(0, s_.InputLine0, s_.EnableLine0);
    DriveGated(1, s_.InputLine1, s_.EnableLine1);
    DriveGated(3, s_.InputLine3, s_.EnableLine3);
    DriveGated(5, s_.InputLine5, s_.EnableLine5);
}

uint8_t IfInterrupt::PortRead(uint8_t /*port*/, int32_t /*ticks*/) {
    return 0xFF;
}

uint8_t IfInterrupt::InterruptInstruction(int /*index*/) {
    return static_cast<uint8_t>(0xC7 | chip_.Vector() << 3);
}

void IfInterrupt::SetInteInput(bool state) {
    chip_.SetInteInput(state ? 1 : 0);
}

void IfInterrupt::SetSourceLine(int line, uint8_t level) {
    level = level ? 1 : 0;
    switch (line) {
        case 0:
            s_.InputLine0 = level;
            DriveGated(0, level, s_.EnableLine0);
            break;
        case 1:
            s_.InputLine1 = level;
            DriveGated(1, level, s_.EnableLine1);
            break;
        case 2: chip_.SetRequest(2, level); break;
        case 3:
            s_.InputLine3 = level;
            DriveGated(3, level, s_.EnableLine3);
            break;
        case 5:
            s_.InputLine5 = level;
            DriveGated(5, level, s_.EnableLine5);
            break;
        case 4:
        case 6:
        case 7: {
            const uint8_t control = line == 6 ? s_.ControlPC6 : s_.ControlPC5;
            const uint8_t request = level && control;
            chip_.SetRequest(line, request);
            if (request) (line == 4 ? s_.Latched4 : line == 6 ? s_.Latched6 : s_.Latched7) = 1;
            break;
        }
        default: break;
    }
}

void IfInterrupt::SetPortControls(uint8_t pc5, uint8_t pc6) {
    s_.ControlPC5 = pc5 ? 1 : 0;
    if (!s_.ControlPC5) {
        if (s_.Latched7) chip_.SetRequest(7, 0);
        if (s_.Latched4) chip_.SetRequest(4, 0);
        s_.Latched7 = s_.Latched4 = 0;
    }
    s_.ControlPC6 = pc6 ? 1 : 0;
    if (!s_.ControlPC6) {
        if (s_.Latched6) chip_.SetRequest(6, 0);
        s_.Latched6 = 0;
    }
}

// Nothing else moves the unit's inputs between the ticks of one instruction, so after the first
// evaluation the rest of them can only repeat it, except that an INT just issued has set the
// disable flip-flop and the next sample finds the output low again.
void IfInterrupt::OnTick(int32_t /*periodTicks*/, int32_t ticks) {
    if (ticks <= 0) return;
    if (!chip_.Evaluate()) return;
    if (Cpu() != nullptr) Cpu()->AcceptInterrupt();
    if (ticks > 1) chip_.Evaluate();
}
