#include "fuzz/RangeListCheck.h"

#include <algorithm>
#include <vector>

#include "debugger/DisassRangeList.h"
#include "debugger/DisassemblyListing.h"
#include "machine/ChipMemory.h"
#include "machine/MemoryOrganizer.h"

namespace fuzzcheck {

namespace {

bool Same(const std::vector<debugger::DisassRange>& a,
          const std::vector<debugger::DisassRange>& b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](const auto& x, const auto& y) {
        return x.From == y.From && x.To == y.To && x.Offset == y.Offset && x.Type == y.Type &&
               x.DwLabels == y.DwLabels;
    });
}

}  // namespace

const char* CheckRangeList(std::string_view bytes) {
    std::vector<debugger::DisassRange> ranges;
    const debugger::RangeListError error = debugger::ParseRangeList(bytes, ranges);
    const std::string_view text = bytes.substr(0, bytes.find('\0'));
    const auto lineEnds =
        std::count(text.begin(), text.end(), '\n') + std::count(text.begin(), text.end(), '\r');
    if (error.Line < 0 || error.Line > lineEnds + 1) return "the error names a line past the end";
    for (const debugger::DisassRange& r : ranges) {
        if (r.From < 0 || r.To < r.From || r.To > 0xFFFF || r.Offset < 0 || r.Offset > 0xFFFF ||
            r.Type < 0 || r.Type > debugger::kRangeReserved) {
            return "a range out of bounds was kept";
        }
    }
    // What was kept saves and loads back unchanged.
    std::vector<debugger::DisassRange> again;
    if (debugger::ParseRangeList(debugger::FormatRangeList(ranges), again).Line != 0) {
        return "a saved list does not load";
    }
    if (!Same(ranges, again)) return "a saved list loads back different";

    // A short list also goes through the writer, in both modes.
    int64_t span = 0;
    for (const debugger::DisassRange& r : ranges) span += r.To - r.From + 1;
    if (span <= 4096 && ranges.size() <= 64) {
        // One memory for every run, filled once: the writer only reads it.
        static ChipMemory& memory = *[] {
            static MemoryOrganizer organizer;
            static ChipMemory built(organizer);
            built.AllocatePages(0, 16, false);
            for (int window = 0; window < 16; ++window) {
                organizer.SetPageRegister(window, static_cast<uint8_t>(window));
                for (int i = 0; i < 0x1000; ++i) {
                    built.PagePointer(window)[i] = static_cast<uint8_t>(i * 7 + window);
                }
            }
            organizer.EnablePaging();
            return &built;
        }();
        const std::string labels = debugger::WriteDisassemblyListing(memory, ranges, {});
        const std::string dump =
            debugger::WriteDisassemblyListing(memory, ranges, {.Labels = false, .HexDump = true});
        if (!ranges.empty() && (labels.empty() || dump.empty())) return "a range wrote nothing";
    }
    return nullptr;
}

}  // namespace fuzzcheck
