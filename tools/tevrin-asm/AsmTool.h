#pragma once

#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

// The tevrin-asm command: reads a source file, assembles it and writes the image (and, when
// asked, a listing and a symbol file). Every output is written to a temporary file beside its
// target first and moved into place only when all of them are complete, so an error leaves no
// file behind, half-written or otherwise.
namespace assembler {

inline constexpr int kAsmExitOk = 0;
inline constexpr int kAsmExitErrors = 1;  // the source has errors
inline constexpr int kAsmExitUsage = 2;   // bad arguments, or a file that cannot be read/written

// args[0] is the program name. Messages go to `err`, the help text to `out`.
int RunAsmTool(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace assembler
