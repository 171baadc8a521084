#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

// The machine's BASIC keeps every keyword as one byte with the high bit set: code 0x80 + the
// keyword's place in this table. The gaps are codes the interpreter does not use.
namespace basic {

inline constexpr uint8_t kFirstToken = 0x80;
inline constexpr size_t kKeywordCount = 117;  // codes 0x80 to 0xF4

// The keyword of a code, or an empty view for a code without one (and for anything below 0x80).
std::string_view KeywordOf(uint8_t code);

// Tries the keywords in table order against `line` from `pos`, case-sensitively. A keyword
// followed by a letter or digit is not taken (so "ATAN" is not "AT" + "AN"), but the character
// before `pos` is not looked at. On a match `pos` moves past it and the code is returned, else 0.
uint8_t MatchKeyword(std::u32string_view line, size_t& pos);

}  // namespace basic
