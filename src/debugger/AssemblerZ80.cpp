#include "debugger/AssemblerZ80.h"

#include <array>

#include "debugger/InlineAsmLine.h"

namespace debugger {

namespace {

// Mnemonics 0 to 31, conditions, registers, pairs and the three memory operands; the order gives
// the codes.
// clang-format off
constexpr std::array<std::string_view, 56> kKeywords = {
    "nop", "ld", "out", "in", "di", "ei", "halt", "ex", "inc", "dec", "pop", "push", "rst",
    "rlca", "rrca", "rla", "rra", "daa", "cpl", "scf", "ccf",
    "add", "adc", "sub", "sbc", "and", "xor", "or", "cp",
    "jp", "call", "ret",
    "nz", "z", "nc", "c", "po", "pe", "p", "m",
    "b", "c", "d", "e", "h", "l", "(hl)", "a",
    "bc", "de", "hl", "sp", "af",
    "(bc)", "(de)", "(sp)",
};

enum Keyword {
    kNop = 0, kLd = 1, kOut = 2, kIn = 3, kDi = 4, kEi = 5, kHalt = 6, kEx = 7, kInc = 8,
    kDec = 9, kPop = 10, kPush = 11, kRst = 12, kRlca = 13, kCcf = 20, kAdd = 21, kAdc = 22,
    kSub = 23, kSbc = 24, kCp = 28, kJp = 29, kCall = 30, kRet = 31, kLastMnemonic = 31,
    kFirstCondition = 32, kLastCondition = 39, kFirstRegister = 40, kLastRegister = 47,
    kFirstPair = 48, kLastPair = 52,
};
// clang-format on

constexpr int kRegA = 7;
constexpr int kPairHl = 2;
constexpr int kPairSp = 3;
constexpr int kPairAf = 4;

int Find(std::string_view word, int first, int last) {
    for (int i = first; i <= last; ++i) {
        if (kKeywords[i] == word) return i;
    }
    return -1;
}

int Code(std::string_view word, int first, int last) {
    int i = Find(word, first, last);
    return i < 0 ? -1 : i - first;
}

int Register(std::string_view word) {
    return Code(word, kFirstRegister, kLastRegister);
}
int Pair(std::string_view word) {
    return Code(word, kFirstPair, kLastPair);
}
int Condition(std::string_view word) {
    return Code(word, kFirstCondition, kLastCondition);
}

bool IsParenthesised(std::string_view word) {
    return !word.empty() && word.front() == '(';
}

// "(" number ")" with nothing after the closing parenthesis.
bool ParenNumber(std::string_view word, bool wide, uint16_t& value) {
    if (word.size() < 2 || word.front() != '(' || word.back() != ')') return false;
    return ParseAsmNumber(word.substr(1, word.size() - 2), wide, value);
}

struct Encoded {
    int Opcode = 0;
    uint16_t Operand = 0;
    int Length = 1;
};

// Outcome of one mnemonic: either a failure position or an encoding.
constexpr int kOk = -1;

int PlainOpcode(int mnemonic) {
    switch (mnemonic) {
        case kNop: return 0x00;
        case kDi: return 0xF3;
        case kEi: return 0xFB;
        case kHalt: return 0x76;
        default: break;
    }
    if (mnemonic >= kRlca && mnemonic <= kCcf) return 0x07 + 8 * (mnemonic - kRlca);
    return -1;
}

// A register or an 8-bit number as the operand of one of the eight accumulator operations.
bool EncodeArithmetic(int k, std::string_view text, Encoded& out) {
    int r = Register(text);
    if (r >= 0) {
        out.Opcode = 0x80 + 8 * k + r;
        return true;
    }
    if (!ParseAsmNumber(text, false, out.Operand)) return false;
    out.Opcode = 0xC6 + 8 * k;
    out.Length = 2;
    return true;
}

int EncodeLoad(const InlineAsmLine& line, Encoded& out) {
    const std::string_view first = line.First;
    const std::string_view second = line.Second;
    const int missing = line.EndPos;
    const int badSecond = line.AfterCommaPos;
    const int badAddress = line.AfterCommaPos + 1;  // the address inside "(…)"

    int r = Register(first);
    if (r >= 0) {
        if (line.Count == 2) return missing;
        int source = Register(second);
        if (source >= 0) {
            out.Opcode = 0x40 + 8 * r + source;
            return kOk;
        }
        if (ParseAsmNumber(second, false, out.Operand)) {
            out.Opcode = 0x06 + 8 * r;
            out.Length = 2;
            return kOk;
        }
        if (r != kRegA) return badSecond;
        if (second == "(bc)" || second == "(de)") {
            out.Opcode = second == "(bc)" ? 0x0A : 0x1A;
            return kOk;
        }
        if (!IsParenthesised(second)) return badSecond;
        if (!ParenNumber(second, true, out.Operand)) return badAddress;
        out.Opcode = 0x3A;
        out.Length = 3;
        return kOk;
    }
    int rp = Pair(first);
    if (rp >= 0 && rp != kPairAf) {
        if (line.Count == 2) return missing;
        if (ParseAsmNumber(second, true, out.Operand)) {
            out.Opcode = 0x01 + 16 * rp;
            out.Length = 3;
            return kOk;
        }
        if (rp == kPairSp && second == "hl") {
            out.Opcode = 0xF9;
            return kOk;
        }
        if (rp != kPairHl || !IsParenthesised(second)) return badSecond;
        if (!ParenNumber(second, true, out.Operand)) return badAddress;
        out.Opcode = 0x2A;
        out.Length = 3;
        return kOk;
    }
    if (first == "(bc)" || first == "(de)") {
        if (line.Count == 2) return missing;
        if (second != "a") return badSecond;
        out.Opcode = first == "(bc)" ? 0x02 : 0x12;
        return kOk;
    }
    if (ParenNumber(first, true, out.Operand)) {
        if (line.Count == 2) return missing;
        if (second != "a" && second != "hl") return badSecond;
        out.Opcode = second == "a" ? 0x32 : 0x22;
        out.Length = 3;
        return kOk;
    }
    return line.OperandPos;
}

int Encode(int mnemonic, const InlineAsmLine& line, Encoded& out) {
    const int missing = line.EndPos;
    const int badFirst = line.OperandPos;
    const int badSecond = line.AfterCommaPos;
    const int extra = line.Count == 3 ? line.CommaPos : kOk;  // a second operand not wanted

    int plain = PlainOpcode(mnemonic);
    if (plain >= 0) {
        if (line.Count > 1) return badFirst;
        out.Opcode = plain;
        return kOk;
    }
    if (mnemonic == kRet) {
        if (line.Count == 1) {
            out.Opcode = 0xC9;
            return kOk;
        }
        int cc = Condition(line.First);
        if (cc < 0) return badFirst;
        out.Opcode = 0xC0 + 8 * cc;
        return extra;
    }
    if (line.Count == 1) return missing;

    switch (mnemonic) {
        case kLd: return EncodeLoad(line, out);
        case kOut:
            if (!ParenNumber(line.First, false, out.Operand)) return badFirst;
            if (line.Count == 2) return missing;
            if (line.Second != "a") return badSecond;
            out.Opcode = 0xD3;
            out.Length = 2;
            return kOk;
        case kIn:
            if (line.First != "a") return badFirst;
            if (line.Count == 2) return missing;
            if (!ParenNumber(line.Second, false, out.Operand)) return badSecond;
            out.Opcode = 0xDB;
            out.Length = 2;
            return kOk;
        case kEx:
            if (line.First != "(sp)" && line.First != "de") return badFirst;
            if (line.Count == 2) return missing;
            if (line.Second != "hl") return badSecond;
            out.Opcode = line.First == "de" ? 0xEB : 0xE3;
            return kOk;
        case kInc:
        case kDec: {
            int r = Register(line.First);
            int rp = Pair(line.First);
            if (r >= 0) {
                out.Opcode = (mnemonic == kInc ? 0x04 : 0x05) + 8 * r;
            } else if (rp >= 0 && rp != kPairAf) {
                out.Opcode = (mnemonic == kInc ? 0x03 : 0x0B) + 16 * rp;
            } else {
                return badFirst;
            }
            return extra;
        }
        case kPop:
        case kPush: {
            int rp = Pair(line.First);
            if (rp < 0 || rp == kPairSp) return badFirst;
            if (rp == kPairAf) rp = kPairSp;  // af takes the code that sp has elsewhere
            out.Opcode = (mnemonic == kPop ? 0xC1 : 0xC5) + 16 * rp;
            return extra;
        }
        case kRst: {
            uint16_t target = 0;
            if (!ParseAsmNumber(line.First, false, target) || (target & 0xC7) != 0) return badFirst;
            out.Opcode = 0xC7 + target;
            return extra;
        }
        case kAdd:
            if (line.First == "hl") {
                if (line.Count == 2) return missing;
                int rp = Pair(line.Second);
                if (rp < 0 || rp == kPairAf) return badSecond;
                out.Opcode = 0x09 + 16 * rp;
                return kOk;
            }
            [[fallthrough]];
        case kAdc:
        case kSbc:
            if (line.First != "a") return badFirst;
            if (line.Count == 2) return missing;
            return EncodeArithmetic(mnemonic - kAdd, line.Second, out) ? kOk : badSecond;
        case kJp:
        case kCall: {
            if (ParseAsmNumber(line.First, true, out.Operand)) {
                out.Opcode = mnemonic == kJp ? 0xC3 : 0xCD;
                out.Length = 3;
                return extra;
            }
            if (mnemonic == kJp && line.First == "(hl)") {
                out.Opcode = 0xE9;
                return extra;
            }
            int cc = Condition(line.First);
            if (cc < 0) return badFirst;
            if (line.Count == 2) return missing;
            if (!ParseAsmNumber(line.Second, true, out.Operand)) return badSecond;
            out.Opcode = (mnemonic == kJp ? 0xC2 : 0xC4) + 8 * cc;
            out.Length = 3;
            return kOk;
        }
        default:  // sub, and, xor, or, cp take their operand directly
            if (mnemonic >= kSub && mnemonic <= kCp) {
                if (!EncodeArithmetic(mnemonic - kAdd, line.First, out)) return badFirst;
                return extra;
            }
            return badFirst;
    }
}

}  // namespace

int AssembleZ80(std::string_view text, uint8_t& opcode, uint16_t& operand) {
    InlineAsmLine line;
    if (!SplitInlineAsmLine(text, line)) return 0;
    int mnemonic = Find(line.Mnemonic, 0, kLastMnemonic);
    if (mnemonic < 0) return 0;
    Encoded out;
    int failure = Encode(mnemonic, line, out);
    if (failure != kOk) return failure;
    opcode = static_cast<uint8_t>(out.Opcode);
    operand = out.Operand;
    return -out.Length;
}

}  // namespace debugger
