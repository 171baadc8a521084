#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "media/tape/TapeBuilder.h"
#include "media/tape/TapeImage.h"
#include "support/TempFolder.h"

namespace {

using namespace tapebuild;
using testing_support::TempFolder;

struct Flags {
    bool badSize, crcError, incomplete;
    bool operator==(const Flags&) const = default;
};
Flags FlagsOf(const tagTapeRecord& r) {
    return {r.badSize, r.crcError, r.incomplete};
}

std::string Bytes(const std::vector<uint8_t>& v) {
    return std::string(v.begin(), v.end());
}

TEST(TapeImage, ChecksumOfZeroBlockAndShortFiles) {
    std::vector<uint8_t> zero(133, 0);
    uint8_t sum = 0;
    EXPECT_FALSE(tape::BlockChecksum(zero.data(), &sum));
    EXPECT_EQ(sum, 0xFF);
    zero[132] = 0xFF;
    EXPECT_TRUE(tape::BlockChecksum(zero.data()));
    TempFolder folder;
    for (int size = 0; size <= 5; ++size) {
        tape::ReadResult r = tape::ReadTape(folder.Write("short.pta", std::string(size, '\1')));
        EXPECT_TRUE(r.records.empty() && r.failed) << size;
    }
    EXPECT_TRUE(tape::ReadTape(folder / "missing.pta").failed);
}

// Every kind of record and damage the reader tells apart, in one tape.
TEST(TapeImage, ReaderListsEveryRecordWithItsDamage) {
    const auto p = Payload(4);
    const std::string spoiltFirst =
        Record(0xFF, Blocks({Block(0, 0x85, 4, p, true), Block(0, 0x85, 4, p)}));
    const std::string image =
        DataRecord(3, 2, 1, 2) +                                              // 0: 2 2 1 1 0 0
        DataRecord(3, 1, 2, 4) +                                              // 1: stored once
        Record(0xFF, Blocks({Block(2, 0x83, 8, p), Block(0, 0x03, 8, p)})) +  // 2: 2 0
        Record(0xFF, Blocks({Block(2, 0x83, 8, p), Block(1, 0x03, 8, p)})) +  // 3: ends early
        spoiltFirst +                                            // 4: a good second copy
        Record(0xFF, Blocks({Block(0, 0x86, 8, p)}) + "tail") +  // 5: bad size
        Record(0x41, "xyz") +                                    // 6: unknown type
        Record(0x00, "Zu\xCC\x88rich \xE2\x9C\x93") +            // 7: info
        Record(0xFF, Blocks({Block(1, 0x07, 8, p), Block(0, 0x07, 8, p)})) +  // 8: no bit 7
        Record(0x00, "ab");  // 9: a short info record at the very end
    TempFolder folder;
    const std::string path = folder.Write("mixed.pta", image);
    tape::ReadResult read = tape::ReadTape(path);
    EXPECT_FALSE(read.failed);
    std::vector<tagTapeRecord> r(read.records.begin(), read.records.end());
    ASSERT_EQ(r.size(), 10u);
    EXPECT_EQ(FlagsOf(r[0]), (Flags{false, false, false}));
    EXPECT_EQ(r[0].blockCount, 3);
    EXPECT_EQ(r[0].fileType, 2);
    EXPECT_EQ(FlagsOf(r[1]), (Flags{false, false, false}));
    EXPECT_EQ(r[1].blockCount, 3);
    EXPECT_EQ(r[1].number, 2);
    EXPECT_EQ(FlagsOf(r[2]), (Flags{false, false, true}));
    EXPECT_EQ(FlagsOf(r[3]), (Flags{false, false, true}));
    EXPECT_EQ(FlagsOf(r[4]), (Flags{false, true, false}));
    EXPECT_EQ(r[4].number, 5);
    EXPECT_EQ(FlagsOf(r[5]), (Flags{true, false, false}));
    EXPECT_EQ(r[6].infoText, "Unknown Record Type: 41");
    EXPECT_EQ(r[6].blockCount, 0);
    EXPECT_EQ(r[7].infoText, "Zu\xCC\x88rich \xE2\x9C\x93");
    EXPECT_TRUE(r[8].incomplete);
    EXPECT_EQ(r[9].infoText, "ab");
    int64_t offset = 0;
    for (const tagTapeRecord& record : r) {
        EXPECT_EQ(record.offset, offset);
        EXPECT_EQ(record.sourcePath, path);
        offset += 4 + record.length;
    }

    // The good copy is what extraction finds and what a rebuild keeps.
    tape::WorkBuffer work;
    ASSERT_EQ(tape::ExtractRawData(r[4], work), 128u);
    EXPECT_EQ(std::vector<uint8_t>(work.begin(), work.begin() + 128), p);
    ASSERT_EQ(tape::ExtractRawData(r[1], work), 384u);
    EXPECT_EQ(std::vector<uint8_t>(work.begin(), work.begin() + 128), Payload(2));
}

// A block none of whose copies passes keeps its place in the extracted bytes (its first copy
// stands in), so the blocks after it stay where they belong; the record names it.
TEST(TapeImage, ABlockWithNoGoodCopyIsNamedAndKeepsItsPlace) {
    const auto first = Payload(7), middle = Payload(8), last = Payload(9);
    std::vector<uint8_t> spoilt = middle;
    spoilt[6] ^= 0x01;  // Block() spoils byte 10 of the block, payload byte 6
    TempFolder folder;
    const std::string path = folder.Write(
        "lost.pta",
        Record(0xFF, Blocks({Block(2, 0x81, 8, first, true), Block(2, 0x81, 8, first),
                             Block(1, 0x01, 8, middle, true), Block(1, 0x01, 8, middle, true),
                             Block(0, 0x01, 8, last), Block(0, 0x01, 8, last)})) +
            Record(0xFF, Blocks({Block(0, 0x82, 8, first, true), Block(0, 0x82, 8, first)})));
    tape::ReadResult read = tape::ReadTape(path);
    ASSERT_EQ(read.records.size(), 2u);
    const tagTapeRecord& lost = read.records.front();
    EXPECT_TRUE(lost.crcError);
    EXPECT_FALSE(lost.incomplete);
    EXPECT_EQ(lost.blocksWithoutGoodCopy, std::vector<uint16_t>{1});
    EXPECT_EQ(tape::BlockNumbersText({2, 1}), "0002, 0001");
    EXPECT_TRUE(read.records.back().crcError);
    EXPECT_TRUE(read.records.back().blocksWithoutGoodCopy.empty()) << "its second copy is good";

    tape::WorkBuffer work;
    ASSERT_EQ(tape::ExtractRawData(lost, work), 3u * 128);
    EXPECT_EQ(std::vector<uint8_t>(work.begin(), work.begin() + 128), first);
    EXPECT_EQ(std::vector<uint8_t>(work.begin() + 128, work.begin() + 256), spoilt);
    EXPECT_EQ(std::vector<uint8_t>(work.begin() + 256, work.begin() + 384), last);
}

// A tape written over the file it came from: rebuilt records from their good copies, new
// texts in UTF-8, damaged and unknown records as they were.
TEST(TapeImage, WritingOverItselfRebuildsChangedRecordsAndKeepsTheRest) {
    const auto p = Payload(9);
    const std::string unknown = Record(0x41, "xyz");
    const std::string crooked = Record(0xFF, Blocks({Block(0, 0x86, 8, p)}) + "tail");
    const std::string image = Record(0xFF, Blocks({Block(1, 0x81, 8, p, true), Block(1, 0x81, 8, p),
                                                   Block(0, 0x01, 8, Payload(0))})) +
                              unknown + crooked + Record(0x00, "old");
    TempFolder folder;
    const std::string path = folder.Write("tape.pta", image);
    tape::ReadResult read = tape::ReadTape(path);
    ASSERT_EQ(read.records.size(), 4u);
    auto it = read.records.begin();
    it->number = 0x22;
    it->fileType = 0x04;
    it->modified = true;
    it->fixCrc = true;
    it->singleBlocks = true;
    std::next(it, 3)->infoText =
        "Gr\xC3\xBC\xC3\x9F"
        "e";
    std::next(it, 3)->modified = true;
    tape::WorkBuffer work;
    ASSERT_FALSE(tape::WriteTape(path, read.records, work));
    EXPECT_EQ(folder.Names(), std::vector<std::string>{"tape.pta"});

    const std::string expected =
        Record(0xFF, Blocks({Block(1, 0xA2, 4, p), Block(0, 0x22, 4, Payload(0))})) + unknown +
        crooked +
        Record(0x00,
               "Gr\xC3\xBC\xC3\x9F"
               "e");
    EXPECT_EQ(Bytes(TempFolder::Read(path)), expected);

    // Without fixCrc a damaged record keeps its checksums; doubled unless singleBlocks.
    read = tape::ReadTape(path);
    read.records.front().modified = true;
    read.records.front().crcError = true;
    read.records.front().number = 3;
    ASSERT_FALSE(tape::WriteTape(path, read.records, work));
    auto b1 = Block(1, 0x83, 4, p), b0 = Block(0, 0x03, 4, Payload(0));
    b1[132] = Block(1, 0xA2, 4, p)[132];
    b0[132] = Block(0, 0x22, 4, Payload(0))[132];
    EXPECT_EQ(Bytes(TempFolder::Read(path)).substr(0, 5 + 4 * 133),
              Record(0xFF, Blocks({b1, b1, b0, b0})));
}

// Lengths that point past the end of the file or beyond any record the program writes.
TEST(TapeImage, LengthsPastTheEndAreDamagedAndNeverReadBeyond) {
    std::string cut = DataRecord(2, 2);
    cut.resize(cut.size() - 140);           // the length field still counts the missing bytes
    std::string huge = DataRecord(986, 2);  // one doubled block more than an added file makes
    TempFolder folder;
    const std::string path = folder.Write("cut.pta", huge + cut);
    tape::ReadResult read = tape::ReadTape(path);
    EXPECT_TRUE(read.failed);
    ASSERT_EQ(read.records.size(), 2u);
    EXPECT_TRUE(read.records.front().incomplete);
    EXPECT_FALSE(read.records.front().crcError);
    EXPECT_TRUE(read.records.back().incomplete);
    tape::WorkBuffer work;
    EXPECT_EQ(tape::ReadPlayData(read.records.front(), work), 985 * 2 * 133);
    EXPECT_EQ(tape::ExtractRawData(read.records.front(), work), 986u * 128);
    EXPECT_EQ(tape::ReadPlayData(read.records.back(), work), static_cast<int64_t>(cut.size() - 5));

    // Written back, the cut record gets the length it has, so a record after it stays readable.
    read.records.push_back(read.records.back());
    const std::string out = folder / "out.pta";
    ASSERT_FALSE(tape::WriteTape(out, read.records, work));
    tape::ReadResult again = tape::ReadTape(out);
    EXPECT_FALSE(again.failed);
    ASSERT_EQ(again.records.size(), 3u);
    EXPECT_EQ(again.records.back().length, cut.size() - 4);
    EXPECT_EQ(Bytes(TempFolder::Read(out)).substr(0, huge.size()), huge);
}

TEST(TapeImage, PlainFilesBecomeRecordsUpToTheLimit) {
    TempFolder folder;
    std::string bytes(126080, '\0');
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i % 251);
    const std::string big = folder.Write("big.bin", bytes);
    const std::string tooBig = folder.Write("toobig.bin", bytes + "x");
    tagTapeRecord r;
    TapeMessage refused = tape::MakeFileRecord(tooBig, 1, 8, false, r);
    EXPECT_EQ(refused.messageKey, "err.AddFile.Message");
    EXPECT_EQ(refused.inserted, (std::vector<std::string>{tooBig, "126080"}));
    EXPECT_TRUE(refused.warning);
    EXPECT_EQ(tape::MakeFileRecord(folder / "none.bin", 1, 8, false, r).messageKey,
              "err.OpenTape.Message");

    // Doubled (the default), the largest file makes a record twice the work buffer: it must
    // read back whole and play whole.
    tagTapeRecord doubled;
    ASSERT_FALSE(tape::MakeFileRecord(big, 5, 8, false, doubled));
    const std::string doubledPath = folder / "doubled.pta";
    tape::WorkBuffer play;
    ASSERT_FALSE(tape::WriteTape(doubledPath, {doubled}, play));
    tape::ReadResult doubledRead = tape::ReadTape(doubledPath);
    ASSERT_EQ(doubledRead.records.size(), 1u);
    EXPECT_FALSE(doubledRead.failed);
    EXPECT_EQ(FlagsOf(doubledRead.records.front()), (Flags{false, false, false}));
    ASSERT_EQ(tape::ReadPlayData(doubledRead.records.front(), play), 985 * 2 * 133);
    EXPECT_EQ(std::string(play.begin() + 2 * 133 + 4, play.begin() + 2 * 133 + 4 + 128),
              bytes.substr(128, 128));
    ASSERT_EQ(tape::ExtractRawData(doubledRead.records.front(), play), 126080u);
    EXPECT_EQ(std::string(play.begin(), play.begin() + 126080), bytes);

    ASSERT_FALSE(tape::MakeFileRecord(big, 7, 8, true, r));
    EXPECT_EQ(r.blockCount, 985);
    const std::string basic = folder.Write("prog-tmp.tmp", std::string("\x03\x00\x0D"
                                                                       "ABC\x00\xFF",
                                                                       8));
    tagTapeRecord b;
    ASSERT_FALSE(tape::MakeFileRecord(basic, 1, 2, false, b));
    const std::string path = folder / "new.pta";
    tape::WorkBuffer work;
    ASSERT_FALSE(tape::WriteTape(path, {r, b}, work));
    EXPECT_FALSE(std::filesystem::exists(basic));  // the importer's temporary file is used up
    EXPECT_TRUE(std::filesystem::exists(big));
    tape::ReadResult read = tape::ReadTape(path);
    EXPECT_FALSE(read.failed);
    ASSERT_EQ(read.records.size(), 2u);
    const tagTapeRecord& first = read.records.front();
    EXPECT_EQ(first.length, 1u + 985 * 133);
    EXPECT_EQ(FlagsOf(first), (Flags{false, false, false}));
    EXPECT_EQ(first.number, 7);
    ASSERT_EQ(tape::ExtractRawData(first, work), 126080u);
    EXPECT_EQ(std::string(work.begin(), work.begin() + 126080), bytes);
    EXPECT_EQ(read.records.back().length, 1u + 2 * 133);

    // Raw export: BASIC only as long as its program length says.
    const std::string exported = folder / "prog.bas";
    ASSERT_FALSE(tape::ExportRawData(read.records.back(), exported, work));
    EXPECT_EQ(Bytes(TempFolder::Read(exported)), std::string("\x03\x00\x0D"
                                                             "ABC\x00\xFF",
                                                             8));
    ASSERT_FALSE(tape::ExportRawData(first, exported, work));
    EXPECT_EQ(TempFolder::Read(exported).size(), 126080u);

    // A target that cannot be written leaves nothing behind.
    TapeMessage failed = tape::WriteTape(folder / "no/such/folder.pta", read.records, work);
    EXPECT_EQ(failed.messageKey, "err.CreateFile.Message");
}

}  // namespace
