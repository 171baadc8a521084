#include "asm/AsmOpcodeTable.h"

#include <map>

#include "machine/InstructionSet.h"

namespace assembler {

namespace {

using FormMap = std::map<std::string, std::vector<AsmOpcodeForm>, std::less<>>;

std::string Upper(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    return out;
}

FormMap BuildForms(bool z80) {
    FormMap forms;
    for (int opcode = 0; opcode < 256; ++opcode) {
        const std::string upper =
            Upper(z80 ? isa::kMnemonicsZ80[opcode].data() : isa::kMnemonics8080[opcode].data());
        std::string_view entry(upper);
        // Leading blank or "!" is part of the key, so undocumented twins stay apart.
        std::string key = entry[0] == '!' ? "!" : "";
        entry.remove_prefix(1);
        size_t blank = entry.find(' ');
        key += entry.substr(0, blank);
        AsmOpcodeForm form;
        form.Opcode = static_cast<uint8_t>(opcode);
        if (blank != std::string_view::npos) {
            std::string_view operands = entry.substr(entry.find_first_not_of(' ', blank));
            for (size_t start = 0;;) {
                size_t comma = operands.find(',', start);
                form.Operands.emplace_back(operands.substr(start, comma - start));
                if (comma == std::string_view::npos) break;
                start = comma + 1;
            }
        }
        forms[key].push_back(std::move(form));
    }
    return forms;
}

const FormMap& Forms(bool z80) {
    static const FormMap intel = BuildForms(false);
    static const FormMap zilog = BuildForms(true);
    return z80 ? zilog : intel;
}

}  // namespace

const std::vector<AsmOpcodeForm>& FindAsmOpcodeForms(std::string_view mnemonic, bool z80) {
    static const std::vector<AsmOpcodeForm> kNone;
    auto it = Forms(z80).find(mnemonic);
    return it == Forms(z80).end() ? kNone : it->second;
}

bool IsAsmMnemonic(std::string_view name, bool z80) {
    return !FindAsmOpcodeForms(name, z80).empty() ||
           (!name.empty() && !FindAsmOpcodeForms("!" + std::string(name), z80).empty());
}

bool IsAsmRegisterName(std::string_view name, bool z80) {
    if (z80) {
        for (const char* r : {"B", "C", "D", "E", "H", "L", "A", "BC", "DE", "HL", "SP", "AF", "NZ",
                              "Z", "NC", "PO", "PE", "P", "M"}) {
            if (name == r) return true;
        }
        return false;
    }
    for (const char* r : {"B", "C", "D", "E", "H", "L", "M", "A", "SP", "PSW"}) {
        if (name == r) return true;
    }
    return false;
}

}  // namespace assembler
