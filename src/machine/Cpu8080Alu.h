#pragma once

#include <cstdint>

#include "machine/ChipCpu8080.h"

// The arithmetic and logic unit, one function per operation, flags in the order the chip sets
// them. Auxiliary carry is the carry out of bit 3: for an addition that is bit 4 of
// a ^ operand ^ result; a subtraction is done as an addition of the complement, so its AC is the
// inverted borrow and bit 4 of ~(a ^ operand ^ result).
namespace alu8080 {

using Cpu = ChipCpu8080;

inline void Add(Cpu& c, uint8_t v, unsigned carryIn) {
    unsigned r = c.A + v + carryIn;
    c.F = static_cast<uint8_t>(c.FlagTable[r & 0xFF] | ((c.A ^ v ^ r) & Cpu::kFlagAC) | (r >> 8));
    c.A = static_cast<uint8_t>(r);
}

inline uint8_t SubFlags(const Cpu& c, uint8_t v, unsigned borrowIn, unsigned& r) {
    r = c.A - v - borrowIn;
    return static_cast<uint8_t>(c.FlagTable[r & 0xFF] | (~(c.A ^ v ^ r) & Cpu::kFlagAC) |
                                ((r >> 8) & Cpu::kFlagCY));
}

inline void Sub(Cpu& c, uint8_t v, unsigned borrowIn) {
    unsigned r;
    c.F = SubFlags(c, v, borrowIn, r);
    c.A = static_cast<uint8_t>(r);
}

inline void Cmp(Cpu& c, uint8_t v) {
    unsigned r;
    c.F = SubFlags(c, v, 0, r);
}

// The 8080's AND sets AC from bit 3 of either operand (the 8085 sets it always).
inline void Ana(Cpu& c, uint8_t v) {
    uint8_t ac = static_cast<uint8_t>(((c.A | v) & 0x08) << 1);
    c.A &= v;
    c.F = static_cast<uint8_t>(c.FlagTable[c.A] | ac);
}

inline void Xra(Cpu& c, uint8_t v) {
    c.A ^= v;
    c.F = c.FlagTable[c.A];
}

inline void Ora(Cpu& c, uint8_t v) {
    c.A |= v;
    c.F = c.FlagTable[c.A];
}

inline uint8_t Inr(Cpu& c, uint8_t v) {
    uint8_t r = static_cast<uint8_t>(v + 1);
    c.F = static_cast<uint8_t>((c.F & Cpu::kFlagCY) | c.FlagTable[r] |
                               ((r & 0x0F) == 0 ? Cpu::kFlagAC : 0));
    return r;
}

inline uint8_t Dcr(Cpu& c, uint8_t v) {
    uint8_t r = static_cast<uint8_t>(v - 1);
    c.F = static_cast<uint8_t>((c.F & Cpu::kFlagCY) | c.FlagTable[r] |
                               ((v & 0x0F) != 0 ? Cpu::kFlagAC : 0));
    return r;
}

inline void Dad(Cpu& c, uint16_t v) {
    unsigned r = c.HL() + v;
    c.SetHL(static_cast<uint16_t>(r));
    c.F = static_cast<uint8_t>((c.F & ~Cpu::kFlagCY) | (r >> 16));
}

inline void Rlc(Cpu& c) {
    c.A = static_cast<uint8_t>(c.A << 1 | c.A >> 7);
    c.F = static_cast<uint8_t>((c.F & ~Cpu::kFlagCY) | (c.A & 1));
}

inline void Rrc(Cpu& c) {
    uint8_t out = c.A & 1;
    c.A = static_cast<uint8_t>(c.A >> 1 | c.A << 7);
    c.F = static_cast<uint8_t>((c.F & ~Cpu::kFlagCY) | out);
}

inline void Ral(Cpu& c) {
    uint8_t out = c.A >> 7;
    c.A = static_cast<uint8_t>(c.A << 1 | (c.F & Cpu::kFlagCY));
    c.F = static_cast<uint8_t>((c.F & ~Cpu::kFlagCY) | out);
}

inline void Rar(Cpu& c) {
    uint8_t out = c.A & 1;
    c.A = static_cast<uint8_t>(c.A >> 1 | (c.F & Cpu::kFlagCY) << 7);
    c.F = static_cast<uint8_t>((c.F & ~Cpu::kFlagCY) | out);
}

inline void Daa(Cpu& c) {
    unsigned index = c.A | (c.F & Cpu::kFlagCY) << 8 | ((c.F & Cpu::kFlagAC) ? 1u << 9 : 0u);
    uint16_t entry = c.DaaTable[index];
    c.A = static_cast<uint8_t>(entry >> 8);
    c.F = static_cast<uint8_t>(entry);
}

}  // namespace alu8080
