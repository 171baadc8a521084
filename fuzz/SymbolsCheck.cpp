#include "fuzz/SymbolsCheck.h"

#include <algorithm>
#include <optional>
#include <string>

#include "debugger/DebugExpression.h"
#include "debugger/SymbolTable.h"
#include "machine/ChipCpu8080.h"
#include "machine/ChipMemory.h"
#include "machine/MemoryOrganizer.h"

namespace fuzzcheck {

namespace {

struct Machine {
    MemoryOrganizer organizer;
    ChipMemory memory{organizer};
    ChipCpu8080 cpu{memory};

    Machine() {
        memory.AllocatePages(0, 15, false);
        for (int window = 0; window < 16; ++window) {
            // The last window stays unmapped, so operands also read absent memory.
            organizer.SetPageRegister(window, static_cast<uint8_t>(window));
            if (window < 15) {
                for (int i = 0; i < 0x1000; ++i) {
                    memory.PagePointer(window)[i] = static_cast<uint8_t>(i * 13 + window);
                }
            }
        }
        organizer.EnablePaging();
        cpu.A = 0x5A;
        cpu.SetBC(0x1234);
        cpu.SetDE(0x8001);
        cpu.SetHL(0xFFFF);
        cpu.SP = 0xEFFE;
        cpu.PC = 0x0100;
    }
};

const char* CheckTable(const debugger::SymbolTable& table) {
    for (const auto& [name, value] : table.Names()) {
        std::string lower = name;
        std::transform(lower.begin(), lower.end(), lower.begin(),
                       [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; });
        if (table.Find(name) != value || table.Find(lower) != value) {
            return "a name does not find its value";
        }
        const std::string* at = table.NameAt(value);
        if (at == nullptr || table.Find(*at) != value) return "no name at a name's value";
        if (table.Describe(value) != *at) return "a name's value describes as another name";
        // A label wins over the same letters read as a number, so every name reads back.
        if (debugger::ParseAddress(name, table) != value) return "a name does not parse back";
        for (const int offset : {1, 9, 10, 0xFF, 0x100}) {
            const auto address = static_cast<uint16_t>(value + offset);
            const std::string described = table.Describe(address);
            if (value + offset <= 0xFFFF && described.empty()) return "no description in reach";
            if (!described.empty() && debugger::ParseAddress(described, table) != address) {
                return "a description does not parse back to its address";
            }
        }
    }
    return nullptr;
}

}  // namespace

const char* CheckSymbols(std::string_view bytes) {
    static Machine machine;
    debugger::SymbolTable table;
    table.Add("#MARK", 0x4321);  // no file can hold this name
    std::string error;
    if (!table.Load(bytes, error)) {
        if (error.empty()) return "a failed load without a message";
        if (table.Size() != 1 || table.Find("#MARK") != 0x4321) {
            return "a failed load changed the table";
        }
        if (error.rfind("line ", 0) != 0 && bytes.size() <= debugger::SymbolTable::kMaxFileBytes) {
            return "a failed load names no line";
        }
    } else {
        if (table.Find("#MARK")) return "a load kept a name from before";
        if (table.Size() > debugger::SymbolTable::kMaxNames) return "too many names kept";
        if (const char* broken = CheckTable(table)) return broken;
    }

    // Every line as each kind of field, with whatever table the load left.
    size_t at = 0;
    for (int lines = 0; at < bytes.size() && lines < 64; ++lines) {
        size_t end = bytes.find('\n', at);
        if (end == std::string_view::npos) end = bytes.size();
        const std::string_view line = bytes.substr(at, std::min<size_t>(end - at, 256));
        at = end + 1;
        std::string why;
        (void)debugger::ParseAddress(line, table, why);
        (void)debugger::EvaluateOperand(line, machine.cpu, machine.memory, table);
        const std::optional<debugger::BreakCondition> condition =
            debugger::BreakCondition::Compile(line, table, why);
        if (condition) {
            if (!why.empty() || condition->Text().empty()) return "a condition with a message";
            (void)condition->Holds(machine.cpu, machine.memory);
        } else if (why.empty()) {
            return "a refused condition without a message";
        }
        // The extremes of the count, for the sanitizers (a "%0" would divide by zero).
        if (const std::optional<debugger::HitCondition> hit = debugger::HitCondition::Parse(line)) {
            (void)hit->Stops(1);
            (void)hit->Stops(UINT64_MAX);
        }
    }
    if (machine.memory.Fault()) return "looking at memory raised a fault";
    return nullptr;
}

}  // namespace fuzzcheck
