#include "debugger/LineAssembler.h"

#include <string>
#include <vector>

#include "asm/AsmOpcodeTable.h"
#include "debugger/InlineAsmLine.h"
#include "machine/InstructionSet.h"

namespace debugger {

namespace {

using assembler::AsmOpcodeForm;

// MOV M,M has no instruction of its own: where the MOV row would put it sits the halt, and the
// field has always taken it for that code.
const AsmOpcodeForm kMemoryToMemory8080{0x76, {"M", "M"}};
const AsmOpcodeForm kMemoryToMemoryZ80{0x76, {"(HL)", "(HL)"}};

bool IsUpper(char c) {
    return c >= 'A' && c <= 'Z';
}
bool IsLower(char c) {
    return c >= 'a' && c <= 'z';
}

// The field forces its notation's case, so a keyword in the other case is no keyword.
std::string ExpectedSpelling(std::string_view tableName, bool z80) {
    std::string out(tableName);
    if (z80) {
        for (char& c : out) {
            if (IsUpper(c)) c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return out;
}

std::vector<const AsmOpcodeForm*> DocumentedForms(std::string_view mnemonic, bool z80) {
    std::vector<const AsmOpcodeForm*> forms;
    // "!" asks the table for an undocumented twin, which the field never offers.
    if (mnemonic.empty() || mnemonic[0] == '!') return forms;
    std::string key(mnemonic);
    for (char& c : key) {
        if (z80 ? IsUpper(c) : IsLower(c)) return forms;
        if (IsLower(c)) c = static_cast<char>(c - 'a' + 'A');
    }
    for (const AsmOpcodeForm& form : assembler::FindAsmOpcodeForms(key, z80)) {
        forms.push_back(&form);
    }
    if (key == (z80 ? "LD" : "MOV")) {
        forms.push_back(z80 ? &kMemoryToMemoryZ80 : &kMemoryToMemory8080);
    }
    return forms;
}

// "(" number ")" with nothing after the closing parenthesis.
bool ParenthesisedNumber(std::string_view text, bool word, uint16_t& value) {
    if (text.size() < 2 || text.front() != '(' || text.back() != ')') return false;
    return ParseAsmNumber(text.substr(1, text.size() - 2), word, value);
}

// Whether `text` is what the table's operand `kind` wants; the 8- or 16-bit value it carries
// into the instruction lands in `value`. A restart number only picks the opcode.
bool Takes(const AsmOpcodeForm& form, const std::string& kind, std::string_view text, bool z80,
           uint16_t& value) {
    if (kind == "%" || kind == "&" || kind == "*") return ParseAsmNumber(text, kind != "%", value);
    if (kind == "(%)" || kind == "(&)") return ParenthesisedNumber(text, kind == "(&)", value);
    uint16_t number = 0;
    if (kind == "@") return ParseAsmNumber(text, false, number) && number == (form.Opcode & 0x38);
    if (kind.size() == 1 && kind[0] >= '0' && kind[0] <= '7') {
        return ParseAsmNumber(text, false, number) && number == kind[0] - '0';
    }
    return text == ExpectedSpelling(kind, z80);
}

struct Candidate {
    const AsmOpcodeForm* Form = nullptr;
    uint16_t Value = 0;
};

// The forms narrow operand by operand; where none is left decides the failing character.
int Assemble(std::string_view text, bool z80, uint8_t& opcode, uint16_t& operand) {
    InlineAsmLine line;
    if (!SplitInlineAsmLine(text, line)) return 0;
    const std::vector<const AsmOpcodeForm*> forms = DocumentedForms(line.Mnemonic, z80);
    if (forms.empty()) return 0;

    Candidate chosen;
    if (line.Count == 1) {
        for (const AsmOpcodeForm* form : forms) {
            if (form->Operands.empty()) chosen.Form = form;
        }
        if (chosen.Form == nullptr) return line.EndPos;
    } else {
        std::vector<Candidate> candidates;
        for (const AsmOpcodeForm* form : forms) {
            Candidate c{form};
            if (!form->Operands.empty() &&
                Takes(*form, form->Operands[0], line.First, z80, c.Value)) {
                candidates.push_back(c);
            }
        }
        if (candidates.empty()) return line.OperandPos;
        const size_t wanted = line.Count == 2 ? 1 : 2;
        bool anyWithTwo = false;
        bool addressInParentheses = false;
        for (Candidate& c : candidates) {
            const std::vector<std::string>& kinds = c.Form->Operands;
            if (kinds.size() != wanted) continue;
            if (wanted == 2) {
                anyWithTwo = true;
                addressInParentheses = addressInParentheses || kinds[1] == "(&)";
                if (!Takes(*c.Form, kinds[1], line.Second, z80, c.Value)) continue;
            }
            chosen = c;
            break;
        }
        if (chosen.Form == nullptr) {
            if (wanted == 1) return line.EndPos;
            if (!anyWithTwo) return line.CommaPos;
            // A load through an address that does not read points into the parentheses.
            const bool opens = !line.Second.empty() && line.Second.front() == '(';
            return addressInParentheses && opens ? line.AfterCommaPos + 1 : line.AfterCommaPos;
        }
    }
    opcode = chosen.Form->Opcode;
    operand = chosen.Value;
    return -isa::InstructionLength[opcode];
}

}  // namespace

int Assemble8080(std::string_view text, uint8_t& opcode, uint16_t& operand) {
    return Assemble(text, false, opcode, operand);
}

int AssembleZ80(std::string_view text, uint8_t& opcode, uint16_t& operand) {
    return Assemble(text, true, opcode, operand);
}

}  // namespace debugger
