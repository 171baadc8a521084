#pragma once

#include <array>
#include <cstdint>

#include "machine/ChipMemory.h"

// The debugger's search for a pattern of up to eight bytes, each with its own mask, forwards
// through the whole 64 KB with wrap-around. The search remembers where it started, so F3 can go
// on from one match to the next and tell a search that found something before reaching its
// start again from one that never did.
namespace debugger {

struct SearchPattern {
    std::array<uint8_t, 8> Values{};
    std::array<uint8_t, 8> Masks{};  // a position takes part exactly when its mask is not 0

    bool Any() const;
    // Byte b matches position i when (value XOR b) AND mask is 0.
    bool Matches(const uint8_t* bytes) const;
};

enum class SearchOutcome {
    Found,          // Current() is the match
    NotFound,       // a whole turn without any match
    WrappedAround,  // a whole turn since the start, with matches found on the way
};

class MemorySearch {
  public:
    // With `fromStart` the search starts over at `base` (the listing's base address); otherwise it
    // goes on after the last match and `base` is not used. The start address itself is examined
    // only by a search that begins somewhere else: a turn ends on reaching it.
    SearchOutcome FindNext(ChipMemory& memory, const SearchPattern& pattern, bool fromStart,
                           uint16_t base);

    uint16_t Current() const { return current_; }
    uint16_t Start() const { return start_; }
    bool FoundSinceStart() const { return found_; }

  private:
    uint16_t start_ = 0;
    uint16_t current_ = 0;
    bool found_ = false;
};

}  // namespace debugger
