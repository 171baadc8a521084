#pragma once

#include <cstdint>
#include <string>

#include "asm/AsmLexer.h"
#include "asm/NumberFormat.h"

// What the file assembler's parts (passes and directives, instruction forms, outputs) share.
namespace assembler::detail {

inline constexpr int32_t kAddressSpace = 0x10000;

inline std::string Hex16(uint32_t value) {
    return FormatNumber(static_cast<int32_t>(value), {.Word = true, .AsmSuffix = true});
}

inline std::string Hex8(uint32_t value) {
    return FormatNumber(static_cast<int32_t>(value), {.Word = false, .AsmSuffix = true});
}

// A byte operand may be written as a negative number: -1 is 0FFFFH in 16 bits.
inline bool FitsByte(uint16_t value) {
    return value <= 0xFF || value >= 0xFF00;
}

inline bool IsOperandEnd(const AsmToken& t) {
    return t.Kind == AsmTokenKind::Comma || t.Kind == AsmTokenKind::End;
}

}  // namespace assembler::detail
