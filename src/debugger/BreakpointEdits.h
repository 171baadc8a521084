#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "debugger/DebuggerCore.h"
#include "debugger/DisplayFlags.h"

// The breakpoint changes the debugger window makes beyond its six slots: the listing's mark
// column and the breakpoint dialog.
namespace debugger {

class SymbolTable;

// The list entries the window adds; the adapter and others keep groups of their own.
inline constexpr const char* kWindowGroup = "window";

// Whether the listing marks `address`: a user slot that is on, or an entry of the list. The
// temporary slot of a step is no breakpoint of the user's.
bool BreakpointMarked(const DebuggerCore& core, uint16_t address);

// A click on the mark column. A line with a slot or a window entry loses them all; otherwise it
// gets the first free slot, or a window entry once the six are taken. Another group's entries
// stay. Returns whether a breakpoint is set there now.
bool ToggleBreakpointAt(DebuggerCore& core, uint16_t address);

// What the window knows of the entries it added beyond the core's functions: the texts they
// were made from, to name them in the list and in the stop reason.
class BreakpointNotes {
  public:
    void Note(int id, std::string condition, std::string hitRule);
    void Forget(int id);
    // "" for an entry without one, or one the window did not add.
    const std::string& Condition(int id) const;
    const std::string& HitRule(int id) const;

  private:
    struct Texts {
        std::string condition;
        std::string hitRule;
    };
    std::map<int, Texts> texts_;
};

}  // namespace debugger
