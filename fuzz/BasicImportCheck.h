#pragma once

#include <string_view>

namespace fuzzcheck {

// Imports the bytes as a BASIC listing and checks the program image and the log; the rule
// broken, or nullptr.
const char* CheckBasicImport(std::string_view bytes);

}  // namespace fuzzcheck
