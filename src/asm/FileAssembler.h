#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "asm/AsmExpression.h"
#include "asm/AsmLexer.h"
#include "asm/AsmOpcodeTable.h"

// The two-pass assembler behind tevrin-asm: Intel 8080 mnemonics (or, as an option, the 8080's
// instructions in Zilog notation), labels ending in ":", ORG,
// EQU, DB, DW, DS, END, comments after ";", expressions, case-insensitive names. It reads what
// the disassembly window writes in its labels mode unchanged: a name "L" + four hexadecimal
// digits that the source never defines stands for that address, because the disassembler
// writes references to addresses outside the ranges it lists that way.
namespace assembler {

struct AsmDiagnostic {
    std::string File;
    int Line = 0;    // 1-based; 0 when the problem is not on a line (the image as a whole)
    int Column = 0;  // 1-based; 0 when the whole line is meant
    std::string Message;
    bool Warning = false;

    // "file:line:column: error: message"
    std::string Describe() const;
};

struct AsmOptions {
    uint8_t Fill = 0;     // bytes of gaps and of DS
    int32_t Size = 0;     // pad the image to this many bytes (a ROM); 0: as assembled
    uint16_t Origin = 0;  // address before the first ORG
    bool Z80 = false;     // the 8080's instructions in Zilog notation ("ld a,(hl)", "jp nz,L0100")
};

// What a run of assembled statements holds, numbered as the disassembly's range types so that
// a program's regions become a range list for tevrin-disasm as they stand.
enum class AsmRegionKind : int32_t { Code = 0, Bytes = 1, Text = 2, Words = 3, Space = 4 };

struct AsmRegion {
    uint16_t From = 0;
    uint16_t To = 0;  // inclusive
    AsmRegionKind Kind = AsmRegionKind::Code;
};

// The bytes one source line placed, for a debugger that maps lines to addresses and back.
struct AsmPlaced {
    int Line = 0;  // 1-based
    uint16_t Address = 0;
    uint16_t Length = 0;
    AsmRegionKind Kind = AsmRegionKind::Code;
};

struct AsmResult {
    bool Ok = false;
    std::vector<AsmDiagnostic> Diagnostics;  // errors and warnings, in source order per pass
    uint16_t Start = 0;                      // address of the image's first byte
    std::vector<uint8_t> Image;              // lowest to highest address assembled, gaps filled
    std::string Listing;                     // line, address, bytes, source
    std::string Symbols;                     // "NAME EQU 1234H" per name, sorted
    // Address order within the source's order: neighbouring statements of one kind make one
    // region, and a new ORG or another kind starts the next.
    std::vector<AsmRegion> Regions;
    std::vector<AsmPlaced> Placed;  // source order
};

class FileAssembler {
  public:
    AsmResult Assemble(std::string_view source, const std::string& fileName,
                       const AsmOptions& options);

  private:
    enum class Pass { Layout, Emit };

    struct Symbol {
        uint16_t Value = 0;
        bool Known = false;
        int Line = 0;  // where it is defined
        bool Equ = false;
    };

    struct Line {
        std::string Text;
        std::vector<AsmToken> Tokens{};
        bool Readable = false;
        int32_t Address = -1;  // where the statement starts; -1 when not reached
        std::vector<uint8_t> Bytes{};
        bool ShowsValue = false;  // an EQU line lists its value
        int Kind = -1;            // an AsmRegionKind for a statement that places bytes
        uint16_t Value = 0;
    };

    // The statement being worked on.
    struct Cursor {
        Line& Source;
        int Number;
        size_t Pos = 0;
        const AsmToken& Peek() const { return Source.Tokens[Pos]; }
    };

    // Passes, statements and directives (FileAssembler.cpp).
    void SplitLines(std::string_view source);
    void RunPass(Pass pass);
    void Statement(Cursor& c);
    void DefineLabel(Cursor& c, const AsmToken& name);
    void Equ(Cursor& c, const AsmToken& name);
    void Org(Cursor& c);
    void Ds(Cursor& c);
    void End(Cursor& c);
    void Data(Cursor& c, bool words);
    void ResolvePendingEqus();

    bool Evaluate(Cursor& c, AsmExprValue& value, bool needKnownNow = false);
    bool ExpectEnd(Cursor& c, const char* after);
    bool Place(Cursor& c, int column, int32_t count);
    void Emit(Cursor& c, int column, uint8_t byte);
    bool Error(const Cursor& c, int column, std::string message);
    void Warn(const Cursor& c, int column, std::string message);
    void AddDiagnostic(int line, int column, std::string message, bool warning);
    AsmNameState Resolve(const std::string& name, uint16_t& value) const;
    bool IsReserved(const std::string& name) const;

    // Instruction forms in either notation (FileAssemblerForms.cpp).
    void Instruction(Cursor& c, const AsmToken& mnemonic, const std::string& key);
    bool RegisterOperand(Cursor& c, std::vector<const AsmOpcodeForm*>& forms, size_t index);
    void InstructionZ80(Cursor& c, const AsmToken& mnemonic, const std::string& key);

    // What a run hands back (FileAssemblerListing.cpp).
    void BuildImage(AsmResult& result);
    std::string BuildListing() const;
    std::string BuildSymbols() const;
    std::vector<AsmRegion> BuildRegions() const;
    std::vector<AsmPlaced> BuildPlaced() const;

    std::string fileName_;
    AsmOptions options_;
    std::vector<Line> lines_;
    std::map<std::string, Symbol> symbols_;
    std::vector<AsmDiagnostic> diagnostics_;
    int errors_ = 0;
    bool tooManyErrors_ = false;
    Pass pass_ = Pass::Layout;
    bool implicitLabels_ = false;  // "L1234" stands for 1234H once every label is known
    int32_t address_ = 0;
    uint16_t statementAddress_ = 0;
    bool ended_ = false;
    bool statementFailed_ = false;
    std::vector<uint8_t> memory_;
    std::vector<int> owner_;  // line number that assembled each address, 0 for none
};

// Reads a whole source and returns the outcome; a convenience over FileAssembler.
AsmResult AssembleSource(std::string_view source, const std::string& fileName,
                         const AsmOptions& options);

}  // namespace assembler
