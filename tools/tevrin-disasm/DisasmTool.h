#pragma once

#include <ostream>
#include <string>
#include <vector>

// The tevrin-disasm command: a raw binary placed in 64 KB of memory, a range list in the
// disassembly window's format, and the window's own writer producing the text file.
namespace debugger {

inline constexpr int kDisasmExitOk = 0;
inline constexpr int kDisasmExitBadRanges = 1;  // the range list is malformed or empty
inline constexpr int kDisasmExitUsage = 2;      // bad arguments, or a file that cannot be used

// args[0] is the program name. Messages go to `err`, the help text to `out`.
int RunDisasmTool(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace debugger
