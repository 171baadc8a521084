#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "asm/AsmLexer.h"

// Expressions of the file assembler, worked out in 16 bits as the 8080 does its address
// arithmetic (so -1 is 0FFFFH). From loosest to tightest binding:
//   OR XOR  |  AND  |  NOT  |  + -  |  * / MOD SHL SHR  |  unary + - HIGH LOW  |  ( )
// Operands: numbers, 'c' or 'cc' character constants, names, and $ for the current address.
namespace assembler {

enum class AsmNameState {
    Known,     // the value is filled in
    Unknown,   // no value (yet): the expression's value is unknown, which is no error by itself
    Reserved,  // a register, mnemonic or directive, which cannot stand in an expression
};

using AsmNameResolver = std::function<AsmNameState(const std::string& name, uint16_t& value)>;

struct AsmExprValue {
    bool Known = true;
    uint16_t Value = 0;
    std::string Unresolved;  // the first name that had no value
    int UnresolvedColumn = 0;
};

struct AsmExprError {
    int Column = 0;
    std::string Message;
};

// Reads one expression from tokens[pos], leaving pos on the first token after it (a comma, the
// end, or whatever the caller must then complain about).
bool ParseAsmExpression(const std::vector<AsmToken>& tokens, size_t& pos, uint16_t here,
                        const AsmNameResolver& resolve, AsmExprValue& value, AsmExprError& error);

// True for the words that are operators inside expressions.
bool IsAsmOperatorWord(const std::string& name);

}  // namespace assembler
