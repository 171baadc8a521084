#include "asm/FileAssembler.h"

#include <cstdio>

#include "asm/NumberFormat.h"
#include "machine/InstructionSet.h"

namespace assembler {

namespace {

constexpr int kMaxErrors = 50;
constexpr int32_t kAddressSpace = 0x10000;

std::string Hex16(uint32_t value) {
    return FormatNumber(static_cast<int32_t>(value), {.Word = true, .AsmSuffix = true});
}

std::string Hex8(uint32_t value) {
    return FormatNumber(static_cast<int32_t>(value), {.Word = false, .AsmSuffix = true});
}

bool IsDirective(const std::string& name) {
    for (const char* d : {"ORG", "EQU", "DB", "DW", "DS", "END"}) {
        if (name == d) return true;
    }
    return false;
}

// The disassembler's name for an address: "L" and exactly four hexadecimal digits.
bool IsAddressName(const std::string& name, uint16_t& value) {
    if (name.size() != 5 || name[0] != 'L') return false;
    uint32_t v = 0;
    for (size_t i = 1; i < 5; ++i) {
        char c = name[i];
        int digit = c >= '0' && c <= '9' ? c - '0' : c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
        if (digit < 0) return false;
        v = v << 4 | static_cast<uint32_t>(digit);
    }
    value = static_cast<uint16_t>(v);
    return true;
}

// A byte operand may be written as a negative number: -1 is 0FFFFH in 16 bits.
bool FitsByte(uint16_t value) {
    return value <= 0xFF || value >= 0xFF00;
}

bool IsOperandEnd(const AsmToken& t) {
    return t.Kind == AsmTokenKind::Comma || t.Kind == AsmTokenKind::End;
}

}  // namespace

std::string AsmDiagnostic::Describe() const {
    std::string text = File;
    if (Line > 0) {
        text += ":" + std::to_string(Line);
        if (Column > 0) text += ":" + std::to_string(Column);
    }
    text += Warning ? ": warning: " : ": error: ";
    return text + Message;
}

AsmResult AssembleSource(std::string_view source, const std::string& fileName,
                         const AsmOptions& options) {
    FileAssembler assembler;
    return assembler.Assemble(source, fileName, options);
}

AsmResult FileAssembler::Assemble(std::string_view source, const std::string& fileName,
                                  const AsmOptions& options) {
    fileName_ = fileName;
    options_ = options;
    lines_.clear();
    symbols_.clear();
    diagnostics_.clear();
    errors_ = 0;
    tooManyErrors_ = false;
    implicitLabels_ = false;
    memory_.assign(kAddressSpace, options.Fill);
    owner_.assign(kAddressSpace, 0);

    AsmResult result;
    SplitLines(source);
    RunPass(Pass::Layout);
    if (errors_ == 0) {
        implicitLabels_ = true;
        ResolvePendingEqus();
        RunPass(Pass::Emit);
    }
    if (errors_ == 0) BuildImage(result);
    result.Ok = errors_ == 0;
    if (result.Ok) {
        result.Listing = BuildListing();
        result.Symbols = BuildSymbols();
        result.Regions = BuildRegions();
    } else {
        result.Image.clear();
    }
    result.Diagnostics = std::move(diagnostics_);
    return result;
}

void FileAssembler::SplitLines(std::string_view source) {
    // CR LF, a lone LF and a lone CR each end one line; the disassembler writes CR LF.
    std::string current;
    bool pending = false;
    for (size_t i = 0; i < source.size(); ++i) {
        char c = source[i];
        if (c == '\r' || c == '\n') {
            if (c == '\r' && i + 1 < source.size() && source[i + 1] == '\n') ++i;
            lines_.push_back(Line{.Text = std::move(current)});
            current.clear();
            pending = false;
        } else {
            current += c;
            pending = true;
        }
    }
    if (pending) lines_.push_back(Line{.Text = std::move(current)});
}

void FileAssembler::RunPass(Pass pass) {
    pass_ = pass;
    address_ = options_.Origin;
    ended_ = false;
    for (size_t i = 0; i < lines_.size() && !ended_ && !tooManyErrors_; ++i) {
        Line& line = lines_[i];
        // Lines are read when first reached: whatever follows END is never looked at.
        if (pass == Pass::Layout) {
            AsmLexError error;
            line.Readable = TokenizeAsmLine(line.Text, line.Tokens, error);
            if (!line.Readable) {
                AddDiagnostic(static_cast<int>(i) + 1, error.Column, error.Message, false);
            }
        }
        if (!line.Readable) continue;
        Cursor c{line, static_cast<int>(i) + 1};
        statementFailed_ = false;
        statementAddress_ = static_cast<uint16_t>(address_);
        line.Address = address_;
        line.Bytes.clear();
        line.ShowsValue = false;
        Statement(c);
    }
}

void FileAssembler::Statement(Cursor& c) {
    const std::vector<AsmToken>& t = c.Source.Tokens;
    const AsmToken& first = t[0];
    if (first.Kind == AsmTokenKind::End) return;

    // "NAME EQU value" names a value; "NAME:" names the current address.
    if (first.Kind == AsmTokenKind::Name && t[1].Kind == AsmTokenKind::Name && t[1].Text == "EQU") {
        c.Pos = 2;
        Equ(c, first);
        return;
    }
    if (first.Kind == AsmTokenKind::Name && t[1].Kind == AsmTokenKind::Colon) {
        c.Pos = 2;
        if (c.Peek().Kind == AsmTokenKind::Name && c.Peek().Text == "EQU") {
            ++c.Pos;
            Equ(c, first);
            return;
        }
        DefineLabel(c, first);
        if (statementFailed_) return;
    }

    const AsmToken& op = c.Peek();
    if (op.Kind == AsmTokenKind::End) return;
    if (op.Kind == AsmTokenKind::Bang) {
        ++c.Pos;
        const AsmToken& name = c.Peek();
        std::string key = "!" + name.Text;
        if (name.Kind != AsmTokenKind::Name || FindAsmOpcodeForms(key, options_.Z80).empty()) {
            Error(c, name.Column,
                  "expected the mnemonic of an undocumented opcode after '!' "
                  "(NOP, JMP, RET or CALL), found " +
                      DescribeToken(name));
            return;
        }
        ++c.Pos;
        c.Source.Kind = static_cast<int>(AsmRegionKind::Code);
        if (options_.Z80) return InstructionZ80(c, name, key);
        Instruction(c, name, key);
        return;
    }
    if (op.Kind != AsmTokenKind::Name) {
        Error(c, op.Column,
              "expected a label, an instruction or a directive, found " + DescribeToken(op));
        return;
    }
    ++c.Pos;
    if (op.Text == "ORG") return Org(c);
    if (op.Text == "DS") {
        c.Source.Kind = static_cast<int>(AsmRegionKind::Space);
        return Ds(c);
    }
    if (op.Text == "DB") {
        bool text = false;
        for (size_t i = c.Pos; i < c.Source.Tokens.size(); ++i) {
            text = text || c.Source.Tokens[i].Kind == AsmTokenKind::Text;
        }
        c.Source.Kind = static_cast<int>(text ? AsmRegionKind::Text : AsmRegionKind::Bytes);
        return Data(c, false);
    }
    if (op.Text == "DW") {
        c.Source.Kind = static_cast<int>(AsmRegionKind::Words);
        return Data(c, true);
    }
    if (op.Text == "END") return End(c);
    if (op.Text == "EQU") {
        Error(c, op.Column, "expected a name before EQU");
        return;
    }
    if (!FindAsmOpcodeForms(op.Text, options_.Z80).empty()) {
        c.Source.Kind = static_cast<int>(AsmRegionKind::Code);
        if (options_.Z80) return InstructionZ80(c, op, op.Text);
        return Instruction(c, op, op.Text);
    }
    std::string message = "expected an instruction or a directive, found '" + op.Text + "'";
    const AsmToken& next = c.Peek();
    bool nextIsStatement = next.Kind == AsmTokenKind::Name &&
                           (IsDirective(next.Text) || IsAsmMnemonic(next.Text, options_.Z80));
    if (c.Pos == 1 && nextIsStatement) message += " (a label needs a ':' after it)";
    Error(c, op.Column, message);
}

void FileAssembler::DefineLabel(Cursor& c, const AsmToken& name) {
    if (IsReserved(name.Text)) {
        Error(c, name.Column, "'" + name.Text + "' is a reserved word and cannot be a label");
        return;
    }
    if (pass_ == Pass::Emit) return;  // defined in the first pass, at the same address
    auto found = symbols_.find(name.Text);
    if (found != symbols_.end()) {
        Error(
            c, name.Column,
            "'" + name.Text + "' is already defined on line " + std::to_string(found->second.Line));
        return;
    }
    symbols_[name.Text] = Symbol{static_cast<uint16_t>(address_), true, c.Number, false};
}

void FileAssembler::Equ(Cursor& c, const AsmToken& name) {
    if (IsReserved(name.Text)) {
        Error(c, name.Column, "'" + name.Text + "' is a reserved word and cannot be a name");
        return;
    }
    AsmExprValue value;
    if (!Evaluate(c, value) || !ExpectEnd(c, "the value of EQU")) return;
    c.Source.ShowsValue = true;
    c.Source.Value = value.Value;
    if (pass_ == Pass::Emit) return;
    auto found = symbols_.find(name.Text);
    if (found != symbols_.end()) {
        Error(
            c, name.Column,
            "'" + name.Text + "' is already defined on line " + std::to_string(found->second.Line));
        return;
    }
    symbols_[name.Text] = Symbol{value.Value, value.Known, c.Number, true};
}

void FileAssembler::ResolvePendingEqus() {
    // An EQU may name a value defined further down; settle those once every label is known,
    // repeating while that makes progress (chains of such names).
    for (bool progress = true; progress;) {
        progress = false;
        for (auto& [name, symbol] : symbols_) {
            if (symbol.Known) continue;
            Line& line = lines_[static_cast<size_t>(symbol.Line - 1)];
            size_t pos = line.Tokens[1].Kind == AsmTokenKind::Colon ? 3 : 2;
            AsmExprValue value;
            AsmExprError error;
            auto resolve = [this](const std::string& n, uint16_t& v) { return Resolve(n, v); };
            if (ParseAsmExpression(line.Tokens, pos, static_cast<uint16_t>(line.Address), resolve,
                                   value, error) &&
                value.Known) {
                symbol.Value = value.Value;
                symbol.Known = true;
                progress = true;
            }
        }
    }
}

void FileAssembler::Org(Cursor& c) {
    AsmExprValue value;
    if (!Evaluate(c, value, true) || !ExpectEnd(c, "the address of ORG")) return;
    address_ = value.Value;
    c.Source.Address = address_;
}

void FileAssembler::Ds(Cursor& c) {
    const int column = c.Peek().Column;
    AsmExprValue value;
    if (!Evaluate(c, value, true) || !ExpectEnd(c, "the size of DS")) return;
    if (!Place(c, column, value.Value)) return;
    for (int32_t i = 0; i < value.Value; ++i) Emit(c, column, options_.Fill);
}

void FileAssembler::End(Cursor& c) {
    if (c.Peek().Kind != AsmTokenKind::End) {
        AsmExprValue start;  // a start address, as Intel's assemblers allow; nothing uses it
        if (!Evaluate(c, start) || !ExpectEnd(c, "the start address of END")) return;
    }
    ended_ = true;
}

void FileAssembler::Data(Cursor& c, bool words) {
    const char* directive = words ? "DW" : "DB";
    for (bool firstItem = true;; firstItem = false) {
        if (!firstItem) ++c.Pos;  // the comma
        const AsmToken& item = c.Peek();
        if (item.Kind == AsmTokenKind::End) {
            Error(c, item.Column,
                  std::string(firstItem ? "expected a value after "
                                        : "expected "
                                          "a value after ',' in ") +
                      directive);
            return;
        }
        // Quoted text standing alone is a run of bytes; inside an expression it is a character
        // constant ('A'+80H).
        if (!words && item.Kind == AsmTokenKind::Text && IsOperandEnd(c.Source.Tokens[c.Pos + 1])) {
            ++c.Pos;
            if (!Place(c, item.Column, static_cast<int32_t>(item.Text.size()))) return;
            for (char ch : item.Text) Emit(c, item.Column, static_cast<uint8_t>(ch));
        } else {
            AsmExprValue value;
            if (!Evaluate(c, value)) return;
            if (!words && value.Known && !FitsByte(value.Value)) {
                Error(c, item.Column,
                      "the value " + Hex16(value.Value) +
                          " does not fit in a byte (DB takes -256 to 255)");
                return;
            }
            if (!Place(c, item.Column, words ? 2 : 1)) return;
            Emit(c, item.Column, static_cast<uint8_t>(value.Value));
            if (words) Emit(c, item.Column, static_cast<uint8_t>(value.Value >> 8));
        }
        const AsmToken& next = c.Peek();
        if (next.Kind == AsmTokenKind::End) return;
        if (next.Kind != AsmTokenKind::Comma) {
            Error(c, next.Column,
                  std::string("expected ',' or the end of the line after a value "
                              "of ") +
                      directive + ", found " + DescribeToken(next));
            return;
        }
    }
}

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

bool FileAssembler::Evaluate(Cursor& c, AsmExprValue& value, bool needKnownNow) {
    AsmExprError error;
    auto resolve = [this](const std::string& name, uint16_t& v) { return Resolve(name, v); };
    if (!ParseAsmExpression(c.Source.Tokens, c.Pos, statementAddress_, resolve, value, error)) {
        return Error(c, error.Column, error.Message);
    }
    if (value.Known) return true;
    if (needKnownNow) {
        auto found = symbols_.find(value.Unresolved);
        std::string why =
            found == symbols_.end() ? "is not defined before this line" : "has no value yet";
        return Error(c, value.UnresolvedColumn,
                     "expected a value known at this point: '" + value.Unresolved + "' " + why);
    }
    if (pass_ == Pass::Layout) return true;
    auto found = symbols_.find(value.Unresolved);
    if (found == symbols_.end()) {
        return Error(c, value.UnresolvedColumn, "undefined name '" + value.Unresolved + "'");
    }
    return Error(
        c, value.UnresolvedColumn,
        "the value of '" + value.Unresolved + "' cannot be worked out: it depends on itself");
}

bool FileAssembler::ExpectEnd(Cursor& c, const char* after) {
    const AsmToken& t = c.Peek();
    if (t.Kind == AsmTokenKind::End) return true;
    return Error(
        c, t.Column,
        std::string("expected the end of the line after ") + after + ", found " + DescribeToken(t));
}

bool FileAssembler::Place(Cursor& c, int column, int32_t count) {
    if (address_ + count <= kAddressSpace) return true;
    return Error(c, column, "the code runs past the end of memory (0FFFFH)");
}

void FileAssembler::Emit(Cursor& c, int column, uint8_t byte) {
    const int32_t at = address_++;
    if (pass_ != Pass::Emit) return;
    if (owner_[at] != 0 && owner_[at] != c.Number) {
        if (!statementFailed_) {
            Error(c, column,
                  "address " + Hex16(at) + " was already assembled on line " +
                      std::to_string(owner_[at]));
        }
        return;
    }
    owner_[at] = c.Number;
    memory_[at] = byte;
    c.Source.Bytes.push_back(byte);
}

bool FileAssembler::Error(const Cursor& c, int column, std::string message) {
    statementFailed_ = true;
    AddDiagnostic(c.Number, column, std::move(message), false);
    return false;
}

void FileAssembler::Warn(const Cursor& c, int column, std::string message) {
    AddDiagnostic(c.Number, column, std::move(message), true);
}

void FileAssembler::AddDiagnostic(int line, int column, std::string message, bool warning) {
    if (!warning && ++errors_ > kMaxErrors) {
        if (!tooManyErrors_) {
            diagnostics_.push_back({fileName_, line, 0, "too many errors; stopping here", false});
        }
        tooManyErrors_ = true;
        return;
    }
    diagnostics_.push_back({fileName_, line, column, std::move(message), warning});
}

AsmNameState FileAssembler::Resolve(const std::string& name, uint16_t& value) const {
    if (IsReserved(name)) return AsmNameState::Reserved;
    auto found = symbols_.find(name);
    if (found != symbols_.end()) {
        if (!found->second.Known) return AsmNameState::Unknown;
        value = found->second.Value;
        return AsmNameState::Known;
    }
    if (implicitLabels_ && IsAddressName(name, value)) return AsmNameState::Known;
    return AsmNameState::Unknown;
}

bool FileAssembler::IsReserved(const std::string& name) const {
    return IsDirective(name) || IsAsmRegisterName(name, options_.Z80) ||
           IsAsmMnemonic(name, options_.Z80) || IsAsmOperatorWord(name);
}

void FileAssembler::BuildImage(AsmResult& result) {
    int32_t low = kAddressSpace;
    int32_t high = -1;
    for (int32_t a = 0; a < kAddressSpace; ++a) {
        if (owner_[a] == 0) continue;
        if (a < low) low = a;
        high = a;
    }
    if (high < 0) low = high = -1;
    result.Start = high < 0 ? options_.Origin : static_cast<uint16_t>(low);
    if (high >= 0) result.Image.assign(memory_.begin() + low, memory_.begin() + high + 1);
    const auto assembled = static_cast<int32_t>(result.Image.size());
    if (options_.Size > 0) {
        if (assembled > options_.Size) {
            AddDiagnostic(0, 0,
                          "the image is " + std::to_string(assembled) +
                              " bytes long, more than the size asked for (" +
                              std::to_string(options_.Size) + ")",
                          false);
            return;
        }
        result.Image.resize(static_cast<size_t>(options_.Size), options_.Fill);
    }
}

std::vector<AsmRegion> FileAssembler::BuildRegions() const {
    std::vector<AsmRegion> regions;
    for (const Line& line : lines_) {
        if (line.Kind < 0 || line.Address < 0 || line.Bytes.empty()) continue;
        const auto kind = static_cast<AsmRegionKind>(line.Kind);
        const auto from = static_cast<uint16_t>(line.Address);
        const auto to = static_cast<uint16_t>(line.Address + line.Bytes.size() - 1);
        if (!regions.empty() && regions.back().Kind == kind && regions.back().To + 1 == from) {
            regions.back().To = to;
        } else {
            regions.push_back({from, to, kind});
        }
    }
    return regions;
}

std::string FileAssembler::BuildListing() const {
    std::string out;
    char head[64];
    for (size_t i = 0; i < lines_.size(); ++i) {
        const Line& line = lines_[i];
        std::string bytes;
        size_t shown = 0;
        for (; shown < line.Bytes.size() && shown < 4; ++shown) {
            std::snprintf(head, sizeof head, "%02X", line.Bytes[shown]);
            bytes += head;
        }
        if (line.ShowsValue) {
            std::snprintf(head, sizeof head, "%5zu  =%04X  %-8s  ", i + 1, line.Value, "");
        } else if (line.Address >= 0 && line.Address < kAddressSpace && !line.Tokens.empty() &&
                   line.Tokens[0].Kind != AsmTokenKind::End) {
            std::snprintf(head, sizeof head, "%5zu   %04X  %-8s  ", i + 1, line.Address,
                          bytes.c_str());
        } else {
            std::snprintf(head, sizeof head, "%5zu   %4s  %-8s  ", i + 1, "", "");
        }
        out += head;
        out += line.Text;
        out += '\n';
        // Longer data continues on lines of its own, four bytes each.
        for (size_t at = shown; at < line.Bytes.size(); at += 4) {
            std::string more;
            for (size_t k = at; k < line.Bytes.size() && k < at + 4; ++k) {
                std::snprintf(head, sizeof head, "%02X", line.Bytes[k]);
                more += head;
            }
            std::snprintf(head, sizeof head, "%5s   %04X  %s\n", "",
                          static_cast<unsigned>((line.Address + static_cast<int32_t>(at)) & 0xFFFF),
                          more.c_str());
            out += head;
        }
    }
    return out;
}

std::string FileAssembler::BuildSymbols() const {
    std::string out;
    for (const auto& [name, symbol] : symbols_) {
        std::string line = name;
        if (line.size() < 16) line.resize(16, ' ');
        out += line + " EQU " + Hex16(symbol.Value) + "\n";
    }
    return out;
}

}  // namespace assembler
