#include "machine/ChipICU3214.h"
#include "machine/ChipMH102.h"
#include "machine/IfInterrupt.h"
#include "machine/IfMultiplier.h"
#include "machine/ScreenTevrin.h"
#include "machine/StateStream.h"

void ChipICU3214::SaveState(StateWriter& out) const {
    for (uint8_t v : {s_.CurrentStatus, s_.StatusGroupSelect, s_.Requests, s_.Pending}) out.U8(v);
    out.I32(s_.RequestLevel);
    for (uint8_t v : {s_.Disabled, s_.EnableGroup, s_.InteInput, s_.IntOutput}) out.U8(v);
}

bool ChipICU3214::LoadState(StateReader& in) {
    State s;
    s.CurrentStatus = in.U8Max(7);
    s.StatusGroupSelect = in.U8Max(1);
    s.Requests = in.U8();
    s.Pending = in.U8Max(1);
    s.RequestLevel = in.I32In(-1, 7);
    for (uint8_t* v : {&s.Disabled, &s.EnableGroup, &s.InteInput, &s.IntOutput}) {
        *v = in.U8Max(1);
    }
    if (in.Failed()) return false;
    s_ = s;
    return true;
}

void IfInterrupt::SaveState(StateWriter& out) const {
    chip_.SaveState(out);
    for (uint8_t v : {s_.EnableLine0, s_.EnableLine1, s_.EnableLine3, s_.EnableLine5, s_.InputLine0,
                      s_.InputLine1, s_.InputLine3, s_.InputLine5, s_.ControlPC5, s_.ControlPC6,
                      s_.Latched4, s_.Latched6, s_.Latched7}) {
        out.U8(v);
    }
    out.U8(s_.LastWritten);
}

bool IfInterrupt::LoadState(StateReader& in) {
    if (!chip_.LoadState(in)) return false;
    State s;
    for (uint8_t* v : {&s.EnableLine0, &s.EnableLine1, &s.EnableLine3, &s.EnableLine5,
                       &s.InputLine0, &s.InputLine1, &s.InputLine3, &s.InputLine5, &s.ControlPC5,
                       &s.ControlPC6, &s.Latched4, &s.Latched6, &s.Latched7}) {
        *v = in.U8Max(1);
    }
    s.LastWritten = in.U8();
    if (in.Failed()) return false;
    s_ = s;
    return true;
}

void ChipMH102::SaveState(StateWriter& out) const {
    out.U8(s_.OperandX);
    out.U8(s_.OperandY);
    out.U16(s_.Product);
    out.U8(s_.SignedMode);
}

bool ChipMH102::LoadState(StateReader& in) {
    State s;
    s.OperandX = in.U8();
    s.OperandY = in.U8();
    s.Product = in.U16();
    s.SignedMode = in.U8Max(1);
    if (in.Failed()) return false;
    s_ = s;
    return true;
}

void IfMultiplier::SaveState(StateWriter& out) const {
    chip_.SaveState(out);
}

bool IfMultiplier::LoadState(StateReader& in) {
    return chip_.LoadState(in);
}

void ScreenTevrin::SaveState(StateWriter& out) const {
    out.U8(ColourRegister());
    out.U8(ScrollRegister());
}

// The colour-write hook is armed by the colour register's mode bit, so it follows the load.
bool ScreenTevrin::LoadState(StateReader& in) {
    const uint8_t colour = in.U8();
    const uint8_t scroll = in.U8();
    if (in.Failed()) return false;
    colourRegister_.store(colour, std::memory_order_relaxed);
    scrollRegister_.store(scroll, std::memory_order_relaxed);
    ArmColourWrite();
    return true;
}
