#include "media/basic/BasicKeywords.h"

namespace basic {
namespace {

// Indexed by code - 0x80; empty entries are codes without a keyword.
constexpr std::array<std::string_view, kKeywordCount> kKeywords = {
    "LIST",    "NEW",    "RUN",   "AUTO",  "MONIT",  "CONT",   "EDIT",     "ROM",     "",
    "",        "",       "",      "",      "",       "",       "",         "BASE",    "DIM",
    "FOR",     "GOSUB",  "GOTO",  "IF",    "INPUT",  "LET",    "NEXT",     "POKE",    "PRINT",
    "REM",     "RETURN", "STOP",  "OUT",   "GO",     "DEF",    "WAIT",     "DATA",    "READ",
    "RESTORE", "SETKEY", "PENUP", "INK",   "CLEAR",  "IDRAW",  "IMOVE",    "PLOT",    "DRAW",
    "MOVE",    "SCALE",  "XAXIS", "YAXIS", "BMOVE",  "BPLOT",  "PAPER",    "SETCHAR", "DEG",
    "RAD",     "ON",     "BEEP",  "KLOAD", "MEMEND", "KSAVE",  "LPRINTER", "CONSOLE", "DSAVE",
    "DLOAD",   "TO",     "STEP",  "AND",   "OR",     "NOT",    "THEN",     "TAB",     "SUB",
    "NO",      "AT",     "",      "",      "",       "",       "",         "",        "ABS",
    "BUSY",    "CALL",   "FREE",  "PEEK",  "TRUNC",  "FRC",    "FN",       "CHR$",    "STR$",
    "RIGHT$",  "LEFT$",  "MID$",  "ASC",   "LEN",    "VAL",    "SGN",      "PI",      "INP",
    "INF",     "EPS",    "EOMH",  "SQR",   "ERR",    "BINAND", "BINOR",    "BINNOT",  "SIN",
    "COS",     "TAN",    "ATAN",  "LN",    "EXP",    "KEY",    "RND",      "EOML",    "EOP"};

bool LetterOrDigit(char32_t c) {
    return (c >= U'A' && c <= U'Z') || (c >= U'a' && c <= U'z') || (c >= U'0' && c <= U'9');
}

}  // namespace

std::string_view KeywordOf(uint8_t code) {
    if (code < kFirstToken || static_cast<size_t>(code - kFirstToken) >= kKeywordCount) return {};
    return kKeywords[code - kFirstToken];
}

uint8_t MatchKeyword(std::u32string_view line, size_t& pos) {
    for (size_t index = 0; index < kKeywordCount; ++index) {
        const std::string_view keyword = kKeywords[index];
        if (keyword.empty() || pos + keyword.size() > line.size()) continue;
        size_t i = 0;
        while (i < keyword.size() && line[pos + i] == static_cast<char32_t>(keyword[i])) ++i;
        if (i < keyword.size()) continue;
        const size_t after = pos + keyword.size();
        if (after < line.size() && LetterOrDigit(line[after])) continue;
        pos = after;
        return static_cast<uint8_t>(kFirstToken + index);
    }
    return 0;
}

}  // namespace basic
