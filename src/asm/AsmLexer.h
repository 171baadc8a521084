#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// Cuts one line of 8080 assembler source into tokens. Names come out in upper case (the source
// is case-insensitive); quoted text keeps its case and has its doubled quotes undone.
namespace assembler {

enum class AsmTokenKind {
    Name,
    Number,
    Text,    // '...'
    Dollar,  // the current address
    Plus,
    Minus,
    Star,
    Slash,
    Open,
    Close,
    Comma,
    Colon,
    Bang,  // before an undocumented opcode's mnemonic, as the disassembler writes it
    End,
};

struct AsmToken {
    AsmTokenKind Kind = AsmTokenKind::End;
    std::string Text;    // upper-case name, or the bytes of quoted text, or the number as written
    uint32_t Value = 0;  // numbers
    int Column = 1;      // 1-based
};

struct AsmLexError {
    int Column = 0;
    std::string Message;
};

// Tokens of the line up to its comment, closed by an End token standing just past the last
// character. False, with the error, for a character or number that cannot be read.
bool TokenizeAsmLine(std::string_view line, std::vector<AsmToken>& tokens, AsmLexError& error);

// How a token reads in a message: "'MOV'", "','", "the end of the line".
std::string DescribeToken(const AsmToken& token);

}  // namespace assembler
