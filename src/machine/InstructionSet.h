#pragma once

#include <array>
#include <cstdint>
#include <string_view>

// What every 8080 opcode is called, in Intel's notation and in the Z80 notation some users read
// more easily, and how long it is. The processor fetches by the same length table that the
// disassembler shows, so the two can never disagree.
//
// Each entry is laid out as the debugger shows it: first a blank, or "!" for the twelve opcodes
// Intel never documented (they decode as a twin); then the mnemonic, padded to five characters
// when operands follow. Operand markers: "%" the second byte, "&" a 16-bit value or address,
// "*" a 16-bit jump or call target, "@" (Z80 notation) the restart target.
namespace isa {

using MnemonicText = std::array<char, 16>;  // at most 15 characters, zero-terminated

namespace detail {

// Tables as written in the manuals; the layout above is derived from them at compile time.
inline constexpr std::string_view kSource8080[256] = {
    "NOP",     "LXI B,&",  "STAX B",  "INX B",   "INR B",   "DCR B",    "MVI B,%", "RLC",
    "!NOP",    "DAD B",    "LDAX B",  "DCX B",   "INR C",   "DCR C",    "MVI C,%", "RRC",
    "!NOP",    "LXI D,&",  "STAX D",  "INX D",   "INR D",   "DCR D",    "MVI D,%", "RAL",
    "!NOP",    "DAD D",    "LDAX D",  "DCX D",   "INR E",   "DCR E",    "MVI E,%", "RAR",
    "!NOP",    "LXI H,&",  "SHLD &",  "INX H",   "INR H",   "DCR H",    "MVI H,%", "DAA",
    "!NOP",    "DAD H",    "LHLD &",  "DCX H",   "INR L",   "DCR L",    "MVI L,%", "CMA",
    "!NOP",    "LXI SP,&", "STA &",   "INX SP",  "INR M",   "DCR M",    "MVI M,%", "STC",
    "!NOP",    "DAD SP",   "LDA &",   "DCX SP",  "INR A",   "DCR A",    "MVI A,%", "CMC",
    "MOV B,B", "MOV B,C",  "MOV B,D", "MOV B,E", "MOV B,H", "MOV B,L",  "MOV B,M", "MOV B,A",
    "MOV C,B", "MOV C,C",  "MOV C,D", "MOV C,E", "MOV C,H", "MOV C,L",  "MOV C,M", "MOV C,A",
    "MOV D,B", "MOV D,C",  "MOV D,D", "MOV D,E", "MOV D,H", "MOV D,L",  "MOV D,M", "MOV D,A",
    "MOV E,B", "MOV E,C",  "MOV E,D", "MOV E,E", "MOV E,H", "MOV E,L",  "MOV E,M", "MOV E,A",
    "MOV H,B", "MOV H,C",  "MOV H,D", "MOV H,E", "MOV H,H", "MOV H,L",  "MOV H,M", "MOV H,A",
    "MOV L,B", "MOV L,C",  "MOV L,D", "MOV L,E", "MOV L,H", "MOV L,L",  "MOV L,M", "MOV L,A",
    "MOV M,B", "MOV M,C",  "MOV M,D", "MOV M,E", "MOV M,H", "MOV M,L",  "HLT",     "MOV M,A",
    "MOV A,B", "MOV A,C",  "MOV A,D", "MOV A,E", "MOV A,H", "MOV A,L",  "MOV A,M", "MOV A,A",
    "ADD B",   "ADD C",    "ADD D",   "ADD E",   "ADD H",   "ADD L",    "ADD M",   "ADD A",
    "ADC B",   "ADC C",    "ADC D",   "ADC E",   "ADC H",   "ADC L",    "ADC M",   "ADC A",
    "SUB B",   "SUB C",    "SUB D",   "SUB E",   "SUB H",   "SUB L",    "SUB M",   "SUB A",
    "SBB B",   "SBB C",    "SBB D",   "SBB E",   "SBB H",   "SBB L",    "SBB M",   "SBB A",
    "ANA B",   "ANA C",    "ANA D",   "ANA E",   "ANA H",   "ANA L",    "ANA M",   "ANA A",
    "XRA B",   "XRA C",    "XRA D",   "XRA E",   "XRA H",   "XRA L",    "XRA M",   "XRA A",
    "ORA B",   "ORA C",    "ORA D",   "ORA E",   "ORA H",   "ORA L",    "ORA M",   "ORA A",
    "CMP B",   "CMP C",    "CMP D",   "CMP E",   "CMP H",   "CMP L",    "CMP M",   "CMP A",
    "RNZ",     "POP B",    "JNZ *",   "JMP *",   "CNZ *",   "PUSH B",   "ADI %",   "RST 0",
    "RZ",      "RET",      "JZ *",    "!JMP *",  "CZ *",    "CALL *",   "ACI %",   "RST 1",
    "RNC",     "POP D",    "JNC *",   "OUT %",   "CNC *",   "PUSH D",   "SUI %",   "RST 2",
    "RC",      "!RET",     "JC *",    "IN %",    "CC *",    "!CALL *",  "SBI %",   "RST 3",
    "RPO",     "POP H",    "JPO *",   "XTHL",    "CPO *",   "PUSH H",   "ANI %",   "RST 4",
    "RPE",     "PCHL",     "JPE *",   "XCHG",    "CPE *",   "!CALL *",  "XRI %",   "RST 5",
    "RP",      "POP PSW",  "JP *",    "DI",      "CP *",    "PUSH PSW", "ORI %",   "RST 6",
    "RM",      "SPHL",     "JM *",    "EI",      "CM *",    "!CALL *",  "CPI %",   "RST 7",
};

inline constexpr std::string_view kSourceZ80[256] = {
    "nop",       "ld bc,&",    "ld (bc),a",  "inc bc",     "inc b",      "dec b",     "ld b,%",
    "rlca",      "!nop",       "add hl,bc",  "ld a,(bc)",  "dec bc",     "inc c",     "dec c",
    "ld c,%",    "rrca",       "!nop",       "ld de,&",    "ld (de),a",  "inc de",    "inc d",
    "dec d",     "ld d,%",     "rla",        "!nop",       "add hl,de",  "ld a,(de)", "dec de",
    "inc e",     "dec e",      "ld e,%",     "rra",        "!nop",       "ld hl,&",   "ld (&),hl",
    "inc hl",    "inc h",      "dec h",      "ld h,%",     "daa",        "!nop",      "add hl,hl",
    "ld hl,(&)", "dec hl",     "inc l",      "dec l",      "ld l,%",     "cpl",       "!nop",
    "ld sp,&",   "ld (&),a",   "inc sp",     "inc (hl)",   "dec (hl)",   "ld (hl),%", "scf",
    "!nop",      "add hl,sp",  "ld a,(&)",   "dec sp",     "inc a",      "dec a",     "ld a,%",
    "ccf",       "ld b,b",     "ld b,c",     "ld b,d",     "ld b,e",     "ld b,h",    "ld b,l",
    "ld b,(hl)", "ld b,a",     "ld c,b",     "ld c,c",     "ld c,d",     "ld c,e",    "ld c,h",
    "ld c,l",    "ld c,(hl)",  "ld c,a",     "ld d,b",     "ld d,c",     "ld d,d",    "ld d,e",
    "ld d,h",    "ld d,l",     "ld d,(hl)",  "ld d,a",     "ld e,b",     "ld e,c",    "ld e,d",
    "ld e,e",    "ld e,h",     "ld e,l",     "ld e,(hl)",  "ld e,a",     "ld h,b",    "ld h,c",
    "ld h,d",    "ld h,e",     "ld h,h",     "ld h,l",     "ld h,(hl)",  "ld h,a",    "ld l,b",
    "ld l,c",    "ld l,d",     "ld l,e",     "ld l,h",     "ld l,l",     "ld l,(hl)", "ld l,a",
    "ld (hl),b", "ld (hl),c",  "ld (hl),d",  "ld (hl),e",  "ld (hl),h",  "ld (hl),l", "halt",
    "ld (hl),a", "ld a,b",     "ld a,c",     "ld a,d",     "ld a,e",     "ld a,h",    "ld a,l",
    "ld a,(hl)", "ld a,a",     "add a,b",    "add a,c",    "add a,d",    "add a,e",   "add a,h",
    "add a,l",   "add a,(hl)", "add a,a",    "adc a,b",    "adc a,c",    "adc a,d",   "adc a,e",
    "adc a,h",   "adc a,l",    "adc a,(hl)", "adc a,a",    "sub b",      "sub c",     "sub d",
    "sub e",     "sub h",      "sub l",      "sub (hl)",   "sub a",      "sbc a,b",   "sbc a,c",
    "sbc a,d",   "sbc a,e",    "sbc a,h",    "sbc a,l",    "sbc a,(hl)", "sbc a,a",   "and b",
    "and c",     "and d",      "and e",      "and h",      "and l",      "and (hl)",  "and a",
    "xor b",     "xor c",      "xor d",      "xor e",      "xor h",      "xor l",     "xor (hl)",
    "xor a",     "or b",       "or c",       "or d",       "or e",       "or h",      "or l",
    "or (hl)",   "or a",       "cp b",       "cp c",       "cp d",       "cp e",      "cp h",
    "cp l",      "cp (hl)",    "cp a",       "ret nz",     "pop bc",     "jp nz,*",   "jp *",
    "call nz,*", "push bc",    "add a,%",    "rst @",      "ret z",      "ret",       "jp z,*",
    "!jp *",     "call z,*",   "call *",     "adc a,%",    "rst @",      "ret nc",    "pop de",
    "jp nc,*",   "out (%),a",  "call nc,*",  "push de",    "sub %",      "rst @",     "ret c",
    "!ret",      "jp c,*",     "in a,(%)",   "call c,*",   "!call *",    "sbc a,%",   "rst @",
    "ret po",    "pop hl",     "jp po,*",    "ex (sp),hl", "call po,*",  "push hl",   "and %",
    "rst @",     "ret pe",     "jp (hl)",    "jp pe,*",    "ex de,hl",   "call pe,*", "!call *",
    "xor %",     "rst @",      "ret p",      "pop af",     "jp p,*",     "di",        "call p,*",
    "push af",   "or %",       "rst @",      "ret m",      "ld sp,hl",   "jp m,*",    "ei",
    "call m,*",  "!call *",    "cp %",       "rst @",
};

constexpr MnemonicText Layout(std::string_view source) {
    MnemonicText out{};
    size_t n = 0;
    bool undocumented = !source.empty() && source[0] == '!';
    if (undocumented) source.remove_prefix(1);
    out[n++] = undocumented ? '!' : ' ';
    size_t space = source.find(' ');
    std::string_view mnemonic = source.substr(0, space);
    for (char c : mnemonic) out[n++] = c;
    if (space != std::string_view::npos) {
        while (n < 6) out[n++] = ' ';
        for (char c : source.substr(space + 1)) out[n++] = c;
    }
    return out;
}

constexpr std::array<MnemonicText, 256> LayoutTable(const std::string_view (&source)[256]) {
    std::array<MnemonicText, 256> table{};
    for (int i = 0; i < 256; ++i) table[i] = Layout(source[i]);
    return table;
}

constexpr std::array<int32_t, 256> DeriveLengths() {
    std::array<int32_t, 256> lengths{};
    for (int i = 0; i < 256; ++i) {
        std::string_view s = kSource8080[i];
        if (s.find('&') != std::string_view::npos || s.find('*') != std::string_view::npos) {
            lengths[i] = 3;
        } else if (s.find('%') != std::string_view::npos) {
            lengths[i] = 2;
        } else {
            lengths[i] = 1;
        }
    }
    return lengths;
}

}  // namespace detail

inline constexpr std::array<MnemonicText, 256> kMnemonics8080 =
    detail::LayoutTable(detail::kSource8080);
inline constexpr std::array<MnemonicText, 256> kMnemonicsZ80 =
    detail::LayoutTable(detail::kSourceZ80);

// Bytes per opcode: 3 with a 16-bit operand, 2 with an 8-bit one, else 1 (restarts included).
inline constexpr std::array<int32_t, 256> InstructionLength = detail::DeriveLengths();

static_assert(InstructionLength[0xCD] == 3 && InstructionLength[0xDD] == 3 &&
              InstructionLength[0xD3] == 2 && InstructionLength[0xD9] == 1 &&
              InstructionLength[0xFF] == 1 && InstructionLength[0xCB] == 3);

}  // namespace isa
