#pragma once

#include <cstdint>
#include <vector>

// One register or flip-flop of a chip as its data sheet names it, with its width and what it
// holds now. A chip lists its registers this way, so that a status view is one loop over the
// list instead of a form per chip.
struct RegisterView {
    const char* name;
    uint8_t bits;  // 1 for a flip-flop or pin, up to 16
    uint16_t value;
};

using RegisterList = std::vector<RegisterView>;
