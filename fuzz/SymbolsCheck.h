#pragma once

#include <string_view>

namespace fuzzcheck {

// Reads the bytes as a symbols file or listing, checks what the table made of them, then reads
// each line as an address, an operand, a breakpoint condition and a hit condition with that
// table; the rule broken, or nullptr.
const char* CheckSymbols(std::string_view bytes);

}  // namespace fuzzcheck
