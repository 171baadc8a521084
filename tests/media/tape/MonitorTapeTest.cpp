#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <tuple>
#include <vector>

#include "frontend/VirtualKeys.h"
#include "media/tape/TapeBuilder.h"
#include "media/tape/TapeDeck.h"
#include "media/tape/TapeImage.h"
#include "support/TapeRomMachine.h"
#include "support/TempFolder.h"

namespace {

using testing_support::TapeRomMachine;

// The deck's hand-over of events 1, 5 and 6, done at once on the emulation thread as the
// window's request cell would do it while that thread waits.
struct DeckOwner {
    explicit DeckOwner(IfTape& tape) {
        deck.AttachTape(&tape);
        deck.SetHandOver(TapeDeck::HandOver::Bind<&DeckOwner::OnEvent>(this));
    }
    void OnEvent(int event) {
        events.push_back(event);
        if (event == IfTape::kEventSerialReset) deck.Stop();
        if (event == IfTape::kEventRecordingDone) {
            message = deck.AppendRecording();
            failed = failed || (message && !message.done);
        }
    }
    TapeDeck deck;
    std::vector<int> events;
    TapeMessage message;  // the last recording's
    bool failed = false;
};

std::vector<uint8_t> Pattern(size_t size) {
    std::vector<uint8_t> bytes(size);
    for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<uint8_t>(i * 7 + (i >> 8) * 3 + 1);
    return bytes;
}

class MonitorSaveLoad : public ::testing::TestWithParam<std::tuple<bool, bool>> {};

// SAVE writes a well-formed record through the recorder; LOAD plays it into another machine.
TEST_P(MonitorSaveLoad, SavedRecordLoadsBackIntoAFreshMachine) {
    const auto [fast, merged] = GetParam();
    testing_support::TempFolder folder;
    const std::string path = folder / "saved.pta";
    const std::vector<uint8_t> data = Pattern(300);  // two blocks and 44 bytes
    std::vector<uint8_t> saved;
    {
        TapeRomMachine machine(merged);
        DeckOwner owner(machine.tape);
        owner.deck.SetNewTapePath(path);
        ASSERT_TRUE(machine.RunForMs(1500));
        for (size_t i = 0; i < data.size(); ++i) {
            machine.memory.Write(static_cast<uint16_t>(0x1000 + i), data[i]);
        }
        ASSERT_TRUE(machine.Type("save 1000 12c\r"));
        ASSERT_TRUE(machine.RunUntilShown("SAVED 1000-112B", 5000)) << machine.LastLines(4);
        EXPECT_FALSE(owner.failed);
        EXPECT_EQ(owner.events, (std::vector<int>{1, 5, 6}));
        ASSERT_EQ(owner.deck.Records().size(), 1u);
        saved = testing_support::TempFolder::Read(path);
    }
    tape::ReadResult read = tape::ReadTape(path);
    EXPECT_FALSE(read.failed);
    ASSERT_EQ(read.records.size(), 1u);
    const tagTapeRecord& r = read.records.front();
    EXPECT_EQ(r.length, 1u + 6 * 133);
    EXPECT_EQ(r.recordType, 0xFF);
    EXPECT_EQ(r.blockCount, 3);
    EXPECT_EQ(r.number, 1);
    EXPECT_EQ(r.fileType, 8);
    EXPECT_FALSE(r.badSize || r.crcError || r.incomplete);
    tape::WorkBuffer work;
    ASSERT_EQ(tape::ExtractRawData(r, work), 384u);
    std::vector<uint8_t> padded = data;
    padded.resize(384, 0);
    EXPECT_EQ(std::vector<uint8_t>(work.begin(), work.begin() + 384), padded);

    TapeRomMachine machine(merged);
    DeckOwner owner(machine.tape);
    owner.deck.OpenTapeFile(path);
    owner.deck.SetFast(fast);
    ASSERT_TRUE(machine.RunForMs(1500));
    machine.memory.Write(0x2180, 0xEE);
    ASSERT_TRUE(machine.Type("load 2000\r"));
    const int64_t start = machine.NowMs();
    EXPECT_FALSE(owner.deck.Play());
    ASSERT_TRUE(machine.RunUntilShown("LOADED 2000-217F", 15000)) << machine.LastLines(4);
    const int64_t took = machine.NowMs() - start;
    for (size_t i = 0; i < padded.size(); ++i) {
        ASSERT_EQ(machine.memory.Peek(static_cast<uint16_t>(0x2000 + i)), padded[i]) << i;
    }
    EXPECT_EQ(machine.memory.Peek(0x2180), 0xEE);
    // The whole record takes (750 + 6 * 133 + 5 * 7) bytes of 6.664 ms, about 10.5 s; fast
    // loading plays only the leader, the gaps and each block's first byte at that speed.
    if (fast) {
        EXPECT_LT(took, 6500);
    } else {
        EXPECT_GT(took, 9500);
    }
}

INSTANTIATE_TEST_SUITE_P(Modes, MonitorSaveLoad,
                         ::testing::Combine(::testing::Bool(), ::testing::Bool()),
                         [](const auto& info) {
                             return std::string(std::get<0>(info.param) ? "Fast" : "Normal") +
                                    (std::get<1>(info.param) ? "Merged" : "TickByTick");
                         });

// LOAD takes a good second copy, accepts single copies, and reports what it cannot use.
TEST(MonitorLoad, DamagedRecordsAreReadOrReported) {
    using namespace tapebuild;
    const auto p1 = Payload(1), p0 = Payload(0);
    std::string image;
    // 1: block 1's first copy spoilt, block 0 stored once.
    image += Record(
        0xFF, Blocks({Block(1, 0x81, 8, p1, true), Block(1, 0x81, 8, p1), Block(0, 0x01, 8, p0)}));
    // 2: both copies of block 1 spoilt.
    image += Record(0xFF, Blocks({Block(2, 0x82, 8, p0), Block(1, 0x02, 8, p1, true),
                                  Block(1, 0x02, 8, p1, true), Block(0, 0x02, 8, p0)}));
    // 3: block 0 carries another record's number.
    image += Record(0xFF, Blocks({Block(1, 0x83, 8, p1), Block(0, 0x04, 8, p0)}));
    testing_support::TempFolder folder;
    const std::string path = folder.Write("damaged.pta", image);

    TapeRomMachine machine;
    DeckOwner owner(machine.tape);
    owner.deck.OpenTapeFile(path);
    ASSERT_EQ(owner.deck.Records().size(), 3u);
    ASSERT_TRUE(machine.RunForMs(1500));

    ASSERT_TRUE(machine.Type("load 3000\r"));
    EXPECT_FALSE(owner.deck.Play());
    ASSERT_TRUE(machine.RunUntilShown("LOADED 3000-30FF", 15000)) << machine.LastLines(4);
    for (int i = 0; i < 128; ++i) {
        EXPECT_EQ(machine.memory.Peek(static_cast<uint16_t>(0x3000 + i)), p1[i]);
        EXPECT_EQ(machine.memory.Peek(static_cast<uint16_t>(0x3080 + i)), p0[i]);
    }
    ASSERT_TRUE(machine.RunForMs(1000));  // the end of the record moves the deck on
    EXPECT_EQ(owner.deck.CurrentIndex(), 1);

    ASSERT_TRUE(machine.Type("load 3000\r"));
    EXPECT_FALSE(owner.deck.Play());
    ASSERT_TRUE(machine.RunUntilShown("NO GOOD COPY OF BLOCK 0001", 15000)) << machine.LastLines(4);
    ASSERT_TRUE(machine.RunForMs(1000));
    EXPECT_EQ(owner.deck.CurrentIndex(), 2);

    ASSERT_TRUE(machine.Type("load 3000\r"));
    EXPECT_FALSE(owner.deck.Play());
    ASSERT_TRUE(machine.RunUntilShown("BROKEN BLOCK SEQUENCE", 15000)) << machine.LastLines(4);

    // Nothing playing: Esc ends the wait.
    owner.deck.Stop();
    ASSERT_TRUE(machine.Type("load 3000\r"));
    machine.keyboard.Press(vk::kEscape);
    ASSERT_TRUE(machine.RunUntilShown("STOPPED", 1000)) << machine.LastLines(4);
    machine.keyboard.Release(vk::kEscape);
}

// A recording that arrives while the tape is being edited joins the list; the edits stay.
TEST(MonitorSave, ARecordingInEditModeKeepsTheEditsNotSavedYet) {
    testing_support::TempFolder folder;
    const std::string path =
        folder.Write("tape.pta", tapebuild::Record(0x00, "first") + tapebuild::DataRecord(1, 2));
    TapeRomMachine machine;
    DeckOwner owner(machine.tape);
    TapeDeck& deck = owner.deck;
    deck.OpenTapeFile(path);
    deck.EnterEditMode();
    deck.AddInfo("unsaved");
    const std::vector<uint8_t> data = Pattern(32);
    ASSERT_TRUE(machine.RunForMs(1500));
    for (size_t i = 0; i < data.size(); ++i) {
        machine.memory.Write(static_cast<uint16_t>(0x1000 + i), data[i]);
    }
    ASSERT_TRUE(machine.Type("save 1000 20\r"));
    ASSERT_TRUE(machine.RunUntilShown("SAVED 1000-101F", 5000)) << machine.LastLines(4);
    EXPECT_FALSE(owner.failed);
    ASSERT_EQ(deck.Records().size(), 4u);
    EXPECT_EQ(std::next(deck.Records().begin(), 2)->infoText, "unsaved");
    EXPECT_TRUE(deck.Changed() && deck.EditMode());
    EXPECT_EQ(tape::ReadTape(path).records.size(), 3u);

    ASSERT_FALSE(deck.SaveTape(path));
    tape::ReadResult read = tape::ReadTape(path);
    ASSERT_EQ(read.records.size(), 4u);
    tape::WorkBuffer work;
    ASSERT_EQ(tape::ExtractRawData(read.records.back(), work), 128u);
    EXPECT_TRUE(std::equal(data.begin(), data.end(), work.begin()));
}

// A recording that no tape file takes (the new tape's name was not given) stays listed through
// reloads and edit mode, and goes only into a file or on the user's word; the tape file chosen
// at the next recording takes it first. Blocks still being recorded count only when the
// program ends.
TEST(MonitorSave, ARecordingNoFileTakesIsHeldUntilSavedOrLetGo) {
    testing_support::TempFolder folder;
    TapeRomMachine machine;
    DeckOwner owner(machine.tape);
    TapeDeck& deck = owner.deck;
    const std::vector<uint8_t> data = Pattern(32);
    ASSERT_TRUE(machine.RunForMs(1500));
    for (size_t i = 0; i < data.size(); ++i) {
        machine.memory.Write(static_cast<uint16_t>(0x1000 + i), data[i]);
    }
    auto save = [&](size_t listed) {
        EXPECT_TRUE(machine.Type("save 1000 20\r"));
        for (int ms = 0; ms < 10000 && deck.Records().size() < listed; ms += 20) {
            if (!machine.RunForMs(20)) break;
        }
        ASSERT_EQ(deck.Records().size(), listed) << machine.LastLines(4);
    };
    auto holdsTheData = [&](const tagTapeRecord& record) {
        tape::WorkBuffer work;
        return tape::ExtractRawData(record, work) == 128u &&
               std::equal(data.begin(), data.end(), work.begin());
    };

    EXPECT_FALSE(deck.UnsavedWork(TapeDeck::Leaving::Program));
    ASSERT_TRUE(machine.Type("save 1000 20\r"));
    for (int ms = 0; ms < 10000 && machine.tape.RecorderState() == IfTape::kHunt; ms += 20) {
        ASSERT_TRUE(machine.RunForMs(20));
    }
    EXPECT_TRUE(deck.UnsavedWork(TapeDeck::Leaving::Program).recordingUnderWay);
    EXPECT_EQ(TapeDeck::QuestionFor(deck.UnsavedWork(TapeDeck::Leaving::Program)).messageKey,
              "err.RecordingUnderWay.Message");
    EXPECT_FALSE(deck.UnsavedWork(TapeDeck::Leaving::List));
    save(1);
    EXPECT_FALSE(owner.failed);
    EXPECT_TRUE(owner.message.done) << owner.message.messageKey;
    const std::string held = deck.Records().front().sourcePath;
    EXPECT_TRUE(deck.IsHeld(deck.Records().front()));
    EXPECT_TRUE(holdsTheData(deck.Records().front()));
    const TapeDeck::Unsaved work = deck.UnsavedWork(TapeDeck::Leaving::List);
    EXPECT_EQ(work.recordings, 1);
    EXPECT_EQ(TapeDeck::QuestionFor(work).messageKey, "err.UnsavedRecording.Message");
    deck.Load();
    deck.EnterEditMode();
    EXPECT_EQ(deck.Records().size(), 1u);
    ASSERT_FALSE(deck.LeaveEditMode(nullptr));
    deck.NewTape();
    ASSERT_EQ(deck.Records().size(), 1u) << "only the user's word lets it go";
    EXPECT_TRUE(deck.NeedsTapeFile());

    // The next recording's file: the held one first, then the new one.
    const std::string path = folder / "tape.pta";
    deck.SetNewTapePath(path);
    EXPECT_EQ(deck.HeldRecordings(), 0);
    EXPECT_FALSE(std::filesystem::exists(held));
    save(2);
    tape::ReadResult read = tape::ReadTape(path);
    ASSERT_EQ(read.records.size(), 2u);
    EXPECT_TRUE(holdsTheData(read.records.front()) && holdsTheData(read.records.back()));
    EXPECT_FALSE(deck.UnsavedWork(TapeDeck::Leaving::List));

    // A recording's tape is never written to: held, and saved under a tape image's name only.
    const std::string wav = folder.Write("side.wav", "RIFF");
    deck.OpenTapeFile(wav);
    EXPECT_EQ(deck.LoadProblem().messageKey, "err.NoRecords.NotAudio");
    save(1);
    EXPECT_EQ(deck.SaveStart(), folder / "side.pta");
    EXPECT_EQ(deck.SaveTape(wav).messageKey, "err.SaveOverRecording.Message");
    EXPECT_EQ(deck.HeldRecordings(), 1);
    const std::string other = folder / "other.pta";
    ASSERT_FALSE(deck.SaveTape(other));
    EXPECT_EQ(deck.HeldRecordings(), 0);
    ASSERT_EQ(deck.Records().size(), 1u);
    EXPECT_TRUE(holdsTheData(deck.Records().front()));
    EXPECT_FALSE(deck.IsHeld(deck.Records().front()));
    EXPECT_EQ(testing_support::TempFolder::Read(wav).size(), 4u);

    // The user's No: the held recording goes, and no file was written.
    deck.NewTape();
    save(1);
    const std::string dropped = deck.Records().front().sourcePath;
    deck.DropUnsaved();
    EXPECT_TRUE(deck.Records().empty());
    EXPECT_FALSE(deck.UnsavedWork(TapeDeck::Leaving::List));
    EXPECT_FALSE(std::filesystem::exists(dropped));
    EXPECT_EQ(tape::ReadTape(other).records.size(), 1u);
}

}  // namespace
