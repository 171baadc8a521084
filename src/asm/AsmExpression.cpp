#include "asm/AsmExpression.h"

namespace assembler {

namespace {

constexpr int kMaxDepth = 64;

struct Term {
    bool Known = true;
    uint32_t Value = 0;
};

class Parser {
  public:
    Parser(const std::vector<AsmToken>& tokens, size_t& pos, uint16_t here,
           const AsmNameResolver& resolve, AsmExprValue& result, AsmExprError& error)
        : tokens_(tokens),
          pos_(pos),
          here_(here),
          resolve_(resolve),
          result_(result),
          error_(error) {}

    bool Expression(Term& out) { return Or(out); }

  private:
    const AsmToken& Peek() const { return tokens_[pos_]; }
    bool PeekWord(const char* word) const {
        return Peek().Kind == AsmTokenKind::Name && Peek().Text == word;
    }
    bool Fail(const AsmToken& at, std::string message) {
        error_.Column = at.Column;
        error_.Message = std::move(message);
        return false;
    }

    static Term Combine(const Term& a, const Term& b, uint32_t value) {
        return Term{a.Known && b.Known, value & 0xFFFF};
    }

    bool Or(Term& out) {
        if (!And(out)) return false;
        while (PeekWord("OR") || PeekWord("XOR")) {
            bool isOr = Peek().Text == "OR";
            ++pos_;
            Term right;
            if (!And(right)) return false;
            out = Combine(out, right, isOr ? out.Value | right.Value : out.Value ^ right.Value);
        }
        return true;
    }

    bool And(Term& out) {
        if (!Not(out)) return false;
        while (PeekWord("AND")) {
            ++pos_;
            Term right;
            if (!Not(right)) return false;
            out = Combine(out, right, out.Value & right.Value);
        }
        return true;
    }

    bool Not(Term& out) {
        if (!PeekWord("NOT")) return Add(out);
        ++pos_;
        if (!Enter()) return false;
        bool ok = Not(out);
        --depth_;
        out.Value = ~out.Value & 0xFFFF;
        return ok;
    }

    bool Add(Term& out) {
        if (!Multiply(out)) return false;
        while (Peek().Kind == AsmTokenKind::Plus || Peek().Kind == AsmTokenKind::Minus) {
            bool plus = Peek().Kind == AsmTokenKind::Plus;
            ++pos_;
            Term right;
            if (!Multiply(right)) return false;
            out = Combine(out, right, plus ? out.Value + right.Value : out.Value - right.Value);
        }
        return true;
    }

    bool Multiply(Term& out) {
        if (!Unary(out)) return false;
        for (;;) {
            const AsmToken& op = Peek();
            bool star = op.Kind == AsmTokenKind::Star;
            bool slash = op.Kind == AsmTokenKind::Slash;
            bool word = PeekWord("MOD") || PeekWord("SHL") || PeekWord("SHR");
            if (!star && !slash && !word) return true;
            ++pos_;
            Term right;
            if (!Unary(right)) return false;
            uint32_t value = 0;
            if (star) {
                value = out.Value * right.Value;
            } else if (slash || op.Text == "MOD") {
                if (right.Known && right.Value == 0) {
                    return Fail(op, slash ? "division by zero" : "MOD by zero");
                }
                if (right.Value != 0)
                    value = slash ? out.Value / right.Value : out.Value % right.Value;
            } else {
                uint32_t shift = right.Value;
                if (shift < 16) value = op.Text == "SHL" ? out.Value << shift : out.Value >> shift;
            }
            out = Combine(out, right, value);
        }
    }

    bool Unary(Term& out) {
        const AsmToken& op = Peek();
        bool minus = op.Kind == AsmTokenKind::Minus;
        bool plus = op.Kind == AsmTokenKind::Plus;
        bool high = PeekWord("HIGH");
        bool low = PeekWord("LOW");
        if (!minus && !plus && !high && !low) return Primary(out);
        ++pos_;
        if (!Enter()) return false;
        bool ok = Unary(out);
        --depth_;
        if (minus) out.Value = (0x10000 - out.Value) & 0xFFFF;
        if (high) out.Value >>= 8;
        if (low) out.Value &= 0xFF;
        return ok;
    }

    bool Primary(Term& out) {
        const AsmToken& token = Peek();
        switch (token.Kind) {
            case AsmTokenKind::Number:
                ++pos_;
                out = Term{true, token.Value};
                return true;
            case AsmTokenKind::Dollar:
                ++pos_;
                out = Term{true, here_};
                return true;
            case AsmTokenKind::Text:
                if (token.Text.empty() || token.Text.size() > 2) {
                    return Fail(token, "a character constant holds one or two characters");
                }
                ++pos_;
                out.Known = true;
                out.Value = 0;
                for (unsigned char c : token.Text) out.Value = out.Value << 8 | c;
                return true;
            case AsmTokenKind::Open: {
                ++pos_;
                if (!Enter()) return false;
                if (!Or(out)) return false;
                --depth_;
                if (Peek().Kind != AsmTokenKind::Close) {
                    return Fail(Peek(), "expected ')' to close the '(' in column " +
                                            std::to_string(token.Column) + ", found " +
                                            DescribeToken(Peek()));
                }
                ++pos_;
                return true;
            }
            case AsmTokenKind::Name: {
                if (IsAsmOperatorWord(token.Text)) break;
                uint16_t value = 0;
                AsmNameState state = resolve_(token.Text, value);
                if (state == AsmNameState::Reserved) {
                    return Fail(token,
                                "expected a value, found the reserved word '" + token.Text + "'");
                }
                ++pos_;
                out = Term{state == AsmNameState::Known, value};
                if (!out.Known && result_.Unresolved.empty()) {
                    result_.Unresolved = token.Text;
                    result_.UnresolvedColumn = token.Column;
                }
                return true;
            }
            default: break;
        }
        return Fail(token,
                    "expected a value (a number, a name, $ or a character constant), "
                    "found " +
                        DescribeToken(token));
    }

    bool Enter() {
        if (++depth_ <= kMaxDepth) return true;
        return Fail(Peek(), "the expression is nested too deeply");
    }

    const std::vector<AsmToken>& tokens_;
    size_t& pos_;
    uint16_t here_;
    const AsmNameResolver& resolve_;
    AsmExprValue& result_;
    AsmExprError& error_;
    int depth_ = 0;
};

}  // namespace

bool IsAsmOperatorWord(const std::string& name) {
    for (const char* word : {"MOD", "AND", "OR", "XOR", "NOT", "SHL", "SHR", "HIGH", "LOW"}) {
        if (name == word) return true;
    }
    return false;
}

bool ParseAsmExpression(const std::vector<AsmToken>& tokens, size_t& pos, uint16_t here,
                        const AsmNameResolver& resolve, AsmExprValue& value, AsmExprError& error) {
    value = AsmExprValue{};
    Parser parser(tokens, pos, here, resolve, value, error);
    Term term;
    if (!parser.Expression(term)) return false;
    value.Known = term.Known;
    value.Value = static_cast<uint16_t>(term.Value);
    return true;
}

}  // namespace assembler
