#pragma once

#include <cstdint>
#include <string_view>

// The inline assembler for Intel mnemonics, one instruction per call, as the debugger's edit
// field offers it: upper-case keywords, numbers as "#" hexadecimal or decimal, no blanks around
// the comma.
namespace debugger {

// Negative on success: minus the instruction's length (1 to 3), with the opcode and the 8- or
// 16-bit operand filled in. Zero or more: the index in `text` of the character that is wrong.
int Assemble8080(std::string_view text, uint8_t& opcode, uint16_t& operand);

}  // namespace debugger
