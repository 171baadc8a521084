#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "DisasmTool.h"
#include "debugger/DisassemblyListing.h"
#include "debugger/TestMemory.h"
#include "support/TempFolder.h"

namespace {

struct ToolRun {
    int Status = -1;
    std::string Out;
    std::string Err;
};

ToolRun Disasm(std::vector<std::string> args) {
    args.insert(args.begin(), "tevrin-disasm");
    std::ostringstream out, err;
    ToolRun r;
    r.Status = debugger::RunDisasmTool(args, out, err);
    r.Out = out.str();
    r.Err = err.str();
    return r;
}

using testing_support::ReadFile;

}  // namespace

TEST(DisasmTool, WritesWhatTheWindowsWriterWritesForTheImageAtItsLoadAddress) {
    testing_support::TempFolder dir;
    const std::string image(
        "\x21\x05\xC1\xC3\x00\xC1"
        "AB\x00",
        9);
    dir.Write("prog.bin", image);
    dir.Write("prog.rng", "49408,49413,0,0,0\r\n49414,49416,0,2,0\r\n");
    TestMemory m;
    for (size_t i = 0; i < image.size(); ++i) m.Put(uint16_t(0xC100 + i), {uint8_t(image[i])});
    const std::vector<debugger::DisassRange> ranges = {{0xC100, 0xC105, 0, 0, false},
                                                       {0xC106, 0xC108, 0, 2, false}};
    struct Mode {
        std::vector<std::string> Options;
        debugger::DisassListingOptions Listing;
    };
    const Mode modes[] = {
        {{"--load", "#C100"}, {}},
        {{"--load", "0xC100", "--z80", "--decimal"},
         {.Flags = {.DecimalRadix = true, .Z80Notation = true}}},
        {{"--load", "49408", "--addresses", "--hex-dump"}, {.Labels = false, .HexDump = true}},
    };
    for (const Mode& mode : modes) {
        std::vector<std::string> args = {dir / "prog.bin", dir / "prog.rng", dir / "out.asm"};
        args.insert(args.end(), mode.Options.begin(), mode.Options.end());
        ToolRun r = Disasm(args);
        ASSERT_EQ(r.Status, 0) << r.Err;
        EXPECT_EQ(ReadFile(dir / "out.asm"),
                  debugger::WriteDisassemblyListing(m.memory, ranges, mode.Listing));
    }
    EXPECT_NE(ReadFile(dir / "out.asm").find("C100  21 C105"), std::string::npos);
}

TEST(DisasmTool, ExitStatusesTellBadRangeListsFromBadArguments) {
    testing_support::TempFolder dir;
    dir.Write("a.bin", std::string(16, '\0'));
    dir.Write("good.rng", "0,15,0,1,0\n");
    dir.Write("bad.rng", "0,3,0,1,0\n\n0,3,0,9,0\n");
    dir.Write("empty.rng", "\r\n");
    const std::string bin = dir / "a.bin";
    const std::string out = dir / "out.txt";

    ToolRun r = Disasm({bin, dir / "bad.rng", out});
    EXPECT_EQ(r.Status, 1);
    EXPECT_NE(r.Err.find("bad.rng:3:"), std::string::npos) << r.Err;
    EXPECT_EQ(Disasm({bin, dir / "empty.rng", out}).Status, 1);
    EXPECT_FALSE(std::filesystem::exists(out));

    EXPECT_EQ(Disasm({bin, dir / "good.rng"}).Status, 2);
    EXPECT_EQ(Disasm({bin, dir / "good.rng", out, "--hex-dump"}).Status, 2);
    EXPECT_EQ(Disasm({bin, dir / "good.rng", out, "--load", "10000H"}).Status, 2);
    EXPECT_EQ(Disasm({bin, dir / "good.rng", out, "--load"}).Status, 2);
    EXPECT_EQ(Disasm({bin, dir / "good.rng", out, "--bogus"}).Status, 2);
    EXPECT_EQ(Disasm({dir / "missing.bin", dir / "good.rng", out}).Status, 2);
    EXPECT_EQ(Disasm({bin, dir / "good.rng", bin}).Status, 2);         // would overwrite its input
    EXPECT_EQ(Disasm({bin, dir / "good.rng", dir.Path()}).Status, 2);  // a folder
    // A 16-byte image does not fit at FFF8.
    r = Disasm({bin, dir / "good.rng", out, "--load", "0FFF8H"});
    EXPECT_EQ(r.Status, 2);
    EXPECT_FALSE(std::filesystem::exists(out));
    EXPECT_EQ(ReadFile(bin), std::string(16, '\0'));

    r = Disasm({"--help"});
    EXPECT_EQ(r.Status, 0);
    EXPECT_NE(r.Out.find("usage: tevrin-disasm [OPTIONS] IMAGE RANGES OUT"), std::string::npos);
    EXPECT_EQ(Disasm({bin, dir / "good.rng", out}).Status, 0);
    EXPECT_EQ(ReadFile(out).substr(0, 19), "         ORG  0000H");
}
