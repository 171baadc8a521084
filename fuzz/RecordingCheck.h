#pragma once

#include <string_view>

namespace fuzzcheck {

// Decodes the bytes as a recording of the tape signal and checks what came out; the rule
// broken, or nullptr.
const char* CheckRecording(std::string_view bytes);

}  // namespace fuzzcheck
