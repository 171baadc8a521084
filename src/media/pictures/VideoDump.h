#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "machine/ChipMemory.h"

namespace media {

inline constexpr int kVideoDumpSize = 3 * 0x2000;  // 24,576 bytes

// The three video planes straight from their physical pages, unscrolled and unmapped: red
// (E6-E7), green (EA-EB), blue (EE-EF), 8 KB each. A page that does not exist gives zeros.
std::vector<uint8_t> CollectVideoPlanes(const ChipMemory& memory);

// CollectVideoPlanes written to `path` through files::WriteFileAtomically; false on failure,
// with errno set and the reason in `error` when given.
bool SaveVideoPlanes(const ChipMemory& memory, const std::string& path,
                     std::string* error = nullptr);

}  // namespace media
