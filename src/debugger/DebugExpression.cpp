#include "debugger/DebugExpression.h"

#include <array>
#include <cctype>

#include "asm/NumberFormat.h"

namespace debugger {

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

std::string_view Trim(std::string_view text) {
    while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
    return text;
}

bool SameLetters(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (std::toupper(static_cast<unsigned char>(a[i])) !=
            std::toupper(static_cast<unsigned char>(b[i]))) {
            return false;
        }
    }
    return true;
}

struct RegisterName {
    std::string_view Name;
    DebugValue::Source Source;
    bool Pair;  // 16 bits, so it can point at memory
};

using S = DebugValue::Source;
constexpr std::array<RegisterName, 14> kRegisters = {{
    {"A", S::A, false},
    {"F", S::F, false},
    {"B", S::B, false},
    {"C", S::C, false},
    {"D", S::D, false},
    {"E", S::E, false},
    {"H", S::H, false},
    {"L", S::L, false},
    {"BC", S::BC, true},
    {"DE", S::DE, true},
    {"HL", S::HL, true},
    {"SP", S::SP, true},
    {"PC", S::PC, true},
    {"PSW", S::PSW, false},
}};

const RegisterName* FindRegister(std::string_view text) {
    for (const RegisterName& r : kRegisters) {
        if (SameLetters(text, r.Name)) return &r;
    }
    return nullptr;
}

std::optional<uint16_t> ResolveTerm(std::string_view term, const SymbolTable& symbols,
                                    bool registersToo, std::string& error) {
    if (term.empty()) {
        error = "expected a number or label";
        return std::nullopt;
    }
    if (SymbolTable::IsName(term.substr(0, 1))) {
        if (const std::optional<uint16_t> value = symbols.Find(term)) return value;
    }
    if (const std::optional<uint16_t> value = ParseHexNumber(term, true)) return value;
    if (SymbolTable::IsName(term)) {
        error = std::string(registersToo ? "unknown register or label " : "unknown label ") +
                QuoteInput(term);
    } else if (assembler::ReadFieldNumber(term, true) > 0xFFFF) {
        error = QuoteInput(term) + " is more than FFFF";
    } else {
        error = QuoteInput(term) + " is not a number or label";
    }
    return std::nullopt;
}

std::optional<uint16_t> ParseSum(std::string_view text, const SymbolTable& symbols,
                                 bool registersToo, std::string& error) {
    text = Trim(text);
    if (text.empty()) {
        error = "expected an address";
        return std::nullopt;
    }
    uint32_t sum = 0;
    bool minus = false;
    size_t at = 0;
    while (true) {
        while (at < text.size() && IsBlank(text[at])) ++at;
        const size_t start = at;
        while (at < text.size() && !IsBlank(text[at]) && text[at] != '+' && text[at] != '-') ++at;
        const std::string_view term = text.substr(start, at - start);
        if (term.empty() && start > 0) {
            error = std::string("expected a number or label after '") + text[start - 1] + "'";
            return std::nullopt;
        }
        const std::optional<uint16_t> value = ResolveTerm(term, symbols, registersToo, error);
        if (!value) return std::nullopt;
        sum = minus ? sum - *value : sum + *value;
        while (at < text.size() && IsBlank(text[at])) ++at;
        if (at == text.size()) break;
        if (text[at] != '+' && text[at] != '-') {
            error = "expected '+' or '-' before " + QuoteInput(text.substr(at));
            return std::nullopt;
        }
        minus = text[at++] == '-';
    }
    error.clear();
    return static_cast<uint16_t>(sum);
}

}  // namespace

std::string QuoteInput(std::string_view text) {
    std::string out = "'";
    for (size_t i = 0; i < text.size() && i < 40; ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        out += c >= 0x20 && c < 0x7F ? static_cast<char>(c) : '?';
    }
    if (text.size() > 40) out += "...";
    return out + "'";
}

std::optional<uint16_t> ParseHexNumber(std::string_view text, bool bare) {
    std::string_view digits;
    if (!text.empty() && text[0] == '#') {
        digits = text.substr(1);
    } else if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        digits = text.substr(2);
    } else if (!text.empty() && (text.back() == 'H' || text.back() == 'h')) {
        digits = text.substr(0, text.size() - 1);
    } else if (bare) {
        digits = text;
    }
    if (digits.empty()) return std::nullopt;
    for (char c : digits) {
        if (std::isxdigit(static_cast<unsigned char>(c)) == 0) return std::nullopt;
    }
    const int32_t value = assembler::ReadFieldNumber(digits, true);
    if (value < 0 || value > 0xFFFF) return std::nullopt;
    return static_cast<uint16_t>(value);
}

std::optional<uint16_t> ParseAddress(std::string_view text, const SymbolTable& symbols,
                                     std::string& error) {
    return ParseSum(text, symbols, false, error);
}

std::optional<uint16_t> ParseAddress(std::string_view text, const SymbolTable& symbols) {
    std::string error;
    return ParseSum(text, symbols, false, error);
}

std::optional<DebugValue> DebugValue::Parse(std::string_view text, const SymbolTable& symbols,
                                            std::string& error) {
    text = Trim(text);
    DebugValue value;
    if (!text.empty() && text.front() == '[') {
        value.Through = Read::Byte;
        text = text.back() == ']' ? Trim(text.substr(1, text.size() - 2)) : std::string_view{};
        if (!text.empty() && text.front() == '[') {
            value.Through = Read::Word;
            text = text.back() == ']' ? Trim(text.substr(1, text.size() - 2)) : std::string_view{};
        }
        if (text.empty()) {
            error = "expected an address between '[' and ']'";
            return std::nullopt;
        }
    }
    if (text.find_first_of("[]") != std::string_view::npos) {
        error = "expected [address] or [[address]], found " + QuoteInput(text);
        return std::nullopt;
    }
    if (const RegisterName* r = FindRegister(text)) {
        if (value.Through != Read::Value && !r->Pair) {
            error = "only BC, DE, HL, SP and PC point at memory, not " + QuoteInput(text);
            return std::nullopt;
        }
        value.From = r->Source;
        error.clear();
        return value;
    }
    const std::optional<uint16_t> address =
        ParseSum(text, symbols, value.Through == Read::Value, error);
    if (!address) return std::nullopt;
    value.Constant = *address;
    return value;
}

uint32_t DebugValue::Evaluate(const ChipCpu8080& cpu, const ChipMemory& memory) const {
    uint32_t base = 0;
    switch (From) {
        case Source::Constant: base = Constant; break;
        case Source::A: base = cpu.A; break;
        case Source::F: base = cpu.F; break;
        case Source::B: base = cpu.B; break;
        case Source::C: base = cpu.C; break;
        case Source::D: base = cpu.D; break;
        case Source::E: base = cpu.E; break;
        case Source::H: base = cpu.H; break;
        case Source::L: base = cpu.L; break;
        case Source::BC: base = cpu.BC(); break;
        case Source::DE: base = cpu.DE(); break;
        case Source::HL: base = cpu.HL(); break;
        case Source::SP: base = cpu.SP; break;
        case Source::PC: base = cpu.PC; break;
        case Source::PSW: base = cpu.PSW(); break;
    }
    const auto address = static_cast<uint16_t>(base);
    switch (Through) {
        case Read::Value: return base;
        case Read::Byte: return memory.Peek(address);
        case Read::Word:
            return memory.Peek(address) |
                   static_cast<uint32_t>(memory.Peek(static_cast<uint16_t>(address + 1))) << 8;
    }
    return base;
}

std::optional<uint32_t> EvaluateOperand(std::string_view text, const ChipCpu8080& cpu,
                                        const ChipMemory& memory, const SymbolTable& symbols) {
    std::string error;
    const std::optional<DebugValue> value = DebugValue::Parse(text, symbols, error);
    if (!value) return std::nullopt;
    return value->Evaluate(cpu, memory);
}

std::optional<BreakCondition> BreakCondition::Compile(std::string_view text,
                                                      const SymbolTable& symbols,
                                                      std::string& error) {
    text = Trim(text);
    const size_t at = text.find_first_of("=<>!");
    struct Spelling {
        std::string_view Text;
        Op Meaning;
    };
    // Two-letter spellings first, so "<=" is not read as "<" before "=".
    static constexpr std::array<Spelling, 8> kOps = {{
        {"==", Op::Equal},
        {"<>", Op::NotEqual},
        {"!=", Op::NotEqual},
        {"<=", Op::LessEqual},
        {">=", Op::GreaterEqual},
        {"=", Op::Equal},
        {"<", Op::Less},
        {">", Op::Greater},
    }};
    const Spelling* op = nullptr;
    if (at != std::string_view::npos) {
        for (const Spelling& s : kOps) {
            if (text.substr(at, s.Text.size()) == s.Text) {
                op = &s;
                break;
            }
        }
    }
    const std::string_view left = op ? Trim(text.substr(0, at)) : std::string_view{};
    const std::string_view right =
        op ? Trim(text.substr(at + op->Text.size())) : std::string_view{};
    if (!op || right.find_first_of("=<>!") != std::string_view::npos) {
        error = "expected a comparison such as HL=2000";
        return std::nullopt;
    }
    if (left.empty() || right.empty()) {
        error = "expected a value " + std::string(left.empty() ? "before '" : "after '") +
                std::string(op->Text) + "'";
        return std::nullopt;
    }
    BreakCondition condition;
    std::optional<DebugValue> value = DebugValue::Parse(left, symbols, error);
    if (!value) return std::nullopt;
    condition.left_ = *value;
    value = DebugValue::Parse(right, symbols, error);
    if (!value) return std::nullopt;
    condition.right_ = *value;
    condition.op_ = op->Meaning;
    condition.text_ = std::string(text);
    error.clear();
    return condition;
}

bool BreakCondition::Holds(const ChipCpu8080& cpu, const ChipMemory& memory) const {
    const uint32_t a = left_.Evaluate(cpu, memory);
    const uint32_t b = right_.Evaluate(cpu, memory);
    switch (op_) {
        case Op::Equal: return a == b;
        case Op::NotEqual: return a != b;
        case Op::Less: return a < b;
        case Op::LessEqual: return a <= b;
        case Op::Greater: return a > b;
        case Op::GreaterEqual: return a >= b;
    }
    return false;
}

std::optional<HitCondition> HitCondition::Parse(std::string_view text) {
    text = Trim(text);
    struct Spelling {
        std::string_view Text;
        Op Meaning;
    };
    static constexpr std::array<Spelling, 7> kOps = {{
        {">=", Op::GreaterEqual},
        {"<=", Op::LessEqual},
        {"==", Op::Equal},
        {">", Op::Greater},
        {"<", Op::Less},
        {"=", Op::Equal},
        {"%", Op::Every},
    }};
    HitCondition condition;
    for (const Spelling& s : kOps) {
        if (text.substr(0, s.Text.size()) == s.Text) {
            condition.op_ = s.Meaning;
            text = Trim(text.substr(s.Text.size()));
            break;
        }
    }
    // Nineteen digits always fit in 64 bits.
    if (text.empty() || text.size() > 19) return std::nullopt;
    for (char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        condition.count_ = condition.count_ * 10 + static_cast<uint64_t>(c - '0');
    }
    // The first hit is number 1: these could never stop, and "%0" would divide by zero.
    const uint64_t n = condition.count_;
    const Op op = condition.op_;
    if ((n == 0 && (op == Op::Equal || op == Op::Every || op == Op::LessEqual)) ||
        (n <= 1 && op == Op::Less)) {
        return std::nullopt;
    }
    return condition;
}

bool HitCondition::Stops(uint64_t hits) const {
    switch (op_) {
        case Op::Equal: return hits == count_;
        case Op::Less: return hits < count_;
        case Op::LessEqual: return hits <= count_;
        case Op::Greater: return hits > count_;
        case Op::GreaterEqual: return hits >= count_;
        case Op::Every: return hits % count_ == 0;
    }
    return false;
}

}  // namespace debugger
