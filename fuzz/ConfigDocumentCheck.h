#pragma once

#include <string_view>

namespace fuzzcheck {

// Loads any bytes as the configuration file, reads every setting, writes some, and checks that
// the document stays well-formed and loads again as written. Returns the first rule broken, or
// nullptr.
const char* CheckConfigDocument(std::string_view bytes);

}  // namespace fuzzcheck
