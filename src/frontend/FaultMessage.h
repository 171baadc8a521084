#pragma once

#include <string>

#include "emulator/Machine.h"

// What happened, alone (from the language file's FormMain section): the headless runner prints
// it with its exit status, since there is nobody to answer a question.
std::string FaultDescription(const Machine::Fault& fault);
// The lock message of the window's box: what happened, then what the user can do (open the
// debugger, or only reset when there is none).
std::string FaultMessage(const Machine::Fault& fault, bool debuggerAvailable);
