#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "machine/ScreenPicture.h"

namespace media {

// The picture as a PNG: 8-bit indexed colour with the 16-entry palette, rows top first, so it
// holds exactly the pixels of the BMP. Empty when the picture is malformed.
std::vector<uint8_t> EncodePng(const ScreenPicture& picture);

bool SavePng(const ScreenPicture& picture, const std::string& path, std::string* error = nullptr);

// The picture in the format its file name asks for: PNG for a ".png" name (in any case), BMP
// for anything else.
bool SavePicture(const ScreenPicture& picture, const std::string& path,
                 std::string* error = nullptr);

}  // namespace media
