#pragma once

#include <string_view>

namespace fuzzcheck {

// Reads any bytes as a language file and checks what the reader makes of them: only valid UTF-8
// handed on, lookups that agree with the listing. Returns the first rule broken, or nullptr.
const char* CheckIniFile(std::string_view bytes);

}  // namespace fuzzcheck
