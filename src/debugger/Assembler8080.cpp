#include "debugger/Assembler8080.h"

#include <array>

#include "debugger/InlineAsmLine.h"

namespace debugger {

namespace {

// Mnemonics 0 to 77, then the registers and the register pairs; the order gives the codes.
// clang-format off
constexpr std::array<std::string_view, 91> kKeywords = {
    "NOP", "MOV", "OUT", "IN", "DI", "EI", "HLT", "XCHG", "XTHL", "SPHL", "PCHL",
    "LXI", "MVI", "STAX", "LDAX", "SHLD", "LHLD", "STA", "LDA",
    "INR", "DCR", "INX", "DCX", "DAD", "POP", "PUSH", "RST",
    "RLC", "RRC", "RAL", "RAR", "DAA", "CMA", "STC", "CMC",
    "ADD", "ADC", "SUB", "SBB", "ANA", "XRA", "ORA", "CMP",
    "ADI", "ACI", "SUI", "SBI", "ANI", "XRI", "ORI", "CPI",
    "JMP", "JNZ", "JZ", "JNC", "JC", "JPO", "JPE", "JP", "JM",
    "CALL", "CNZ", "CZ", "CNC", "CC", "CPO", "CPE", "CP", "CM",
    "RET", "RNZ", "RZ", "RNC", "RC", "RPO", "RPE", "RP", "RM",
    "B", "C", "D", "E", "H", "L", "M", "A",
    "B", "D", "H", "SP", "PSW",
};

enum Keyword {
    kNop = 0, kMov = 1, kOut = 2, kIn = 3, kDi = 4, kEi = 5, kHlt = 6, kXchg = 7, kXthl = 8,
    kSphl = 9, kPchl = 10, kLxi = 11, kMvi = 12, kStax = 13, kLdax = 14, kShld = 15, kLhld = 16,
    kSta = 17, kLda = 18, kInr = 19, kDcr = 20, kInx = 21, kDcx = 22, kDad = 23, kPop = 24,
    kPush = 25, kRst = 26, kRlc = 27, kCmc = 34, kAdd = 35, kCmp = 42, kAdi = 43, kCpi = 50,
    kJmp = 51, kJnz = 52, kJm = 59, kCall = 60, kCnz = 61, kCm = 68, kRet = 69, kRnz = 70,
    kRm = 77, kLastMnemonic = 77, kFirstRegister = 78, kLastRegister = 85, kFirstPair = 86,
    kLastPair = 90,
};
// clang-format on

constexpr int kPairSp = 3;
constexpr int kPairPsw = 4;

int Find(std::string_view word, int first, int last) {
    for (int i = first; i <= last; ++i) {
        if (kKeywords[i] == word) return i;
    }
    return -1;
}

int Register(std::string_view word) {
    int i = Find(word, kFirstRegister, kLastRegister);
    return i < 0 ? -1 : i - kFirstRegister;
}

int Pair(std::string_view word) {
    int i = Find(word, kFirstPair, kLastPair);
    return i < 0 ? -1 : i - kFirstPair;
}

// The opcode of an instruction that takes no operand, or -1.
int PlainOpcode(int mnemonic) {
    switch (mnemonic) {
        case kNop: return 0x00;
        case kDi: return 0xF3;
        case kEi: return 0xFB;
        case kHlt: return 0x76;
        case kXchg: return 0xEB;
        case kXthl: return 0xE3;
        case kSphl: return 0xF9;
        case kPchl: return 0xE9;
        case kRet: return 0xC9;
        default: break;
    }
    if (mnemonic >= kRlc && mnemonic <= kCmc) return 0x07 + 8 * (mnemonic - kRlc);
    if (mnemonic >= kRnz && mnemonic <= kRm) return 0xC0 + 8 * (mnemonic - kRnz);
    return -1;
}

struct Encoded {
    int Opcode = 0;
    uint16_t Operand = 0;
    int Length = 1;
};

// Instructions with exactly one operand; false when the operand does not fit the mnemonic.
bool EncodeSingle(int mnemonic, std::string_view text, Encoded& out) {
    uint16_t number = 0;
    if (mnemonic == kStax || mnemonic == kLdax) {
        int rp = Pair(text);
        if (rp != 0 && rp != 1) return false;
        out.Opcode = (mnemonic == kStax ? 0x02 : 0x0A) + 16 * rp;
        return true;
    }
    if (mnemonic == kInx || mnemonic == kDcx || mnemonic == kDad) {
        int rp = Pair(text);
        if (rp < 0 || rp > kPairSp) return false;
        int base = mnemonic == kInx ? 0x03 : mnemonic == kDcx ? 0x0B : 0x09;
        out.Opcode = base + 16 * rp;
        return true;
    }
    if (mnemonic == kPop || mnemonic == kPush) {
        int rp = Pair(text);
        if (rp < 0 || rp == kPairSp) return false;
        if (rp == kPairPsw) rp = kPairSp;  // PSW takes the code that SP has elsewhere
        out.Opcode = (mnemonic == kPop ? 0xC1 : 0xC5) + 16 * rp;
        return true;
    }
    if (mnemonic == kInr || mnemonic == kDcr || (mnemonic >= kAdd && mnemonic <= kCmp)) {
        int r = Register(text);
        if (r < 0) return false;
        if (mnemonic == kInr || mnemonic == kDcr) {
            out.Opcode = (mnemonic == kInr ? 0x04 : 0x05) + 8 * r;
        } else {
            out.Opcode = 0x80 + 8 * (mnemonic - kAdd) + r;
        }
        return true;
    }
    if ((mnemonic >= kAdi && mnemonic <= kCpi) || mnemonic == kOut || mnemonic == kIn) {
        if (!ParseAsmNumber(text, false, number)) return false;
        out.Opcode = mnemonic == kOut  ? 0xD3
                     : mnemonic == kIn ? 0xDB
                                       : 0xC6 + 8 * (mnemonic - kAdi);
        out.Operand = number;
        out.Length = 2;
        return true;
    }
    if (mnemonic == kRst) {
        if (!ParseAsmNumber(text, false, number) || number > 7) return false;
        out.Opcode = 0xC7 + 8 * number;
        return true;
    }
    if (!ParseAsmNumber(text, true, number)) return false;
    out.Operand = number;
    out.Length = 3;
    switch (mnemonic) {
        case kShld: out.Opcode = 0x22; return true;
        case kLhld: out.Opcode = 0x2A; return true;
        case kSta: out.Opcode = 0x32; return true;
        case kLda: out.Opcode = 0x3A; return true;
        case kJmp: out.Opcode = 0xC3; return true;
        case kCall: out.Opcode = 0xCD; return true;
        default: break;
    }
    if (mnemonic >= kJnz && mnemonic <= kJm) {
        out.Opcode = 0xC2 + 8 * (mnemonic - kJnz);
        return true;
    }
    if (mnemonic >= kCnz && mnemonic <= kCm) {
        out.Opcode = 0xC4 + 8 * (mnemonic - kCnz);
        return true;
    }
    return false;
}

}  // namespace

int Assemble8080(std::string_view text, uint8_t& opcode, uint16_t& operand) {
    InlineAsmLine line;
    if (!SplitInlineAsmLine(text, line)) return 0;
    int mnemonic = Find(line.Mnemonic, 0, kLastMnemonic);
    if (mnemonic < 0) return 0;

    Encoded out;
    int plain = PlainOpcode(mnemonic);
    if (plain >= 0) {
        if (line.Count > 1) return line.OperandPos;
        out.Opcode = plain;
    } else if (line.Count == 1) {
        return line.EndPos;
    } else if (mnemonic == kMov || mnemonic == kMvi || mnemonic == kLxi) {
        int code = mnemonic == kLxi ? Pair(line.First) : Register(line.First);
        if (code < 0 || (mnemonic == kLxi && code > kPairSp)) return line.OperandPos;
        if (line.Count == 2) return line.EndPos;
        if (mnemonic == kMov) {
            int source = Register(line.Second);
            if (source < 0) return line.AfterCommaPos;
            out.Opcode = 0x40 + 8 * code + source;
        } else {
            bool word = mnemonic == kLxi;
            if (!ParseAsmNumber(line.Second, word, out.Operand)) return line.AfterCommaPos;
            out.Opcode = word ? 0x01 + 16 * code : 0x06 + 8 * code;
            out.Length = word ? 3 : 2;
        }
    } else {
        if (!EncodeSingle(mnemonic, line.First, out)) return line.OperandPos;
        if (line.Count == 3) return line.CommaPos;
    }
    opcode = static_cast<uint8_t>(out.Opcode);
    operand = out.Operand;
    return -out.Length;
}

}  // namespace debugger
