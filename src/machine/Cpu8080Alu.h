#pragma once

#include <cstdint>

// The arithmetic and logic unit, one function per operation, on the accumulator and flags it is
// given (the processor keeps its registers in locals while it runs). `flags` is the processor's
// table of S, Z, P and the always-one bit per result byte.
//
// Auxiliary carry is the carry out of bit 3: for an addition that is bit 4 of
// a ^ operand ^ result. The 8080 subtracts by adding the complement, so for a subtraction AC is
// the inverted borrow: bit 4 of ~(a ^ operand ^ result).
namespace alu8080 {

inline constexpr uint8_t kAC = 0x10, kCY = 0x01;

inline void Add(uint8_t& a, uint8_t& f, const uint8_t* flags, uint8_t v, unsigned carryIn) {
    unsigned r = a + v + carryIn;
    f = static_cast<uint8_t>(flags[r & 0xFF] | ((a ^ v ^ r) & kAC) | (r >> 8));
    a = static_cast<uint8_t>(r);
}

inline uint8_t SubtractFlags(uint8_t a, const uint8_t* flags, uint8_t v, unsigned r) {
    return static_cast<uint8_t>(flags[r & 0xFF] | (~(a ^ v ^ r) & kAC) | ((r >> 8) & kCY));
}

inline void Sub(uint8_t& a, uint8_t& f, const uint8_t* flags, uint8_t v, unsigned borrowIn) {
    unsigned r = a - v - borrowIn;
    f = SubtractFlags(a, flags, v, r);
    a = static_cast<uint8_t>(r);
}

inline void Cmp(uint8_t a, uint8_t& f, const uint8_t* flags, uint8_t v) {
    f = SubtractFlags(a, flags, v, static_cast<unsigned>(a - v));
}

// The 8080's AND takes AC from bit 3 of either operand (the 8085 sets it always).
inline void Ana(uint8_t& a, uint8_t& f, const uint8_t* flags, uint8_t v) {
    uint8_t ac = static_cast<uint8_t>(((a | v) & 0x08) << 1);
    a &= v;
    f = static_cast<uint8_t>(flags[a] | ac);
}

inline void Xra(uint8_t& a, uint8_t& f, const uint8_t* flags, uint8_t v) {
    a ^= v;
    f = flags[a];
}

inline void Ora(uint8_t& a, uint8_t& f, const uint8_t* flags, uint8_t v) {
    a |= v;
    f = flags[a];
}

inline uint8_t Inr(uint8_t& f, const uint8_t* flags, uint8_t v) {
    uint8_t r = static_cast<uint8_t>(v + 1);
    f = static_cast<uint8_t>((f & kCY) | flags[r] | ((r & 0x0F) == 0 ? kAC : 0));
    return r;
}

inline uint8_t Dcr(uint8_t& f, const uint8_t* flags, uint8_t v) {
    uint8_t r = static_cast<uint8_t>(v - 1);
    f = static_cast<uint8_t>((f & kCY) | flags[r] | ((v & 0x0F) != 0 ? kAC : 0));
    return r;
}

inline void Dad(uint16_t& hl, uint8_t& f, uint16_t v) {
    unsigned r = static_cast<unsigned>(hl) + v;
    hl = static_cast<uint16_t>(r);
    f = static_cast<uint8_t>((f & ~kCY) | (r >> 16));
}

inline void Rlc(uint8_t& a, uint8_t& f) {
    a = static_cast<uint8_t>(a << 1 | a >> 7);
    f = static_cast<uint8_t>((f & ~kCY) | (a & 1));
}

inline void Rrc(uint8_t& a, uint8_t& f) {
    uint8_t out = a & 1;
    a = static_cast<uint8_t>(a >> 1 | a << 7);
    f = static_cast<uint8_t>((f & ~kCY) | out);
}

inline void Ral(uint8_t& a, uint8_t& f) {
    uint8_t out = a >> 7;
    a = static_cast<uint8_t>(a << 1 | (f & kCY));
    f = static_cast<uint8_t>((f & ~kCY) | out);
}

inline void Rar(uint8_t& a, uint8_t& f) {
    uint8_t out = a & 1;
    a = static_cast<uint8_t>(a >> 1 | (f & kCY) << 7);
    f = static_cast<uint8_t>((f & ~kCY) | out);
}

// `daa` is indexed by A | CY << 8 | AC << 9: new A in the high byte, new F in the low.
inline void Daa(uint8_t& a, uint8_t& f, const uint16_t* daa) {
    uint16_t entry = daa[a | (f & kCY) << 8 | ((f & kAC) ? 1u << 9 : 0u)];
    a = static_cast<uint8_t>(entry >> 8);
    f = static_cast<uint8_t>(entry);
}

}  // namespace alu8080
