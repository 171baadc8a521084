#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "debugger/SymbolTable.h"
#include "machine/ChipCpu8080.h"
#include "machine/ChipMemory.h"

// The numbers, addresses and conditions typed into the debugger's fields. A debugger shows
// addresses in hexadecimal, so a bare number is hexadecimal here, unlike in the assembler.
namespace debugger {

// "1234H", "0x1234", "#1234", and with `bare` also "1234"; hexadecimal, at most FFFF.
std::optional<uint16_t> ParseHexNumber(std::string_view text, bool bare);

// A piece of the user's input inside a message: quoted, cut short, and without bytes a terminal
// would act on.
std::string QuoteInput(std::string_view text);

// A number or address as every debugger field takes it: hexadecimal by default ("2000"), also
// "2000H", "0x2000", "#2000"; a label ("ADDIT", case-insensitive), which wins over the same
// letters read as hexadecimal ("BEEF"); terms joined by "+" or "-" ("LOOP+3", "END-START");
// blanks around and between the terms allowed; the sum wraps to 16 bits. nullopt for anything
// else (empty, junk, an unknown label, a literal above FFFF).
std::optional<uint16_t> ParseAddress(std::string_view text, const SymbolTable& symbols);
// The same, with what is wrong for the user when nullopt.
std::optional<uint16_t> ParseAddress(std::string_view text, const SymbolTable& symbols,
                                     std::string& error);

// An operand of a condition or of an evaluation: a register (A F B C D E H L, BC DE HL SP PC
// PSW, case-insensitive; a register wins over a label or number of the same letters, so the
// number B is "0B" or "0BH"), an address as above, "[x]" the byte at x or "[[x]]" the
// little-endian word at x, x an address or one of BC DE HL SP PC. Memory is read with Peek, so
// looking never disturbs the machine. Resolved once; evaluating it allocates nothing.
struct DebugValue {
    enum class Source : uint8_t { Constant, A, F, B, C, D, E, H, L, BC, DE, HL, SP, PC, PSW };
    enum class Read : uint8_t { Value, Byte, Word };

    Source From = Source::Constant;
    Read Through = Read::Value;
    uint16_t Constant = 0;

    static std::optional<DebugValue> Parse(std::string_view text, const SymbolTable& symbols,
                                           std::string& error);
    uint32_t Evaluate(const ChipCpu8080& cpu, const ChipMemory& memory) const;
};

// Reads an operand and its current value; nullopt when the text is not one.
std::optional<uint32_t> EvaluateOperand(std::string_view text, const ChipCpu8080& cpu,
                                        const ChipMemory& memory, const SymbolTable& symbols);

// A breakpoint condition: "<operand> <op> <operand>", op one of = == <> != < <= > >=, values
// compared unsigned ("HL=2000", "[SUM]>=30", "B<>0", "[[PTR]] = BUF+2"). Labels are resolved
// when it is compiled: it is evaluated at every stop candidate.
class BreakCondition {
  public:
    // nullopt with a message for the user when the text is not a condition.
    static std::optional<BreakCondition> Compile(std::string_view text, const SymbolTable& symbols,
                                                 std::string& error);
    bool Holds(const ChipCpu8080& cpu, const ChipMemory& memory) const;
    const std::string& Text() const { return text_; }

  private:
    enum class Op : uint8_t { Equal, NotEqual, Less, LessEqual, Greater, GreaterEqual };

    std::string text_;
    DebugValue left_;
    DebugValue right_;
    Op op_ = Op::Equal;
};

// A hit condition: "5", "=5" or "==5" (the 5th hit only), ">5" (after the 5th), ">=5", "<5",
// "<=5", "%5" (every 5th); decimal. nullopt when malformed, and for counts no hit could meet
// ("=0", "<1"; "%0" would divide by zero).
class HitCondition {
  public:
    static std::optional<HitCondition> Parse(std::string_view text);
    bool Stops(uint64_t hits) const;  // hits counts this hit too (1 for the first)

  private:
    enum class Op : uint8_t { Equal, Less, LessEqual, Greater, GreaterEqual, Every };

    Op op_ = Op::Equal;
    uint64_t count_ = 0;
};

}  // namespace debugger
