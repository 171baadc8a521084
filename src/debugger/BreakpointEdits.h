#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "debugger/DebuggerCore.h"
#include "debugger/DisplayFlags.h"

// The breakpoint changes the debugger window makes beyond its six slots: the listing's mark
// column and the breakpoint dialog.
namespace debugger {

class SymbolTable;

// The list entries the window's mark column adds, and those of its dialog, which a click on the
// mark column leaves alone: they carry conditions typed with care. The adapter and others keep
// groups of their own.
inline constexpr const char* kWindowGroup = "window";
inline constexpr const char* kDialogGroup = "window-dialog";

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

// One line of the breakpoint dialog: a slot (key 1 to 6), a list entry or a watch (key: its id).
struct BreakpointRow {
    enum class Kind { Slot, Breakpoint, Watch };
    Kind kind = Kind::Slot;
    int key = 0;
    std::string where;  // "#C50C", "#C50C GK1", a watch's "#4000-#40FF" or a port's "#F8"
    std::string condition;
    std::string hitRule;
    uint64_t hits = 0;
    bool active = true;  // a slot may be off
    bool port = false, onRead = false, onWrite = false;
};
// The six slots that have an address or are on, then the list, then the watches.
std::vector<BreakpointRow> BreakpointRows(const DebuggerCore& core, const BreakpointNotes& notes,
                                          DisplayFlags flags, const SymbolTable* symbols);

// Why an entry was refused: `field` names the field (a language key's last part: "Address",
// "Condition", "Hits", "Port", "Access"), `message` the reader's own words when it has some.
struct EditRefusal {
    std::string field;
    std::string message;
};

// The dialog's Add: a breakpoint of the window's group at `address` (a number or a label),
// stopping when `condition` holds (empty: always) on the hits `hitRule` names (empty: every
// one). Nothing changes when a field is refused.
std::optional<EditRefusal> AddListedBreakpoint(DebuggerCore& core, BreakpointNotes& notes,
                                               const std::string& address,
                                               const std::string& condition,
                                               const std::string& hitRule,
                                               const SymbolTable& symbols);
// A watch on memory `from` to `to` (empty: the one byte), or on the port `from` (0 to FF).
std::optional<EditRefusal> AddWatch(DebuggerCore& core, const std::string& from,
                                    const std::string& to, bool port, bool onRead, bool onWrite,
                                    const SymbolTable& symbols);
// A slot goes off and forgets its address; an entry or watch goes. False when it was gone.
bool RemoveRow(DebuggerCore& core, BreakpointNotes& notes, const BreakpointRow& row);

}  // namespace debugger
