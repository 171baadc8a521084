#pragma once

#include <string>

#include "emulator/Machine.h"

// The lock message for a fault (from the language file's FormMain section): what happened, then
// what the user can do (open the debugger, or only reset when there is none). The window shows it
// in its box; the headless runner prints it.
std::string FaultMessage(const Machine::Fault& fault, bool debuggerAvailable);
