#pragma once

#include <string_view>

namespace fuzzcheck {

// Feeds the bytes to the debug adapter's frame parser as a stream cut in several ways and checks
// that every cut gives the same bodies and the same end; the rule broken, or nullptr.
const char* CheckDapFrames(std::string_view bytes);

}  // namespace fuzzcheck
