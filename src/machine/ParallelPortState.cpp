#include "machine/ChipPIO8255.h"
#include "machine/IfGPIO.h"
#include "machine/StateArchive.h"
#include "machine/SystemPIO.h"

void ChipPIO8255::Serialize(StateArchive& a) {
    // A control word always has bit 7 set (0 is the chip before its first reset), and mode
    // bits 11 are stored as mode 2.
    const uint8_t mode = a.Field(s_.Mode);
    a.Require((mode == 0 || (mode & 0x80) != 0) && (mode & 0x60) != 0x60);
    for (uint8_t* v : {&s_.PinsA, &s_.PinsB, &s_.PinsC, &s_.LatchInA, &s_.LatchInB, &s_.OutA,
                       &s_.OutB, &s_.OutC}) {
        a.Field(*v);
    }
    for (uint8_t* v : {&s_.InteA1, &s_.InteA2, &s_.InteB}) a.Field(*v, 0, 1);
}

// The key matrix is kept too: in emulated time it is the program's input, and a run that types
// into the machine must see the same keys held after a restore.
void SystemPIO::Serialize(StateArchive& a) {
    chip_.Serialize(a);
    a.Field(lastTicks_);
    for (std::atomic<uint8_t>& column : keyMatrix_) a.Field(column);
    a.Field(keyModifiers_);
}

void SystemPIO::SaveState(StateWriter& out) const {
    StateArchive::Save(*this, out);
}

bool SystemPIO::LoadState(StateReader& in) {
    return StateArchive::Load(*this, in);
}

void IfGPIO::Serialize(StateArchive& a) {
    chip_.Serialize(a);
    a.Field(lastTicks_);
    a.Field(invertA_);
}

void IfGPIO::SaveState(StateWriter& out) const {
    StateArchive::Save(*this, out);
}

bool IfGPIO::LoadState(StateReader& in) {
    return StateArchive::Load(*this, in);
}
