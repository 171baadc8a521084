#include "machine/ChipPIO8255.h"
#include "machine/IfGPIO.h"
#include "machine/StateStream.h"
#include "machine/SystemPIO.h"

void ChipPIO8255::SaveState(StateWriter& out) const {
    for (uint8_t v : {s_.Mode, s_.PinsA, s_.PinsB, s_.PinsC, s_.LatchInA, s_.LatchInB, s_.OutA,
                      s_.OutB, s_.OutC, s_.InteA1, s_.InteA2, s_.InteB}) {
        out.U8(v);
    }
}

bool ChipPIO8255::LoadState(StateReader& in) {
    State s;
    for (uint8_t* v : {&s.Mode, &s.PinsA, &s.PinsB, &s.PinsC, &s.LatchInA, &s.LatchInB, &s.OutA,
                       &s.OutB, &s.OutC}) {
        *v = in.U8();
    }
    s.InteA1 = in.U8Max(1);
    s.InteA2 = in.U8Max(1);
    s.InteB = in.U8Max(1);
    // A control word always has bit 7 set (0 is the chip before its first reset), and mode
    // bits 11 are stored as mode 2.
    if (in.Failed() || (s.Mode != 0 && (s.Mode & 0x80) == 0) || (s.Mode & 0x60) == 0x60) {
        return false;
    }
    s_ = s;
    return true;
}

// The key matrix is kept too: in emulated time it is the program's input, and a run that types
// into the machine must see the same keys held after a restore.
void SystemPIO::SaveState(StateWriter& out) const {
    chip_.SaveState(out);
    out.I32(lastTicks_);
    for (const std::atomic<uint8_t>& column : keyMatrix_) out.U8(column.load());
    out.U8(keyModifiers_.load());
}

bool SystemPIO::LoadState(StateReader& in) {
    if (!chip_.LoadState(in)) return false;
    const int32_t last = in.I32();
    uint8_t matrix[16];
    in.Bytes(matrix, sizeof matrix);
    const uint8_t modifiers = in.U8();
    if (in.Failed()) return false;
    lastTicks_ = last;
    for (int i = 0; i < 16; ++i) keyMatrix_[i].store(matrix[i]);
    keyModifiers_.store(modifiers);
    return true;
}

void IfGPIO::SaveState(StateWriter& out) const {
    chip_.SaveState(out);
    out.I32(lastTicks_);
    out.Bool(invertA_);
}

bool IfGPIO::LoadState(StateReader& in) {
    if (!chip_.LoadState(in)) return false;
    const int32_t last = in.I32();
    const bool invert = in.Bool();
    if (in.Failed()) return false;
    lastTicks_ = last;
    invertA_ = invert;
    return true;
}
