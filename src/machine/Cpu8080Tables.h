#pragma once

#include <array>
#include <cstdint>

#include "machine/ChipCpu8080.h"

// S, Z, P and the always-one bit for every result byte, and the DAA results; built at compile
// time so the executor reaches them by a constant address.
namespace tables8080 {

constexpr std::array<uint8_t, 256> MakeFlagTable() {
    std::array<uint8_t, 256> table{};
    for (int v = 0; v < 256; ++v) {
        int ones = 0;
        for (int bit = 0; bit < 8; ++bit) ones += (v >> bit) & 1;
        table[v] = static_cast<uint8_t>((v & 0x80) | (v == 0 ? ChipCpu8080::kFlagZ : 0) |
                                        ((ones & 1) == 0 ? ChipCpu8080::kFlagP : 0) |
                                        ChipCpu8080::kFlagAlwaysOne);
    }
    return table;
}

inline constexpr std::array<uint8_t, 256> kFlagTable = MakeFlagTable();

constexpr std::array<uint16_t, 1024> MakeDaaTable() {
    std::array<uint16_t, 1024> table{};
    for (int i = 0; i < 1024; ++i) {
        unsigned a = i & 0xFF;
        bool carry = (i & 0x100) != 0;
        bool auxCarry = (i & 0x200) != 0;
        unsigned low = a & 0x0F;
        unsigned flags = 0;
        if (auxCarry || low > 9) {
            a += 6;
            if (low > 9) flags |= ChipCpu8080::kFlagAC;
        }
        // Compared after the low correction, its carry out of the byte included.
        if (carry || a > 0x9F) {
            a += 0x60;
            flags |= ChipCpu8080::kFlagCY;
        }
        table[i] = static_cast<uint16_t>((a & 0xFF) << 8 | flags | kFlagTable[a & 0xFF]);
    }
    return table;
}

inline constexpr std::array<uint16_t, 1024> kDaaTable = MakeDaaTable();

}  // namespace tables8080
