#include "asm/FileAssembler.h"

#include "asm/FileAssemblerShared.h"

namespace assembler {

using detail::FitsByte;
using detail::Hex16;
using detail::IsOperandEnd;
using detail::kAddressSpace;

namespace {

constexpr int kMaxErrors = 50;

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
        result.Placed = BuildPlaced();
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

}  // namespace assembler
