#include "machine/IfMultiplier.h"

void IfMultiplier::PortWrite(uint8_t port, uint8_t value, int32_t /*ticks*/) {
    if ((port & 0xFC) != 0xD8) return;
    const bool signedMode = (port & 2) != 0;
    if (port & 1) {
        chip_.SetOperandY(value, signedMode);
    } else {
        chip_.SetOperandX(value, signedMode);
    }
    enablePaging_();
}

// The product is the one computed at the last operand write: reading only switches the mode.
uint8_t IfMultiplier::PortRead(uint8_t port, int32_t /*ticks*/) {
    enablePaging_();
    if ((port & 0xFC) != 0xD8) return 0xFF;
    chip_.SetSignedMode((port & 2) != 0);
    return (port & 1) ? chip_.ProductHigh() : chip_.ProductLow();
}

Closure<void()> IfMultiplier::SetEnablePaging(Closure<void()> enablePaging) {
    Closure<void()> previous = enablePaging_;
    enablePaging_ = enablePaging;
    return previous;
}
