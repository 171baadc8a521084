#pragma once

#include <cstdint>

// Turns the three video planes into palette indices. A plane byte holds eight pixels, bit 7
// leftmost; each plane is 256 rows of 32 bytes and the planes lie 0x4000 bytes apart in RAM.
namespace screen {

inline constexpr int kVideoSize = 256;  // machine pixels across and down
inline constexpr int kVideoRowBytes = 32;

// Writes 256 × 256 indices (512 × 512 when doubled, every machine pixel as 2 × 2) to `out`,
// top row first. The top row shows video row `scroll`; the row after 255 is row 0. Without
// planes (no video memory) the picture is black.
void RenderPlanes(const uint8_t* redPlane, uint8_t scroll, bool grey, bool doubled, uint8_t* out);

}  // namespace screen
