#include "machine/ChipMH102.h"

void ChipMH102::SetOperandX(uint8_t value, bool signedMode) {
    s_.SignedMode = signedMode ? 1 : 0;
    s_.OperandX = value;
    Multiply();
}

void ChipMH102::SetOperandY(uint8_t value, bool signedMode) {
    s_.SignedMode = signedMode ? 1 : 0;
    s_.OperandY = value;
    Multiply();
}

void ChipMH102::Multiply() {
    if (!s_.SignedMode) {
        s_.Product = static_cast<uint16_t>(s_.OperandX * s_.OperandY);
        return;
    }
    // A 14-bit magnitude split into two 7-bit halves; the sign goes into bit 7 of both bytes.
    const unsigned magnitude = (s_.OperandX & 0x7Fu) * (s_.OperandY & 0x7Fu);
    const unsigned sign = ((s_.OperandX ^ s_.OperandY) & 0x80) ? 0x80 : 0;
    const unsigned low = (magnitude & 0x7F) | sign;
    const unsigned high = ((magnitude >> 7) & 0x7F) | sign;
    s_.Product = static_cast<uint16_t>(high << 8 | low);
}
