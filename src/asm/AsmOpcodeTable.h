#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// The 8080 instruction set seen from the assembler's side: for a mnemonic, the opcodes it can
// become and the operand each one wants. Read from the same mnemonic table the disassembler
// shows, so what the debugger writes, the assembler reads; the debugger's one-line assembler
// takes its forms from here too.
namespace assembler {

struct AsmOpcodeForm {
    uint8_t Opcode = 0;
    // Per operand: a register or pair name ("B", "SP", "PSW"), a digit (the restart number), or
    // a marker: "%" an 8-bit value, "&" or "*" a 16-bit one.
    std::vector<std::string> Operands;
};

// Forms of a mnemonic in upper case; an undocumented one is asked for with its "!" ("!JMP").
// Empty when there is no such mnemonic. In Intel notation all forms of a mnemonic have the same
// number of operands and the same length. In Z80 notation ("LD", "JP") they differ: the operands
// are "(HL)"-style memory operands, conditions, "(&)"/"(%)" for an address or port in
// parentheses, and "@" for a restart target (the opcode AND 38H).
const std::vector<AsmOpcodeForm>& FindAsmOpcodeForms(std::string_view mnemonic, bool z80 = false);

// Documented or not, without the "!".
bool IsAsmMnemonic(std::string_view name, bool z80 = false);
// B C D E H L M A SP PSW; in Z80 notation B C D E H L A BC DE HL SP AF and the conditions.
bool IsAsmRegisterName(std::string_view name, bool z80 = false);

}  // namespace assembler
