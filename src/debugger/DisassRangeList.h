#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "debugger/DisassemblyListing.h"

// The disassembly window's list of ranges and its small text file: one range per line, five
// decimal numbers "from,to,offset,type,dwLabels" ended by CR LF. The same file drives
// tevrin-disasm, so a list built in the window disassembles the same way on the command line.
namespace debugger {

// Inserts before the first range that starts later, so equal starts keep the order they were
// added in. Returns the new range's index.
size_t InsertRangeSorted(std::vector<DisassRange>& ranges, const DisassRange& range);

// The address the window offers for the next range: just past this one; a word range is first
// rounded up to whole words. Wraps at 64 KB.
uint16_t NextRangeAddress(const DisassRange& range);

// The file's text, ranges in list order.
std::string FormatRangeList(const std::vector<DisassRange>& ranges);

struct RangeListError {
    int Line = 0;  // 1-based line of the first bad range; 0 when the whole file was read
};

// Appends the file's ranges in file order (the list is not re-sorted). On a malformed line it
// stops and keeps what came before it; blank lines count, with CR LF, a lone CR and a lone LF
// each ending one. A byte 0 ends the text.
RangeListError ParseRangeList(std::string_view text, std::vector<DisassRange>& ranges);

}  // namespace debugger
