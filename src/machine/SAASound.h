#pragma once

#include <cstdint>

class ChipSAA1099;

// The SAASound library's calls, over our own SAA1099 model. A handle is one generator.
using SAASND = ChipSAA1099*;

// Flags of SAASNDSetSoundParameters: one choice from each field, or'ed together.
namespace saaparam {
inline constexpr unsigned kNoFilter = 0x100, kFilterMask = 0x300;
inline constexpr unsigned k11025 = 0x10, k22050 = 0x20, k44100 = 0x30, kRateMask = 0x30;
inline constexpr unsigned k16Bit = 0x0C, kBitsMask = 0x0C;
inline constexpr unsigned kStereo = 0x03, kChannelsMask = 0x03;
// What the Muse asks for: unfiltered 16-bit stereo at 44,100 Hz (319).
inline constexpr unsigned kMuse = kNoFilter | k44100 | k16Bit | kStereo;
}  // namespace saaparam

// A generator in its power-on state (every register 0, silent), 44,100 Hz 16-bit stereo.
SAASND newSAASND();
// Accepts an unfiltered (or unspecified) 16-bit stereo format at 44,100, 22,050 or 11,025 Hz;
// anything else is refused with false and the format stays as it was.
bool SAASNDSetSoundParameters(SAASND handle, unsigned flags);
void SAASNDWriteAddress(SAASND handle, uint8_t address);
void SAASNDWriteData(SAASND handle, uint8_t value);
// Writes `frames` frames of two 16-bit little-endian samples (left, right), signed, into buffer.
void SAASNDGenerateMany(SAASND handle, uint8_t* buffer, unsigned long frames);
void deleteSAASND(SAASND handle);
