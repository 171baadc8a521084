#include "asm/AsmLexer.h"

#include <cctype>
#include <cstdio>

namespace assembler {

namespace {

bool IsNameStart(char c) {
    return std::isalpha(static_cast<unsigned char>(c)) || c == '_' || c == '?' || c == '@';
}

bool IsNameChar(char c) {
    return IsNameStart(c) || std::isdigit(static_cast<unsigned char>(c));
}

int DigitValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'Z') return c - 'A' + 10;
    return 99;
}

// Reads digits in a base; false on a digit the base lacks, an empty run or a value past 64 KB.
bool ReadDigits(std::string_view digits, int base, uint32_t& value, std::string& problem) {
    if (digits.empty()) {
        problem = "has no digits";
        return false;
    }
    value = 0;
    for (char c : digits) {
        int d = DigitValue(c);
        if (d >= base) {
            problem = std::string("has the digit '") + c + "', which is not " +
                      (base == 16  ? "hexadecimal"
                       : base == 2 ? "binary"
                       : base == 8 ? "octal"
                                   : "decimal");
            return false;
        }
        value = value * base + d;
        if (value > 0xFFFF) {
            problem = "is larger than 65535 (0FFFFH)";
            return false;
        }
    }
    return true;
}

// A number that starts with a digit: decimal, or with a suffix H (hexadecimal), B (binary),
// O or Q (octal), D (decimal).
bool ReadSuffixedNumber(const std::string& word, uint32_t& value, std::string& problem) {
    char last = word.back();
    std::string_view body(word.data(), word.size() - 1);
    switch (last) {
        case 'H': return ReadDigits(body, 16, value, problem);
        case 'B': return ReadDigits(body, 2, value, problem);
        case 'O':
        case 'Q': return ReadDigits(body, 8, value, problem);
        case 'D': return ReadDigits(body, 10, value, problem);
        default: break;
    }
    bool ok = ReadDigits(word, 10, value, problem);
    if (!ok && problem.find("not decimal") != std::string::npos) {
        problem += " (hexadecimal numbers end in H)";
    }
    return ok;
}

}  // namespace

bool TokenizeAsmLine(std::string_view line, std::vector<AsmToken>& tokens, AsmLexError& error) {
    tokens.clear();
    size_t i = 0;
    auto fail = [&](size_t at, std::string message) {
        error.Column = static_cast<int>(at) + 1;
        error.Message = std::move(message);
        return false;
    };
    while (i < line.size()) {
        const char c = line[i];
        if (c == ' ' || c == '\t' || c == '\f' || c == '\v') {
            ++i;
            continue;
        }
        if (c == ';') break;
        AsmToken token;
        token.Column = static_cast<int>(i) + 1;
        if (IsNameStart(c)) {
            size_t end = i;
            while (end < line.size() && IsNameChar(line[end])) ++end;
            token.Kind = AsmTokenKind::Name;
            for (size_t k = i; k < end; ++k) {
                token.Text += static_cast<char>(std::toupper(static_cast<unsigned char>(line[k])));
            }
            i = end;
        } else if (std::isdigit(static_cast<unsigned char>(c)) || c == '#') {
            size_t end = i + 1;
            while (end < line.size() && IsNameChar(line[end])) ++end;
            std::string word;
            for (size_t k = i; k < end; ++k) {
                word += static_cast<char>(std::toupper(static_cast<unsigned char>(line[k])));
            }
            std::string problem;
            bool ok = c == '#'
                          ? ReadDigits(std::string_view(word).substr(1), 16, token.Value, problem)
                          : ReadSuffixedNumber(word, token.Value, problem);
            if (!ok) return fail(i, "the number '" + word + "' " + problem);
            token.Kind = AsmTokenKind::Number;
            token.Text = word;
            i = end;
        } else if (c == '\'') {
            size_t k = i + 1;
            for (;;) {
                if (k >= line.size()) {
                    return fail(i, "expected a closing quote (') for the text that starts here");
                }
                if (line[k] == '\'') {
                    if (k + 1 < line.size() && line[k + 1] == '\'') {
                        token.Text += '\'';
                        k += 2;
                        continue;
                    }
                    break;
                }
                token.Text += line[k++];
            }
            token.Kind = AsmTokenKind::Text;
            i = k + 1;
        } else {
            switch (c) {
                case '$': token.Kind = AsmTokenKind::Dollar; break;
                case '+': token.Kind = AsmTokenKind::Plus; break;
                case '-': token.Kind = AsmTokenKind::Minus; break;
                case '*': token.Kind = AsmTokenKind::Star; break;
                case '/': token.Kind = AsmTokenKind::Slash; break;
                case '(': token.Kind = AsmTokenKind::Open; break;
                case ')': token.Kind = AsmTokenKind::Close; break;
                case ',': token.Kind = AsmTokenKind::Comma; break;
                case ':': token.Kind = AsmTokenKind::Colon; break;
                case '!': token.Kind = AsmTokenKind::Bang; break;
                default: {
                    auto u = static_cast<unsigned char>(c);
                    char shown[32];
                    if (u >= 32 && u < 127) {
                        std::snprintf(shown, sizeof shown, "'%c'", c);
                    } else {
                        std::snprintf(shown, sizeof shown, "byte %02XH", u);
                    }
                    return fail(i, std::string("unexpected character ") + shown);
                }
            }
            token.Text = std::string(1, c);
            ++i;
        }
        tokens.push_back(std::move(token));
    }
    // The loop stopped at the comment or the line's end; an error about a missing operand points
    // just past the last character written, not past trailing blanks.
    size_t end = i;
    while (end > 0 && std::isspace(static_cast<unsigned char>(line[end - 1]))) --end;
    AsmToken last;
    last.Kind = AsmTokenKind::End;
    last.Column = static_cast<int>(end) + 1;
    tokens.push_back(last);
    return true;
}

std::string DescribeToken(const AsmToken& token) {
    switch (token.Kind) {
        case AsmTokenKind::End: return "the end of the line";
        case AsmTokenKind::Text: return "the text '" + token.Text + "'";
        default: return "'" + token.Text + "'";
    }
}

}  // namespace assembler
