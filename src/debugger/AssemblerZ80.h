#pragma once

#include <cstdint>
#include <string_view>

// The inline assembler for Zilog-style mnemonics of the 8080's instructions (lower case, "(hl)"
// for memory, conditions as operands). It produces the same 8080 machine code as Assemble8080.
namespace debugger {

// Negative on success: minus the instruction's length, with opcode and operand filled in. Zero or
// more: the index in `text` of the character that is wrong.
int AssembleZ80(std::string_view text, uint8_t& opcode, uint16_t& operand);

}  // namespace debugger
