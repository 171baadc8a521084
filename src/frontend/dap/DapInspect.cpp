// The adapter's requests about a stopped machine: where it is (threads, frames), its registers
// and flags, expressions, memory and its disassembly.
#include <algorithm>
#include <cctype>
#include <cstring>

#include "debugger/DebugExpression.h"
#include "debugger/Disassembler.h"
#include "frontend/dap/DapSession.h"
#include "machine/InstructionSet.h"
#include "machine/MemoryOrganizer.h"
#include "media/memory/MemoryTransfer.h"

namespace dap {
namespace {

enum Scope : int { kRegisters = 1, kFlags = 2, kPages = 3 };

std::string Hex(uint32_t value, int digits) {
    char text[16];
    std::snprintf(text, sizeof text, "%0*XH", digits, value);
    return text;
}

std::string Reference(uint16_t address) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%04X", address);
    return text;
}

const Json& Arguments(const Json& request) {
    static const Json none = Json::object();
    const auto found = request.find("arguments");
    return found != request.end() && found->is_object() ? *found : none;
}

std::string Upper(std::string text) {
    for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

constexpr const char* kBase64 = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

std::string ToBase64(const std::vector<uint8_t>& bytes) {
    std::string out;
    for (size_t i = 0; i < bytes.size(); i += 3) {
        uint32_t group = static_cast<uint32_t>(bytes[i]) << 16;
        if (i + 1 < bytes.size()) group |= static_cast<uint32_t>(bytes[i + 1]) << 8;
        if (i + 2 < bytes.size()) group |= bytes[i + 2];
        out += kBase64[group >> 18 & 63];
        out += kBase64[group >> 12 & 63];
        out += i + 1 < bytes.size() ? kBase64[group >> 6 & 63] : '=';
        out += i + 2 < bytes.size() ? kBase64[group & 63] : '=';
    }
    return out;
}

// Decoded bytes, or nullopt for text that is not base64.
std::optional<std::vector<uint8_t>> FromBase64(const std::string& text) {
    std::vector<uint8_t> out;
    uint32_t group = 0;
    int bits = 0;
    for (char c : text) {
        if (c == '=') break;
        const char* at = std::strchr(kBase64, c);
        if (c == '\0' || at == nullptr) return std::nullopt;
        group = group << 6 | static_cast<uint32_t>(at - kBase64);
        bits += 6;
        if (bits >= 8) {
            bits -= 8;
            out.push_back(static_cast<uint8_t>(group >> bits));
        }
    }
    return out;
}

}  // namespace

std::string DapSession::Describe(uint16_t address) const {
    const std::string name = program_ ? program_->symbols.Describe(address) : std::string();
    return name.empty() ? Hex(address, 4) : name + " (" + Hex(address, 4) + ")";
}

std::string DapSession::InstructionText(uint16_t address, int* length) const {
    const ChipMemory& memory = *machine_->MemoryView();
    const uint8_t opcode = memory.Peek(address);
    const int size = isa::InstructionLength[opcode];
    if (length != nullptr) *length = size;
    const std::string_view entry = debugger::GetMnemonic(opcode, false);
    const size_t marker = debugger::FindOperandMarker(entry, false);
    std::string text(entry);
    if (marker != std::string_view::npos) {
        const uint8_t low = memory.Peek(static_cast<uint16_t>(address + 1));
        const uint8_t high = memory.Peek(static_cast<uint16_t>(address + 2));
        std::string operand;
        if (entry[marker] == '%') {
            operand = Hex(low, 2);
        } else {
            const auto word = static_cast<uint16_t>(low | high << 8);
            const std::string* name = program_ ? program_->symbols.NameAt(word) : nullptr;
            operand = name != nullptr ? *name : Hex(word, 4);
        }
        // Hexadecimal that starts with a letter needs a leading zero to read as a number.
        if (std::isalpha(static_cast<unsigned char>(operand[0])) && operand.back() == 'H' &&
            (program_ == nullptr || !program_->symbols.Find(operand))) {
            operand = "0" + operand;
        }
        text =
            std::string(entry.substr(0, marker)) + operand + std::string(entry.substr(marker + 1));
    }
    // The table's entries start with a blank or a mark for the undocumented opcodes, and pad
    // the mnemonic into a column; an editor shows one blank.
    std::string tidy;
    for (char c : text) {
        if ((c == ' ' || c == '!') && (tidy.empty() || tidy.back() == ' ')) continue;
        tidy += c;
    }
    while (!tidy.empty() && tidy.back() == ' ') tidy.pop_back();
    return tidy;
}

Json DapSession::SourceOf() const {
    const std::string& path = program_->path;
    return {{"name", path.substr(path.find_last_of('/') + 1)}, {"path", path}};
}

Json DapSession::Frame(int id, uint16_t at, const std::string& name) const {
    Json frame = {{"id", id},
                  {"name", name},
                  {"line", 0},
                  {"column", 0},
                  {"instructionPointerReference", Reference(at)}};
    if (const int line = program_->lineAt[at]; line != 0) {
        frame["line"] = line - (linesStartAt1_ ? 0 : 1);
        frame["column"] = linesStartAt1_ ? 1 : 0;
        frame["source"] = SourceOf();
    } else {
        // Outside the program (the ROM, say): the address and the instruction stand for a line.
        frame["name"] = name + ": " + InstructionText(at);
        frame["presentationHint"] = "subtle";
    }
    return frame;
}

void DapSession::Threads(const Json&, Json& body) {
    body["threads"] = Json::array({{{"id", 1}, {"name", "8080"}}});
}

void DapSession::StackTrace(const Json& request, Json& body) {
    RequireStopped();
    const std::vector<debugger::CallFrame>& calls = machine_->Debugger().CallStack();
    const ChipCpu8080& cpu = *machine_->Debugger().Cpu();
    // Frame 0 is where the processor is; each call not returned from adds the place it was
    // called from, innermost first. A frame is named after the routine it is in: the target of
    // the call that entered it.
    std::vector<std::pair<uint16_t, std::string>> frames;
    auto routine = [&](size_t depth, uint16_t at) {
        if (depth == 0) return Describe(at);
        const uint16_t target = calls[depth - 1].target;
        const std::string name = program_->symbols.Describe(target);
        return (name.empty() ? Hex(target, 4) : name) +
               (calls[depth - 1].interrupt ? " (interrupt)" : "");
    };
    frames.emplace_back(cpu.PC, routine(calls.size(), cpu.PC));
    for (size_t i = calls.size(); i-- > 0;)
        frames.emplace_back(calls[i].callAt, routine(i, calls[i].callAt));
    const Json& args = Arguments(request);
    const size_t first = static_cast<size_t>(std::max(0, args.value("startFrame", 0)));
    const int wanted = args.value("levels", 0);
    Json list = Json::array();
    for (size_t i = first;
         i < frames.size() && (wanted <= 0 || list.size() < static_cast<size_t>(wanted)); ++i) {
        list.push_back(Frame(static_cast<int>(i), frames[i].first, frames[i].second));
    }
    body["stackFrames"] = std::move(list);
    body["totalFrames"] = frames.size();
}

void DapSession::Scopes(const Json&, Json& body) {
    RequireStopped();
    body["scopes"] = Json::array(
        {{{"name", "Registers"}, {"variablesReference", kRegisters}, {"expensive", false}},
         {{"name", "Flags"}, {"variablesReference", kFlags}, {"expensive", false}},
         {{"name", "Memory pages"}, {"variablesReference", kPages}, {"expensive", false}}});
}

void DapSession::Variables(const Json& request, Json& body) {
    RequireStopped();
    const ChipCpu8080& cpu = *machine_->Debugger().Cpu();
    Json list = Json::array();
    auto add = [&](const std::string& name, const std::string& value, int memory = -1) {
        Json variable = {{"name", name}, {"value", value}, {"variablesReference", 0}};
        if (memory >= 0) variable["memoryReference"] = Reference(static_cast<uint16_t>(memory));
        list.push_back(std::move(variable));
    };
    switch (Arguments(request).value("variablesReference", 0)) {
        case kRegisters:
            for (const auto& [name, value] : {std::pair{"A", cpu.A},
                                              {"F", cpu.F},
                                              {"B", cpu.B},
                                              {"C", cpu.C},
                                              {"D", cpu.D},
                                              {"E", cpu.E},
                                              {"H", cpu.H},
                                              {"L", cpu.L}}) {
                add(name, Hex(value, 2));
            }
            for (const auto& [name, value] : {std::pair{"BC", cpu.BC()},
                                              {"DE", cpu.DE()},
                                              {"HL", cpu.HL()},
                                              {"SP", cpu.SP},
                                              {"PC", cpu.PC}}) {
                add(name, Hex(value, 4), value);
            }
            break;
        case kFlags:
            for (const auto& [name, mask] : {std::pair{"S", ChipCpu8080::kFlagS},
                                             {"Z", ChipCpu8080::kFlagZ},
                                             {"AC", ChipCpu8080::kFlagAC},
                                             {"P", ChipCpu8080::kFlagP},
                                             {"CY", ChipCpu8080::kFlagCY}}) {
                add(name, (cpu.F & mask) != 0 ? "1" : "0");
            }
            add("INTE", cpu.Inte ? "1" : "0");
            add("HALT", cpu.Halted ? "1" : "0");
            break;
        case kPages:
            if (const MemoryOrganizer* pages = machine_->Organizer()) {
                add("Paging", pages->PagingOn() ? "on" : "off");
                for (int window = 0; window < 16; ++window) {
                    char name[32];
                    std::snprintf(name, sizeof name, "%04X-%04X", window << 12,
                                  (window << 12) | 0xFFF);
                    add(name,
                        "page " + Hex(pages->MapPage(static_cast<uint16_t>(window << 12)), 2));
                }
            }
            break;
        default: throw Failure{"no such variables"};
    }
    body["variables"] = std::move(list);
}

void DapSession::SetVariable(const Json& request, Json& body) {
    RequireStopped();
    const Json& args = Arguments(request);
    const std::string name = Upper(args.value("name", std::string()));
    const std::optional<uint16_t> value =
        debugger::ParseAddress(args.value("value", std::string()), program_->symbols);
    if (!value) throw Failure{"not a number or label: " + args.value("value", std::string())};
    ChipCpu8080& cpu = *machine_->Debugger().Cpu();
    const auto byte = static_cast<uint8_t>(*value);
    std::string shown;
    if (args.value("variablesReference", 0) == kFlags) {
        if (*value > 1) throw Failure{"a flag is 0 or 1"};
        const std::pair<const char*, uint8_t> flags[] = {{"S", ChipCpu8080::kFlagS},
                                                         {"Z", ChipCpu8080::kFlagZ},
                                                         {"AC", ChipCpu8080::kFlagAC},
                                                         {"P", ChipCpu8080::kFlagP},
                                                         {"CY", ChipCpu8080::kFlagCY}};
        bool found = false;
        for (const auto& [flag, mask] : flags) {
            if (name != flag) continue;
            cpu.F = static_cast<uint8_t>(*value != 0 ? cpu.F | mask : cpu.F & ~mask);
            found = true;
        }
        if (name == "INTE") {
            cpu.SetInte(*value != 0);
            found = true;
        }
        if (!found) throw Failure{"no flag " + name};
        shown = *value != 0 ? "1" : "0";
    } else {
        uint8_t* bytes[] = {&cpu.A, &cpu.F, &cpu.B, &cpu.C, &cpu.D, &cpu.E, &cpu.H, &cpu.L};
        const char* names = "AFBCDEHL";
        if (name.size() == 1 && std::strchr(names, name[0]) != nullptr) {
            if (*value > 0xFF) throw Failure{name + " holds one byte"};
            *bytes[std::strchr(names, name[0]) - names] = byte;
            shown = Hex(byte, 2);
        } else if (name == "BC" || name == "DE" || name == "HL" || name == "SP" || name == "PC") {
            if (name == "BC") cpu.SetBC(*value);
            if (name == "DE") cpu.SetDE(*value);
            if (name == "HL") cpu.SetHL(*value);
            if (name == "SP") cpu.SP = *value;
            if (name == "PC") cpu.PC = *value;
            shown = Hex(*value, 4);
        } else {
            throw Failure{"no register " + name};
        }
    }
    // An edit from outside: going back in time must find it, not the value before it.
    machine_->NoteOutsideChange();
    body["value"] = shown;
}

void DapSession::Evaluate(const Json& request, Json& body) {
    RequireStopped();
    std::string expression = Arguments(request).value("expression", std::string());
    const size_t begin = expression.find_first_not_of(' ');
    expression = begin == std::string::npos ? "" : expression.substr(begin);
    const std::optional<uint32_t> value = debugger::EvaluateOperand(
        expression, *machine_->Debugger().Cpu(), *machine_->MemoryView(), program_->symbols);
    if (!value) throw Failure{"cannot evaluate '" + expression + "'"};
    const std::string upper = Upper(expression);
    const bool byte = (upper.rfind("[", 0) == 0 && upper.rfind("[[", 0) != 0) ||
                      (upper.size() == 1 && std::strchr("AFBCDEHL", upper[0]) != nullptr);
    body["result"] = Hex(*value, byte ? 2 : 4);
    body["variablesReference"] = 0;
    if (!byte) body["memoryReference"] = Reference(static_cast<uint16_t>(*value));
}

uint16_t DapSession::MemoryReference(const Json& args) const {
    const std::optional<uint16_t> base =
        debugger::ParseAddress(args.value("memoryReference", std::string()), program_->symbols);
    if (!base) throw Failure{"not a memory reference"};
    return *base;
}

void DapSession::ReadMemory(const Json& request, Json& body) {
    RequireStopped();
    const Json& args = Arguments(request);
    const uint16_t base = MemoryReference(args);
    const int64_t from = int64_t{base} + args.value("offset", int64_t{0});
    const int64_t count = std::clamp<int64_t>(args.value("count", int64_t{0}), 0, 0x10000);
    std::vector<uint8_t> bytes;
    const ChipMemory& memory = *machine_->MemoryView();
    // The address space ends at FFFF: what lies past it is unreadable, not wrapped round.
    const int64_t first = std::max<int64_t>(from, 0);
    const int64_t last = std::min<int64_t>(from + count, 0x10000);
    for (int64_t a = first; a < last; ++a) bytes.push_back(memory.Peek(static_cast<uint16_t>(a)));
    body["address"] = Reference(static_cast<uint16_t>(std::clamp<int64_t>(first, 0, 0xFFFF)));
    body["data"] = ToBase64(bytes);
    body["unreadableBytes"] = count - static_cast<int64_t>(bytes.size());
}

void DapSession::WriteMemory(const Json& request, Json& body) {
    RequireStopped();
    const Json& args = Arguments(request);
    const uint16_t base = MemoryReference(args);
    const std::optional<std::vector<uint8_t>> data = FromBase64(args.value("data", std::string()));
    if (!data) throw Failure{"the data is not base64"};
    const int64_t from = int64_t{base} + args.value("offset", int64_t{0});
    if (from < 0 || from + static_cast<int64_t>(data->size()) > 0x10000) {
        throw Failure{"the bytes would reach past the address space"};
    }
    size_t written = 0;
    {
        const Machine::PausedScope paused(*machine_);
        media::MemoryArea area;
        area.start = static_cast<int>(from);
        area.length = static_cast<int>(data->size());
        written = media::StoreInMemory(*paused.Memory(), area, *data);
        machine_->NoteOutsideChange();
    }
    body["bytesWritten"] = written;
}

void DapSession::Disassemble(const Json& request, Json& body) {
    RequireStopped();
    const Json& args = Arguments(request);
    const uint16_t base = MemoryReference(args);
    auto address = static_cast<uint16_t>(base + args.value("offset", 0));
    ChipMemory& memory = *machine_->Debugger().Memory();
    const int skip = args.value("instructionOffset", 0);
    if (skip < 0) {
        address = debugger::PreviousInstructionAddress(memory, address, -skip);
    } else if (skip > 0) {
        address = debugger::NextInstructionAddress(memory, address, skip);
    }
    memory.ClearFault();
    const int count = std::clamp(args.value("instructionCount", 0), 0, 4096);
    Json list = Json::array();
    for (int i = 0; i < count; ++i) {
        int length = 1;
        Json line = {{"address", Reference(address)},
                     {"instruction", InstructionText(address, &length)}};
        std::string bytes;
        for (int b = 0; b < length; ++b) {
            char text[4];
            std::snprintf(text, sizeof text, b == 0 ? "%02X" : " %02X",
                          machine_->MemoryView()->Peek(static_cast<uint16_t>(address + b)));
            bytes += text;
        }
        line["instructionBytes"] = bytes;
        if (const std::string* name = program_->symbols.NameAt(address)) line["symbol"] = *name;
        if (const int at = program_->lineAt[address]; at != 0) {
            line["location"] = SourceOf();
            line["line"] = at - (linesStartAt1_ ? 0 : 1);
        }
        list.push_back(std::move(line));
        address = static_cast<uint16_t>(address + length);
    }
    body["instructions"] = std::move(list);
}

}  // namespace dap
