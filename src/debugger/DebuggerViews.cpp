#include "debugger/DebuggerViews.h"

#include <cstdio>

#include "asm/NumberFormat.h"
#include "debugger/Disassembler.h"
#include "debugger/SearchPatternEditor.h"
#include "machine/InstructionSet.h"

namespace debugger {

using assembler::FormatNumber;

std::string FormatWord(uint16_t value, DisplayFlags flags) {
    return FormatNumber(
        value,
        {.Word = true, .FixedWidth = true, .Hexadecimal = !flags.DecimalRadix, .HashPrefix = true});
}

std::string FormatByte(uint8_t value, DisplayFlags flags) {
    return FormatNumber(value, {.Word = false,
                                .FixedWidth = true,
                                .Hexadecimal = !flags.DecimalRadix,
                                .HashPrefix = true});
}

uint16_t RegisterValue(const ChipCpu8080& cpu, int index) {
    switch (index) {
        case 0: return cpu.PSW();
        case 1: return cpu.BC();
        case 2: return cpu.DE();
        case 3: return cpu.HL();
        case 4: return cpu.PC;
        default: return cpu.SP;
    }
}

void SetRegisterValue(ChipCpu8080& cpu, int index, uint16_t value) {
    switch (index) {
        case 0: cpu.SetPSW(static_cast<uint16_t>((value & ~0x28) | 0x02)); break;
        case 1: cpu.SetBC(value); break;
        case 2: cpu.SetDE(value); break;
        case 3: cpu.SetHL(value); break;
        case 4: cpu.PC = value; break;
        default: cpu.SP = value; break;
    }
}

void ToggleFlag(ChipCpu8080& cpu, int index) {
    static constexpr uint8_t kBits[5] = {0x80, 0x40, 0x10, 0x04, 0x01};
    if (index >= 0 && index < 5) {
        cpu.F ^= kBits[index];
    } else if (index == 5) {
        cpu.SetInte(!cpu.Inte);
    }
}

RegisterTexts FormatRegisters(const ChipCpu8080& cpu, ChipMemory& memory, DisplayFlags flags) {
    static constexpr const char* kNames[6] = {"AF:", "BC:", "DE:", "HL:", "PC:", "SP:"};
    RegisterTexts texts;
    for (int i = 0; i < 6; ++i) {
        texts.registers[static_cast<size_t>(i)] =
            std::string(kNames[i]) + FormatWord(RegisterValue(cpu, i), flags);
    }
    const uint8_t f = cpu.F;
    texts.flags = {f & 0x80 ? " M" : " P", f & 0x40 ? " Z" : "NZ", f & 0x10 ? "AC" : "NA",
                   f & 0x04 ? "PE" : "PO", f & 0x01 ? " C" : "NC", cpu.Inte ? "EI" : "DI"};
    for (int i = 0; i < 5; ++i) {
        const auto address = static_cast<uint16_t>(cpu.SP + 2 * i);
        texts.stackAddresses[static_cast<size_t>(i)] = FormatWord(address, flags);
        texts.stackValues[static_cast<size_t>(i)] = FormatWord(memory.ReadWord(address), flags);
    }
    char ticks[24];
    std::snprintf(ticks, sizeof ticks, "T:%010d", cpu.ClockTicks & 0x7FFFFFFF);
    texts.ticks = ticks;
    return texts;
}

std::array<std::string, 2> FormatMemoryMap(const MemoryOrganizer& organizer, DisplayFlags flags) {
    std::array<std::string, 2> labels;
    for (int group = 0; group < 16; ++group) {
        std::string& label = labels[static_cast<size_t>(group / 8)];
        if (!label.empty()) label += ' ';
        char digit[4];
        std::snprintf(digit, sizeof digit, "%X:", group);
        label += digit;
        label += FormatByte(organizer.PageRegister(group), flags);
    }
    return labels;
}

int MemoryMapGroup(int label, int column) {
    // Each group is six characters wide ("0:#FF "); the label's bands start half a character
    // early, as the pixel rule (x + 4) / 48 does for 8-pixel characters.
    int group = (column * 8 + 4) / 48;
    if (group > 7) group = 7;
    if (group < 0) group = 0;
    return group + 8 * label;
}

std::array<std::string, 3> FormatChipLabels(uint8_t scroll, uint8_t colour, uint8_t lastWritten,
                                            uint8_t requests, DisplayFlags flags) {
    char colourText[8];
    if (flags.DecimalRadix) {
        std::snprintf(colourText, sizeof colourText, "C:%d", colour);
    } else {
        std::snprintf(colourText, sizeof colourText, "C:#%X", colour & 0x0F);
    }
    return {"R:" + FormatByte(scroll, flags), colourText,
            "I:" + FormatByte(lastWritten, flags) + " " + FormatByte(requests, flags)};
}

std::string FormatDumpLine(ChipMemory& memory, uint16_t& address, int type, DisplayFlags flags) {
    std::string line = " " + FormatWord(address, flags) + "  ";
    const int count = type == kAscii ? 32 : 8;
    std::string characters;
    for (int i = 0; i < count; ++i) {
        const uint8_t b = memory.Read(static_cast<uint16_t>(address + i));
        if (type != kAscii) line += FormatByte(b, flags) + " ";
        characters += b >= 32 && b <= 126 ? static_cast<char>(b) : '.';
    }
    line += ' ';
    line += characters;
    address = static_cast<uint16_t>(address + count);
    return line;
}

uint16_t DebuggerListing::Base(const ChipCpu8080& cpu, int source) const {
    switch (source) {
        case kMem1:
        case kMem2:
        case kMem3: return sources[static_cast<size_t>(source)].base;
        case kAF: return cpu.PSW();
        case kBC: return cpu.BC();
        case kDE: return cpu.DE();
        case kHL: return cpu.HL();
        case kPC: return cpu.PC;
        default: return cpu.SP;
    }
}

uint16_t DebuggerListing::Start(const ChipCpu8080& cpu) const {
    return static_cast<uint16_t>(Base(cpu, current) + Current().offset);
}

std::string DebuggerListing::Caption(DisplayFlags flags) const {
    static constexpr const char* kNames[kSourceCount] = {"(MEM1", "(MEM2", "(MEM3", "(AF", "(BC",
                                                         "(DE",   "(HL",   "(PC",   "(SP"};
    std::string caption = kNames[current];
    const int32_t offset = Current().offset;
    if (offset != 0) {
        caption += offset > 0 ? "+" : "-";
        caption +=
            FormatNumber(offset > 0 ? offset : -offset,
                         {.Word = true, .Hexadecimal = !flags.DecimalRadix, .HashPrefix = true});
    }
    return caption + ")";
}

std::vector<std::string> DebuggerListing::Lines(const ChipCpu8080& cpu, ChipMemory& memory,
                                                DisplayFlags flags,
                                                const SymbolTable* symbols) const {
    std::vector<std::string> lines;
    uint16_t address = Start(cpu);
    for (int i = 0; i < kLines; ++i) {
        lines.push_back(shownType == kDisassembly
                            ? FormatCodeLine(memory, address, flags, symbols)
                            : FormatDumpLine(memory, address, shownType, flags));
    }
    return lines;
}

uint16_t DebuggerListing::LineAddress(const ChipCpu8080& cpu, ChipMemory& memory, int line) const {
    const uint16_t start = Start(cpu);
    switch (shownType) {
        case kDump: return static_cast<uint16_t>(start + 8 * line);
        case kAscii: return static_cast<uint16_t>(start + 32 * line);
        default: return NextInstructionAddress(memory, start, line);
    }
}

bool DebuggerListing::Scroll(const ChipCpu8080& cpu, ChipMemory& memory, bool up, bool tenfold,
                             bool fine) {
    ListingSource& source = Current();
    if (fine && tenfold && current <= kMem3) {
        source.base = static_cast<uint16_t>(source.base + (up ? -1 : 1));
        return true;
    }
    int32_t distance = 0;
    if (fine) {
        distance = up ? -1 : 1;
    } else if (shownType == kDump || shownType == kAscii) {
        distance = (shownType == kDump ? 8 : 32) * (tenfold ? 10 : 1) * (up ? -1 : 1);
    } else {
        const uint16_t start = Start(cpu);
        const int count = tenfold ? 9 : 1;
        if (up) {
            const uint16_t to = PreviousInstructionAddress(memory, start, count);
            distance = -static_cast<int32_t>(static_cast<uint16_t>(start - to));
        } else {
            const uint16_t to = NextInstructionAddress(memory, start, count);
            distance = static_cast<uint16_t>(to - start);
        }
    }
    const int32_t offset = source.offset + distance;
    if (offset < -kOffsetLimit || offset > kOffsetLimit) return false;
    source.offset = offset;
    return true;
}

void DebuggerListing::Jump(uint16_t target, int type) {
    current = kMem1;
    sources[kMem1] = {target, 0, type};
    shownType = type;
}

void DebuggerListing::MoveTo(const ChipCpu8080& cpu, uint16_t address) {
    if (!CurrentIsRegister()) {
        Current().base = address;
        Current().offset = 0;
        return;
    }
    int32_t offset = static_cast<int32_t>(address) - Base(cpu, current);
    if (offset > kOffsetLimit) offset -= 0x10000;
    if (offset < -kOffsetLimit) offset += 0x10000;
    Current().offset = offset;
}

bool DebuggerListing::Push(const ChipCpu8080& cpu, uint16_t target) {
    if (static_cast<int>(nesting.size()) >= kMaxNesting) return false;
    nesting.insert(nesting.begin(), {Base(cpu, current), Current().offset, current});
    if (CurrentIsRegister()) current = kMem1;
    Current().base = target;
    Current().offset = 0;
    shownType = kDisassembly;
    return true;
}

bool DebuggerListing::Pop() {
    if (nesting.empty()) return false;
    const NestingEntry top = nesting.front();
    nesting.erase(nesting.begin());
    current = top.source > kMem3 ? kMem1 : top.source;
    Current() = {top.base, top.offset, kDisassembly};
    shownType = kDisassembly;
    return true;
}

void DebuggerListing::ValueToMem(int item, uint16_t value, bool fromListingAddress) {
    const int32_t offset = fromListingAddress ? Current().offset : 0;
    const int type = fromListingAddress ? Current().type : kDump;
    ListingSource& target = sources[static_cast<size_t>(item % 3)];
    if (item < 3) {
        target = {value, 0, type};
    } else if (item < 6) {
        target = {static_cast<uint16_t>(value + offset), 0, type};
    } else {
        target = {value, offset, type};
    }
    current = item % 3;
    shownType = type;
}

LineClick ClassifyLineClick(bool rightButton, bool instructionLine, int type, double column) {
    // The bands, in pixels of an 8-pixel character: address below 50, mnemonic 128 to 164,
    // bytes 63 to 320, characters 326 to 396 (ASCII 71 to 324), operand 168 to 250.
    const double x = column * 8.0;
    const bool code = instructionLine || type == kDisassembly;
    LineClick click;
    if (!rightButton) {
        if (code && x < 50) return {LineAction::Breakpoint, 0};
        if (!instructionLine && type == kDisassembly && x > 128 && x < 164)
            return {LineAction::InlineAssembler, 0};
        if (!instructionLine && type == kDump && x > 63 && x < 320)
            return {LineAction::DumpEditor, static_cast<int>((x - 63) / 32)};
        if (!instructionLine && type == kDump && x > 326 && x < 396)
            return {LineAction::CharEditor, static_cast<int>((x - 326) / 8)};
        if (!instructionLine && type == kAscii && x > 71 && x < 324)
            return {LineAction::CharEditor, static_cast<int>((x - 71) / 8)};
        if (code && x > 168 && x < 250) return {LineAction::Jump, 0};
    } else if (code && x > 168 && x < 250) {
        return {LineAction::Nest, 0};
    }
    return click;
}

bool OperandTarget(ChipMemory& memory, uint16_t address, uint16_t& target) {
    const uint8_t opcode = memory.Read(address);
    if ((opcode & 0xC7) == 0xC7) {
        target = opcode & 0x38;
        return true;
    }
    if (isa::InstructionLength[opcode] != 3) return false;
    target = memory.ReadWord(static_cast<uint16_t>(address + 1));
    return true;
}

std::string DumpEditText(ChipMemory& memory, uint16_t address, DisplayFlags flags) {
    std::string text;
    for (int i = 0; i < 8; ++i) {
        if (i > 0) text += ' ';
        text += FormatByte(memory.Read(static_cast<uint16_t>(address + i)), flags);
    }
    return text;
}

DumpEditResult ApplyDumpEdit(ChipMemory& memory, uint16_t address, const std::string& text,
                             DisplayFlags flags, int& badIndex) {
    // The same layout as the search dialog's values, read the same way.
    const NumbersReadout readout = ReadEightNumbers(text, flags.DecimalRadix);
    if (!readout.Ok) {
        if (readout.BadColumn < 0) return DumpEditResult::Unreadable;
        badIndex = readout.BadColumn / 4;
        return DumpEditResult::OutOfRange;
    }
    for (int i = 0; i < 8; ++i) {
        memory.Write(static_cast<uint16_t>(address + i), readout.Values[static_cast<size_t>(i)]);
    }
    return DumpEditResult::Stored;
}

std::string CharEditText(ChipMemory& memory, uint16_t address, int count) {
    std::string text;
    for (int i = 0; i < count; ++i) {
        const uint8_t b = memory.Read(static_cast<uint16_t>(address + i));
        text += b >= 32 && b <= 126 ? static_cast<char>(b) : '.';
    }
    return text;
}

void ApplyCharEdit(ChipMemory& memory, uint16_t address, const std::string& text, int count) {
    for (int i = 0; i < count && i < static_cast<int>(text.size()); ++i) {
        const auto at = static_cast<uint16_t>(address + i);
        const auto c = static_cast<uint8_t>(text[static_cast<size_t>(i)]);
        const uint8_t old = memory.Read(at);
        if (c == '.' && (old < 32 || old > 126)) continue;
        memory.Write(at, c);
    }
}

void CopyMemory(ChipMemory& memory, uint16_t start, int32_t count, uint16_t destination) {
    if (destination < start) {
        for (int32_t i = 0; i < count; ++i) {
            memory.Write(static_cast<uint16_t>(destination + i),
                         memory.Read(static_cast<uint16_t>(start + i)));
        }
    } else {
        for (int32_t i = count - 1; i >= 0; --i) {
            memory.Write(static_cast<uint16_t>(destination + i),
                         memory.Read(static_cast<uint16_t>(start + i)));
        }
    }
}

void FillMemory(ChipMemory& memory, uint16_t start, int32_t count, uint8_t value) {
    for (int32_t i = 0; i < count; ++i) memory.Write(static_cast<uint16_t>(start + i), value);
}

}  // namespace debugger
