#include "asm/FileAssembler.h"

#include "asm/FileAssemblerShared.h"
#include "machine/InstructionSet.h"

// The instruction statements: the operands pick the opcode among the forms the table gives a
// mnemonic, in Intel or in Zilog notation.
namespace assembler {

using detail::FitsByte;
using detail::Hex16;
using detail::Hex8;
using detail::IsOperandEnd;

void FileAssembler::Instruction(Cursor& c, const AsmToken& mnemonic, const std::string& key) {
    const std::vector<AsmOpcodeForm>& all = FindAsmOpcodeForms(key);
    std::vector<const AsmOpcodeForm*> forms;
    for (const AsmOpcodeForm& f : all) forms.push_back(&f);
    const size_t operandCount = all.front().Operands.size();
    const std::string shown = key == mnemonic.Text ? mnemonic.Text : key;
    const int length = isa::InstructionLength[all.front().Opcode];

    AsmExprValue operandValue;
    int valueColumn = 0;
    char valueMarker = 0;
    for (size_t i = 0; i < operandCount; ++i) {
        const AsmToken& at = c.Peek();
        if (i > 0) {
            if (at.Kind != AsmTokenKind::Comma) {
                Error(c, at.Column,
                      "expected ',' and operand " + std::to_string(i + 1) + " of " + shown +
                          ", found " + DescribeToken(at));
                return;
            }
            ++c.Pos;
        }
        const AsmToken& operand = c.Peek();
        if (IsOperandEnd(operand)) {
            Error(c, operand.Column,
                  "expected operand " + std::to_string(i + 1) + " of " + shown + ", found " +
                      DescribeToken(operand));
            return;
        }
        const std::string& kind = forms.front()->Operands[i];
        if (kind == "%" || kind == "&" || kind == "*") {
            valueColumn = operand.Column;
            valueMarker = kind[0];
            if (!Evaluate(c, operandValue)) return;
            if (valueMarker == '%' && operandValue.Known && !FitsByte(operandValue.Value)) {
                Error(c, valueColumn,
                      "the value " + Hex16(operandValue.Value) +
                          " does not fit in the byte operand of " + shown);
                return;
            }
        } else if (kind[0] >= '0' && kind[0] <= '9') {
            AsmExprValue number;
            if (!Evaluate(c, number)) return;
            if (!number.Known) continue;  // first pass: the length is the same for every form
            std::vector<const AsmOpcodeForm*> matching;
            for (const AsmOpcodeForm* f : forms) {
                if (f->Operands[i] == std::to_string(number.Value)) matching.push_back(f);
            }
            if (matching.empty()) {
                Error(c, operand.Column,
                      "expected a restart number from 0 to 7 for " + shown + ", found " +
                          std::to_string(number.Value));
                return;
            }
            forms = std::move(matching);
        } else if (!RegisterOperand(c, forms, i)) {
            return;
        }
    }
    const AsmToken& rest = c.Peek();
    if (rest.Kind != AsmTokenKind::End) {
        std::string count = operandCount == 0   ? "no operand"
                            : operandCount == 1 ? "one operand"
                                                : "two operands";
        Error(c, rest.Column,
              "expected the end of the line: " + shown + " takes " + count + ", found " +
                  DescribeToken(rest));
        return;
    }
    if (!Place(c, mnemonic.Column, length)) return;
    const AsmOpcodeForm& form = *forms.front();
    if (pass_ == Pass::Emit && key[0] == '!' && forms.size() > 1) {
        Warn(c, mnemonic.Column,
             shown + " stands for " + std::to_string(forms.size()) +
                 " undocumented opcodes; assembled as " + Hex8(form.Opcode));
    }
    Emit(c, mnemonic.Column, form.Opcode);
    if (valueMarker == '%') Emit(c, valueColumn, static_cast<uint8_t>(operandValue.Value));
    if (valueMarker == '&' || valueMarker == '*') {
        Emit(c, valueColumn, static_cast<uint8_t>(operandValue.Value));
        Emit(c, valueColumn, static_cast<uint8_t>(operandValue.Value >> 8));
    }
}

bool FileAssembler::RegisterOperand(Cursor& c, std::vector<const AsmOpcodeForm*>& forms,
                                    size_t index) {
    const AsmToken& operand = c.Peek();
    std::vector<const AsmOpcodeForm*> matching;
    std::vector<std::string> names;
    for (const AsmOpcodeForm* f : forms) {
        const std::string& name = f->Operands[index];
        if (operand.Kind == AsmTokenKind::Name && operand.Text == name) matching.push_back(f);
        bool seen = false;
        for (const std::string& n : names) seen = seen || n == name;
        if (!seen) names.push_back(name);
    }
    if (matching.empty()) {
        std::string list;
        for (size_t i = 0; i < names.size(); ++i) {
            if (i > 0) list += i + 1 == names.size() ? " or " : ", ";
            list += names[i];
        }
        Error(c, operand.Column, "expected " + list + ", found " + DescribeToken(operand));
        return false;
    }
    ++c.Pos;
    forms = std::move(matching);
    return true;
}

// Zilog notation: the operands decide among forms that differ in count ("RET", "RET NZ"), in
// kind ("LD A,B", "LD A,5", "LD A,(HL)", "LD A,(1234H)") and in length. An operand wholly in
// parentheses is a memory or port operand, as Zilog assemblers read it.
void FileAssembler::InstructionZ80(Cursor& c, const AsmToken& mnemonic, const std::string& key) {
    struct Operand {
        std::string Shape;  // a register, "(HL)"-style, "(value)" or "value"
        AsmExprValue Value{};
        int Column = 0;
    };
    const std::vector<AsmToken>& t = c.Source.Tokens;
    std::vector<Operand> operands;
    while (c.Peek().Kind != AsmTokenKind::End) {
        if (!operands.empty()) {
            if (c.Peek().Kind != AsmTokenKind::Comma) {
                Error(c, c.Peek().Column,
                      "expected ',' or the end of the line, found " + DescribeToken(c.Peek()));
                return;
            }
            ++c.Pos;
        }
        Operand op;
        op.Column = c.Peek().Column;
        const AsmToken& first = c.Peek();
        if (IsOperandEnd(first)) {
            Error(c, first.Column,
                  "expected operand " + std::to_string(operands.size() + 1) + " of " + key +
                      ", found " + DescribeToken(first));
            return;
        }
        // Where the operand ends, and whether one pair of parentheses encloses all of it.
        size_t end = c.Pos;
        int depth = 0;
        bool enclosed = first.Kind == AsmTokenKind::Open;
        for (; t[end].Kind != AsmTokenKind::End; ++end) {
            if (t[end].Kind == AsmTokenKind::Comma && depth == 0) break;
            if (t[end].Kind == AsmTokenKind::Open) ++depth;
            if (t[end].Kind == AsmTokenKind::Close && --depth == 0 && end + 1 < t.size() &&
                t[end + 1].Kind != AsmTokenKind::Comma && t[end + 1].Kind != AsmTokenKind::End) {
                enclosed = false;
            }
        }
        if (first.Kind == AsmTokenKind::Name && end == c.Pos + 1 &&
            IsAsmRegisterName(first.Text, true)) {
            op.Shape = first.Text;
            ++c.Pos;
        } else if (enclosed && end == c.Pos + 3 && t[c.Pos + 1].Kind == AsmTokenKind::Name &&
                   IsAsmRegisterName(t[c.Pos + 1].Text, true)) {
            op.Shape = "(" + t[c.Pos + 1].Text + ")";
            c.Pos += 3;
        } else if (enclosed) {
            ++c.Pos;
            if (!Evaluate(c, op.Value)) return;
            if (c.Peek().Kind != AsmTokenKind::Close) {
                Error(c, c.Peek().Column, "expected ')', found " + DescribeToken(c.Peek()));
                return;
            }
            ++c.Pos;
            op.Shape = "(value)";
        } else {
            if (!Evaluate(c, op.Value)) return;
            op.Shape = "value";
        }
        operands.push_back(std::move(op));
    }

    auto fits = [](const std::string& shape, const std::string& form) {
        if (shape == "value") return form == "%" || form == "&" || form == "*" || form == "@";
        if (shape == "(value)") return form == "(%)" || form == "(&)";
        return shape == form;
    };
    std::vector<const AsmOpcodeForm*> forms;
    for (const AsmOpcodeForm& f : FindAsmOpcodeForms(key, true)) {
        if (f.Operands.size() != operands.size()) continue;
        bool all = true;
        for (size_t i = 0; i < operands.size() && all; ++i) {
            all = fits(operands[i].Shape, f.Operands[i]);
        }
        if (all) forms.push_back(&f);
    }
    if (forms.empty()) {
        std::string written;
        for (const Operand& op : operands) written += (written.empty() ? " " : ",") + op.Shape;
        Error(c, mnemonic.Column, "no 8080 instruction " + key + written);
        return;
    }
    // A restart names its target, which picks the opcode; the layout pass may not know it yet,
    // and every restart is one byte long.
    int valueIndex = -1;
    for (size_t i = 0; i < operands.size(); ++i) {
        if (operands[i].Shape == "value" || operands[i].Shape == "(value)") {
            valueIndex = static_cast<int>(i);
        }
    }
    const std::string marker =
        valueIndex < 0 ? "" : forms.front()->Operands[static_cast<size_t>(valueIndex)];
    if (marker == "@" && operands[static_cast<size_t>(valueIndex)].Value.Known) {
        const uint16_t target = operands[static_cast<size_t>(valueIndex)].Value.Value;
        std::vector<const AsmOpcodeForm*> matching;
        for (const AsmOpcodeForm* f : forms) {
            if ((f->Opcode & 0x38) == target) matching.push_back(f);
        }
        if (matching.empty()) {
            Error(c, operands[static_cast<size_t>(valueIndex)].Column,
                  "expected a restart target 0, 8, 10H ... 38H for RST, found " + Hex16(target));
            return;
        }
        forms = std::move(matching);
    }
    const AsmOpcodeForm& form = *forms.front();
    const int length = isa::InstructionLength[form.Opcode];
    const bool byteOperand = marker == "%" || marker == "(%)";
    if (byteOperand && operands[static_cast<size_t>(valueIndex)].Value.Known &&
        !FitsByte(operands[static_cast<size_t>(valueIndex)].Value.Value)) {
        Error(c, operands[static_cast<size_t>(valueIndex)].Column,
              "the value " + Hex16(operands[static_cast<size_t>(valueIndex)].Value.Value) +
                  " does not fit in the byte operand of " + key);
        return;
    }
    if (!Place(c, mnemonic.Column, length)) return;
    if (pass_ == Pass::Emit && key[0] == '!' && forms.size() > 1) {
        Warn(c, mnemonic.Column,
             key + " stands for " + std::to_string(forms.size()) +
                 " undocumented opcodes; assembled as " + Hex8(form.Opcode));
    }
    Emit(c, mnemonic.Column, form.Opcode);
    if (length >= 2) {
        const Operand& op = operands[static_cast<size_t>(valueIndex)];
        Emit(c, op.Column, static_cast<uint8_t>(op.Value.Value));
        if (length == 3) Emit(c, op.Column, static_cast<uint8_t>(op.Value.Value >> 8));
    }
}

}  // namespace assembler
