#pragma once

#include "debugger/DebuggerCore.h"
#include "debugger/DebuggerViews.h"
#include "debugger/DisplayFlags.h"
#include "host/config/Settings.h"

// The debugger's stored choices: radix, notation, the listing source and the MEM views, the six
// breakpoints. Read at the window's first showing; written when the user runs the machine from
// the debugger, closes it and at exit. The window's position is the window's own business.
namespace debugger {

struct DebuggerChoices {
    DisplayFlags flags;
    int highlightColor = 15714740;  // red in the low byte, as stored
};

void ReadDebuggerSettings(const config::Settings& settings, DebuggerChoices& choices,
                          DebuggerListing& listing, DebuggerCore& core);
void WriteDebuggerSettings(config::Settings& settings, const DebuggerChoices& choices,
                           const DebuggerListing& listing, const DebuggerCore& core);

}  // namespace debugger
