#pragma once

#include <string_view>

namespace fuzzcheck {

// Reads the bytes as a tape image and checks what the reader made of them; the rule broken, or
// nullptr.
const char* CheckTapeImage(std::string_view bytes);

}  // namespace fuzzcheck
