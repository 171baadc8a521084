// The monitor's SD-ROM commands on the whole machine, the module's card a temporary folder.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "emulator/InputMovie.h"
#include "support/MonitorRomMachine.h"
#include "support/TempFolder.h"

namespace {

using testing_support::MonitorRomMachine;
using testing_support::TempFolder;

class MonitorSdRom : public ::testing::Test {
  protected:
    void SetUp() override {
        card.Write("prog.bin",
                   std::string("\x3E\x42\x32\x00\x30\xC9", 6));  // MVI A,42h; STA 3000h; RET
        std::string big;
        for (int i = 0; i < 5000; ++i) big.push_back(static_cast<char>(i * 13 + 1));
        card.Write("big.dat", big);
        card.MakeFolder("games");
        card.Write("games/pong.com", "PONG");
        m.ConnectSdRom(card.Path());
        ASSERT_TRUE(m.RunUntilMs(1000));
    }
    // The rows from `first` on that hold text.
    std::vector<std::string> LinesFrom(int first) {
        std::vector<std::string> lines;
        for (int r = first; r < 32; ++r) {
            if (!m.Row(r).empty()) lines.push_back(m.Row(r));
        }
        return lines;
    }
    uint8_t Peek(uint16_t address) { return m.M().MemoryView()->Peek(address); }

    TempFolder card;
    MonitorRomMachine m;
};

// Typed ahead while DIR lists: the monitor's clock stands still while the module has counter 2,
// yet the keys are seen between the module's replies (with no click, which that counter would
// time) and the next command follows whole.
TEST_F(MonitorSdRom, KeysTypedWhileDirListsFollowIt) {
    ASSERT_TRUE(m.Type("dir\nloadsd prog.bin 4000\n", 1500));
    EXPECT_EQ(LinesFrom(4), (std::vector<std::string>{"> dir", "00001388 big.dat", "<DIR>    games",
                                                      "00000006 prog.bin", "> loadsd prog.bin 4000",
                                                      "LOADED 0006 BYTES", ">"}));
    EXPECT_EQ(Peek(0x4001), 0x42);
}

TEST_F(MonitorSdRom, ListsLoadsRunsAndSavesThroughTheModule) {
    ASSERT_TRUE(m.Type("dir\n", 1500));
    EXPECT_EQ(LinesFrom(4), (std::vector<std::string>{"> dir", "00001388 big.dat", "<DIR>    games",
                                                      "00000006 prog.bin", ">"}));

    // A file of 5000 bytes comes in two reads of the data window; a program runs where it landed.
    // Keys typed while the module is busy are not seen: one line at a time.
    for (const char* line : {"loadsd big.dat 1000\n", "loadsd prog.bin 4000\n", "g 4000\n"}) {
        ASSERT_TRUE(m.Type(line, 1000));
    }
    EXPECT_EQ(LinesFrom(8), (std::vector<std::string>{"> loadsd big.dat 1000", "LOADED 1388 BYTES",
                                                      "> loadsd prog.bin 4000", "LOADED 0006 BYTES",
                                                      "> g 4000", ">"}));
    for (int i : {0, 1, 4095, 4096, 4999}) {
        EXPECT_EQ(Peek(static_cast<uint16_t>(0x1000 + i)), static_cast<uint8_t>(i * 13 + 1)) << i;
    }
    EXPECT_EQ(Peek(0x1000 + 5000), 0x00);
    EXPECT_EQ(Peek(0x3000), 0x42);
    // The screen's window is given back after the copies: the text is still drawn there.
    EXPECT_EQ(MachineTestAccess::Organizer(m.M()).PageRegister(0xB), 0xEB);

    // 300 bytes from 1000H in two blocks, then into a folder and back up.
    for (const char* line : {"savesd copy.dat 1000 12c\n", "cd games\n", "dir\n"}) {
        ASSERT_TRUE(m.Type(line, 1000));
    }
    // The module's current folder is kept in the configuration for the next start.
    EXPECT_NE(m.Settings().Get(config::keys::kSdRomCurrentFolder).find("games"), std::string::npos);
    ASSERT_TRUE(m.Type("cd ..\n", 1000));
    EXPECT_EQ(LinesFrom(13),
              (std::vector<std::string>{"> savesd copy.dat 1000 12c", "SAVED 012C BYTES",
                                        "> cd games", "/games", "> dir", "<DIR>    ..",
                                        "00000004 pong.com", "> cd ..", "/", ">"}));
    const std::vector<uint8_t> saved = TempFolder::Read(card / "copy.dat");
    ASSERT_EQ(saved.size(), 300u);
    for (int i = 0; i < 300; ++i)
        EXPECT_EQ(saved[static_cast<size_t>(i)], static_cast<uint8_t>(i * 13 + 1));
}

// A movie of a session that loads from the card, saves to it and runs what it loaded plays into
// a machine whose card holds another program of the same name: the machine ends as the recorded
// one did, with the recorded program run, and nothing is written to the player's card (the
// module's answers come from the movie).
TEST_F(MonitorSdRom, AnInputMovieGivesTheCardsAnswersWithoutTheCard) {
    m.M().StartRecordingInputs();
    for (const char* line : {"loadsd prog.bin 4000\n", "savesd copy.dat 4000 6\n", "g 4000\n"}) {
        ASSERT_TRUE(m.Type(line, 1000));
    }
    ASSERT_EQ(TempFolder::Read(card / "copy.dat").size(), 6u);
    const movie::Movie recorded = m.M().StopRecordingInputs();
    std::vector<uint8_t> expected;
    m.M().SaveSnapshot(expected);

    TempFolder otherCard;
    otherCard.Write("prog.bin", std::string("\x3E\x17\x32\x00\x30\xC9", 6));  // A,17h
    MonitorRomMachine player;
    player.ConnectSdRom(otherCard.Path());
    ASSERT_TRUE(player.RunUntilMs(200));
    ASSERT_EQ(player.M().StartPlayingInputs(recorded), snapshot::LoadError::None);
    for (int i = 0; i < 20000 && player.M().PlayingInputs(); ++i) player.M().CpuTimerEvent();
    ASSERT_FALSE(player.M().PlayingInputs());
    EXPECT_EQ(player.M().TakePlaybackEnd().error, snapshot::LoadError::None);
    EXPECT_EQ(player.Lines(), m.Lines());
    EXPECT_EQ(player.M().MemoryView()->Peek(0x3000), 0x42) << "the program loaded ran";
    std::vector<uint8_t> played;
    player.M().SaveSnapshot(played);
    EXPECT_TRUE(played == expected);
    EXPECT_FALSE(std::filesystem::exists(otherCard / "copy.dat"));
}

TEST_F(MonitorSdRom, ReportsTheModulesRefusalsAndSilence) {
    for (const char* line :
         {"loadsd nothing 1000\n", "cd ../..\n", "loadsd big.dat 9000\n", "savesd x 0 0\n"}) {
        ASSERT_TRUE(m.Type(line, 1000));
    }
    EXPECT_EQ(LinesFrom(4), (std::vector<std::string>{
                                "> loadsd nothing 1000", "SD ERROR 03", "> cd ../..", "SD ERROR 0E",
                                "> loadsd big.dat 9000", "TOO LONG FOR THE RAM", "> savesd x 0 0",
                                "BAD ARGUMENT", ">"}));
}

// The settings dialog's two groups on a running machine: another folder, then no module.
TEST_F(MonitorSdRom, AnotherFolderAndDisconnectingTakeEffectAtOnce) {
    TempFolder other;
    other.Write("tevrinsdrom.rmm", "FW2");
    other.Write("two.bin", "22");
    m.Settings().SetPath(config::keys::kSdRomRootPath, other.Path());
    m.M().ApplySettings({config::Group::SdRomFolder});
    const uint8_t* firmware = m.M().MemoryView()->PagePointer(0xF8);
    ASSERT_NE(firmware, nullptr);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(firmware), 4), "FW2\xFF");
    ASSERT_TRUE(m.Type("dir\n", 1500));

    m.Settings().Set(config::keys::kSdRomConnected, false);
    m.M().ApplySettings({config::Group::SdRomConnected});
    EXPECT_EQ(m.M().SdRom(), nullptr);
    ASSERT_TRUE(m.Type("dir\n", 3000));
    EXPECT_EQ(LinesFrom(4),
              (std::vector<std::string>{"> dir", "00000003 tevrinsdrom.rmm", "00000002 two.bin",
                                        "> dir", "NO ANSWER FROM THE SD-ROM", ">"}));
}

TEST(MonitorSdRomMissing, SaysSoWhenNoModuleAnswers) {
    MonitorRomMachine m;
    ASSERT_TRUE(m.RunUntilMs(1000));
    ASSERT_TRUE(m.Type("dir\n", 3000));
    EXPECT_EQ(m.Row(5), "NO ANSWER FROM THE SD-ROM");
    ASSERT_TRUE(m.Type("help\n", 500));
    EXPECT_EQ(m.Row(12), "DIR, CD NAME    SD CARD FOLDER");
    EXPECT_EQ(m.Row(13), "LOADSD NAME ADDR  SD -> RAM");
    EXPECT_EQ(m.Row(14), "SAVESD NAME ADDR LEN  RAM -> SD");
}

}  // namespace
