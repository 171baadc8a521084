#include "CpmConsole.h"

void CpmConsole::PortWrite(uint8_t port, uint8_t /*value*/, int32_t /*ticks*/) {
    if (port == 0) {
        finished_ = true;
        cpu_.RequestStop();
        return;
    }
    switch (cpu_.C) {
        case 2: output_.push_back(static_cast<char>(cpu_.E)); break;
        case 9: {
            // A text without its "$" ends after one full turn of the address space.
            uint16_t at = cpu_.DE();
            for (int n = 0; n < 0x10000; ++n, ++at) {
                char c = static_cast<char>(cpu_.Memory().Peek(at));
                if (c == '$') break;
                output_.push_back(c);
            }
            break;
        }
        default: break;
    }
}

uint8_t CpmConsole::PortRead(uint8_t /*port*/, int32_t /*ticks*/) {
    return 0xFF;
}

std::string CpmConsole::TakeOutput() {
    std::string out;
    out.swap(output_);
    return out;
}
