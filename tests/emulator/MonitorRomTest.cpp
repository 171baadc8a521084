// The built-in monitor ROM on the whole machine: what it shows, sounds and does with the keys.

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "frontend/VirtualKeys.h"
#include "support/MonitorRomMachine.h"

namespace {

using testing_support::MonitorRomMachine;
using Level = MonitorRomMachine::LevelChange;

constexpr uint16_t kVariables = 0x9B00;  // cursor row, then column
constexpr int kBeepLevel = 15, kClickLevel = 6;
constexpr int64_t kTicksPerMs = MonitorRomMachine::kTicksPerMs;

// The font as the ROM source draws it: eight rows for each character from 20H to 7FH.
std::vector<uint8_t> FontFromSource() {
    std::ifstream in(std::string(TEVRIN_SOURCE_DIR) + "/roms/tevrin.asm");
    std::vector<uint8_t> font;
    bool inFont = false;
    std::string line;
    while (std::getline(in, line)) {
        if (!inFont) {
            inFont = line.rfind("FONT:", 0) == 0;
            continue;
        }
        std::istringstream words(line);
        std::string directive, value;
        words >> directive >> value;
        if (directive != "DB" || value.size() != 9 || value.back() != 'B') continue;
        font.push_back(static_cast<uint8_t>(std::stoi(value.substr(0, 8), nullptr, 2)));
    }
    return font;
}

// Palette index of a text colour (bit 0 red, bit 1 green, bit 2 blue).
int PaletteIndex(int colour) {
    return ((colour >> 1) & 1) * 4 + (colour & 1) * 2 + ((colour >> 2) & 1);
}

// What a text cell of the picture holds: -1 when its pixels are not its character's glyph in
// one colour on black, else the palette index of the glyph (0 for a blank cell).
int CellColour(const ScreenPicture& picture, const std::vector<uint8_t>& font, int row, int col,
               char ch) {
    int colour = 0;
    for (int y = 0; y < 8; ++y) {
        const uint8_t glyph = font[static_cast<size_t>(ch - 0x20) * 8 + y];
        for (int x = 0; x < 8; ++x) {
            const int index = picture.At(col * 8 + x, row * 8 + y);
            const bool lit = (glyph >> (7 - x)) & 1;
            if (!lit) {
                if (index != 0) return -1;
            } else if (colour == 0) {
                colour = index;
            } else if (index != colour) {
                return -1;
            }
        }
    }
    return colour;
}

// The level changes from `fromTick` on that go up to `level`.
std::vector<int64_t> Rises(const std::vector<Level>& changes, int level, int64_t fromTick = 0) {
    std::vector<int64_t> rises;
    for (const Level& change : changes) {
        if (change.tick >= fromTick && change.level == level) rises.push_back(change.tick);
    }
    return rises;
}

const std::vector<std::string> kBanner = {"TEVRIN MONITOR 1.0", "RAM 0000-9FFF  FREE 0100-99FF",
                                          "TEXT 9C00  SCREEN A000-BFFF",
                                          "TYPE HELP FOR THE COMMANDS"};

class MonitorRom : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(m.RunUntilMs(1000)); }
    // The screen's rows from `first` on, trailing blanks removed.
    std::vector<std::string> RowsFrom(int first, int count) {
        std::vector<std::string> rows;
        for (int r = first; r < first + count; ++r) rows.push_back(m.Row(r));
        return rows;
    }
    MonitorRomMachine m;
};

TEST_F(MonitorRom, StartsWithBannerPromptAndBlinkingCursor) {
    std::vector<std::string> expected = kBanner;
    expected.push_back(">");
    EXPECT_EQ(m.Lines(), expected);
    EXPECT_EQ(m.Row(4), ">");

    // The cursor at row 4, column 2 turns on and off about every 300 ms.
    const std::vector<uint8_t> font = FontFromSource();
    ASSERT_EQ(font.size(), 96u * 8);
    std::vector<int64_t> changes;
    int last = -2;
    for (int i = 0; i < 100; ++i) {
        ASSERT_TRUE(m.RunForMs(10));
        ScreenPicture picture = testing_support::PictureOf(m.M());
        int block = CellColour(picture, font, 4, 2, 0x7F);
        int blank = CellColour(picture, font, 4, 2, ' ');
        ASSERT_TRUE(block > 0 || blank == 0) << "neither cursor nor blank at " << m.NowMs();
        int state = block > 0 ? 1 : 0;
        if (last != -2 && state != last) changes.push_back(m.NowMs());
        last = state;
    }
    ASSERT_GE(changes.size(), 3u);
    for (size_t i = 1; i < changes.size(); ++i) {
        EXPECT_NEAR(changes[i] - changes[i - 1], 300, 10);
    }
}

TEST_F(MonitorRom, StartupBeepIsOneKilohertzForATenthOfASecond) {
    std::vector<int64_t> rises = Rises(m.speaker, kBeepLevel);
    std::vector<int64_t> falls = Rises(m.speaker, 0, rises.empty() ? 0 : rises.front());
    ASSERT_EQ(rises.size(), 100u);
    ASSERT_EQ(falls.size(), 100u);
    EXPECT_LT(rises.front(), 500 * kTicksPerMs);
    // Half a period high, half low; the edges are timed from counter 2, so they keep their
    // place whatever the polling costs.
    for (size_t i = 0; i < rises.size(); ++i) {
        EXPECT_NEAR(falls[i] - rises[i], 1000, 150) << i;
        if (i > 0) {
            EXPECT_NEAR(rises[i] - rises[i - 1], 2000, 150) << i;
        }
    }
    EXPECT_NEAR(falls.back() - rises.front(), 199000, 150);
}

TEST_F(MonitorRom, BeepCommandPlaysTheAskedToneAndRefusesOutOfRange) {
    int64_t from = m.M().EmulatedTicks();
    ASSERT_TRUE(m.Type("b 1f4 32\n", 300));  // 500 Hz for 50 ms
    std::vector<int64_t> rises = Rises(m.speaker, kBeepLevel, from);
    ASSERT_EQ(rises.size(), 25u);
    EXPECT_NEAR(rises.back() - rises.front(), 24 * 4000, 150);

    from = m.M().EmulatedTicks();
    ASSERT_TRUE(m.Type("b 13 10\nb fa1 10\nb 3e8 2711\nb 3e8 0\n", 300));
    EXPECT_TRUE(Rises(m.speaker, kBeepLevel, from).empty());
    EXPECT_EQ(RowsFrom(5, 8), (std::vector<std::string>{
                                  "> b 13 10", "BAD ARGUMENT", "> b fa1 10", "BAD ARGUMENT",
                                  "> b 3e8 2711", "BAD ARGUMENT", "> b 3e8 0", "BAD ARGUMENT"}));

    // The highest tone still gets its length right: 1 ms of 4 kHz is four periods.
    from = m.M().EmulatedTicks();
    ASSERT_TRUE(m.Type("b fa0 1\n", 300));
    EXPECT_EQ(Rises(m.speaker, kBeepLevel, from).size(), 4u);
}

TEST_F(MonitorRom, EveryTypedKeyClicks) {
    const int64_t from = m.M().EmulatedTicks();
    ASSERT_TRUE(m.Type("abc", 300));
    // 2 ms of 2.5 kHz each.
    EXPECT_EQ(Rises(m.speaker, kClickLevel, from).size(), 3u * 5);
    EXPECT_TRUE(Rises(m.speaker, kBeepLevel, from).empty());
    EXPECT_EQ(m.Row(4), "> abc");
}

TEST_F(MonitorRom, HeldKeyRepeatsAfterHalfASecondThenTwentyTimesASecond) {
    ASSERT_TRUE(m.Hold(vk::Char('X'), 300));
    EXPECT_EQ(m.Row(4), "> x");
    ASSERT_TRUE(m.Hold(vk::Char('X'), 1000));
    // One on the press, then at 500, 550, ... 950 ms (and perhaps at 1000).
    const std::string row = m.Row(4);
    const size_t repeated = row.size() - 3;
    EXPECT_GE(repeated, 11u) << row;
    EXPECT_LE(repeated, 12u) << row;
    EXPECT_EQ(row.find_first_not_of('x', 2), std::string::npos) << row;
}

TEST_F(MonitorRom, LineEditingKeysAndShiftedCharacters) {
    ASSERT_TRUE(m.Type("abc", 100));
    ASSERT_TRUE(m.Hold(vk::kBack, 50, 100));  // Backspace reaches the matrix as Left
    ASSERT_TRUE(m.Type("d", 100));
    EXPECT_EQ(m.Row(4), "> abd");
    ASSERT_TRUE(m.Hold(vk::kDelete, 50, 100));
    EXPECT_EQ(m.Row(4), "> ab");
    ASSERT_TRUE(m.Hold(vk::kEscape, 50, 100));
    EXPECT_EQ(m.Row(4), ">");

    const std::string text = "Hi! @#$%^&*()_+ -= [] {} ;': \",./<>? `~ \\|";
    ASSERT_TRUE(m.Type(text, 100));
    EXPECT_EQ(m.Row(4), "> " + text.substr(0, 30));
    EXPECT_EQ(m.Row(5), text.substr(30));
    ASSERT_TRUE(m.Hold(vk::kEscape, 50, 300));
    EXPECT_EQ(m.Row(4), ">");
    EXPECT_EQ(m.Row(5), "");

    // Caps Lock turns letters the other way up; Ctrl with a letter types nothing.
    ASSERT_TRUE(m.Hold(vk::kCapital, 50, 100));
    ASSERT_TRUE(m.Type("abC1", 100));
    ASSERT_TRUE(m.Hold(vk::kCapital, 50, 100));
    m.Keys().Press(vk::kControl);
    ASSERT_TRUE(m.Hold(vk::Char('Q'), 50, 100));
    m.Keys().Release(vk::kControl);
    ASSERT_TRUE(m.Type("z", 100));
    EXPECT_EQ(m.Row(4), "> ABc1z");
}

TEST_F(MonitorRom, LongLineWrapsTakesSixtyCharactersAndBacksUpAcrossRows) {
    const std::string digits = "0123456789";
    std::string line;
    for (int i = 0; i < 7; ++i) line += digits;
    ASSERT_TRUE(m.Type(line, 100));
    EXPECT_EQ(m.Row(4), "> " + line.substr(0, 30));
    EXPECT_EQ(m.Row(5), line.substr(30, 30));  // the rest did not fit
    for (int i = 0; i < 31; ++i) ASSERT_TRUE(m.Hold(vk::kBack, 40, 40));
    EXPECT_EQ(m.Row(4), "> " + line.substr(0, 29));
    EXPECT_EQ(m.Row(5), "");
    ASSERT_TRUE(m.Type("\n", 300));
    EXPECT_EQ(m.Row(5), "UNKNOWN COMMAND");
}

TEST_F(MonitorRom, PictureShowsTheTextBufferInItsColoursAfterScrolling) {
    // Three HELP listings and a colour change scroll the screen by more than a page.
    ASSERT_TRUE(m.Type("help\nhelp\nc 6\nhelp\nc 7\nd 0 8\n", 1500));
    const uint8_t scroll = m.M().Video().scrollRegister;
    EXPECT_NE(scroll, 0);
    EXPECT_EQ(scroll % 8, 0);
    EXPECT_EQ(m.Row(31), ">");
    // The restart vector RST 0 (JMP to the warm start), then zeros.
    EXPECT_EQ(m.Row(30).substr(0, 9), "0000: C3 ");
    EXPECT_EQ(m.Row(30).substr(14), " 00 00 00 00 00");

    const std::vector<uint8_t> font = FontFromSource();
    ASSERT_EQ(font.size(), 96u * 8);
    ScreenPicture picture = testing_support::PictureOf(m.M());
    const std::vector<std::string> rows = m.Rows();
    const int cursorRow = m.M().MemoryView()->Peek(kVariables);
    const int cursorCol = m.M().MemoryView()->Peek(kVariables + 1);
    // After "c 6" the rows up to "c 7" are cyan; the rest white.
    int cyanFrom = -1, cyanTo = -1;
    for (int r = 0; r < 32; ++r) {
        if (m.Row(r) == "> c 6") cyanFrom = r + 1;
        if (m.Row(r) == "> c 7") cyanTo = r;
    }
    ASSERT_GE(cyanFrom, 0);
    ASSERT_GT(cyanTo, cyanFrom);
    for (int r = 0; r < 32; ++r) {
        for (int c = 0; c < 32; ++c) {
            if (r == cursorRow && c == cursorCol) continue;
            const int colour = CellColour(picture, font, r, c, rows[r][c]);
            const int wanted =
                rows[r][c] == ' ' ? 0 : PaletteIndex(r >= cyanFrom && r <= cyanTo ? 6 : 7);
            ASSERT_EQ(colour, wanted)
                << "row " << r << " column " << c << " '" << rows[r][c] << "'";
        }
    }
}

TEST_F(MonitorRom, ErrorsAreRedAndTheColourCommandTakesOneToSeven) {
    ASSERT_TRUE(m.Type("c 0\nc 3\nzz\n", 600));
    EXPECT_EQ(RowsFrom(4, 5), (std::vector<std::string>{"> c 0", "BAD ARGUMENT", "> c 3", "> zz",
                                                        "UNKNOWN COMMAND"}));
    const std::vector<uint8_t> font = FontFromSource();
    ScreenPicture picture = testing_support::PictureOf(m.M());
    EXPECT_EQ(CellColour(picture, font, 5, 0, 'B'), PaletteIndex(1));  // red
    EXPECT_EQ(CellColour(picture, font, 7, 2, 'z'), PaletteIndex(3));  // yellow, as chosen
    EXPECT_EQ(CellColour(picture, font, 8, 0, 'U'), PaletteIndex(1));
    EXPECT_EQ(CellColour(picture, font, 9, 0, '>'), PaletteIndex(3));
}

TEST_F(MonitorRom, WritesOutsideRamAreRefusedBeforeAnythingChanges) {
    const uint8_t romByte = m.M().MemoryView()->Peek(0xC000);
    const uint8_t screenByte = m.M().MemoryView()->Peek(0xBFF8);
    // The fill would run from the screen into the ROM: nothing of it may happen.
    ASSERT_TRUE(m.Type("e c000 0\nf bff8 10 ff\nf 9ff0 10 0\n", 600));
    EXPECT_EQ(RowsFrom(4, 5), (std::vector<std::string>{"> e c000 0", "NOT RAM", "> f bff8 10 ff",
                                                        "NOT RAM", "> f 9ff0 10 0"}));
    EXPECT_EQ(m.M().MemoryView()->Peek(0xC000), romByte);
    EXPECT_EQ(m.M().MemoryView()->Peek(0xBFF8), screenByte);
    // The last fill was RAM (the end of the text buffer): done.
    EXPECT_EQ(m.M().MemoryView()->Peek(0x9FF0), 0x00);
}

TEST_F(MonitorRom, GoRunsProgramsThatUseTheEntryPointsAndComeBack) {
    // 0300: MVI A,'O'; CALL OUTCH; MVI A,'K'; CALL OUTCH; RET
    // 0310: JMP 0000H (the warm start)
    ASSERT_TRUE(m.Type("e 300 3e 4f cd 3 c0 3e 4b cd 3 c0 c9\ne 310 c3 0 0\ng 300\ng 310\n", 600));
    // A program that takes window 5 away (page 00 holds no memory): the monitor notices.
    // 0320: MVI A,00H; OUT 0E5H; RET    0330: MVI A,0E5H; OUT 0E5H; RET
    ASSERT_TRUE(
        m.Type("e 320 3e 0 d3 e5 c9\ne 330 3e e5 d3 e5 c9\ng 320\n"
               "d 4ffe 4\ne 5000 1\ng 5000\ng 330\nd 5000 1\n",
               600));
    const std::vector<std::string> lines = m.Lines();
    const std::vector<std::string> tail(lines.begin() + 5, lines.end());
    EXPECT_EQ(tail, (std::vector<std::string>{
                        " c0 c9", "> e 310 c3 0 0", "> g 300", "OK", "> g 310",
                        "> e 320 3e 0 d3 e5 c9", "> e 330 3e e5 d3 e5 c9", "> g 320", "> d 4ffe 4",
                        "4FFE: 00 00 -- --", "> e 5000 1", "NOT RAM", "> g 5000", "NO MEMORY THERE",
                        "> g 330", "> d 5000 1", "5000: 00", ">"}));
}

TEST_F(MonitorRom, TypingAheadDuringTheTimerCommandIsKept) {
    MonitorRomMachine chained(
        [](config::Settings& s) { s.Set(config::keys::kChainTimer01, true); });
    ASSERT_TRUE(chained.RunUntilMs(1000));
    ASSERT_TRUE(chained.Type("t\nd f000 3\nt\n", 1800));
    EXPECT_EQ(chained.Lines(), (std::vector<std::string>{
                                   kBanner[0], kBanner[1], kBanner[2], kBanner[3], "> t",
                                   "TIMER INTERRUPTS IN 1 S: 50", "> d f000 3", "F000: C3 03 F0",
                                   "> t", "TIMER INTERRUPTS IN 1 S: 50", ">"}));
    // The command leaves interrupts off and line 6 closed.
    EXPECT_FALSE(chained.M().Processor().inte);
}

TEST(MonitorRomClocks, OnlyTheChainMakesTimerInterrupts) {
    MonitorRomMachine counter0Only(
        [](config::Settings& s) { s.Set(config::keys::kClockTimer0, true); });
    ASSERT_TRUE(counter0Only.RunUntilMs(1000));
    ASSERT_TRUE(counter0Only.Type("t\n", 1500));
    EXPECT_EQ(counter0Only.Row(5), "TIMER INTERRUPTS IN 1 S: 0");
}

TEST(MonitorRomHardware, StartsWithTheMultiplierOnThePagingPorts) {
    MonitorRomMachine m([](config::Settings& s) { s.Set(config::keys::kMultiplier, true); });
    ASSERT_TRUE(m.RunUntilMs(1000));
    EXPECT_EQ(m.Row(0), kBanner[0]);
    EXPECT_EQ(m.Row(4), ">");
}

TEST_F(MonitorRom, ResetStartsItAfresh) {
    ASSERT_TRUE(m.Type("help\n", 300));
    m.M().WarmReset();
    ASSERT_TRUE(m.RunForMs(1000));
    std::vector<std::string> expected = kBanner;
    expected.push_back(">");
    EXPECT_EQ(m.Lines(), expected);
    EXPECT_EQ(m.M().Video().scrollRegister, 0);
}

}  // namespace
