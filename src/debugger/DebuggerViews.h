#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "debugger/DisplayFlags.h"
#include "machine/ChipCpu8080.h"
#include "machine/ChipMemory.h"
#include "machine/MemoryOrganizer.h"

// What the debugger window shows, as text, and the edits it makes, apart from the widgets.
namespace debugger {

class SymbolTable;

// 16- and 8-bit values at fixed width: "#1234" / "04660", "#12" / "018".
std::string FormatWord(uint16_t value, DisplayFlags flags);
std::string FormatByte(uint8_t value, DisplayFlags flags);

struct RegisterTexts {
    std::array<std::string, 6> registers;  // "AF:#1234" … "SP:#1234"
    std::array<std::string, 6>
        flags;  // " M"/" P", " Z"/"NZ", "AC"/"NA", "PE"/"PO", " C"/"NC", "EI"/"DI"
    std::array<std::string, 5> stackAddresses;
    std::array<std::string, 5> stackValues;
    std::string ticks;  // "T:0000001234"
};
// Reads the stack through the processor's accessors, as the processor would.
RegisterTexts FormatRegisters(const ChipCpu8080& cpu, ChipMemory& memory, DisplayFlags flags);

// Register index 0 AF … 5 SP, as the register labels are numbered.
uint16_t RegisterValue(const ChipCpu8080& cpu, int index);
// AF keeps the 8080's fixed flag bits: 3 and 5 clear, 1 set.
void SetRegisterValue(ChipCpu8080& cpu, int index, uint16_t value);
// Flag label 0 to 4 toggles S, Z, AC, P, CY in F; 5 the interrupt enable.
void ToggleFlag(ChipCpu8080& cpu, int index);

// The two page-register labels: "0:#FF 1:#FF … 7:#FF" and "8:… F:…".
std::array<std::string, 2> FormatMemoryMap(const MemoryOrganizer& organizer, DisplayFlags flags);
// The group (0 to 15) under a position of `column` characters into label `label` (0 or 1).
int MemoryMapGroup(int label, int column);

// "R:#00", "C:#5" or "C:5", "I:#00 #00".
std::array<std::string, 3> FormatChipLabels(uint8_t scroll, uint8_t colour, uint8_t lastWritten,
                                            uint8_t requests, DisplayFlags flags);

// Listing types.
enum ListingKind : int { kDump = 0, kAscii = 1, kDisassembly = 2 };
// Listing sources, in the order of the source box.
enum ListingSourceIndex : int { kMem1, kMem2, kMem3, kAF, kBC, kDE, kHL, kPC, kSP, kSourceCount };

// One dump (8 bytes with their characters) or ASCII (32 characters) line; the address moves on.
std::string FormatDumpLine(ChipMemory& memory, uint16_t& address, int type, DisplayFlags flags);

struct ListingSource {
    uint16_t base = 0;  // MEM1 to MEM3 only; the others follow their register
    int32_t offset = 0;
    int type = kDump;
};

struct NestingEntry {
    uint16_t base = 0;
    int32_t offset = 0;
    int source = 0;
};

// The memory listing's nine sources, the current one and the nesting stack.
class DebuggerListing {
  public:
    static constexpr int kLines = 10;
    static constexpr int kMaxNesting = 11;
    static constexpr int32_t kOffsetLimit = 0x8000;

    DebuggerListing() { sources[kPC].type = kDisassembly; }

    uint16_t Base(const ChipCpu8080& cpu, int source) const;
    uint16_t Start(const ChipCpu8080& cpu) const;
    ListingSource& Current() { return sources[static_cast<size_t>(current)]; }
    const ListingSource& Current() const { return sources[static_cast<size_t>(current)]; }
    bool CurrentIsRegister() const { return current > kMem3; }

    // "(MEM1", "(PC+#0010)" …: the source's name and its offset.
    std::string Caption(DisplayFlags flags) const;
    std::vector<std::string> Lines(const ChipCpu8080& cpu, ChipMemory& memory, DisplayFlags flags,
                                   const SymbolTable* symbols = nullptr) const;
    // Address of listing line n (0 to 9).
    uint16_t LineAddress(const ChipCpu8080& cpu, ChipMemory& memory, int line) const;

    // One wheel notch (or Up/Down key); `tenfold` with Ctrl, `fine` with Shift. False when the
    // offset would leave -0x8000..0x8000 (nothing changes).
    bool Scroll(const ChipCpu8080& cpu, ChipMemory& memory, bool up, bool tenfold, bool fine);

    // MEM1 shows `target` from offset 0 in the given type (a click on an operand).
    void Jump(uint16_t target, int type);
    // A search match: the current source starts at `address`. A register source keeps its
    // register and takes the nearest offset (-0x8000..0x8000) that reaches it; a MEM source
    // moves its base there.
    void MoveTo(const ChipCpu8080& cpu, uint16_t address);
    // Right click on an operand: remember where the listing is, then show `target` as code.
    // False (nothing changes) when the stack is full.
    bool Push(const ChipCpu8080& cpu, uint16_t target);
    // Back to the place on top of the stack; false when it is empty.
    bool Pop();
    // The value-to-memory menus: item n (0 to 8) sets MEM(n mod 3 + 1) to {X, 0}, then from
    // item 3 {X + offset, 0}, from item 6 {X, offset}, and shows it. From a register or stack
    // label X is the value and the type dump; from the listing address (a register source) X
    // is the register, the offset and type are the source's.
    void ValueToMem(int item, uint16_t value, bool fromListingAddress);
    // The type the type box shows: a nest shows code without changing the source's own type.
    int shownType = kDump;

    std::array<ListingSource, kSourceCount> sources{};
    int current = kSP;
    std::vector<NestingEntry> nesting;  // top first
};

// Where a click on a line lands, by button, line and character column.
// Where a dump line's fields start, in characters: " AAAA  " before the bytes, then eight
// "BB " groups and a blank before their characters; an ASCII line has the blank only.
inline constexpr int kDumpBytesColumn = 8;
inline constexpr int kDumpCharsColumn = 41;
inline constexpr int kAsciiCharsColumn = 9;
enum class LineAction { None, Breakpoint, InlineAssembler, DumpEditor, CharEditor, Jump, Nest };
struct LineClick {
    LineAction action = LineAction::None;
    int index = 0;  // the byte or character the editor starts on
};
// `instructionLine`: one of the six instruction lines (code whatever the listing's type);
// `column` in characters from the line's left edge, fractions kept (x / character width).
LineClick ClassifyLineClick(bool rightButton, bool instructionLine, int type, double column);
// The jump target of the instruction at `address`: a 16-bit operand or a restart's vector.
// False when it has none.
bool OperandTarget(ChipMemory& memory, uint16_t address, uint16_t& target);

// The dump editor's text, as the field holds it ("#12 #34 …" or "018 052 …").
std::string DumpEditText(ChipMemory& memory, uint16_t address, DisplayFlags flags);
enum class DumpEditResult { Stored, OutOfRange, Unreadable };
// Reads eight values and writes them from `address` when all are valid. `badIndex` is the
// value above 255 for OutOfRange.
DumpEditResult ApplyDumpEdit(ChipMemory& memory, uint16_t address, const std::string& text,
                             DisplayFlags flags, int& badIndex);
// The character editor's text: the bytes as characters, "." for one outside 32 to 126.
std::string CharEditText(ChipMemory& memory, uint16_t address, int count);
// Writes the characters back; a "." over a byte outside 32 to 126 leaves that byte alone.
void ApplyCharEdit(ChipMemory& memory, uint16_t address, const std::string& text, int count);

// Copies `count` bytes (1 to 65536) from start to destination as an overlapping move, wrapping at
// 64 KB: ascending when the destination lies below the start, else descending from the end.
void CopyMemory(ChipMemory& memory, uint16_t start, int32_t count, uint16_t destination);
void FillMemory(ChipMemory& memory, uint16_t start, int32_t count, uint8_t value);

}  // namespace debugger
