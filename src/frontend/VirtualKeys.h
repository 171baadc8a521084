#pragma once

#include <cstdint>

// Host key codes as the key tables know them: the Windows virtual-key numbering. Letters and
// digits are their upper-case ASCII codes.
namespace vk {

inline constexpr uint8_t kBack = 0x08, kTab = 0x09, kReturn = 0x0D, kShift = 0x10, kControl = 0x11,
                         kMenu = 0x12, kPause = 0x13, kCapital = 0x14, kEscape = 0x1B,
                         kSpace = 0x20, kPrior = 0x21, kNext = 0x22, kEnd = 0x23, kHome = 0x24,
                         kLeft = 0x25, kUp = 0x26, kRight = 0x27, kDown = 0x28, kInsert = 0x2D,
                         kDelete = 0x2E, kApps = 0x5D, kNumpad0 = 0x60, kMultiply = 0x6A,
                         kAdd = 0x6B, kSubtract = 0x6D, kDecimal = 0x6E, kDivide = 0x6F, kF1 = 0x70,
                         kOemPlus = 0xBB, kOemComma = 0xBC, kOemMinus = 0xBD, kOemPeriod = 0xBE,
                         kOem1 = 0xBA, kOem2 = 0xBF, kOem3 = 0xC0, kOem4 = 0xDB, kOem5 = 0xDC,
                         kOem6 = 0xDD, kOem7 = 0xDE;

constexpr uint8_t Numpad(int digit) {
    return static_cast<uint8_t>(kNumpad0 + digit);
}
constexpr uint8_t Function(int number) {
    return static_cast<uint8_t>(kF1 + number - 1);
}
constexpr uint8_t Char(char c) {
    return static_cast<uint8_t>(c);
}

}  // namespace vk
