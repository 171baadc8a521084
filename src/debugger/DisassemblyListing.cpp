#include "debugger/DisassemblyListing.h"

#include <cstdio>

#include "asm/NumberFormat.h"
#include "debugger/Disassembler.h"
#include "machine/InstructionSet.h"

namespace debugger {

using assembler::FormatNumber;

namespace {

constexpr const char* kLineEnd = "\r\n";
constexpr int kTextFieldLimit = 32;  // a text line takes bytes until its operand reaches this

bool IsValid(const DisassRange& r) {
    return r.From >= 0 && r.From <= 0xFFFF && r.To >= r.From && r.To <= 0xFFFF &&
           r.Type >= kRangeInstructions && r.Type <= kRangeReserved;
}

uint16_t Wrap(int32_t value) {
    return static_cast<uint16_t>(value);
}

std::string Hex(uint32_t value, int digits) {
    char text[8];
    std::snprintf(text, sizeof text, "%0*X", digits, value);
    return text;
}

// Jumps and calls name their target; the data operands of LXI, SHLD, LHLD, STA and LDA may be
// addresses or plain numbers, so they never define a label.
bool TargetDefinesLabel(uint8_t opcode) {
    if ((opcode & 0xC7) == 0xC7) return true;
    if (isa::InstructionLength[opcode] != 3) return false;
    switch (opcode) {
        case 0x01:
        case 0x11:
        case 0x21:
        case 0x31:
        case 0x22:
        case 0x2A:
        case 0x32:
        case 0x3A: return false;
        default: return true;
    }
}

// After an unconditional jump or return the code does not run on; a blank line shows it.
bool EndsFlow(uint8_t opcode) {
    return opcode == 0xC3 || opcode == 0xCB || opcode == 0xC9 || opcode == 0xD9 || opcode == 0xE9;
}

class ListingWriter {
  public:
    ListingWriter(ChipMemory& memory, const DisassListingOptions& options)
        : memory_(memory),
          options_(options),
          hex_(!options.Flags.DecimalRadix),
          z80_(options.Flags.Z80Notation),
          starts_(0x10000, false),
          labels_(0x10000, false) {}

    void CollectStarts(const DisassRange& r) {
        if (r.Type != kRangeInstructions) {
            starts_[Wrap(r.From + r.Offset)] = true;
            return;
        }
        for (int32_t a = r.From; a <= r.To; a += Length(a)) starts_[Wrap(a + r.Offset)] = true;
    }

    void CollectLabels(const DisassRange& r) {
        if (r.Type != kRangeInstructions) {
            labels_[Wrap(r.From + r.Offset)] = true;
            if (r.Type == kRangeWords && r.DwLabels) {
                for (int32_t a = r.From; a <= r.To; a += 2) {
                    uint16_t word = memory_.ReadWord(Wrap(a));
                    if (starts_[word]) labels_[word] = true;
                }
            }
            return;
        }
        for (int32_t a = r.From; a <= r.To; a += Length(a)) {
            uint8_t opcode = memory_.Read(Wrap(a));
            if (!TargetDefinesLabel(opcode)) continue;
            uint16_t target =
                (opcode & 0xC7) == 0xC7 ? (opcode & 0x38) : memory_.ReadWord(Wrap(a + 1));
            if (starts_[target]) labels_[target] = true;
        }
    }

    void Write(const DisassRange& r) {
        // The source must assemble each range where it is listed: the first range and every one
        // that does not continue where the previous one ended get their ORG.
        const uint16_t start = Wrap(r.From + r.Offset);
        if (options_.Labels && (!placed_ || start != next_)) {
            out_ += std::string(8, ' ') + DataKeyword(" ORG  ", " org  ") + Number(start, true) +
                    kLineEnd;
        }
        int32_t end = r.To + 1;  // just past the range's last byte
        switch (r.Type) {
            case kRangeInstructions: end = Instructions(r); break;
            case kRangeBytes: Bytes(r); break;
            case kRangeText: Text(r); break;
            case kRangeWords: end = Words(r); break;
            default: Reserved(r); break;
        }
        placed_ = true;
        next_ = Wrap(end + r.Offset);
        out_ += kLineEnd;
    }

    std::string Take() { return std::move(out_); }

  private:
    int32_t Length(int32_t a) { return isa::InstructionLength[memory_.Read(Wrap(a))]; }

    std::string Prefix(uint16_t address) const {
        if (options_.Labels) {
            return labels_[address] ? "L" + Hex(address, 4) + ":  " : std::string(8, ' ');
        }
        return FormatNumber(address, {.Word = true, .FixedWidth = true, .Hexadecimal = hex_}) +
               "  ";
    }

    std::string Number(int32_t value, bool word) const {
        return FormatNumber(
            value, {.Word = word, .Hexadecimal = hex_, .AsmSuffix = options_.Labels && hex_});
    }

    std::string SizedNumber(int32_t value) const { return Number(value, value > 0xFF); }

    static std::string LabelRef(uint16_t value) { return "L" + Hex(value, 4); }

    // A 16-bit immediate that is no listed address may still point just beside a label (a
    // "start - 1" loop bound, the byte after a table); it is then written relative to that
    // label. The expression always equals the value: a defined label stands at its own address
    // and the assembler reads an undefined "L1234" as 1234H.
    std::string ImmediateRef(uint16_t value) const {
        if (labels_[value] || starts_[value]) return LabelRef(value);
        if (labels_[Wrap(value - 1)]) return LabelRef(Wrap(value - 1)) + "+1";
        if (labels_[Wrap(value + 1)]) return LabelRef(Wrap(value + 1)) + "-1";
        return LabelRef(value);
    }

    std::string DataKeyword(const char* upper, const char* lower) const {
        return z80_ ? lower : upper;
    }

    bool Dump() const { return !options_.Labels && options_.HexDump; }

    std::string ByteSlots(int32_t from, int32_t count) {
        std::string slots;
        for (int i = 0; i < 4; ++i) {
            slots += i < count ? Hex(memory_.Read(Wrap(from + i)), 2) + " " : "   ";
        }
        return slots;
    }

    // Returns the address just past the last instruction, which may lie beyond r.To.
    int32_t Instructions(const DisassRange& r) {
        int32_t a = r.From;
        while (a <= r.To) {
            const uint8_t opcode = memory_.Read(Wrap(a));
            const int length = isa::InstructionLength[opcode];
            uint8_t second = 0;
            uint16_t word = 0;
            if (length == 2) second = memory_.Read(Wrap(a + 1));
            if (length == 3) {
                word = memory_.ReadWord(Wrap(a + 1));
                second = static_cast<uint8_t>(word);
            }

            std::string line = Prefix(Wrap(a + r.Offset));
            if (Dump()) {
                std::string dump = " " + Hex(opcode, 2) + " ";
                if (length == 1) dump += "    ";
                if (length == 2) dump += Hex(second, 2) + "  ";
                if (length == 3) dump += Hex(word, 4);
                dump += std::string(7, ' ');
                line.insert(line.size() - 1, dump);  // between the address and its second blank
            }
            std::string_view entry = GetMnemonic(opcode, z80_);
            size_t marker = FindOperandMarker(entry, z80_);
            if (marker == std::string_view::npos) {
                line += entry;
            } else {
                line += entry.substr(0, marker);
                switch (entry[marker]) {
                    case '@': line += Number(opcode & 0x38, false); break;
                    case '%': line += Number(second, false); break;
                    case '*': line += options_.Labels ? LabelRef(word) : Number(word, true); break;
                    default: line += options_.Labels ? ImmediateRef(word) : Number(word, true);
                }
                line += entry.substr(marker + 1);
            }
            out_ += line + kLineEnd;
            if (EndsFlow(opcode)) out_ += kLineEnd;
            a += length;
        }
        return a;
    }

    void Bytes(const DisassRange& r) {
        for (int32_t a = r.From; a <= r.To; a += 4) {
            const int32_t count = r.To - a + 1 < 4 ? r.To - a + 1 : 4;
            std::string line = Prefix(Wrap(a + r.Offset));
            if (Dump()) line += ByteSlots(a, count) + "   ";
            line += DataKeyword(" DB   ", " db   ");
            for (int32_t i = 0; i < count; ++i) {
                if (i > 0) line += ',';
                line += Number(memory_.Read(Wrap(a + i)), false);
            }
            out_ += line + kLineEnd;
        }
    }

    void Text(const DisassRange& r) {
        for (int32_t a = r.From; a <= r.To;) {
            const int32_t chunk = a;
            std::string field;
            bool quoted = false;
            while (a <= r.To && static_cast<int>(field.size()) < kTextFieldLimit) {
                const uint8_t byte = memory_.Read(Wrap(a++));
                if (byte >= 32 && byte <= 126) {
                    if (!quoted) {
                        if (!field.empty()) field += ',';
                        field += '\'';
                        quoted = true;
                    }
                    field += byte == '\'' ? std::string("''") : std::string(1, char(byte));
                } else {
                    if (quoted) {
                        field += '\'';
                        quoted = false;
                    }
                    if (!field.empty()) field += ',';
                    field += Number(byte, false);
                }
            }
            if (quoted) field += '\'';
            const int32_t length = a - chunk;
            std::string line = Prefix(Wrap(chunk + r.Offset));
            if (Dump()) line += ByteSlots(chunk, length < 4 ? length : 4) + "   ";
            out_ += line + DataKeyword(" DB   ", " db   ") + field + kLineEnd;
            // The rest of a long chunk's bytes get dump lines of their own; the next chunk then
            // starts with its text again, so no byte goes unshown.
            for (int32_t g = chunk + 4; Dump() && g < a; g += 4) {
                const int32_t count = a - g < 4 ? a - g : 4;
                out_ += Prefix(Wrap(g + r.Offset)) + ByteSlots(g, count) + kLineEnd;
            }
        }
    }

    // Returns the address just past the last word, one beyond r.To for an odd length.
    int32_t Words(const DisassRange& r) {
        int32_t a = r.From;
        while (a <= r.To) {
            const int32_t count = r.To - a + 1 > 2 ? 2 : 1;
            uint16_t words[2] = {memory_.ReadWord(Wrap(a)), 0};
            if (count == 2) words[1] = memory_.ReadWord(Wrap(a + 2));
            std::string line = Prefix(Wrap(a + r.Offset));
            if (Dump()) {
                for (int i = 0; i < 2; ++i) line += i < count ? Hex(words[i], 4) + " " : "     ";
                line += "     ";
            }
            line += DataKeyword(" DW   ", " dw   ");
            for (int i = 0; i < count; ++i) {
                if (i > 0) line += ',';
                // Words are addresses only when the range says so; otherwise they are values,
                // written whole as the 16-bit numbers they are.
                line += !options_.Labels ? SizedNumber(words[i])
                        : r.DwLabels     ? LabelRef(words[i])
                                         : Number(words[i], true);
            }
            out_ += line + kLineEnd;
            a += 2 * count;
        }
        return a;
    }

    void Reserved(const DisassRange& r) {
        std::string line = Prefix(Wrap(r.From + r.Offset));
        if (Dump()) line += std::string(15, ' ');
        // A reservation of the whole 64 KB prints as 0: the count is a 16-bit number.
        out_ += line + DataKeyword(" DS   ", " ds   ") + SizedNumber(r.To - r.From + 1) + kLineEnd;
    }

    ChipMemory& memory_;
    const DisassListingOptions& options_;
    const bool hex_;
    const bool z80_;
    std::vector<bool> starts_;
    std::vector<bool> labels_;
    std::string out_;
    bool placed_ = false;  // a range has been written; next_ is where it ended
    uint16_t next_ = 0;
};

}  // namespace

std::string WriteDisassemblyListing(ChipMemory& memory, const std::vector<DisassRange>& ranges,
                                    const DisassListingOptions& options) {
    // An unmapped page reads as FF; the fault that read raises is no fault of the program being
    // debugged, so it is taken back before the machine could see it.
    const bool faulted = memory.Fault();
    ListingWriter writer(memory, options);
    if (options.Labels) {
        for (const DisassRange& r : ranges) {
            if (IsValid(r)) writer.CollectStarts(r);
        }
        for (const DisassRange& r : ranges) {
            if (IsValid(r)) writer.CollectLabels(r);
        }
    }
    for (const DisassRange& r : ranges) {
        if (IsValid(r)) writer.Write(r);
    }
    if (!faulted && memory.Fault()) memory.ClearFault();
    return writer.Take();
}

}  // namespace debugger
