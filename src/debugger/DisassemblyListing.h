#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "debugger/DisplayFlags.h"
#include "machine/ChipMemory.h"

// Memory ranges written out as text: as assembler source with generated "L1234:" labels (which
// tevrin-asm assembles back into the same bytes) or as an address listing with an optional hex
// dump. The disassembly window keeps the range list and writes the text to the file the user
// picks.
namespace debugger {

enum DisassRangeType : int32_t {
    kRangeInstructions = 0,
    kRangeBytes = 1,     // DB, up to 4 per line
    kRangeText = 2,      // DB with quoted text
    kRangeWords = 3,     // DW, up to 2 per line
    kRangeReserved = 4,  // one DS line
};

struct DisassRange {
    int32_t From = 0;    // 0 to 65535
    int32_t To = 0;      // From to 65535
    int32_t Offset = 0;  // the listing shows the range as if it lay at From + Offset (mod 64 KB)
    int32_t Type = kRangeInstructions;
    bool DwLabels = false;  // words of a DW range that point at a listed start get labels there
};

struct DisassListingOptions {
    bool Labels = true;    // assembler source; else an address listing
    bool HexDump = false;  // address listing only: the bytes beside each line
    DisplayFlags Flags{};
};

// The whole text, every line ended by CR LF, each range followed by an empty line. Ranges with
// From/To outside 0..65535, To below From or an unknown type are left out.
std::string WriteDisassemblyListing(ChipMemory& memory, const std::vector<DisassRange>& ranges,
                                    const DisassListingOptions& options);

}  // namespace debugger
