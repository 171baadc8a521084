#include "machine/ChipPIO8255.h"

namespace {

bool Falling(uint8_t before, uint8_t after, uint8_t mask) {
    return (before & mask) != 0 && (after & mask) == 0;
}

bool Rising(uint8_t before, uint8_t after, uint8_t mask) {
    return (before & mask) == 0 && (after & mask) != 0;
}

uint8_t Bit(bool on, uint8_t mask) {
    return on ? mask : 0;
}

}  // namespace

void ChipPIO8255::ResetChip(bool clearCallbacks) {
    if (clearCallbacks) {
        onPortAWritten_ = onPortBWritten_ = {};
        onPortCChanged_ = onPortCUpperChanged_ = onPortCLowerChanged_ = {};
        onPortARead_ = onPortBRead_ = onPortCRead_ = onPortCUpperRead_ = onPortCLowerRead_ = {};
        onModeSet_ = {};
    }
    // The chip's RESET input leaves every port an input in mode 0.
    SetMode(0x9B);
    s_.LatchInA = s_.LatchInB = 0;
}

void ChipPIO8255::SetMode(uint8_t value) {
    // Group A mode bits 11 select mode 2 as 10 does.
    if ((value & 0x60) == 0x60) value = static_cast<uint8_t>(value & ~0x20);
    s_.Mode = value;
    s_.PinsA = 0xFF;
    s_.OutA = 0;
    s_.PinsB = 0xFF;
    if (GroupBMode1()) s_.LatchInB = 0;
    s_.OutB = 0;
    s_.PinsC = 0;
    if (!GroupBMode1()) s_.PinsC |= 0x07;
    if (GroupAMode() == 0) s_.PinsC |= 0xF8;
    s_.OutC = 0;
    if (GroupBMode1()) s_.OutC |= kBufferB;  // /OBF B inactive
    if (GroupAMode() != 0) s_.OutC |= kObfA;
    s_.InteA1 = s_.InteA2 = s_.InteB = 0;
    onModeSet_(s_.Mode);
    NotifyPortC(static_cast<uint8_t>(~s_.OutC), s_.OutC);
}

void ChipPIO8255::SetOutCBit(uint8_t mask, bool on) {
    s_.OutC = on ? static_cast<uint8_t>(s_.OutC | mask) : static_cast<uint8_t>(s_.OutC & ~mask);
}

void ChipPIO8255::BitSetReset(uint8_t value) {
    const int n = (value >> 1) & 7;
    const bool on = (value & 1) != 0;
    const uint8_t old = s_.OutC;
    if ((n == 4 && GroupAHasInputSide()) || (n == 6 && GroupAHasOutputSide())) {
        (n == 4 ? s_.InteA1 : s_.InteA2) = on;
        bool intr = (s_.InteA1 && (s_.PinsC & kStrobeA) && (s_.OutC & kIbfA)) ||
                    (s_.InteA2 && (s_.PinsC & kAckA) && (s_.OutC & kObfA));
        SetOutCBit(kIntrA, intr);
    } else if (n == 2 && GroupBMode1()) {
        s_.InteB = on;
        SetOutCBit(kIntrB, s_.InteB && (s_.PinsC & kStrobeB) && (s_.OutC & kBufferB));
    } else {
        bool writable;
        if (n <= 2) {
            writable = LowerCOutputMode0();
        } else if (n == 3) {
            writable = UpperCOutputMode0() || (LowerCOutputMode0() && UpperCInput());
        } else {
            writable = UpperCOutputMode0();
        }
        if (writable) SetOutCBit(static_cast<uint8_t>(1 << n), on);
    }
    NotifyPortC(old, s_.OutC);
}

void ChipPIO8255::NotifyPortC(uint8_t oldValue, uint8_t newValue) {
    if (oldValue == newValue) return;
    if (onPortCChanged_) {
        onPortCChanged_(oldValue, newValue);
        return;
    }
    if ((oldValue ^ newValue) & 0xF0) onPortCUpperChanged_(oldValue, newValue);
    if ((oldValue ^ newValue) & 0x0F) onPortCLowerChanged_(oldValue, newValue);
}

void ChipPIO8255::WritePort(int index, uint8_t value) {
    const uint8_t old = s_.OutC;
    switch (index & 3) {
        case kPortA:
            s_.OutA = value;
            if (GroupAMode() == 0) {
                onPortAWritten_();
            } else {
                s_.OutC &= static_cast<uint8_t>(~(kObfA | kIntrA));  // /OBF A active
                NotifyPortC(old, s_.OutC);
            }
            break;
        case kPortB:
            s_.OutB = value;
            if (!GroupBMode1()) {
                onPortBWritten_();
            } else {
                s_.OutC &= static_cast<uint8_t>(~(kBufferB | kIntrB));
                NotifyPortC(old, s_.OutC);
            }
            break;
        case kPortC: {
            uint8_t mask = static_cast<uint8_t>(Bit(LowerCOutputMode0(), 0x0F) |
                                                Bit(UpperCOutputMode0(), 0xF0));
            s_.OutC = static_cast<uint8_t>((s_.OutC & ~mask) | (value & mask));
            NotifyPortC(old, s_.OutC);
            break;
        }
        default:
            if (value & 0x80) {
                SetMode(value);
            } else {
                BitSetReset(value);
            }
            break;
    }
}

uint8_t ChipPIO8255::ReadPort(int index, int32_t ticks) {
    const uint8_t old = s_.OutC;
    switch (index & 3) {
        case kPortA:
            if (GroupAMode() == 0) {
                if (!PortAInput()) return static_cast<uint8_t>(s_.OutA & s_.PinsA);
                onPortARead_(ticks);
                return s_.PinsA;
            }
            if (GroupAMode() == 1 && !PortAInput()) return s_.OutA;
            s_.OutC &= static_cast<uint8_t>(~(kIbfA | kIntrA));
            NotifyPortC(old, s_.OutC);
            return s_.LatchInA;
        case kPortB:
            if (!PortBInput()) return s_.OutB;
            if (!GroupBMode1()) {
                onPortBRead_(ticks);
                return s_.PinsB;
            }
            s_.OutC &= static_cast<uint8_t>(~(kBufferB | kIntrB));
            NotifyPortC(old, s_.OutC);
            return s_.LatchInB;
        case kPortC: return ReadPortC(ticks);
        default: return s_.Mode;
    }
}

uint8_t ChipPIO8255::ReadPortC(int32_t ticks) {
    const bool lowerIn = !GroupBMode1() && LowerCInput();
    const bool upperIn = GroupAMode() == 0 && UpperCInput();
    if (onPortCUpperRead_ || onPortCLowerRead_) {
        if (upperIn) onPortCUpperRead_(ticks);
        if (lowerIn) onPortCLowerRead_(ticks);
    } else if (upperIn || lowerIn) {
        onPortCRead_(ticks);
    }

    uint8_t r = 0;
    if (!GroupBMode1()) r |= (LowerCInput() ? s_.PinsC : s_.OutC) & 0x0F;
    if (GroupAMode() == 0) r |= (UpperCInput() ? s_.PinsC : s_.OutC) & 0xF0;
    if (GroupBMode1()) {
        r = static_cast<uint8_t>((r & 0xF0) | (s_.OutC & (kIntrB | kBufferB)) |
                                 Bit(s_.InteB, 0x04));
        if (GroupAMode() == 0) r |= (UpperCInput() ? s_.PinsC : s_.OutC) & 0x08;
    }
    const uint8_t intrA = s_.OutC & kIntrA;
    if (GroupAMode() == 1 && PortAInput()) {
        r = static_cast<uint8_t>((r & 0x07) | intrA | Bit(s_.InteA1, 0x10) | (s_.OutC & kIbfA));
    } else if (GroupAMode() == 1) {
        r = static_cast<uint8_t>((r & 0x07) | intrA | Bit(s_.InteA2, 0x40) | (s_.OutC & kObfA));
    } else if (GroupAMode() == 2) {
        r = static_cast<uint8_t>((r & 0x07) | intrA | Bit(s_.InteA1, 0x10) | (s_.OutC & kIbfA) |
                                 Bit(s_.InteA2, 0x40) | (s_.OutC & kObfA));
    }
    return r;
}

void ChipPIO8255::SetInputs(int port, uint8_t value) {
    switch (port) {
        case kPortA: s_.PinsA = value; break;
        case kPortB: s_.PinsB = value; break;
        case kPortC: SetPortCPins(value); break;
        default: break;
    }
}

void ChipPIO8255::SetPortCPins(uint8_t value) {
    const uint8_t before = s_.PinsC;
    const uint8_t old = s_.OutC;
    if (GroupBMode1()) {
        // PC2 is /STB B on an input port, /ACK B on an output port; PC1 is IBF B or /OBF B.
        if (Falling(before, value, kStrobeB)) {
            if (PortBInput()) s_.LatchInB = s_.PinsB;
            s_.OutC = static_cast<uint8_t>((s_.OutC | kBufferB) & ~kIntrB);
        } else if (Rising(before, value, kStrobeB)) {
            SetOutCBit(kIntrB, s_.InteB && (s_.OutC & kBufferB));
        }
    }
    if (GroupAHasInputSide()) {
        if (Falling(before, value, kStrobeA)) {
            s_.LatchInA = s_.PinsA;
            s_.OutC = static_cast<uint8_t>((s_.OutC | kIbfA) & ~kIntrA);
        } else if (Rising(before, value, kStrobeA)) {
            SetOutCBit(kIntrA, s_.InteA1 && (s_.OutC & kIbfA));
        }
    }
    if (GroupAHasOutputSide()) {
        if (Falling(before, value, kAckA)) {
            s_.OutC = static_cast<uint8_t>((s_.OutC | kObfA) & ~kIntrA);
        } else if (Rising(before, value, kAckA)) {
            SetOutCBit(kIntrA, s_.InteA2 && (s_.OutC & kObfA));
        }
    }
    s_.PinsC = value;
    NotifyPortC(old, s_.OutC);
}

void ChipPIO8255::SetInputPin(int port, int bit, uint8_t level) {
    const uint8_t mask = static_cast<uint8_t>(1 << (bit & 7));
    auto with = [mask, level](uint8_t pins) {
        return level ? static_cast<uint8_t>(pins | mask) : static_cast<uint8_t>(pins & ~mask);
    };
    switch (port) {
        case kPortA: s_.PinsA = with(s_.PinsA); break;
        case kPortB: s_.PinsB = with(s_.PinsB); break;
        case kPortC: {
            const bool handshake = (mask == kStrobeB && GroupBMode1()) ||
                                   ((mask == kStrobeA || mask == kAckA) && GroupAMode() != 0);
            if (handshake) {
                SetPortCPins(with(s_.PinsC));
            } else {
                s_.PinsC = with(s_.PinsC);
            }
            break;
        }
        default: break;
    }
}

uint8_t ChipPIO8255::OutputLevels(int port) const {
    switch (port) {
        case kPortA:
            if (GroupAMode() == 2) {
                // The bidirectional bus drives the latch only while /ACK A is low.
                if (!(s_.PinsC & kAckA)) return s_.OutA;
                if (!(s_.PinsC & kStrobeA)) return s_.PinsA;
                return 0xFF;
            }
            return PortAInput() ? s_.PinsA : s_.OutA;
        case kPortB: return PortBInput() ? s_.PinsB : s_.OutB;
        case kPortC: {
            uint8_t r;
            if (GroupBMode1()) {
                r = static_cast<uint8_t>((s_.OutC & 0x03) | (s_.PinsC & 0x04));
            } else {
                r = (LowerCInput() ? s_.PinsC : s_.OutC) & 0x07;
            }
            switch (GroupAMode()) {
                case 0: {
                    r |= (UpperCInput() ? s_.PinsC : s_.OutC) & 0xF0;
                    if (!GroupBMode1()) r |= (LowerCInput() ? s_.PinsC : s_.OutC) & 0x08;
                    break;
                }
                case 1:
                    if (PortAInput()) {
                        r |= static_cast<uint8_t>((s_.OutC & 0x28) | (s_.PinsC & 0xD0));
                    } else {
                        r |= static_cast<uint8_t>((s_.OutC & 0x88) | (s_.PinsC & 0x70));
                    }
                    break;
                default: r |= static_cast<uint8_t>((s_.OutC & 0xA8) | (s_.PinsC & 0x50)); break;
            }
            return r;
        }
        default: return 0xFF;
    }
}

RegisterList ChipPIO8255::Registers() const {
    return {{"Control", 8, s_.Mode},     {"A out", 8, s_.OutA},        {"A pins", 8, s_.PinsA},
            {"A latch", 8, s_.LatchInA}, {"B out", 8, s_.OutB},        {"B pins", 8, s_.PinsB},
            {"B latch", 8, s_.LatchInB}, {"C out", 8, s_.OutC},        {"C pins", 8, s_.PinsC},
            {"INTE A in", 1, s_.InteA1}, {"INTE A out", 1, s_.InteA2}, {"INTE B", 1, s_.InteB}};
}
