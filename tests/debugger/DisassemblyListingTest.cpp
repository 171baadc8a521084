#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "TestMemory.h"
#include "debugger/DisassemblyListing.h"

using debugger::DisassListingOptions;
using debugger::DisassRange;
using debugger::WriteDisassemblyListing;

namespace {

// Lines joined with CR LF, as the file holds them.
std::string Lines(std::initializer_list<const char*> lines) {
    std::string text;
    for (const char* line : lines) text += std::string(line) + "\r\n";
    return text;
}

DisassRange Range(int from, int to, int type, int offset = 0, bool dwLabels = false) {
    return DisassRange{from, to, offset, type, dwLabels};
}

const DisassListingOptions kLabels{};
const DisassListingOptions kAddresses{.Labels = false};
const DisassListingOptions kDump{.Labels = false, .HexDump = true};

}  // namespace

TEST(DisassemblyListing, LabelsMarkJumpTargetsInsideTheListedCode) {
    TestMemory m;
    // 0100 CALL 0106 / CALL 2000 / JMP 0100 / 0109 MVI A,0FFH / RST 0 / RET ; 0000 RET
    m.Put(0x0000, {0xC9});
    m.Put(0x0100, {0xCD, 0x09, 0x01, 0xCD, 0x00, 0x20, 0xC3, 0x00, 0x01, 0x3E, 0xFF, 0xC7, 0xC9});
    std::vector<DisassRange> ranges = {Range(0x100, 0x10C, 0), Range(0, 0, 0)};
    EXPECT_EQ(WriteDisassemblyListing(m.memory, ranges, kLabels),
              Lines({"         ORG  0100H", "L0100:   CALL L0109",
                     "         CALL L2000",  // outside every range: a reference, no definition
                     "         JMP  L0100", "", "L0109:   MVI  A,0FFH", "         RST  0",
                     "         RET", "", "", "         ORG  0000H", "L0000:   RET", "", ""}));
}

TEST(DisassemblyListing, DecimalRadixKeepsLabelNamesHexadecimal) {
    TestMemory m;
    m.Put(0x0100, {0x3E, 0xFF, 0xC3, 0x00, 0x01, 0xFF});
    EXPECT_EQ(WriteDisassemblyListing(m.memory, {Range(0x100, 0x105, 0)},
                                      {.Flags = {.DecimalRadix = true}}),
              Lines({"         ORG  256", "L0100:   MVI  A,255", "         JMP  L0100", "",
                     "         RST  7", ""}));
    EXPECT_EQ(WriteDisassemblyListing(m.memory, {Range(0x100, 0x105, 0)},
                                      {.Flags = {.DecimalRadix = true, .Z80Notation = true}}),
              Lines({"         org  256", "L0100:   ld   a,255", "         jp   L0100", "",
                     "         rst  56", ""}));
}

TEST(DisassemblyListing, LastInstructionIsWholeAndUndocumentedOnesAreMarked) {
    TestMemory m;
    m.Put(0x0200, {0x08, 0xD9, 0x21, 0x34, 0x12});
    EXPECT_EQ(WriteDisassemblyListing(m.memory, {Range(0x200, 0x202, 0)}, kLabels),
              Lines({"         ORG  0200H", "        !NOP", "        !RET", "",
                     "         LXI  H,L1234", ""}));
}

TEST(DisassemblyListing, DataPointersBesideALabelAreWrittenRelativeToIt) {
    TestMemory m;
    // A table at 0300; pointers to its start, just past it, just below it, and elsewhere.
    m.Put(0x0100, {0x21, 0x00, 0x03, 0x11, 0x04, 0x03, 0x01, 0xFF, 0x02, 0x31, 0x00, 0x80});
    std::vector<DisassRange> ranges = {Range(0x100, 0x10B, 0), Range(0x300, 0x303, 1),
                                       Range(0x305, 0x305, 1)};
    std::string text = WriteDisassemblyListing(m.memory, ranges, kLabels);
    EXPECT_EQ(text,
              Lines({"         ORG  0100H", "         LXI  H,L0300", "         LXI  D,L0305-1",
                     "         LXI  B,L0300-1", "         LXI  SP,L8000", "", "         ORG  0300H",
                     "L0300:   DB   00H,00H,00H,00H", "", "         ORG  0305H",
                     "L0305:   DB   00H", ""}));
}

TEST(DisassemblyListing, OffsetRelocatesAddressesButNotOperands) {
    TestMemory m;
    m.Put(0x0000, {0xC3, 0x00, 0xC0, 0xC7});
    std::vector<DisassRange> ranges = {Range(0, 3, 0, 0xC000)};
    EXPECT_EQ(WriteDisassemblyListing(m.memory, ranges, kLabels),
              Lines({"         ORG  0C000H", "LC000:   JMP  LC000", "", "         RST  0", ""}));
    EXPECT_EQ(WriteDisassemblyListing(m.memory, ranges, kAddresses),
              Lines({"C000   JMP  C000", "", "C003   RST  0", ""}));
}

TEST(DisassemblyListing, DataRangesInLabelsMode) {
    TestMemory m;
    m.Put(0x0100, {0xC3, 0x00, 0x01});
    m.Put(0x0110, {'I', 't', '\'', 's', 0x0D, 0x0A, 'A'});
    m.Put(0x0120, {0x00, 0x01, 0x34, 0x12, 0x03});
    m.Put(0x0130, {1, 2, 3, 4, 5});
    std::vector<DisassRange> ranges = {Range(0x100, 0x102, 0),          Range(0x110, 0x116, 2),
                                       Range(0x120, 0x124, 3, 0, true), Range(0x130, 0x134, 1),
                                       Range(0x140, 0x1FF, 4),          Range(0, 0xFFFF, 4)};
    EXPECT_EQ(WriteDisassemblyListing(m.memory, ranges, kLabels),
              Lines({"         ORG  0100H", "L0100:   JMP  L0100", "", "", "         ORG  0110H",
                     "L0110:   DB   'It''s',0DH,0AH,'A'", "",
                     // The word pointing at the code start defines its label; the odd last byte
                     // is read as a word across the end of the range.
                     "         ORG  0120H", "L0120:   DW   L0100,L1234", "         DW   L0003", "",
                     "         ORG  0130H", "L0130:   DB   01H,02H,03H,04H", "         DB   05H",
                     "", "         ORG  0140H", "L0140:   DS   0C0H", "", "         ORG  0000H",
                     "L0000:   DS   0000H", ""}));
    // Words that are not addresses are written as the values they are, not as labels.
    EXPECT_EQ(
        WriteDisassemblyListing(m.memory, {Range(0x120, 0x124, 3)}, kLabels),
        Lines({"         ORG  0120H", "L0120:   DW   0100H,1234H", "         DW   0003H", ""}));
    m.Put(0x0120, {0x37, 0x00, 0x00, 0xA0});
    EXPECT_EQ(WriteDisassemblyListing(m.memory, {Range(0x120, 0x123, 3)}, kLabels),
              Lines({"         ORG  0120H", "L0120:   DW   0037H,0A000H", ""}));
}

TEST(DisassemblyListing, LongTextIsCutIntoLinesOfAboutThirtyTwoCharacters) {
    TestMemory m;
    const std::string text = "The quick brown fox jumps over the lazy dog";
    for (size_t i = 0; i < text.size(); ++i) m.Put(uint16_t(0x200 + i), {uint8_t(text[i])});
    std::vector<DisassRange> ranges = {Range(0x200, 0x200 + int(text.size()) - 1, 2)};
    EXPECT_EQ(WriteDisassemblyListing(m.memory, ranges, kLabels),
              Lines({"         ORG  0200H", "L0200:   DB   'The quick brown fox jumps over '",
                     "         DB   'the lazy dog'", ""}));
}

TEST(DisassemblyListing, AddressModeWithHexDump) {
    TestMemory m;
    m.Put(0x0100, {0x3E, 0x12, 0xCD, 0x34, 0x12, 0xC9});
    m.Put(0x0110, {0x41, 0x00, 0xFF});
    m.Put(0x0120, {0x34, 0x12, 0x05, 0x00, 0x00, 0x30});
    std::vector<DisassRange> ranges = {Range(0x100, 0x105, 0), Range(0x110, 0x112, 1),
                                       Range(0x120, 0x125, 3), Range(0x130, 0x131, 4)};
    EXPECT_EQ(WriteDisassemblyListing(m.memory, ranges, kDump),
              Lines({"0100  3E 12           MVI  A,12", "0102  CD 1234         CALL 1234",
                     "0105  C9              RET", "", "", "0110  41 00 FF        DB   41,00,FF", "",
                     "0120  1234 0005       DW   1234,05", "0124  3000            DW   3000", "",
                     "0130                  DS   02", ""}));
    // Without the dump, decimal addresses have five digits.
    EXPECT_EQ(WriteDisassemblyListing(m.memory, {Range(0x100, 0x101, 0)},
                                      {.Labels = false, .Flags = {.DecimalRadix = true}}),
              Lines({"00256   MVI  A,18", ""}));
}

TEST(DisassemblyListing, HexDumpOfTextShowsEveryByteOfEachChunk) {
    TestMemory m;
    std::string text(40, 'x');
    text[5] = 0;
    for (size_t i = 0; i < text.size(); ++i) m.Put(uint16_t(0x200 + i), {uint8_t(text[i])});
    std::string listing =
        WriteDisassemblyListing(m.memory, {Range(0x200, 0x200 + int(text.size()) - 1, 2)}, kDump);
    EXPECT_EQ(listing, Lines({"0200  78 78 78 78     DB   'xxxxx',00,'xxxxxxxxxxxxxxxxxxxx'",
                              "0204  78 00 78 78 ", "0208  78 78 78 78 ", "020C  78 78 78 78 ",
                              "0210  78 78 78 78 ", "0214  78 78 78 78 ", "0218  78 78       ",
                              // The next chunk is written as text again, not lost in dump lines.
                              "021A  78 78 78 78     DB   'xxxxxxxxxxxxxx'", "021E  78 78 78 78 ",
                              "0222  78 78 78 78 ", "0226  78 78       ", ""}));
}

TEST(DisassemblyListing, InvalidRangesAreLeftOut) {
    TestMemory m;
    std::vector<DisassRange> ranges = {Range(5, 4, 1), Range(0, 0x10000, 1), Range(0, 1, 5)};
    EXPECT_EQ(WriteDisassemblyListing(m.memory, ranges, kLabels), "");
}

TEST(DisassemblyListing, UnmappedMemoryReadsAsFFWithoutLeavingAFault) {
    TestMemory m;
    m.Unmap(5);
    EXPECT_EQ(WriteDisassemblyListing(m.memory, {Range(0x5000, 0x5001, 1)}, kAddresses),
              Lines({"5000   DB   FF,FF", ""}));
    EXPECT_FALSE(m.memory.Fault());
}
