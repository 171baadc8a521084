#include "debugger/MemorySearch.h"

#include <vector>

namespace debugger {

bool SearchPattern::Any() const {
    for (uint8_t m : Masks) {
        if (m != 0) return true;
    }
    return false;
}

bool SearchPattern::Matches(const uint8_t* bytes) const {
    for (int i = 0; i < 8; ++i) {
        if (((Values[i] ^ bytes[i]) & Masks[i]) != 0) return false;
    }
    return true;
}

SearchOutcome MemorySearch::FindNext(ChipMemory& memory, const SearchPattern& pattern,
                                     bool fromStart, uint16_t base) {
    if (fromStart) {
        start_ = current_ = base;
        found_ = false;
    }
    // One copy of the address space, its first seven bytes repeated at the end so a pattern
    // that runs over FFFF into 0000 compares in one piece. An unmapped page shows as FF, as the
    // processor would read it, but without raising the memory's fault: a search must not make
    // the next instruction fail.
    std::vector<uint8_t> image(0x10000 + 7);
    for (uint32_t a = 0; a < 0x10000; ++a) image[a] = memory.Peek(static_cast<uint16_t>(a));
    for (int i = 0; i < 7; ++i) image[0x10000 + i] = image[i];

    // The first masked position narrows the candidates fastest, so it is tested on its own.
    int lead = 0;
    while (lead < 8 && pattern.Masks[lead] == 0) ++lead;
    const uint8_t leadMask = lead < 8 ? pattern.Masks[lead] : 0;
    const uint8_t leadValue = lead < 8 ? static_cast<uint8_t>(pattern.Values[lead] & leadMask) : 0;

    for (uint16_t a = static_cast<uint16_t>(current_ + 1); a != start_; ++a) {
        const uint8_t* at = image.data() + a;
        if (lead < 8 && (at[lead] & leadMask) != leadValue) continue;
        if (pattern.Matches(at)) {
            current_ = a;
            found_ = true;
            return SearchOutcome::Found;
        }
    }
    current_ = start_;
    return found_ ? SearchOutcome::WrappedAround : SearchOutcome::NotFound;
}

}  // namespace debugger
