#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "media/basic/BasicKeywords.h"
#include "media/basic/BasicListing.h"

namespace {

using Bytes = std::vector<uint8_t>;
using basic::ImportListing;
using basic::LogEntry;
using Log = std::vector<LogEntry>;

// A program image around the given line bytes, framed by hand.
Bytes Image(const Bytes& lines) {
    Bytes image = {static_cast<uint8_t>(lines.size()), static_cast<uint8_t>(lines.size() >> 8),
                   0x0D};
    image.insert(image.end(), lines.begin(), lines.end());
    image.push_back(0x00);
    image.push_back(0xFF);
    return image;
}

// The statement bytes of the one-line program "10 <text>".
Bytes Statement(const std::string& text) {
    const Bytes image = ImportListing("10 " + text).image;
    EXPECT_GE(image.size(), 9u);
    return Bytes(image.begin() + 6, image.end() - 3);
}

Bytes Chars(const std::string& text) {
    return Bytes(text.begin(), text.end());
}

Log Only(const Log& log, const std::string& key) {
    Log kept;
    for (const LogEntry& e : log) {
        if (e.key == "err.ImportBasic." + key) kept.push_back(e);
    }
    return kept;
}

TEST(BasicImport, KeywordsAreTokenisedOutsideQuotesAndOnlyInUpperCase) {
    const auto result = ImportListing("10 PRINT X");
    EXPECT_EQ(result.image, Image({0x0A, 0x00, 0x05, 0x9A, 0x20, 0x58, 0x0D}));
    EXPECT_TRUE(result.log.empty());

    EXPECT_EQ(Statement("print x"), Chars("print x"));
    EXPECT_EQ(Statement("PRINT \"GOTO\""), (Bytes{0x9A, 0x20, 0x22, 'G', 'O', 'T', 'O', 0x22}));
    // The quote closes again: the GOTO after it is a keyword.
    EXPECT_EQ(Statement("\"A\"GOTO"), (Bytes{0x22, 'A', 0x22, 0x94}));
    EXPECT_EQ(Statement("REM GOTO 10"), (Bytes{0x9B, 0x20, 0x94, 0x20, '1', '0'}));
    EXPECT_EQ(Statement("DATA TO"), (Bytes{0xA2, 0x20, 0xC0}));
    // A keyword inside a longer word is found when nothing alphanumeric follows it.
    EXPECT_EQ(Statement("ATO=1"), (Bytes{'A', 0xC0, '=', '1'}));
    // AT is refused before the A of ATAN, so the longer keyword later in the table wins.
    EXPECT_EQ(Statement("ATAN(1)"), (Bytes{0xEE, '(', '1', ')'}));
    EXPECT_EQ(Statement("LPRINTER A$"), (Bytes{0xBC, 0x20, 'A', '$'}));
    EXPECT_EQ(Statement("A=MID$(B$,1)"), (Bytes{'A', '=', 0xDC, '(', 'B', '$', ',', '1', ')'}));
}

TEST(BasicImport, EmptyTextsAndBlankLinesGiveNothing) {
    const Bytes empty = {0x00, 0x00, 0x0D, 0x00, 0xFF};
    EXPECT_EQ(ImportListing("").image, empty);
    EXPECT_EQ(ImportListing(" \t\r\n\n\r").image, empty);
    EXPECT_EQ(ImportListing("\n\n   10\tPRINT X\r\n\r\n").image,
              Image({0x0A, 0x00, 0x05, 0x9A, 0x20, 0x58, 0x0D}));
}

TEST(BasicImport, DoubtfulLinesAreLoggedAndConvertedAllTheSame) {
    const auto result = ImportListing("  \r\n\t20 AB\r\n10 PRINT 1\n\n0 GOTO 10\r");
    EXPECT_EQ(result.image, Image({0x14, 0x00, 0x04, 'A',  'B',  0x0D,        //
                                   0x0A, 0x00, 0x05, 0x9A, 0x20, '1',  0x0D,  //
                                   0x00, 0x00, 0x06, 0x94, 0x20, '1',  '0',  0x0D}));
    EXPECT_EQ(result.log, (Log{{"err.ImportBasic.ShortLine", {"20"}},
                               {"err.ImportBasic.WrongLineOrder", {"10", "20"}},
                               {"err.ImportBasic.WrongLineNumber", {"0"}},
                               {"err.ImportBasic.WrongLineOrder", {"0", "10"}}}));
    // Equal numbers are fine.
    EXPECT_TRUE(ImportListing("10 STOP\n10 STOP").log.empty());
}

// Lines that would break the program, or would be changed without a word.
TEST(BasicImport, LinesTheMachineCannotHoldAreNeverStoredSilently) {
    const std::string longRem = "10 REM " + std::string(93, 'x');  // 100 characters
    const std::string link255 = "50 " + std::string(253, 'y');     // the longest line
    const std::string text = longRem + "\n20 PRINT \"\xC3\xA9\xE2\x82\xAC\"\n30 " +
                             std::string(254, 'x') + "\n123456789012345678901234 STOP\n40 STOP\n" +
                             link255;
    const auto result = ImportListing(text);
    EXPECT_EQ(result.log,
              (Log{{"err.ImportBasic.TooLongLine", {"10"}},
                   {"err.ImportBasic.ForeignCharacter", {"20"}},
                   {"err.ImportBasic.TooLongLine", {"30"}},
                   {"err.ImportBasic.LineNotStored", {"30"}},
                   {"err.ImportBasic.WrongLineNumber", {"123456789012345678901234"}},
                   {"err.ImportBasic.WrongLineOrder", {"40", "123456789012345678901234"}},
                   {"err.ImportBasic.TooLongLine", {"50"}}}));
    Bytes lines = {0x0A, 0x00, 97, 0x9B, ' '};
    lines.insert(lines.end(), 93, 'x');
    lines.push_back(0x0D);
    // é is U+00E9, € is U+20AC: their low 8 bits.
    for (uint8_t b : {0x14, 0x00, 0x08, 0x9A, 0x20, 0x22, 0xE9, 0xAC, 0x22, 0x0D})
        lines.push_back(b);
    // Line 30 is left out; the huge number keeps its low 16 bits (0xAFF2).
    for (uint8_t b : {0xF2, 0xAF, 0x03, 0x9D, 0x0D, 0x28, 0x00, 0x03, 0x9D, 0x0D})
        lines.push_back(b);
    for (uint8_t b : {0x32, 0x00, 0xFF}) lines.push_back(b);
    lines.insert(lines.end(), 253, 'y');
    lines.push_back(0x0D);
    EXPECT_EQ(result.image, Image(lines));
}

TEST(BasicImport, AProgramBeyondTheLengthWordStopsAtTheLastLineThatFits) {
    // 255 lines of 257 bytes fill the 16-bit length exactly; the 256th does not fit.
    std::string text;
    for (int n = 1; n <= 257; ++n) text += std::to_string(n) + " " + std::string(253, 'y') + "\n";
    const auto result = ImportListing(text);
    ASSERT_EQ(result.image.size(), 65540u);
    EXPECT_EQ(result.image[0], 0xFF);
    EXPECT_EQ(result.image[1], 0xFF);
    EXPECT_EQ(result.image[65535 + 3 - 257], 0xFF);  // line 255's number, low byte
    EXPECT_EQ(result.image[65538], 0x00);
    EXPECT_EQ(result.image[65539], 0xFF);
    EXPECT_EQ(Only(result.log, "ProgramTooLarge"),
              (Log{{"err.ImportBasic.ProgramTooLarge", {"256", "65540"}}}));
    EXPECT_EQ(Only(result.log, "TooLongLine").size(), 256u);
}

TEST(BasicExport, ListsTokensAsKeywordsAndStaysInsideTheImage) {
    const Bytes image = Image({0x0A, 0x00, 0x05, 0x9A, 0x20, 0x58, 0x0D,    // 10 PRINT X
                               0x14, 0x00, 0x05, 0xBC, 0x88, 0xF5, 0x0D,    // 20 LPRINTER, -, F5
                               0x1E, 0x00, 0x04, 'A',  0x00, 'B',  0x0D});  // an early end byte
    EXPECT_EQ(basic::ExportListing(image.data(), image.size()),
              "10 PRINT X\r\n20 LPRINTER\xC3\xB5\r\n30 A\r\n");
    // A length word that claims more than there is.
    const Bytes lying = {0xFF, 0xFF, 0x0D, 0x0A, 0x00, 0x05, 0x9A};
    EXPECT_EQ(basic::ExportListing(lying.data(), lying.size()), "10 PRINT\r\n");
    EXPECT_EQ(basic::ExportListing(lying.data(), 2), "");
}

TEST(BasicExport, AnExportedListingImportsToTheSameBytes) {
    const std::string listing =
        "10 REM A \"GAME\"\r\n20 INPUT \"NAME\";N$:IF N$=\"\" THEN GOTO 20\r\n"
        "30 FOR I=1 TO 10 STEP 2:PRINT TAB(I);CHR$(65+I):NEXT I\r\n"
        "40 DATA 1,2,3:LPRINTER:X=ATAN(PI)*SQR(2)\r\n32767 END\r\n";
    const auto first = ImportListing(listing);
    EXPECT_TRUE(first.log.empty());
    const std::string exported = basic::ExportListing(first.image.data(), first.image.size());
    EXPECT_EQ(exported, listing);
    EXPECT_EQ(ImportListing(exported).image, first.image);

    // Codes without a keyword above the table come back as themselves (with a log entry).
    const Bytes odd = Image({0x0A, 0x00, 0x05, 0xF5, 0xFF, 'A', 0x0D});
    const auto again = ImportListing(basic::ExportListing(odd.data(), odd.size()));
    EXPECT_EQ(again.image, odd);
    EXPECT_EQ(again.log, (Log{{"err.ImportBasic.ForeignCharacter", {"10"}}}));
}

}  // namespace
