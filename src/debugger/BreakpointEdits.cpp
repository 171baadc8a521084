#include "debugger/BreakpointEdits.h"

#include <algorithm>

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

}  // namespace debugger
