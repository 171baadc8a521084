#pragma once

#include <string_view>

namespace fuzzcheck {

// Reads the bytes as the disassembly window's range-list file and checks what the loader made
// of them; the rule broken, or nullptr.
const char* CheckRangeList(std::string_view bytes);

}  // namespace fuzzcheck
