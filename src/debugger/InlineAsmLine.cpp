#include "debugger/InlineAsmLine.h"

#include <cctype>
#include <vector>

#include "asm/AsmLexer.h"

namespace debugger {

namespace {

bool IsBlank(char c) {
    return std::isspace(static_cast<unsigned char>(c)) != 0;
}

size_t SkipBlanks(std::string_view text, size_t at) {
    while (at < text.size() && IsBlank(text[at])) ++at;
    return at;
}

size_t SkipWord(std::string_view text, size_t at) {
    while (at < text.size() && !IsBlank(text[at])) ++at;
    return at;
}

}  // namespace

bool SplitInlineAsmLine(std::string_view text, InlineAsmLine& line) {
    line = InlineAsmLine{};
    line.EndPos = static_cast<int>(text.size());
    size_t mnemonicStart = SkipBlanks(text, 0);
    if (mnemonicStart == text.size()) return false;
    size_t mnemonicEnd = SkipWord(text, mnemonicStart);
    line.Mnemonic = text.substr(mnemonicStart, mnemonicEnd - mnemonicStart);
    line.Count = 1;

    size_t operandStart = SkipBlanks(text, mnemonicEnd);
    line.OperandPos = static_cast<int>(operandStart);
    if (operandStart == text.size()) return true;
    std::string_view word = text.substr(operandStart, SkipWord(text, operandStart) - operandStart);
    size_t comma = word.find(',');
    if (comma == std::string_view::npos) {
        line.First = word;
        line.Count = 2;
        return true;
    }
    line.First = word.substr(0, comma);
    line.Second = word.substr(comma + 1);
    line.CommaPos = static_cast<int>(operandStart + comma);
    line.AfterCommaPos = line.CommaPos + 1;
    line.Count = 3;
    return true;
}

bool ParseAsmNumber(std::string_view text, bool word, uint16_t& value) {
    // The source lexer reads the digits; the field takes only two of its notations, so the
    // token must be the whole text and carry no suffix.
    std::vector<assembler::AsmToken> tokens;
    assembler::AsmLexError error;
    if (!assembler::TokenizeAsmLine(text, tokens, error) || tokens.size() != 2) return false;
    const assembler::AsmToken& number = tokens[0];
    if (number.Kind != assembler::AsmTokenKind::Number || number.Text.size() != text.size()) {
        return false;
    }
    if (number.Text[0] != '#') {
        for (char c : number.Text) {
            if (c < '0' || c > '9') return false;
        }
    }
    if (number.Value > (word ? 0xFFFFu : 0xFFu)) return false;
    value = static_cast<uint16_t>(number.Value);
    return true;
}

}  // namespace debugger
