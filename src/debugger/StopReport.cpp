#include "debugger/StopReport.h"

#include "debugger/DebuggerViews.h"
#include "debugger/Disassembler.h"
#include "debugger/SymbolTable.h"

namespace debugger {

std::string InstructionText(ChipMemory& memory, uint16_t address, DisplayFlags flags,
                            const SymbolTable* symbols) {
    const bool hadFault = memory.Fault();
    uint16_t at = address;
    const std::string line = FormatCodeLine(memory, at, flags, symbols);
    if (!hadFault) memory.ClearFault();
    // " #0100 324020  " or " 00256 324020  ": the address and up to three bytes come first.
    constexpr size_t kPrefix = 15;
    size_t start = line.size() > kPrefix ? kPrefix : line.size();
    // The table's entries start with a blank, or "!" for an undocumented opcode.
    while (start < line.size() && line[start] == ' ') ++start;
    // The listing pads the mnemonic to line the operands up; inside a sentence one blank does.
    std::string text;
    for (size_t i = start; i < line.size(); ++i) {
        if (line[i] != ' ' || text.empty() || text.back() != ' ') text += line[i];
    }
    return text;
}

std::string AddressText(uint16_t address, DisplayFlags flags, const SymbolTable* symbols) {
    std::string text = FormatWord(address, flags);
    if (symbols != nullptr) {
        const std::string name = symbols->Describe(address);
        if (!name.empty()) text += " " + name;
    }
    return text;
}

std::vector<std::string> CallStackLines(const std::vector<CallFrame>& frames, DisplayFlags flags,
                                        const SymbolTable* symbols,
                                        const std::string& interruptMark) {
    std::vector<std::string> lines;
    for (auto frame = frames.rbegin(); frame != frames.rend(); ++frame) {
        std::string line = AddressText(frame->callAt, flags, symbols) + " -> " +
                           AddressText(frame->target, flags, symbols);
        if (frame->interrupt) line += " " + interruptMark;
        lines.push_back(std::move(line));
    }
    return lines;
}

}  // namespace debugger
