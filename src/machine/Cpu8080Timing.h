#pragma once

#include <array>
#include <cstdint>

// Ticks per opcode for an instruction that is unconditional or whose condition failed. A taken
// conditional return or call costs more (see the processor).
namespace timing8080 {

// Intel's published figures, except HLT, which the machine counts as 5.
inline constexpr std::array<uint8_t, 256> kStandard = {
    4, 10, 7,  5,  5,  5,  7,  4,  4, 10, 7,  5,  5,  5,  7, 4,   // 0
    4, 10, 7,  5,  5,  5,  7,  4,  4, 10, 7,  5,  5,  5,  7, 4,   // 1
    4, 10, 16, 5,  5,  5,  7,  4,  4, 10, 16, 5,  5,  5,  7, 4,   // 2
    4, 10, 13, 5,  10, 10, 10, 4,  4, 10, 13, 5,  5,  5,  7, 4,   // 3
    5, 5,  5,  5,  5,  5,  7,  5,  5, 5,  5,  5,  5,  5,  7, 5,   // 4
    5, 5,  5,  5,  5,  5,  7,  5,  5, 5,  5,  5,  5,  5,  7, 5,   // 5
    5, 5,  5,  5,  5,  5,  7,  5,  5, 5,  5,  5,  5,  5,  7, 5,   // 6
    7, 7,  7,  7,  7,  7,  5,  7,  5, 5,  5,  5,  5,  5,  7, 5,   // 7
    4, 4,  4,  4,  4,  4,  7,  4,  4, 4,  4,  4,  4,  4,  7, 4,   // 8
    4, 4,  4,  4,  4,  4,  7,  4,  4, 4,  4,  4,  4,  4,  7, 4,   // 9
    4, 4,  4,  4,  4,  4,  7,  4,  4, 4,  4,  4,  4,  4,  7, 4,   // A
    4, 4,  4,  4,  4,  4,  7,  4,  4, 4,  4,  4,  4,  4,  7, 4,   // B
    5, 10, 10, 10, 11, 11, 7,  11, 5, 10, 10, 10, 11, 17, 7, 11,  // C
    5, 10, 10, 10, 11, 11, 7,  11, 5, 10, 10, 10, 11, 17, 7, 11,  // D
    5, 10, 10, 18, 11, 11, 7,  11, 5, 5,  10, 4,  11, 17, 7, 11,  // E
    5, 10, 10, 4,  11, 11, 7,  11, 5, 5,  10, 4,  11, 17, 7, 11,  // F
};

// The Tevrin's own figures: wait states on its memory cycles make many instructions that touch
// memory or the stack longer than Intel's numbers. On the machine an instruction that starts on
// an odd tick takes one tick more than listed here.
inline constexpr std::array<uint8_t, 256> kMachine = {
    4, 11, 8,  5,  5,  5,  7,  4,  4, 10, 7,  5,  5,  5,  7, 4,   // 0
    4, 11, 8,  5,  5,  5,  7,  4,  4, 10, 7,  5,  5,  5,  7, 4,   // 1
    4, 11, 18, 5,  5,  5,  7,  4,  4, 10, 19, 5,  5,  5,  7, 4,   // 2
    4, 11, 14, 5,  10, 10, 10, 4,  4, 10, 15, 5,  5,  5,  7, 4,   // 3
    5, 5,  5,  5,  5,  5,  7,  5,  5, 5,  5,  5,  5,  5,  7, 5,   // 4
    5, 5,  5,  5,  5,  5,  7,  5,  5, 5,  5,  5,  5,  5,  7, 5,   // 5
    5, 5,  5,  5,  5,  5,  7,  5,  5, 5,  5,  5,  5,  5,  7, 5,   // 6
    8, 8,  8,  8,  8,  8,  5,  8,  5, 5,  5,  5,  5,  5,  7, 5,   // 7
    4, 4,  4,  4,  4,  4,  7,  4,  4, 4,  4,  4,  4,  4,  7, 4,   // 8
    4, 4,  4,  4,  4,  4,  7,  4,  4, 4,  4,  4,  4,  4,  7, 4,   // 9
    4, 4,  4,  4,  4,  4,  7,  4,  4, 4,  4,  4,  4,  4,  7, 4,   // A
    4, 4,  4,  4,  4,  4,  7,  4,  4, 4,  4,  4,  4,  4,  7, 4,   // B
    5, 11, 11, 11, 13, 12, 7,  12, 5, 11, 11, 11, 13, 20, 7, 12,  // C
    5, 11, 11, 10, 13, 12, 7,  12, 5, 11, 11, 11, 13, 20, 7, 12,  // D
    5, 11, 11, 20, 13, 12, 7,  12, 5, 5,  11, 4,  13, 20, 7, 12,  // E
    5, 11, 11, 4,  13, 12, 7,  12, 5, 5,  11, 4,  13, 20, 7, 12,  // F
};

inline constexpr int kStandardTakenReturn = 11;
inline constexpr int kStandardTakenCall = 17;
inline constexpr int kMachineTakenReturn = 13;
inline constexpr int kMachineTakenCall = 20;

// The two timings as compile-time choices, so the processor's inner loop sees constants.
struct Standard {
    static constexpr const std::array<uint8_t, 256>& kTable = kStandard;
    static constexpr int kTakenReturn = kStandardTakenReturn;
    static constexpr int kTakenCall = kStandardTakenCall;
    static constexpr int32_t kOddTickMask = 0;
};

struct Machine {
    static constexpr const std::array<uint8_t, 256>& kTable = kMachine;
    static constexpr int kTakenReturn = kMachineTakenReturn;
    static constexpr int kTakenCall = kMachineTakenCall;
    static constexpr int32_t kOddTickMask = 1;
};

constexpr bool IsConditionalReturn(uint8_t opcode) {
    return (opcode & 0xC7) == 0xC0;
}
constexpr bool IsConditionalCall(uint8_t opcode) {
    return (opcode & 0xC7) == 0xC4;
}

}  // namespace timing8080
