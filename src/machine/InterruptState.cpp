#include "machine/ChipICU3214.h"
#include "machine/ChipMH102.h"
#include "machine/IfInterrupt.h"
#include "machine/IfMultiplier.h"
#include "machine/ScreenTevrin.h"
#include "machine/StateArchive.h"

void ChipICU3214::Serialize(StateArchive& a) {
    a.Field(s_.CurrentStatus, 0, 7);
    a.Field(s_.StatusGroupSelect, 0, 1);
    a.Field(s_.Requests);
    a.Field(s_.Pending, 0, 1);
    a.Field(s_.RequestLevel, -1, 7);
    for (uint8_t* v : {&s_.Disabled, &s_.EnableGroup, &s_.InteInput, &s_.IntOutput}) {
        a.Field(*v, 0, 1);
    }
}

void IfInterrupt::Serialize(StateArchive& a) {
    chip_.Serialize(a);
    for (uint8_t* v : {&s_.EnableLine0, &s_.EnableLine1, &s_.EnableLine3, &s_.EnableLine5,
                       &s_.InputLine0, &s_.InputLine1, &s_.InputLine3, &s_.InputLine5,
                       &s_.ControlPC5, &s_.ControlPC6, &s_.Latched4, &s_.Latched6, &s_.Latched7}) {
        a.Field(*v, 0, 1);
    }
    a.Field(s_.LastWritten);
}

void IfInterrupt::SaveState(StateWriter& out) const {
    StateArchive::Save(*this, out);
}

bool IfInterrupt::LoadState(StateReader& in) {
    return StateArchive::Load(*this, in);
}

void ChipMH102::Serialize(StateArchive& a) {
    a.Field(s_.OperandX);
    a.Field(s_.OperandY);
    a.Field(s_.Product);
    a.Field(s_.SignedMode, 0, 1);
}

void IfMultiplier::Serialize(StateArchive& a) {
    chip_.Serialize(a);
}

void IfMultiplier::SaveState(StateWriter& out) const {
    StateArchive::Save(*this, out);
}

bool IfMultiplier::LoadState(StateReader& in) {
    return StateArchive::Load(*this, in);
}

void ScreenTevrin::Serialize(StateArchive& a) {
    a.Field(colourRegister_);
    a.Field(scrollRegister_);
}

void ScreenTevrin::SaveState(StateWriter& out) const {
    StateArchive::Save(*this, out);
}

// The colour-write hook is armed by the colour register's mode bit, so it follows the load.
bool ScreenTevrin::LoadState(StateReader& in) {
    if (!StateArchive::Load(*this, in)) return false;
    ArmColourWrite();
    return true;
}
