#include "debugger/BreakpointEdits.h"

#include <algorithm>

#include "debugger/DebugExpression.h"
#include "debugger/DebuggerViews.h"
#include "debugger/SymbolTable.h"

namespace debugger {

bool BreakpointMarked(const DebuggerCore& core, uint16_t address) {
    for (int i = 1; i <= DebuggerCore::kUserSlots; ++i) {
        const BreakpointSlot& slot = core.Breakpoints[static_cast<size_t>(i)];
        if (slot.active != 0 && slot.address == address) return true;
    }
    const std::vector<Breakpoint>& list = core.BreakpointList();
    return std::any_of(list.begin(), list.end(),
                       [address](const Breakpoint& b) { return b.address == address; });
}

bool ToggleBreakpointAt(DebuggerCore& core, uint16_t address) {
    bool cleared = false;
    for (int i = 1; i <= DebuggerCore::kUserSlots; ++i) {
        BreakpointSlot& slot = core.Breakpoints[static_cast<size_t>(i)];
        if (slot.active != 0 && slot.address == address) {
            slot.active = 0;
            cleared = true;
        }
    }
    std::vector<int> ours;
    for (const Breakpoint& b : core.BreakpointList()) {
        if (b.address == address && b.group == kWindowGroup) ours.push_back(b.id);
    }
    for (int id : ours) core.RemoveEntry(id);
    if (cleared || !ours.empty()) return BreakpointMarked(core, address);
    if (core.SetBreakpointAt(address) == 0) {
        Breakpoint entry;
        entry.group = kWindowGroup;
        entry.address = address;
        core.AddBreakpoint(std::move(entry));
    }
    return true;
}

void BreakpointNotes::Note(int id, std::string condition, std::string hitRule) {
    texts_[id] = {std::move(condition), std::move(hitRule)};
}

void BreakpointNotes::Forget(int id) {
    texts_.erase(id);
}

const std::string& BreakpointNotes::Condition(int id) const {
    static const std::string kNone;
    const auto found = texts_.find(id);
    return found == texts_.end() ? kNone : found->second.condition;
}

const std::string& BreakpointNotes::HitRule(int id) const {
    static const std::string kNone;
    const auto found = texts_.find(id);
    return found == texts_.end() ? kNone : found->second.hitRule;
}

namespace {

std::string Where(uint16_t address, DisplayFlags flags, const SymbolTable* symbols) {
    std::string text = FormatWord(address, flags);
    if (symbols != nullptr) {
        const std::string name = symbols->Describe(address);
        if (!name.empty()) text += " " + name;
    }
    return text;
}

}  // namespace

std::vector<BreakpointRow> BreakpointRows(const DebuggerCore& core, const BreakpointNotes& notes,
                                          DisplayFlags flags, const SymbolTable* symbols) {
    std::vector<BreakpointRow> rows;
    for (int i = 1; i <= DebuggerCore::kUserSlots; ++i) {
        const BreakpointSlot& slot = core.Breakpoints[static_cast<size_t>(i)];
        if (slot.active == 0 && slot.address == 0) continue;
        BreakpointRow row;
        row.key = i;
        row.where = Where(slot.address, flags, symbols);
        row.active = slot.active != 0;
        rows.push_back(std::move(row));
    }
    for (const Breakpoint& b : core.BreakpointList()) {
        BreakpointRow row;
        row.kind = BreakpointRow::Kind::Breakpoint;
        row.key = b.id;
        row.where = Where(b.address, flags, symbols);
        row.condition = notes.Condition(b.id);
        row.hitRule = notes.HitRule(b.id);
        row.hits = b.hits;
        rows.push_back(std::move(row));
    }
    for (const Watchpoint& w : core.Watchpoints()) {
        BreakpointRow row;
        row.kind = BreakpointRow::Kind::Watch;
        row.key = w.id;
        if (w.port) {
            row.where = FormatByte(static_cast<uint8_t>(w.from), flags);
        } else {
            row.where = Where(w.from, flags, symbols);
            if (w.to != w.from) row.where += " - " + Where(w.to, flags, symbols);
        }
        row.port = w.port;
        row.onRead = w.onRead;
        row.onWrite = w.onWrite;
        rows.push_back(std::move(row));
    }
    return rows;
}

std::optional<EditRefusal> AddListedBreakpoint(DebuggerCore& core, BreakpointNotes& notes,
                                               const std::string& address,
                                               const std::string& condition,
                                               const std::string& hitRule,
                                               const SymbolTable& symbols) {
    std::string error;
    const std::optional<uint16_t> at = ParseAddress(address, symbols, error);
    if (!at) return EditRefusal{"Address", error};
    Breakpoint entry;
    entry.group = kDialogGroup;
    entry.address = *at;
    std::string conditionText;
    if (condition.find_first_not_of(' ') != std::string::npos) {
        std::optional<BreakCondition> compiled = BreakCondition::Compile(condition, symbols, error);
        if (!compiled) return EditRefusal{"Condition", error};
        conditionText = compiled->Text();
        entry.condition = [rule = std::move(*compiled)](const ChipCpu8080& cpu,
                                                        const ChipMemory& memory) {
            return rule.Holds(cpu, memory);
        };
    }
    std::string hitText;
    if (hitRule.find_first_not_of(' ') != std::string::npos) {
        const std::optional<HitCondition> hits = HitCondition::Parse(hitRule);
        if (!hits) return EditRefusal{"Hits", QuoteInput(hitRule)};
        hitText = hitRule.substr(hitRule.find_first_not_of(' '));
        entry.hitRule = [rule = *hits](uint64_t count) { return rule.Stops(count); };
    }
    const int id = core.AddBreakpoint(std::move(entry));
    notes.Note(id, std::move(conditionText), std::move(hitText));
    return std::nullopt;
}

std::optional<EditRefusal> AddWatch(DebuggerCore& core, const std::string& from,
                                    const std::string& to, bool port, bool onRead, bool onWrite,
                                    const SymbolTable& symbols) {
    if (!onRead && !onWrite) return EditRefusal{"Access", {}};
    std::string error;
    const std::optional<uint16_t> first = ParseAddress(from, symbols, error);
    if (!first) return EditRefusal{"Address", error};
    uint16_t last = *first;
    if (!port && to.find_first_not_of(' ') != std::string::npos) {
        const std::optional<uint16_t> end = ParseAddress(to, symbols, error);
        if (!end) return EditRefusal{"Address", error};
        last = *end;
    }
    if (port && *first > 0xFF) return EditRefusal{"Port", QuoteInput(from)};
    Watchpoint watch;
    watch.group = kDialogGroup;
    watch.from = *first;
    watch.to = last;
    watch.port = port;
    watch.onRead = onRead;
    watch.onWrite = onWrite;
    core.AddWatchpoint(std::move(watch));
    return std::nullopt;
}

bool RemoveRow(DebuggerCore& core, BreakpointNotes& notes, const BreakpointRow& row) {
    if (row.kind == BreakpointRow::Kind::Slot) {
        if (row.key < 1 || row.key > DebuggerCore::kUserSlots) return false;
        core.Breakpoints[static_cast<size_t>(row.key)] = {};
        return true;
    }
    notes.Forget(row.key);
    return core.RemoveEntry(row.key);
}

}  // namespace debugger
