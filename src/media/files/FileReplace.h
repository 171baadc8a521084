#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace media {

// Writes `size` bytes as the whole new content of `path`: into a fresh file beside it first,
// which then replaces the target in one rename. A failure at any step leaves the old file as it
// was and no temporary behind; errno tells why.
bool WriteFileReplacing(const std::string& path, const uint8_t* data, size_t size);

}  // namespace media
