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

// Whether a picture can be encoded: a positive size no larger than 16384 on either side (the
// screen never makes more than 512 × 512; the cap keeps the sizes far inside 32 bits) and a
// pixel for every place.
bool EncodablePicture(const ScreenPicture& picture);

// An encoded picture written to `path` through files::WriteFileAtomically; an empty one (no
// pixels) is refused with EINVAL.
bool SaveEncodedPicture(const std::vector<uint8_t>& file, const std::string& path,
                        std::string* error);
// EncodeBitmap written to `path` through files::WriteFileAtomically; false on failure, with
// errno set and the reason in `error` when given.
bool SaveBitmap(const ScreenPicture& picture, const std::string& path,
                std::string* error = nullptr);

}  // namespace media
