#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "machine/ScreenPicture.h"

namespace media {

// The picture as an ordinary Windows BMP: 8 bits per pixel, the 16-entry palette, rows stored
// bottom-up so that every viewer shows it upright. Empty when the picture is malformed (no
// pixels, or fewer than width × height).
std::vector<uint8_t> EncodeBitmap(const ScreenPicture& picture);

// EncodeBitmap written to `path` through a temporary file; false (errno set) on failure.
bool SaveBitmap(const ScreenPicture& picture, const std::string& path);

}  // namespace media
