#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "TestMemory.h"
#include "asm/FileAssembler.h"
#include "debugger/DisassemblyListing.h"
#include "machine/InstructionSet.h"

using debugger::DisassRange;

namespace {

// A ROM image with every documented instruction and each kind of data, laid out to run at
// `base`, and the range list that describes it.
struct Rom {
    std::vector<uint8_t> Bytes;
    std::vector<DisassRange> Ranges;
};

Rom BuildRom(uint16_t base) {
    Rom rom;
    std::vector<uint8_t>& b = rom.Bytes;
    auto word = [&](uint16_t w) { b.push_back(uint8_t(w)), b.push_back(uint8_t(w >> 8)); };
    const uint16_t table = uint16_t(base + 0x400);  // where the byte table will start
    int wordChoice = 0;
    for (int op = 0; op < 256; ++op) {
        if (isa::kMnemonics8080[op][0] == '!') continue;
        b.push_back(uint8_t(op));
        if (isa::InstructionLength[op] == 2) b.push_back(uint8_t(0x5A + op));
        if (isa::InstructionLength[op] == 3) {
            // Operands that hit an instruction start, the middle of an instruction, nothing the
            // listing covers, and the neighbourhood of a data range.
            switch (wordChoice++ % 5) {
                case 0: word(base); break;
                case 1: word(uint16_t(base + 2)); break;
                case 2: word(0x8765); break;
                case 3: word(uint16_t(table + 1)); break;
                default: word(uint16_t(table - 1)); break;
            }
        }
    }
    // Undocumented opcodes that name one opcode each survive the trip too.
    b.insert(b.end(), {0xCB, uint8_t(base), uint8_t(base >> 8), 0xD9, 0xC3, 0x00, 0x00});
    const int codeEnd = int(b.size()) - 1;
    rom.Ranges.push_back({0, codeEnd, base, debugger::kRangeInstructions, false});

    b.resize(0x400 - 0x40, 0x00);  // the rest up to the text is reserved space
    rom.Ranges.push_back({codeEnd + 1, int(b.size()) - 1, base, debugger::kRangeReserved, false});

    const std::string text = "Hello, 'world'!\r\n\x01 and a line long enough to need two";
    b.resize(0x400 - 0x40 + text.size() % 2, 0x00);  // keep the word table even below
    rom.Ranges.back().To = int(b.size()) - 1;
    const int textStart = int(b.size());
    b.insert(b.end(), text.begin(), text.end());
    b.push_back(0);
    rom.Ranges.push_back({textStart, int(b.size()) - 1, base, debugger::kRangeText, false});

    const int wordsStart = int(b.size());
    word(base), word(uint16_t(base + 3)), word(0x1234);
    rom.Ranges.push_back({wordsStart, int(b.size()) - 1, base, debugger::kRangeWords, true});

    b.resize(0x400, 0xEE);
    rom.Ranges.push_back({wordsStart + 6, 0x3FF, base, debugger::kRangeBytes, false});
    const int tableStart = int(b.size());
    b.insert(b.end(), {0x00, 0x9F, 0xA0, 0xFF, 0x0D, 0x27, 0x41});
    rom.Ranges.push_back({tableStart, int(b.size()) - 1, base, debugger::kRangeBytes, false});
    return rom;
}

// Decimal radix, Z80 notation.
class DisassemblyRoundTrip : public testing::TestWithParam<std::tuple<bool, bool>> {};

}  // namespace

TEST_P(DisassemblyRoundTrip, AssemblingTheLabelsListingGivesTheSameBytes) {
    const auto [decimal, z80] = GetParam();
    for (uint16_t base : {uint16_t(0x0000), uint16_t(0xC000)}) {
        Rom rom = BuildRom(base);
        TestMemory m;
        for (size_t i = 0; i < rom.Bytes.size(); ++i) m.Put(uint16_t(i), {rom.Bytes[i]});
        // The ROM lies at 0 here and is listed as if at `base`, the way the ranges' offset
        // relocates it.
        std::string source = debugger::WriteDisassemblyListing(
            m.memory, rom.Ranges,
            {.Labels = true, .Flags = {.DecimalRadix = decimal, .Z80Notation = z80}});
        // The listing places itself: no origin given to the assembler.
        assembler::AsmResult result = assembler::AssembleSource(source, "rom.asm", {.Z80 = z80});
        for (const auto& d : result.Diagnostics) ADD_FAILURE() << d.Describe();
        ASSERT_TRUE(result.Ok);
        EXPECT_EQ(result.Start, base);
        EXPECT_EQ(result.Image, rom.Bytes);
        // The listing exercised what the round trip is about.
        EXPECT_NE(source.find("+1"), std::string::npos);
        EXPECT_NE(source.find("-1"), std::string::npos);
        EXPECT_NE(source.find(decimal ? "'Hello, ''world''!',13" : "'Hello, ''world''!',0DH"),
                  std::string::npos);
    }
}

INSTANTIATE_TEST_SUITE_P(RadixAndNotation, DisassemblyRoundTrip,
                         testing::Combine(testing::Bool(), testing::Bool()),
                         [](const testing::TestParamInfo<std::tuple<bool, bool>>& info) {
                             return std::string(std::get<0>(info.param) ? "Decimal"
                                                                        : "Hexadecimal") +
                                    (std::get<1>(info.param) ? "Z80" : "Intel");
                         });
