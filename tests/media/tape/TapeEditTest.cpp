#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "media/tape/TapeBuilder.h"
#include "media/tape/TapeDeck.h"
#include "media/tape/TapeEdit.h"
#include "media/tape/TapeImage.h"
#include "support/TapeRomMachine.h"
#include "support/TempFolder.h"

namespace {

using namespace tapebuild;
using testing_support::TempFolder;

std::vector<std::string> Texts(const TapeRecordList& records) {
    std::vector<std::string> texts;
    for (const tagTapeRecord& r : records) texts.push_back(r.infoText);
    return texts;
}

TapeRecordList InfoList(std::initializer_list<const char*> texts) {
    TapeRecordList list;
    for (const char* t : texts) list.push_back(tape::MakeInfoRecord(t));
    return list;
}

std::string Pattern(size_t size) {
    std::string bytes(size, '\0');
    for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>(i * 13 + 7);
    return bytes;
}

TEST(TapeEdit, OnlyAContiguousBlockMovesAndAnySelectionDeletes) {
    EXPECT_FALSE(tape::IsContiguous({}));
    EXPECT_FALSE(tape::CanMoveUp({0, 1}));
    EXPECT_TRUE(tape::CanMoveDown({0, 1}, 3));
    EXPECT_FALSE(tape::CanMoveDown({1, 2}, 3));
    EXPECT_FALSE(tape::CanMoveUp({1, 3}));
    EXPECT_FALSE(tape::CanMoveDown({1, 3}, 5));

    TapeRecordList list = InfoList({"a", "b", "c", "d"});
    EXPECT_EQ(tape::MoveRecords(list, {1, 2}, false), (std::vector<int>{0, 1}));
    EXPECT_EQ(Texts(list), (std::vector<std::string>{"b", "c", "a", "d"}));
    EXPECT_EQ(tape::MoveRecords(list, {2, 3}, true), std::vector<int>{});
    EXPECT_EQ(tape::MoveRecords(list, {0, 2}, true), std::vector<int>{});
    EXPECT_EQ(tape::MoveRecords(list, {0, 1}, true), (std::vector<int>{1, 2}));
    EXPECT_EQ(Texts(list), (std::vector<std::string>{"a", "b", "c", "d"}));
    tape::DeleteRecords(list, {0, 2});
    EXPECT_EQ(Texts(list), (std::vector<std::string>{"b", "d"}));
}

TEST(TapeEdit, TypeBoxItemsAndTheirFieldTexts) {
    EXPECT_EQ(tape::TypeItemOf(0x02), 0);
    EXPECT_EQ(tape::TypeItemOf(0x08), 2);
    EXPECT_EQ(tape::TypeItemOf(0x1F), 3);
    EXPECT_EQ(tape::TypeFieldOf(1), "04");
    EXPECT_EQ(tape::TypeFieldOf(3), "01");

    tagTapeRecord good;
    good.recordType = tape::kTypeData;
    good.number = 1;
    good.fileType = 8;
    // Repair is offered only for checksum errors: checked but disabled changes nothing.
    tape::RecordHeader same = tape::HeaderOf(good);
    EXPECT_FALSE(same.fixCrcEnabled);
    same.fixCrc = true;
    EXPECT_FALSE(tape::ApplyHeader(good, same));
    EXPECT_FALSE(good.fixCrc);

    tagTapeRecord damaged = good;
    damaged.crcError = true;
    tape::RecordHeader repair = tape::HeaderOf(damaged);
    EXPECT_TRUE(repair.fixCrcEnabled);
    repair.fixCrc = true;
    EXPECT_TRUE(tape::ApplyHeader(damaged, repair));
    EXPECT_TRUE(damaged.fixCrc && damaged.modified);
}

// Moves, a delete, an added file, info records and a header change with checksum repair,
// saved and read back; the added file then loads into the machine.
TEST(TapeEdit, AnEditedTapeReadsBackAsEditedAndItsNewRecordLoads) {
    TempFolder folder;
    const auto p5 = Payload(5);
    const std::string original = folder.Write(
        "original.pta",
        DataRecord(2, 2, 1, 8) + Record(0x00, "hello") +
            Record(0xFF, Blocks({Block(0, 0x83, 8, p5, true), Block(0, 0x83, 8, p5)})));
    const std::string file = folder.Write("program.bin", Pattern(300));

    TapeDeck deck;
    deck.OpenTapeFile(original);
    deck.EnterEditMode();
    ASSERT_EQ(deck.Records().size(), 3u);
    EXPECT_TRUE(deck.Records().back().crcError);
    EXPECT_EQ(deck.MoveRecords({2}, false), std::vector<int>{1});
    deck.DeleteRecords({0});
    EXPECT_FALSE(deck.AddFile(file, {0x05, 0x04, false, false, true}));
    deck.AddInfo("new info");
    EXPECT_TRUE(deck.EditRecord(0, {0x0A, 0x02, true, true, false}));
    EXPECT_TRUE(deck.EditInfo(1, "changed"));
    EXPECT_TRUE(deck.Changed());
    const std::string edited = folder / "edited.pta";
    ASSERT_FALSE(deck.SaveTape(edited));
    EXPECT_FALSE(deck.Changed());
    EXPECT_EQ(deck.TapePath(), edited);

    // Lengths: a block of 133 twice, "changed", three blocks once, "new info".
    EXPECT_EQ(std::filesystem::file_size(edited),
              (4 + 1 + 266) + (5 + 7) + (4 + 1 + 399) + (5 + 8));
    tape::ReadResult read = tape::ReadTape(edited);
    EXPECT_FALSE(read.failed);
    ASSERT_EQ(read.records.size(), 4u);
    auto it = read.records.begin();
    const tagTapeRecord& repaired = *it++;
    EXPECT_EQ(repaired.number, 0x0A);
    EXPECT_EQ(repaired.fileType, 0x02);
    EXPECT_EQ(repaired.length, 1u + 2 * 133);
    EXPECT_FALSE(repaired.crcError || repaired.incomplete || repaired.badSize);
    tape::WorkBuffer work;
    ASSERT_EQ(tape::ExtractRawData(repaired, work), 128u);
    EXPECT_TRUE(std::equal(p5.begin(), p5.end(), work.begin()));
    EXPECT_EQ(it++->infoText, "changed");
    const tagTapeRecord& added = *it++;
    EXPECT_EQ(added.number, 0x05);
    EXPECT_EQ(added.fileType, 0x04);
    EXPECT_EQ(added.blockCount, 3);
    EXPECT_EQ(added.length, 1u + 3 * 133);
    EXPECT_FALSE(added.crcError || added.incomplete || added.badSize);
    EXPECT_EQ(it->infoText, "new info");

    // Saved, so nothing has changed: leaving shows the tape just saved, not the one edit mode
    // started from.
    EXPECT_FALSE(deck.LeaveEditMode(nullptr));
    EXPECT_EQ(deck.TapePath(), edited);
    EXPECT_EQ(deck.Records().size(), 4u);
    EXPECT_EQ(deck.Records().back().infoText, "new info");

    testing_support::TapeRomMachine machine;
    TapeDeck player;
    player.AttachTape(&machine.tape);
    player.OpenTapeFile(edited);
    player.SetFast(true);
    player.MakeCurrent(2);
    ASSERT_TRUE(machine.RunForMs(1500));
    ASSERT_TRUE(machine.Type("load 2000\r"));
    EXPECT_FALSE(player.Play());
    ASSERT_TRUE(machine.RunUntilShown("LOADED 2000-217F", 15000)) << machine.LastLines(4);
    std::string expected = Pattern(300);
    expected.resize(384, '\0');
    for (size_t i = 0; i < expected.size(); ++i) {
        ASSERT_EQ(machine.memory.Peek(static_cast<uint16_t>(0x2000 + i)),
                  static_cast<uint8_t>(expected[i]))
            << i;
    }
}

TEST(TapeEdit, ChangesAreDroppedSavedAsSelectionOrOverTheirOwnTape) {
    TempFolder folder;
    const std::string path =
        folder.Write("tape.pta", DataRecord(1, 2, 1) + Record(0x00, "info") + DataRecord(1, 2, 2));
    const std::vector<uint8_t> before = TempFolder::Read(path);
    TapeDeck deck;
    deck.OpenTapeFile(path);

    // Only a move, then No: the tape comes back from the disk as it was.
    deck.EnterEditMode();
    deck.MoveRecords({2}, false);
    EXPECT_TRUE(deck.Changed());
    EXPECT_FALSE(deck.LeaveEditMode(nullptr));
    EXPECT_FALSE(deck.EditMode());
    EXPECT_EQ(deck.Records().size(), 3u);
    EXPECT_EQ(std::next(deck.Records().begin())->infoText, "info");
    EXPECT_EQ(TempFolder::Read(path), before);

    deck.EnterEditMode();
    // A tape that yields no record is refused and the list stays.
    const std::string junk = folder.Write("junk.pta", "abc");
    const TapeMessage refused = deck.AppendTape(junk);
    EXPECT_EQ(refused.messageKey, "err.OpenTape.Message");
    EXPECT_EQ(refused.inserted, std::vector<std::string>{"junk.pta"});
    EXPECT_FALSE(deck.Changed());
    // A file above the limit is refused with it.
    const std::string big = folder.Write("big.bin", std::string(126081, 'x'));
    const TapeMessage tooBig = deck.AddFile(big, {});
    EXPECT_EQ(tooBig.messageKey, "err.AddFile.Message");
    EXPECT_EQ(tooBig.inserted, (std::vector<std::string>{big, "126080"}));

    deck.AddInfo("fresh");
    const std::string importer = folder.Write("basic.txt-123-tmp.tmp", Pattern(20));
    ASSERT_FALSE(deck.AddFile(importer, {0x01, 0x02, false, false, false}));
    const std::string selection = folder / "selection.pta";
    ASSERT_FALSE(deck.SaveSelection({0, 3, 4}, selection));
    tape::ReadResult read = tape::ReadTape(selection);
    ASSERT_EQ(read.records.size(), 3u);
    EXPECT_EQ(std::next(read.records.begin())->infoText, "fresh");
    EXPECT_EQ(read.records.back().fileType, 0x02);
    // The browser's list still needs the importer's file, and its own tape is untouched.
    EXPECT_TRUE(std::filesystem::exists(importer));
    EXPECT_EQ(deck.Records().size(), 5u);
    EXPECT_EQ(deck.TapePath(), path);
    const std::string raw = folder / "raw.bin";
    ASSERT_FALSE(deck.SaveRaw(4, raw));
    EXPECT_EQ(TempFolder::Read(raw), TempFolder::Read(importer));

    // Yes on leaving, over the tape's own file: written whole, the importer's file gone.
    ASSERT_FALSE(deck.LeaveEditMode(&path));
    EXPECT_FALSE(std::filesystem::exists(importer));
    EXPECT_EQ(tape::ReadTape(path).records.size(), 5u);
    EXPECT_EQ(deck.Records().size(), 5u);
}

}  // namespace
