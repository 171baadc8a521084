#pragma once

#include <string_view>

namespace fuzzcheck {

// Sends the bytes to the SD-ROM module as the machine's software would, against a card folder
// made afresh, and checks that every checked frame is answered and that nothing outside the
// card changed; the rule broken, or nullptr.
const char* CheckSdRomFrames(std::string_view bytes);

}  // namespace fuzzcheck
