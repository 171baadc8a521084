#include "machine/ChipPIT8253.h"

#include <algorithm>

namespace {

bool IsBcd(uint8_t control) {
    return (control & 1) != 0;
}

// One count down; in BCD every digit that wrapped to F becomes 9, lowest first, so 0000 - 1 is
// 9999. Returns true on reaching terminal count.
bool Decrement(uint16_t& value, bool bcd) {
    value = static_cast<uint16_t>(value - 1);
    if (bcd) {
        for (int shift = 0; shift < 16; shift += 4) {
            if (((value >> shift) & 0xF) != 0xF) break;
            value = static_cast<uint16_t>((value & ~(0xF << shift)) | (9 << shift));
        }
    }
    return value == 0;
}

bool ValidBcd(uint16_t value) {
    for (int shift = 0; shift < 16; shift += 4) {
        if (((value >> shift) & 0xF) > 9) return false;
    }
    return true;
}

// The counting element as a plain number modulo its range, for bulk arithmetic.
int32_t Linear(uint16_t value, bool bcd) {
    if (!bcd) return value;
    return ((value >> 12) & 0xF) * 1000 + ((value >> 8) & 0xF) * 100 + ((value >> 4) & 0xF) * 10 +
           (value & 0xF);
}

uint16_t FromLinear(int32_t value, bool bcd) {
    if (!bcd) return static_cast<uint16_t>(value);
    return static_cast<uint16_t>((value / 1000) << 12 | (value / 100 % 10) << 8 |
                                 (value / 10 % 10) << 4 | (value % 10));
}

int32_t Range(bool bcd) {
    return bcd ? 10000 : 65536;
}

// Decrements until the counting element next reads `target`.
int32_t Distance(int32_t from, int32_t target, bool bcd) {
    int32_t d = from - target;
    return d > 0 ? d : d + Range(bcd);
}

}  // namespace

ChipPIT8253::ChipPIT8253() {
    for (int i = 0; i < kCounters; ++i) c_[i].Control = static_cast<uint8_t>(i << 6 | 0x32);
}

int ChipPIT8253::ModeOf(uint8_t control) {
    int mode = (control >> 1) & 7;
    return mode >= 6 ? mode - 4 : mode;
}

ChipPIT8253::OutputCallback ChipPIT8253::SetOutputCallback(int counter, OutputCallback callback) {
    OutputCallback previous = output_[counter];
    output_[counter] = callback;
    return previous;
}

void ChipPIT8253::SetOut(int counter, uint8_t level) {
    CounterState& k = c_[counter];
    if (k.Out == level) return;
    k.Out = level;
    output_[counter](counter, level);
}

void ChipPIT8253::WritePort(int index, uint8_t value) {
    if (index == 3) {
        WriteControl(value);
    } else if (index >= 0 && index < 3) {
        WriteCount(index, value);
    }
}

uint8_t ChipPIT8253::ReadPort(int index) {
    if (index >= 0 && index < 3) return ReadCount(index);
    return 0xFF;
}

void ChipPIT8253::WriteControl(uint8_t value) {
    const int counter = value >> 6;
    if (counter == 3) return;
    CounterState& k = c_[counter];
    const int rl = (value >> 4) & 3;
    if (rl == 0) {
        // Counter latch: a latch still being read is not overwritten.
        if (k.LatchState == 0) {
            k.OutputLatch = k.Counter;
            k.LatchState = ((k.Control >> 4) & 3) == 3 ? 2 : 1;
        }
        return;
    }
    k.Control = value;
    k.WriteState = rl == 3 ? 2 : 1;
    k.CountWritten = k.ReadToggle = k.LatchState = k.Counting = 0;
    k.NewControl = 1;
    SetOut(counter, ModeOf(value) == 0 ? 0 : 1);
}

void ChipPIT8253::WriteCount(int counter, uint8_t value) {
    CounterState& k = c_[counter];
    const int rl = (k.Control >> 4) & 3;
    const int mode = ModeOf(k.Control);
    if (rl == 1) {
        k.CountRegister = value;
    } else if (rl == 2) {
        k.CountRegister = static_cast<uint16_t>(value << 8);
    } else if (k.WriteState == 1) {
        k.CountRegister = static_cast<uint16_t>((k.CountRegister & 0x00FF) | value << 8);
    } else {
        k.CountRegister = value;
        k.WriteState = 1;
        if (mode == 0) {
            // Writing the first byte stops a mode 0 count until the second one arrives.
            k.Counting = 0;
            SetOut(counter, 0);
        }
        return;
    }
    k.WriteState = 0;
    k.CountWritten = 1;
    uint8_t out = 1;
    switch (mode) {
        case 0:
            out = 0;
            k.Counting = k.Gate;
            k.Trigger = 1;
            break;
        case 2:
        case 3:
            k.Counting = k.Gate;
            if (!k.Gate) {
                k.Counter = k.CountRegister;
            } else if (k.NewControl) {
                k.Trigger = 1;
            }
            // Otherwise the running period ends with its old count and the new one is taken at
            // the next reload.
            break;
        case 4:
            k.Counting = k.Gate;
            k.Trigger = 1;
            break;
        default:  // 1 and 5 wait for a gate trigger
            k.Counting = k.Gate;
            break;
    }
    SetOut(counter, out);
    k.NewControl = 0;
}

uint8_t ChipPIT8253::ReadCount(int counter) {
    CounterState& k = c_[counter];
    const int rl = (k.Control >> 4) & 3;
    auto low = [](uint16_t v) { return static_cast<uint8_t>(v); };
    auto high = [](uint16_t v) { return static_cast<uint8_t>(v >> 8); };
    if (rl == 1 || rl == 2) {
        uint16_t source = k.Counter;
        if (k.LatchState > 0) {
            source = k.OutputLatch;
            k.LatchState = 0;
        }
        return rl == 1 ? low(source) : high(source);
    }
    if (k.LatchState == 2) {
        k.LatchState = 1;
        return low(k.OutputLatch);
    }
    if (k.LatchState == 1) {
        k.LatchState = 0;
        return high(k.OutputLatch);
    }
    const uint8_t result = k.ReadToggle ? high(k.Counter) : low(k.Counter);
    k.ReadToggle ^= 1;
    return result;
}

void ChipPIT8253::SetGate(int counter, uint8_t level) {
    CounterState& k = c_[counter];
    level = level ? 1 : 0;
    const bool rising = !k.Gate && level;
    k.Counting = level;
    switch (ModeOf(k.Control)) {
        case 1:
        case 5:
            if (rising) k.Trigger = 1;
            break;
        case 2:
        case 3:
            if (rising) k.Trigger = 1;
            k.Gate = level;
            if (!level) SetOut(counter, 1);
            return;
        default: break;
    }
    k.Gate = level;
}

void ChipPIT8253::SetClock(int counter, uint8_t level) {
    CounterState& k = c_[counter];
    level = level ? 1 : 0;
    const bool falling = k.Clock && !level;
    k.Clock = level;
    if (falling) ClockEdge(counter);
}

void ChipPIT8253::ClockEdge(int counter) {
    CounterState& k = c_[counter];
    const bool bcd = IsBcd(k.Control);
    switch (ModeOf(k.Control)) {
        case 0:
            if (k.CountWritten) {
                k.Counter = k.CountRegister;
                k.CountWritten = 0;
            } else if (k.Counting && Decrement(k.Counter, bcd)) {
                SetOut(counter, 1);
            }
            break;
        case 1:
            if (k.Trigger) {
                k.Trigger = k.CountWritten = 0;
                k.Counter = k.CountRegister;
                k.Counting = 1;
                SetOut(counter, 0);
            } else if (k.Counting && Decrement(k.Counter, bcd)) {
                SetOut(counter, 1);
            }
            break;
        case 2:
            if (k.Trigger) {
                k.Trigger = k.CountWritten = 0;
                k.Counter = k.CountRegister;
            } else if (k.Counting) {
                if (Decrement(k.Counter, bcd)) {
                    k.Counter = k.CountRegister;
                    SetOut(counter, 1);
                } else if (k.Counter == 1) {
                    SetOut(counter, 0);
                }
            }
            break;
        case 3:
            if (k.Trigger) {
                k.Counter = k.CountRegister;
                k.CountWritten = k.Trigger = 0;
            } else if (k.Counting) {
                // Odd counts: the high half gets the extra clock. A count of 1 is below the
                // chip's range; like the chip (which loads count - 1 and counts by two) it then
                // runs through the whole range in each half.
                bool mayExpire = true;
                if (k.Out) {
                    mayExpire = k.Counter != 1;
                    Decrement(k.Counter, bcd);
                    if (k.Counter & 1) Decrement(k.Counter, bcd);
                } else {
                    if (k.Counter & 1) Decrement(k.Counter, bcd);
                    Decrement(k.Counter, bcd);
                    Decrement(k.Counter, bcd);
                }
                if (mayExpire && k.Counter == 0) {
                    k.CountWritten = 0;
                    k.Counter = k.CountRegister;
                    SetOut(counter, k.Out ^ 1);
                }
            }
            break;
        case 4:
        case 5:
            if (ModeOf(k.Control) == 5 && k.Trigger) {
                k.Trigger = k.CountWritten = 0;
                k.Counter = k.CountRegister;
                SetOut(counter, 1);
            } else if (k.CountWritten) {
                k.Counter = k.CountRegister;
                k.CountWritten = 0;
            } else if (k.Counting) {
                // A one-clock strobe at terminal count.
                if (Decrement(k.Counter, bcd)) {
                    SetOut(counter, 0);
                } else if (k.Counter == (bcd ? 0x9999 : 0xFFFF)) {
                    SetOut(counter, 1);
                }
            }
            break;
        default: break;
    }
}

int32_t ChipPIT8253::SafeClocks(int counter) const {
    const CounterState& k = c_[counter];
    const int mode = ModeOf(k.Control);
    const bool bcd = IsBcd(k.Control);
    const bool pendingLoad = (mode == 0 || mode == 4 || mode == 5) && k.CountWritten;
    const bool pendingTrigger = (mode == 1 || mode == 2 || mode == 3 || mode == 5) && k.Trigger;
    if (pendingLoad || pendingTrigger) return 0;
    if (!k.Counting) return kNoEvent;
    if (bcd && !ValidBcd(k.Counter)) return 0;
    const int32_t v = Linear(k.Counter, bcd);
    int32_t clocksToEvent;
    switch (mode) {
        case 2:
            if (!k.Out || v == 1) return 0;
            clocksToEvent = Distance(v, 1, bcd);
            break;
        case 3:
            if (v & 1) {
                // The first clock takes the odd count to an even one; only plain cases here.
                if (k.Out ? v == 1 : v <= 3) return 0;
                clocksToEvent = 1 + (k.Out ? v - 1 : v - 3) / 2;
            } else {
                clocksToEvent = (v == 0 ? Range(bcd) : v) / 2;
            }
            break;
        case 4:
        case 5:
            if (!k.Out) return 0;
            clocksToEvent = Distance(v, 0, bcd);
            break;
        default:  // 0 and 1
            clocksToEvent = Distance(v, 0, bcd);
            break;
    }
    return clocksToEvent - 1;
}

void ChipPIT8253::Advance(int counter, int32_t clocks) {
    CounterState& k = c_[counter];
    k.Clock = 0;
    if (clocks <= 0 || !k.Counting) return;
    const bool bcd = IsBcd(k.Control);
    int32_t v = Linear(k.Counter, bcd);
    if (ModeOf(k.Control) == 3) {
        if (v & 1) {
            v -= k.Out ? 1 : 3;
            --clocks;
        }
        v -= 2 * clocks;
    } else {
        v -= clocks;
    }
    const int32_t range = Range(bcd);
    v %= range;
    if (v < 0) v += range;
    k.Counter = FromLinear(v, bcd);
}
