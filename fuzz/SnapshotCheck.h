#pragma once

#include <string_view>

namespace fuzzcheck {

// Loads the bytes as a snapshot into a running machine (with the multiplier and the SD-ROM module
// on a card folder made afresh), once as they are and once with a correct checksum appended, so
// that the loader's checks behind the checksum are reached, and once as patches to a real
// snapshot of the machine. A refused load must leave the machine
// exactly as it was; an accepted one must save back to a snapshot that loads, and the machine
// must run on. The rule broken, or nullptr.
const char* CheckSnapshot(std::string_view bytes);

}  // namespace fuzzcheck
