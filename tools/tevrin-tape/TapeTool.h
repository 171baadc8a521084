#pragma once

#include <ostream>
#include <string>
#include <vector>

// The tevrin-tape command: lists, extracts, extends and converts tape images with the tape
// browser's own code. Every file it writes is written whole beside its target and moved over it
// at the end, so a failure leaves the old file (or none) and never a half-written one.
namespace tapetool {

inline constexpr int kExitOk = 0;
inline constexpr int kExitLogged = 1;    // a BASIC import wrote a log (the tape is still written)
inline constexpr int kExitNoRecord = 1;  // from-wav found no record on the recording
inline constexpr int kExitDamaged = 1;   // extract wrote a block that has no good copy
inline constexpr int kExitUsage = 2;     // bad arguments, or a file that cannot be read or written

// args[0] is the program name. Messages go to `err`, listings and the help text to `out`.
int RunTapeTool(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace tapetool
