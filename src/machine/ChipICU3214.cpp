#include "machine/ChipICU3214.h"

int ChipICU3214::HighestRequest() const {
    for (int level = 7; level >= 0; --level) {
        if (s_.Requests & (0x80 >> level)) return level;
    }
    return -1;
}

void ChipICU3214::WriteStatus(uint8_t status, uint8_t sgs) {
    s_.CurrentStatus = status & 7;
    s_.StatusGroupSelect = sgs ? 1 : 0;
    s_.Disabled = 0;
    s_.RequestLevel = HighestRequest();
    s_.Pending = s_.Requests != 0;
}

void ChipICU3214::SetRequest(int level, uint8_t active) {
    const uint8_t mask = static_cast<uint8_t>(0x80 >> (level & 7));
    s_.Requests = active ? static_cast<uint8_t>(s_.Requests | mask)
                         : static_cast<uint8_t>(s_.Requests & ~mask);
    s_.Pending = s_.Requests != 0;
    if (!s_.Pending || s_.Disabled) {
        s_.RequestLevel = -1;
    } else if (active) {
        if (level > s_.RequestLevel) s_.RequestLevel = level;
    } else if (level == s_.RequestLevel) {
        // A withdrawn request must not be vectored: the encoder follows the lines still active.
        s_.RequestLevel = HighestRequest();
    }
}

uint8_t ChipICU3214::Vector() const {
    if (s_.EnableGroup && s_.Pending) return static_cast<uint8_t>(~s_.RequestLevel & 7);
    return 7;
}

RegisterList ChipICU3214::Registers() const {
    // The level lines carry nothing while no request is pending; the level reads 0 then.
    const uint16_t level = s_.RequestLevel < 0 ? 0 : static_cast<uint16_t>(s_.RequestLevel);
    return {{"Status", 3, s_.CurrentStatus},
            {"SGS", 1, s_.StatusGroupSelect},
            {"Requests", 8, s_.Requests},
            {"Pending", 1, s_.Pending},
            {"Level", 3, level},
            {"Disabled", 1, s_.Disabled},
            {"ENLG", 1, s_.EnableGroup},
            {"INTE", 1, s_.InteInput},
            {"INT", 1, s_.IntOutput}};
}
