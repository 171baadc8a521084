#include "machine/ChipCpu8080.h"
#include "machine/StateStream.h"

// Only what the program and the timing can see is kept: the fast-path choices (flat memory,
// merged ticks, the port table) follow from the memory and the bindings and are made again
// on their own. State kept between instructions only, so a snapshot is taken between them.
void ChipCpu8080::SaveState(StateWriter& out) const {
    for (uint8_t r : {F, A, B, C, D, E, H, L}) out.U8(r);
    out.U16(SP);
    out.U16(PC);
    for (bool b : {Inte, EiPending, EiArmed, Halted, IntAck, ResetPending}) out.Bool(b);
    for (int32_t v : {PeriodTicks, ClockTicks, LastTicks, InstructionCount, PrevPC, CurPC, IsrSP,
                      IsrTicks, IsrMin, IsrMax, IsrMid}) {
        out.I32(v);
    }
}

bool ChipCpu8080::LoadState(StateReader& in) {
    uint8_t regs[8];
    for (uint8_t& r : regs) r = in.U8();
    const uint16_t sp = in.U16(), pc = in.U16();
    bool flags[6];
    for (bool& b : flags) b = in.Bool();
    int32_t v[11];
    for (int32_t& x : v) x = in.I32();
    // The period counter stays near one period; anything far off would only overflow later.
    if (in.Failed() || v[0] < -(1 << 24) || v[0] > (1 << 24) || v[2] < 0 || v[2] > 64) {
        return false;
    }
    F = regs[0], A = regs[1], B = regs[2], C = regs[3], D = regs[4], E = regs[5], H = regs[6],
    L = regs[7];
    SP = sp, PC = pc;
    Inte = flags[0], EiPending = flags[1], EiArmed = flags[2], Halted = flags[3];
    IntAck = flags[4], ResetPending = flags[5];
    PortFault = false;
    PeriodTicks = v[0], ClockTicks = v[1], LastTicks = v[2], InstructionCount = v[3];
    PrevPC = v[4], CurPC = v[5], IsrSP = v[6], IsrTicks = v[7], IsrMin = v[8], IsrMax = v[9];
    IsrMid = v[10];
    stopRequested_ = false;
    return true;
}
