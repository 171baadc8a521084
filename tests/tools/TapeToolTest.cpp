#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "TapeTool.h"
#include "media/tape/TapeBuilder.h"
#include "support/TempFolder.h"

namespace {

using testing_support::TempFolder;
using Bytes = std::vector<uint8_t>;

struct ToolRun {
    int status;
    std::string out, err;
};

ToolRun Tool(std::vector<std::string> args) {
    args.insert(args.begin(), "tevrin-tape");
    std::ostringstream out, err;
    const int status = tapetool::RunTapeTool(args, out, err);
    return {status, out.str(), err.str()};
}

std::vector<std::string> Words(const std::string& line) {
    std::istringstream in(line);
    std::vector<std::string> words;
    for (std::string w; in >> w;) words.push_back(w);
    return words;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string l; std::getline(in, l);) lines.push_back(l);
    return lines;
}

std::string Pattern(size_t size, int seed) {
    std::string bytes(size, '\0');
    for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>(i * seed + 3);
    return bytes;
}

TEST(TapeTool, AddInfoListExtractAndWaveWorkOnOneTape) {
    TempFolder folder;
    const std::string tape = folder / "new.pta";
    const std::string file = folder.Write("data.bin", Pattern(200, 29));
    ASSERT_EQ(Tool({"add", tape, file, "--number", "0A", "--type", "data", "--single"}).status, 0);
    ASSERT_EQ(Tool({"info", tape, "side A"}).status, 0);
    ASSERT_EQ(Tool({"add", tape, file, "--type", "0x1F"}).status, 0);

    const ToolRun list = Tool({"list", tape});
    EXPECT_EQ(list.status, 0);
    const auto lines = Lines(list.out);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(Words(lines[0]), (std::vector<std::string>{"1", "data", "0A", "04", "DATA", "2",
                                                         "blocks", "267", "bytes", "complete"}));
    EXPECT_EQ(Words(lines[1]), (std::vector<std::string>{"2", "info", "side", "A"}));
    EXPECT_EQ(Words(lines[2]), (std::vector<std::string>{"3", "data", "01", "1F", "CUSTOM", "2",
                                                         "blocks", "533", "bytes", "complete"}));

    ASSERT_EQ(Tool({"extract", tape, "3", folder / "out.bin"}).status, 0);
    std::string padded = Pattern(200, 29);
    padded.resize(256, '\0');
    const Bytes extracted = TempFolder::Read(folder / "out.bin");
    EXPECT_EQ(std::string(extracted.begin(), extracted.end()), padded);

    // The signal of record 1, read back: its two blocks exactly as stored.
    ASSERT_EQ(Tool({"wav", tape, folder / "out.wav", "--record", "1"}).status, 0);
    const Bytes wav = TempFolder::Read(folder / "out.wav");
    const ToolRun back = Tool({"from-wav", folder / "out.wav", folder / "back.pta"});
    EXPECT_EQ(back.status, 0) << back.err;
    EXPECT_EQ(Lines(back.out).size(), 1u);
    const Bytes stored = TempFolder::Read(tape);
    EXPECT_EQ(TempFolder::Read(folder / "back.pta"), Bytes(stored.begin(), stored.begin() + 271));
    // 44.1 kHz 16-bit mono: the header says so.
    EXPECT_EQ(wav[22], 1);
    EXPECT_EQ(wav[24] | wav[25] << 8, 44100);
    EXPECT_EQ(wav[34], 16);
}

// A recorder running 5 % fast: the records come back whole and the report measures the speed;
// a recording with no record on it writes nothing.
TEST(TapeTool, FromWavReadsWhatWavWroteAtAnotherSpeed) {
    TempFolder folder;
    const std::string tape = folder / "two.pta";
    ASSERT_EQ(Tool({"add", tape, folder.Write("a.bin", Pattern(300, 7)), "--number", "12"}).status,
              0);
    ASSERT_EQ(Tool({"info", tape, "between"}).status, 0);
    ASSERT_EQ(Tool({"add", tape, folder.Write("b.bin", Pattern(90, 5)), "--type", "basic"}).status,
              0);
    ASSERT_EQ(Tool({"wav", tape, folder / "fast.wav", "--speed", "1.05"}).status, 0);
    const ToolRun run = Tool({"from-wav", folder / "fast.wav", folder / "back.pta"});
    ASSERT_EQ(run.status, 0) << run.err;
    const auto lines = Lines(run.out);
    ASSERT_EQ(lines.size(), 2u);
    // Index, number, file type, blocks, blocks with no good copy, bit/s: 1200.5 * 1.05 = 1260.5.
    const auto first = Words(lines[0]);
    EXPECT_EQ(
        std::vector<std::string>(first.begin(), first.begin() + 9),
        (std::vector<std::string>{"1", "12", "08", "MONIT", "3", "blocks", "0", "with", "no"}));
    EXPECT_NE(lines[0].find("1260."), std::string::npos) << lines[0];
    EXPECT_NE(lines[1].find("(+5.0 %"), std::string::npos) << lines[1];
    EXPECT_EQ(Words(lines[1])[4], "1");
    // The same data records, without the info record between them.
    const Bytes original = TempFolder::Read(tape);
    const size_t firstSize = 5 + 1 + 133 * 6 - 1, infoSize = 5 + 7;
    Bytes expected(original.begin(), original.begin() + firstSize);
    expected.insert(expected.end(), original.begin() + firstSize + infoSize, original.end());
    EXPECT_EQ(TempFolder::Read(folder / "back.pta"), expected);

    const std::string silent = folder / "silent.wav";
    ASSERT_EQ(Tool({"wav", tape, silent}).status, 0);
    std::string quiet(44 + 44100 * 2, '\0');
    const Bytes header = TempFolder::Read(silent);
    std::copy(header.begin(), header.begin() + 40, quiet.begin());
    quiet[40] = static_cast<char>(0x88);  // data size 88200
    quiet[41] = static_cast<char>(0x58);
    quiet[42] = 0x01;
    folder.Write("silent.wav", quiet);
    const ToolRun none = Tool({"from-wav", silent, folder / "none.pta"});
    EXPECT_EQ(none.status, 1);
    EXPECT_EQ(none.out, "no record found\n");
    EXPECT_FALSE(std::filesystem::exists(folder / "none.pta"));
    const ToolRun notWav = Tool({"from-wav", tape, folder / "none.pta"});
    EXPECT_EQ(notWav.status, 2);
    EXPECT_NE(notWav.err.find("not a sound recording: "), std::string::npos) << notWav.err;
    EXPECT_EQ(Tool({"wav", tape, folder / "x.wav", "--speed", "3"}).status, 2);
    EXPECT_EQ(Tool({"wav", tape, folder / "x.wav", "--speed", "fast"}).status, 2);
    EXPECT_FALSE(std::filesystem::exists(folder / "x.wav"));
}

TEST(TapeTool, RefusalsWriteNothing) {
    TempFolder folder;
    ASSERT_EQ(Tool({"add", folder / "t.pta", folder.Write("a", "x")}).status, 0);
    const Bytes before = TempFolder::Read(folder / "t.pta");
    const std::string big = folder.Write("big.bin", std::string(126081, 'x'));
    const std::vector<std::vector<std::string>> refused = {
        {"add", folder / "t.pta", big},
        {"add", folder / "t.pta", folder / "missing.bin"},
        {"add", folder / "t.pta", folder / "a", "--number", "80"},
        {"add", folder / "t.pta", folder / "a", "--type", "basics"},
        {"add", folder / "t.pta", folder / "a", "--colour", "red"},
        {"extract", folder / "t.pta", "2", folder / "out.bin"},
        {"basic-export", folder / "t.pta", folder / "out.txt"},
        {"wav", folder / "t.pta", folder / "out.wav", "--record", "0"},
        {"wav", folder / "t.pta", folder / "out.wav", "--speed", "nan"},
        {"info", folder / "t.pta"},
        {"rewind", folder / "t.pta"},
        {"basic-import", folder / "missing.txt", folder / "out.pta"},
    };
    for (const auto& args : refused) {
        const ToolRun run = Tool(args);
        EXPECT_EQ(run.status, 2) << args[0] << " " << args.back();
        EXPECT_NE(run.err.find("tevrin-tape: "), std::string::npos) << run.err;
    }
    // A damaged tape is not extended: what could not be read would be lost.
    const std::string damaged = folder.Write("damaged.pta", std::string("\x10\x00\x00\x00\x00"
                                                                        "ab",
                                                                        7));
    EXPECT_EQ(Tool({"info", damaged, "x"}).status, 2);
    EXPECT_EQ(TempFolder::Read(damaged).size(), 7u);
    // A listing shows the records that could be read and fails all the same.
    const std::string trailing = folder.Write("trailing.pta", std::string("\x03\x00\x00\x00\x00"
                                                                          "ok\x01\x02",
                                                                          9));
    const ToolRun listed = Tool({"list", trailing});
    EXPECT_EQ(listed.status, 2);
    EXPECT_EQ(Words(listed.out), (std::vector<std::string>{"1", "info", "ok"}));
    EXPECT_NE(listed.err.find("ends inside a record"), std::string::npos) << listed.err;
    EXPECT_EQ(TempFolder::Read(folder / "t.pta"), before);
    for (const std::string& name : folder.Names()) {
        EXPECT_TRUE(name == "t.pta" || name == "a" || name == "big.bin" || name == "damaged.pta" ||
                    name == "trailing.pta")
            << name;
    }
    EXPECT_EQ(Tool({}).status, 2);
    const ToolRun help = Tool({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("basic-import"), std::string::npos);
}

// A block with no good copy is extracted in its place from its first copy, named on standard
// error, and the command fails; `list` tells such a record from one whose damage a second copy
// makes good.
TEST(TapeTool, ABlockWithNoGoodCopyIsNamedAndKeptInPlace) {
    using namespace tapebuild;
    TempFolder folder;
    const std::vector<uint8_t> first = Payload(1), middle = Payload(2), last = Payload(3);
    const std::string tape = folder.Write(
        "damaged.pta",
        Record(0xFF, Blocks({Block(2, 0x81, 4, first), Block(2, 0x81, 4, first),
                             Block(1, 0x01, 4, middle, true), Block(1, 0x01, 4, middle, true),
                             Block(0, 0x01, 4, last, true), Block(0, 0x01, 4, last)})) +
            Record(0xFF, Blocks({Block(0, 0x82, 4, first, true), Block(0, 0x82, 4, first)})));
    const ToolRun list = Tool({"list", tape});
    EXPECT_EQ(list.status, 0);
    const auto lines = Lines(list.out);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_NE(lines[0].find("no good copy of block 0001"), std::string::npos) << lines[0];
    EXPECT_NE(lines[1].find("damaged copies, all recoverable"), std::string::npos) << lines[1];

    const ToolRun extract = Tool({"extract", tape, "1", folder / "out.bin"});
    EXPECT_EQ(extract.status, 1);
    EXPECT_NE(extract.err.find("record 1 has no good copy of block 0001"), std::string::npos)
        << extract.err;
    std::vector<uint8_t> expected = first;
    expected.insert(expected.end(), middle.begin(), middle.end());
    expected[128 + 6] ^= 0x01;  // the spoilt byte of the block's first copy
    expected.insert(expected.end(), last.begin(), last.end());
    EXPECT_EQ(TempFolder::Read(folder / "out.bin"), expected);

    const ToolRun good = Tool({"extract", tape, "2", folder / "two.bin"});
    EXPECT_EQ(good.status, 0);
    EXPECT_TRUE(good.err.empty()) << good.err;
    EXPECT_EQ(TempFolder::Read(folder / "two.bin"), first);
}

TEST(TapeTool, BasicListingsGoThroughATapeAndBack) {
    TempFolder folder;
    const std::string listing = "10 PRINT \"HELLO\"\r\n20 GOTO 10\r\n";
    const std::string text = folder.Write("hello.txt", listing);
    const std::string tape = folder / "hello.pta";
    const ToolRun imported = Tool({"basic-import", text, tape});
    EXPECT_EQ(imported.status, 0) << imported.err;
    EXPECT_FALSE(std::filesystem::exists(text + ".log"));
    const auto lines = Lines(Tool({"list", tape}).out);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(Words(lines[0])[2], "01");
    EXPECT_EQ(Words(lines[0])[4], "BASIC");
    ASSERT_EQ(Tool({"basic-export", tape, folder / "back.txt"}).status, 0);
    const Bytes back = TempFolder::Read(folder / "back.txt");
    EXPECT_EQ(std::string(back.begin(), back.end()), listing);
    // The raw export keeps exactly the program: 5 framing bytes and the lines.
    ASSERT_EQ(Tool({"extract", tape, "1", folder / "raw.bin"}).status, 0);
    EXPECT_EQ(TempFolder::Read(folder / "raw.bin").size(), 5u + 13 + 8);

    // A doubtful listing: the log beside the text and on stderr, status 1, the tape written.
    const std::string doubtful = folder.Write("odd.txt", "20 AB\n10 PRINT 1\n");
    const ToolRun logged = Tool({"basic-import", doubtful, folder / "odd.pta"});
    EXPECT_EQ(logged.status, 1);
    const Bytes log = TempFolder::Read(doubtful + ".log");
    EXPECT_EQ(std::string(log.begin(), log.end()),
              "err.ImportBasic.ShortLine 20\r\nerr.ImportBasic.WrongLineOrder 10 20\r\n");
    EXPECT_EQ(logged.err, "err.ImportBasic.ShortLine 20\nerr.ImportBasic.WrongLineOrder 10 20\n");
    ASSERT_EQ(Tool({"basic-export", folder / "odd.pta", folder / "odd-back.txt"}).status, 0);
    const Bytes oddBack = TempFolder::Read(folder / "odd-back.txt");
    EXPECT_EQ(std::string(oddBack.begin(), oddBack.end()), "20 AB\r\n10 PRINT 1\r\n");
    for (const std::string& name : folder.Names()) {
        EXPECT_EQ(name.find("tmp"), std::string::npos) << name;
    }
}

}  // namespace
