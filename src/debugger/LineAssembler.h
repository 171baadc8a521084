#pragma once

#include <cstdint>
#include <string_view>

// The debugger's one-line assemblers, one instruction per call, as its edit field offers them:
// Intel mnemonics in upper case, or the Zilog notation of the 8080's instructions in lower case
// ("(hl)" for memory, conditions as operands); numbers "#" hexadecimal or decimal; no blanks
// around the comma. Both read their forms from the file assembler's opcode table, so the field
// and a source file know the same instructions, and both give the same 8080 machine code.
namespace debugger {

// Negative on success: minus the instruction's length (1 to 3), with the opcode and the 8- or
// 16-bit operand filled in. Zero or more: the index in `text` of the character that is wrong.
int Assemble8080(std::string_view text, uint8_t& opcode, uint16_t& operand);
int AssembleZ80(std::string_view text, uint8_t& opcode, uint16_t& operand);

}  // namespace debugger
