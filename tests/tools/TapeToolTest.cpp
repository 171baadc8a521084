#include <gtest/gtest.h>

#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

#include "TapeTool.h"
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

// A cassette-input decoder written from the signal's description alone: the runs between sign
// changes are one or two half-periods long; each bit has a change in its middle (clock XOR
// data), so the half-periods pair up where they differ; bits go lowest first, and the stream
// starts after the first 0x3F 0xAA 0x55.
Bytes DecodeWave(const std::string& wav) {
    const size_t dataAt = wav.find("data");
    if (dataAt == std::string::npos) return {};
    std::vector<int> levels;  // one per half-period
    const double halfPeriod = 833.0 * 44100 / 2000000;
    int sign = 0;
    double run = 0;
    for (size_t i = dataAt + 8; i + 1 < wav.size(); i += 2) {
        const auto sample = static_cast<int16_t>(static_cast<uint8_t>(wav[i]) |
                                                 static_cast<uint8_t>(wav[i + 1]) << 8);
        const int s = sample > 1000 ? 1 : sample < -1000 ? -1 : 0;
        if (s == sign) {
            ++run;
            continue;
        }
        if (sign != 0) {
            const int count = run < 1.5 * halfPeriod ? 1 : 2;
            for (int k = 0; k < count; ++k) levels.push_back(sign > 0);
        }
        sign = s;
        run = 1;
    }
    for (int offset = 0; offset < 2; ++offset) {
        for (int polarity = 0; polarity < 2; ++polarity) {
            std::vector<int> bits;
            for (size_t i = offset; i + 1 < levels.size(); i += 2) {
                // The clock is 1 in the first half of a bit for one of the polarities.
                bits.push_back(levels[i] ^ polarity);
            }
            auto byteAt = [&bits](size_t at) {
                int value = 0;
                for (int b = 0; b < 8; ++b) value |= bits[at + b] << b;
                return value;
            };
            for (size_t at = 0; at + 24 <= bits.size(); ++at) {
                if (byteAt(at) != 0x3F || byteAt(at + 8) != 0xAA || byteAt(at + 16) != 0x55) {
                    continue;
                }
                Bytes bytes;
                for (size_t b = at + 24; b + 8 <= bits.size(); b += 8) {
                    bytes.push_back(static_cast<uint8_t>(byteAt(b)));
                }
                return bytes;
            }
        }
    }
    return {};
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

    // The signal of record 1: its two blocks as stored, the gap between, then the trailer.
    ASSERT_EQ(Tool({"wav", tape, folder / "out.wav", "--record", "1"}).status, 0);
    const Bytes wav = TempFolder::Read(folder / "out.wav");
    const Bytes stored = TempFolder::Read(tape);
    Bytes expected(stored.begin() + 5, stored.begin() + 5 + 133);
    for (uint8_t b : {0x3F, 0x3F, 0x3F, 0x3F, 0x3F, 0xAA, 0x55}) expected.push_back(b);
    expected.insert(expected.end(), stored.begin() + 5 + 133, stored.begin() + 5 + 266);
    const Bytes decoded = DecodeWave(std::string(wav.begin(), wav.end()));
    ASSERT_GE(decoded.size(), expected.size() + 6);
    EXPECT_EQ(Bytes(decoded.begin(), decoded.begin() + expected.size()), expected);
    for (size_t i = expected.size(); i < expected.size() + 6; ++i) EXPECT_EQ(decoded[i], 0x3F);
    // 44.1 kHz 16-bit mono: the header says so.
    EXPECT_EQ(wav[22], 1);
    EXPECT_EQ(wav[24] | wav[25] << 8, 44100);
    EXPECT_EQ(wav[34], 16);
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
    EXPECT_EQ(TempFolder::Read(folder / "t.pta"), before);
    for (const std::string& name : folder.Names()) {
        EXPECT_TRUE(name == "t.pta" || name == "a" || name == "big.bin" || name == "damaged.pta")
            << name;
    }
    EXPECT_EQ(Tool({}).status, 2);
    const ToolRun help = Tool({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("basic-import"), std::string::npos);
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
