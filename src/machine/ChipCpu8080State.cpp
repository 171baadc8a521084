#include "machine/ChipCpu8080.h"
#include "machine/StateArchive.h"

// Only what the program and the timing can see is kept: the fast-path choices (flat memory,
// merged ticks, the port table) follow from the memory and the bindings and are made again
// on their own. State kept between instructions only, so a snapshot is taken between them.
void ChipCpu8080::Serialize(StateArchive& a) {
    for (uint8_t* r : {&F, &A, &B, &C, &D, &E, &H, &L}) a.Field(*r);
    a.Field(SP);
    a.Field(PC);
    for (bool* b : {&Inte, &EiPending, &EiArmed, &Halted, &IntAck, &ResetPending}) a.Field(*b);
    // The period counter stays near one period; anything far off would only overflow later.
    a.Field(PeriodTicks, -(1 << 24), 1 << 24);
    a.Field(ClockTicks);
    a.Field(LastTicks, 0, 64);
    for (int32_t* v :
         {&InstructionCount, &PrevPC, &CurPC, &IsrSP, &IsrTicks, &IsrMin, &IsrMax, &IsrMid}) {
        a.Field(*v);
    }
}

void ChipCpu8080::SaveState(StateWriter& out) const {
    StateArchive::Save(*this, out);
}

bool ChipCpu8080::LoadState(StateReader& in) {
    if (!StateArchive::Load(*this, in)) return false;
    PortFault = false;
    stopRequested_ = false;
    return true;
}
