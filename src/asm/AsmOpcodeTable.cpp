#include "asm/AsmOpcodeTable.h"

#include <map>

#include "machine/InstructionSet.h"

namespace assembler {

namespace {

using FormMap = std::map<std::string, std::vector<AsmOpcodeForm>, std::less<>>;

FormMap BuildForms() {
    FormMap forms;
    for (int opcode = 0; opcode < 256; ++opcode) {
        std::string_view entry(isa::kMnemonics8080[opcode].data());
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

const FormMap& Forms() {
    static const FormMap forms = BuildForms();
    return forms;
}

}  // namespace

const std::vector<AsmOpcodeForm>& FindAsmOpcodeForms(std::string_view mnemonic) {
    static const std::vector<AsmOpcodeForm> kNone;
    auto it = Forms().find(mnemonic);
    return it == Forms().end() ? kNone : it->second;
}

bool IsAsmMnemonic(std::string_view name) {
    return !FindAsmOpcodeForms(name).empty() ||
           (!name.empty() && !FindAsmOpcodeForms("!" + std::string(name)).empty());
}

bool IsAsmRegisterName(std::string_view name) {
    for (const char* r : {"B", "C", "D", "E", "H", "L", "M", "A", "SP", "PSW"}) {
        if (name == r) return true;
    }
    return false;
}

}  // namespace assembler
