#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "app/HeadlessRunner.h"
#include "app/ProgramOptions.h"
#include "support/MachineFixture.h"

namespace {

class Headless : public MachineFixture {
  protected:
    // Writes the configuration to a file and runs the headless runner on it.
    int RunHeadless(std::vector<std::string> options, std::string* out = nullptr,
                    std::string* err = nullptr) {
        std::string config = folder.Write("TevrinEmu.xml", document.ToText());
        std::vector<std::string> args = {"tevrinemu", "--config", config, "--headless"};
        args.insert(args.end(), options.begin(), options.end());
        headless::ProgramLine line;
        std::ostringstream o, e;
        const std::optional<int> ended = headless::ReadProgramLine(args, line, o, e);
        const int status =
            ended ? *ended : headless::Run(line.config, line.options, o, e, SilentAudio());
        if (out) *out = o.str();
        if (err) *err = e.str();
        return status;
    }
};

TEST_F(Headless, WritesTheScreenshotTheVideoPlanesAndMemory) {
    TestRom rom;
    rom.MapRam().Fill(0xA000, 2048, 0xFF).Fill(0x2000, 4, 0x5A).HaltLoop();
    LoadConfiguration(rom);
    std::string out;
    ASSERT_EQ(RunHeadless({"--run-ms", "100", "--speed", "max", "--screenshot", folder / "shot.bmp",
                           "--dump-vram", folder / "planes.raw", "--dump-mem",
                           "0x1FFF:6:" + (folder / "mem.bin"), "--dump-mem",
                           "4096:2:" + (folder / "rom.bin"), "--stats"},
                          &out),
              headless::kExitOk);
    std::string bmp = testing_support::ReadFile(folder / "shot.bmp");
    ASSERT_EQ(bmp.size(), 14u + 40u + 64u + 256u * 256u);
    // Bottom-up rows: the picture's top row (green, palette index 4) is the file's last row.
    EXPECT_EQ(static_cast<uint8_t>(bmp[bmp.size() - 1]), 4);
    EXPECT_EQ(static_cast<uint8_t>(bmp[14 + 40 + 64]), 0);
    std::string planes = testing_support::ReadFile(folder / "planes.raw");
    ASSERT_EQ(planes.size(), 24576u);
    EXPECT_EQ(static_cast<uint8_t>(planes[0x2000]), 0xFF) << "green plane, row 0";
    EXPECT_EQ(static_cast<uint8_t>(planes[0]), 0x00);
    EXPECT_EQ(testing_support::ReadFile(folder / "mem.bin"),
              std::string("\0\x5A\x5A\x5A\x5A\0", 6));
    EXPECT_EQ(testing_support::ReadFile(folder / "rom.bin").size(), 2u);
    EXPECT_NE(out.find("ticks=200000 instructions="), std::string::npos) << out;
    EXPECT_NE(out.find(" emulated_mhz="), std::string::npos);
    EXPECT_NE(out.find("host_usage="), std::string::npos);
}

// Only what happened and the exit status: the window's question (reset? open the debugger?)
// has nobody to answer it here.
TEST_F(Headless, AFaultEndsTheRunWithWhatHappenedAndNoQuestion) {
    TestRom rom;
    rom.Code({0xDB, 0x12});  // IN 12h: no device
    LoadConfiguration(rom);
    std::string err;
    EXPECT_EQ(RunHeadless({"--run-ms", "50", "--speed", "max"}, nullptr, &err),
              headless::kExitFault);
    EXPECT_EQ(err,
              "tevrinemu: The program read port #12, which no device answers. (exit status 2)\n");
}

// MVI A,12h; MVI B,34h; then INR A; JMP back for ever.
TestRom CountingRom() {
    TestRom rom;
    rom.Code({0x3E, 0x12, 0x06, 0x34, 0x3C, 0xC3, 0x04, 0x00});
    return rom;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

int64_t TicksOf(const std::string& line) {
    return std::stoll(line.substr(line.find(" T=") + 3));
}

TEST_F(Headless, TraceListsEachInstructionWithTheRegistersBeforeIt) {
    LoadConfiguration(CountingRom());
    ASSERT_EQ(RunHeadless({"--run-ms", "10", "--speed", "max", "--trace", folder / "trace.txt",
                           "--trace-limit", "6"}),
              headless::kExitOk);
    const std::vector<std::string> lines = Lines(testing_support::ReadFile(folder / "trace.txt"));
    ASSERT_EQ(lines.size(), 6u);
    EXPECT_EQ(lines[0].substr(0, 34), "0000 3E12     MVI  A,#12          ");
    EXPECT_EQ(lines[1].substr(0, 34), "0002 0634     MVI  B,#34          ");
    EXPECT_EQ(lines[2].substr(0, 40), "0004 3C       INR  A               A=12 ");
    EXPECT_NE(lines[2].find(" BC=34"), std::string::npos) << lines[2];
    EXPECT_EQ(lines[3].substr(0, 40), "0005 C30400   JMP  #0004           A=13 ");
    EXPECT_EQ(lines[5].substr(0, 22), "0005 C30400   JMP  #00");
    EXPECT_NE(lines[5].find("A=14 "), std::string::npos);
    // MVI takes 7 ticks; the machine adds one to an instruction that starts on an odd tick.
    EXPECT_EQ(TicksOf(lines[1]) - TicksOf(lines[0]), 7);
    EXPECT_EQ(TicksOf(lines[2]) - TicksOf(lines[1]), 8);
    EXPECT_EQ(TicksOf(lines[3]) - TicksOf(lines[2]), 6);

    ASSERT_EQ(RunHeadless({"--run-ms", "10", "--speed", "max", "--trace", folder / "later.txt",
                           "--trace-from-ms", "3", "--trace-limit", "2"}),
              headless::kExitOk);
    const std::vector<std::string> later = Lines(testing_support::ReadFile(folder / "later.txt"));
    ASSERT_EQ(later.size(), 2u);
    EXPECT_GE(TicksOf(later[0]), 6000);
    EXPECT_LT(TicksOf(later[0]), 6020);
}

TEST_F(Headless, BreakStopsBeforeTheAddressAndReportsTheMoment) {
    LoadConfiguration(CountingRom());
    std::string out;
    // No --run-ms: without the break the run would not end.
    ASSERT_EQ(RunHeadless({"--speed", "max", "--break", "0x9999", "--break", "4", "--dump-mem",
                           "0:2:" + (folder / "mem.bin")},
                          &out),
              headless::kExitOk);
    const std::vector<std::string> lines = Lines(out);
    ASSERT_EQ(lines.size(), 2u) << out;
    EXPECT_EQ(lines[0], "break 0004");
    EXPECT_EQ(lines[1].substr(0, 5), "A=12 ") << lines[1];
    EXPECT_NE(lines[1].find(" BC=34"), std::string::npos) << lines[1];
    EXPECT_EQ(testing_support::ReadFile(folder / "mem.bin"), "\x3E\x12");

    std::string err;
    EXPECT_EQ(RunHeadless({"--break", "0x10000"}, nullptr, &err), headless::kExitUsage);
    EXPECT_NE(err.find("--break: needs an address"), std::string::npos) << err;
    EXPECT_EQ(RunHeadless({"--trace-limit", "0"}, nullptr, &err), headless::kExitUsage);
}

// --step-back N prints the line a trace of the same run shows N entries before the break, over
// many periods; the run without the trace (whole periods at a time) goes back to the same one.
TEST_F(Headless, StepBackPrintsTheTraceLineNEntriesBeforeTheBreak) {
    TestRom rom;
    // LXI B,3000; loop: INR A; XRA C; DCX B; MOV D,A; MOV A,B; ORA C; MOV A,D; JNZ loop; NOP.
    rom.Code({0x01, 0xB8, 0x0B, 0x3C, 0xA9, 0x0B, 0x57, 0x78, 0xB1, 0x7A, 0xC2, 0x03, 0x00, 0x00})
        .HaltLoop();
    LoadConfiguration(rom);
    constexpr int kBack = 5000;
    std::string traced, plain;
    ASSERT_EQ(RunHeadless({"--speed", "max", "--break", "0x000D", "--step-back",
                           std::to_string(kBack), "--trace", folder / "trace.txt", "--trace-limit",
                           "100000", "--dump-mem", "0:1:" + (folder / "m.bin")},
                          &traced),
              headless::kExitOk);
    const std::vector<std::string> trace = Lines(testing_support::ReadFile(folder / "trace.txt"));
    ASSERT_GT(trace.size(), 20000u);
    const std::vector<std::string> lines = Lines(traced);
    ASSERT_EQ(lines.size(), 3u) << traced;
    EXPECT_EQ(lines[0], "break 000D");
    EXPECT_EQ(lines[2], trace[trace.size() - kBack]);
    EXPECT_GT(TicksOf(trace.back()) - TicksOf(lines[2]), 8000) << "within one period";

    ASSERT_EQ(RunHeadless({"--speed", "max", "--break", "13", "--step-back", std::to_string(kBack)},
                          &plain),
              headless::kExitOk);
    EXPECT_EQ(Lines(plain), lines);

    std::string err;
    EXPECT_EQ(RunHeadless({"--step-back", "3"}, nullptr, &err), headless::kExitUsage);
    EXPECT_NE(err.find("--step-back needs --break"), std::string::npos);
    // Further back than the run went: said plainly, and the status tells.
    EXPECT_EQ(
        RunHeadless({"--speed", "max", "--break", "13", "--step-back", "1000000"}, nullptr, &err),
        headless::kExitConfig);
    EXPECT_NE(err.find("cannot step back 1000000"), std::string::npos) << err;
}

// A file loaded with a run address is part of the history: one instruction back from a break in
// the loaded program is its first instruction, with the loaded bytes in memory, not the ROM's
// moment before the load.
TEST_F(Headless, StepBackIntoALoadedProgramFindsItLoaded) {
    TestRom rom;
    rom.MapRam();
    const uint16_t loop = rom.Here();
    rom.Code({0x3C}).Jump(loop);  // INR A for ever
    LoadConfiguration(rom);
    // LXI H,1234; SHLD 2000; HLT
    const std::string bytes("\x21\x34\x12\x22\x00\x20\x76", 7);
    const std::string program = folder.Write("prog.bin", bytes);
    std::string out, err;
    ASSERT_EQ(RunHeadless({"--speed", "max", "--load-at", "20", "--load-mem",
                           program + ":0x3000:0x3000", "--break", "0x3003", "--step-back", "1",
                           "--dump-mem", "0x3000:7:" + (folder / "loaded.bin")},
                          &out, &err),
              headless::kExitOk)
        << err;
    const std::vector<std::string> lines = Lines(out);
    ASSERT_EQ(lines.size(), 3u) << out << err;
    EXPECT_EQ(lines[0], "break 3003");
    EXPECT_EQ(lines[2].substr(0, 26), "3000 213412   LXI  H,#1234") << lines[2];
    EXPECT_EQ(testing_support::ReadFile(folder / "loaded.bin"), bytes);
}

// --rewind-ms goes back before the dumps: the counter a program keeps in memory reads as it did
// that much earlier.
TEST_F(Headless, RewindMsWritesTheDumpsOfTheEarlierMoment) {
    TestRom rom;
    rom.MapRam();
    // loop: LHLD 2000; INX H; SHLD 2000; JMP loop.
    const uint16_t loop = rom.Here();
    rom.Code({0x2A, 0x00, 0x20, 0x23, 0x22, 0x00, 0x20}).Jump(loop);
    LoadConfiguration(rom);
    auto counterAfter = [&](std::vector<std::string> extra) {
        std::vector<std::string> options = {"--speed", "max", "--dump-mem",
                                            "0x2000:2:" + (folder / "c.bin")};
        options.insert(options.end(), extra.begin(), extra.end());
        EXPECT_EQ(RunHeadless(options), headless::kExitOk);
        const std::string bytes = testing_support::ReadFile(folder / "c.bin");
        return static_cast<uint8_t>(bytes[0]) | static_cast<uint8_t>(bytes[1]) << 8;
    };
    const int at300 = counterAfter({"--run-ms", "300"});
    EXPECT_EQ(counterAfter({"--run-ms", "500", "--rewind-ms", "200"}), at300);
    EXPECT_NE(counterAfter({"--run-ms", "500"}), at300);
}

TEST_F(Headless, AnUnreadableRomIsReportedByNameAndAShortOneWarnedAbout) {
    TestRom rom;
    LoadConfiguration(rom);
    const std::string missing = folder / "no-such.rom";
    settings->SetPath(config::keys::kRomFile, missing);
    std::string err;
    EXPECT_EQ(RunHeadless({"--run-ms", "50", "--speed", "max"}, nullptr, &err),
              headless::kExitConfig);
    EXPECT_NE(err.find(missing), std::string::npos) << err;
    EXPECT_NE(err.find("No such file"), std::string::npos) << err;
    EXPECT_EQ(err.find("port"), std::string::npos) << "no lock message: the machine never ran";

    // Execution starts at file offset 3000h: a file that ends with a HLT there still runs.
    settings->SetPath(config::keys::kRomFile,
                      folder.Write("short.rom", std::string(0x3000, '\xFF') + "\x76"));
    EXPECT_EQ(RunHeadless({"--run-ms", "50", "--speed", "max"}, nullptr, &err), headless::kExitOk);
    EXPECT_NE(err.find("only 12289 bytes"), std::string::npos) << err;
}

TEST_F(Headless, LoadsFilesIntoMemoryAndStartsTheLastOneAskedToRun) {
    TestRom rom;
    rom.MapRam().HaltLoop();
    LoadConfiguration(rom);
    // MVI A,5Ah; STA 2000h; HLT
    const std::string program =
        folder.Write("prog:1.bin", std::string("\x3E\x5A\x32\x00\x20\x76", 6));
    const std::string data = folder.Write("data.bin", "DATA");
    // Two files to load, the program started; then what reached memory.
    std::vector<std::string> args = {"--run-ms", "100", "--speed", "max", "--load-at", "50"};
    for (const std::string& load :
         {data + ":0x4000", program + ":0x3000:0x3000", data + ":0xFFFE"}) {
        args.insert(args.end(), {"--load-mem", load});
    }
    for (const std::string& dump :
         {"0x2000:1:" + (folder / "result.bin"), "0x4000:4:" + (folder / "data-back.bin"),
          "0xFFFE:2:" + (folder / "end.bin")}) {
        args.insert(args.end(), {"--dump-mem", dump});
    }
    args.insert(args.end(), {"--screenshot", folder / "shot.png"});
    std::string loadErr;
    ASSERT_EQ(RunHeadless(args, nullptr, &loadErr), headless::kExitOk) << loadErr;
    EXPECT_EQ(testing_support::ReadFile(folder / "result.bin"), "\x5A") << "the program ran";
    EXPECT_EQ(testing_support::ReadFile(folder / "data-back.bin"), "DATA");
    EXPECT_EQ(testing_support::ReadFile(folder / "end.bin"), "DA") << "cut at the address end";
    EXPECT_EQ(testing_support::ReadFile(folder / "shot.png").substr(0, 4), "\x89PNG");

    EXPECT_EQ(RunHeadless({"--run-ms", "20", "--speed", "max", "--load-mem", data + ":0x4000"},
                          nullptr, &loadErr),
              headless::kExitOk);
    EXPECT_NE(loadErr.find("loaded nothing"), std::string::npos) << loadErr;

    std::string err;
    EXPECT_EQ(
        RunHeadless({"--run-ms", "10", "--load-mem", (folder / "none.bin") + ":0"}, nullptr, &err),
        headless::kExitConfig);
    EXPECT_NE(err.find("none.bin"), std::string::npos) << err;

    headless::MemoryLoad load;
    EXPECT_TRUE(headless::ParseMemoryLoad("a:b:16", load));
    EXPECT_EQ(load.path, "a:b");
    EXPECT_EQ(load.address, 16);
    EXPECT_FALSE(load.run);
    EXPECT_FALSE(headless::ParseMemoryLoad("file:0x10000", load));
    EXPECT_FALSE(headless::ParseMemoryLoad(":16", load));
    EXPECT_FALSE(headless::ParseMemoryLoad("file", load));
}

TEST_F(Headless, RefusesAnUnusableConfigurationAndBadOptions) {
    TestRom rom;
    LoadConfiguration(rom);
    std::string config = folder.Write("broken.xml", "<TevrinEmu version=\"0.0.0.1\"/>");
    std::ostringstream out, err;
    EXPECT_EQ(headless::Run(config::GivenConfigPlace(config), {}, out, err, SilentAudio()),
              headless::kExitConfig);
    EXPECT_NE(err.str().find("version"), std::string::npos) << err.str();

    const auto refused = [](std::vector<std::string> args) {
        args.insert(args.begin(), {"tevrinemu", "--headless"});
        headless::ProgramLine line;
        std::ostringstream o, e;
        return headless::ReadProgramLine(args, line, o, e) == headless::kExitUsage &&
               e.str().rfind("tevrinemu: ", 0) == 0;
    };
    EXPECT_TRUE(refused({"--speed", "0.1"}));
    EXPECT_TRUE(refused({"--dump-mem", "0x10000:1:x"}));
    EXPECT_TRUE(refused({"--dump-mem", "0:0:x"}));
    EXPECT_TRUE(refused({"--run-ms"}));
    EXPECT_TRUE(refused({"--frobnicate"}));
    EXPECT_TRUE(refused({"--type-at", "100"}));
    EXPECT_TRUE(refused({"game.pta"}));  // a file to open is the window's
    // Every address notation, in each option that takes an address; a path may hold colons.
    headless::ProgramLine line;
    EXPECT_EQ(headless::ReadProgramLine(
                  {"tevrinemu", "--headless", "--speed", "2.5", "--type", "HELP\n", "--type-after",
                   "0x10", "--dump-mem", "0xF000:16:/tmp/x", "--break", "#C000", "--break", "49153",
                   "--load-mem", "/tmp/a:b:1FFH:#0100", "--dump-mem", "0100:0x10:y"},
                  line, out, err),
              std::nullopt)
        << err.str();
    EXPECT_EQ(line.mode, headless::Mode::Headless);
    const headless::Options& options = line.options;
    EXPECT_EQ(options.speed, 2.5);
    EXPECT_EQ(options.typeAfterMs, 16);
    ASSERT_EQ(options.memoryDumps.size(), 2u);
    EXPECT_EQ(options.memoryDumps[0].address, 0xF000);
    EXPECT_EQ(options.memoryDumps[1].address, 100);
    EXPECT_EQ(options.memoryDumps[1].length, 16);
    EXPECT_EQ(options.breaks, (std::vector<uint16_t>{0xC000, 0xC001}));
    ASSERT_EQ(options.memoryLoads.size(), 1u);
    EXPECT_EQ(options.memoryLoads[0].path, "/tmp/a:b");
    EXPECT_EQ(options.memoryLoads[0].address, 0x1FF);
    EXPECT_EQ(options.memoryLoads[0].runAddress, 0x100);
}

// Text typed while the monitor is still busy with the line before: the second --type-at is due
// while the first is still being typed, and both commands arrive whole, one after the other, as
// one person types them (the monitor queues what it reads while it prints the dump).
TEST_F(Headless, TextsTypedAheadAreTypedOneAfterTheOther) {
    TestRom rom;
    LoadConfiguration(rom);
    settings->SetPath(config::keys::kRomFile, std::string(TEVRIN_BIN_DIR) + "/tevrin.rom");
    std::string err;
    ASSERT_EQ(RunHeadless({"--speed", "max", "--run-ms", "4000", "--type-at", "1000", "D 0 100\n",
                           "--type-at", "1400", "C 2\n", "--dump-mem",
                           "0x9C00:1024:" + (folder / "text.bin")},
                          nullptr, &err),
              headless::kExitOk)
        << err;
    // The monitor's 32 x 32 text buffer, trailing blanks taken off.
    const std::string buffer = testing_support::ReadFile(folder / "text.bin");
    ASSERT_EQ(buffer.size(), 1024u);
    std::vector<std::string> rows;
    for (size_t at = 0; at < buffer.size(); at += 32) {
        std::string row = buffer.substr(at, 32);
        row.erase(row.find_last_not_of(' ') + 1);
        rows.push_back(row);
    }
    while (!rows.empty() && rows.back().empty()) rows.pop_back();
    ASSERT_GE(rows.size(), 3u);
    // The dump's last line (100h bytes: 0000 to 00FF), then the next command and a new prompt.
    EXPECT_EQ(rows[rows.size() - 3], "00F8: 00 00 00 00 00 00 00 00") << "the whole dump";
    EXPECT_EQ(rows[rows.size() - 2], "> C 2");
    EXPECT_EQ(rows.back(), ">");
}

// The built-in monitor at its prompt, typed at, with the timer chain making interrupts: saved
// after 1000 ms and continued for 2000 ms, it ends where 3000 ms run straight end, and the
// times of the second run count from the snapshot's moment.
TEST_F(Headless, ARunContinuedFromASnapshotEndsWhereTheStraightRunEnds) {
    TestRom rom;
    LoadConfiguration(rom);
    settings->SetPath(config::keys::kRomFile, std::string(TEVRIN_BIN_DIR) + "/tevrin.rom");
    settings->Set(config::keys::kChainTimer01, true);
    const std::string typed = "HELP\n";
    auto run = [&](std::vector<std::string> options) {
        std::string err;
        EXPECT_EQ(RunHeadless(options, nullptr, &err), headless::kExitOk) << err;
    };
    run({"--speed", "max", "--run-ms", "3000", "--type-at", "1500", typed, "--dump-mem",
         "0:65536:" + (folder / "straight.bin"), "--save-snapshot", folder / "straight.tvs"});
    run({"--speed", "max", "--run-ms", "1000", "--save-snapshot", folder / "first.tvs"});
    run({"--speed", "max", "--snapshot", folder / "first.tvs", "--run-ms", "2000", "--type-at",
         "500", typed, "--dump-mem", "0:65536:" + (folder / "continued.bin"), "--save-snapshot",
         folder / "continued.tvs"});
    const std::string straight = testing_support::ReadFile(folder / "straight.bin");
    ASSERT_EQ(straight.size(), 65536u);
    EXPECT_EQ(testing_support::ReadFile(folder / "continued.bin"), straight);
    // The snapshots hold the registers, every chip and the emulated time.
    EXPECT_EQ(testing_support::ReadFile(folder / "continued.tvs"),
              testing_support::ReadFile(folder / "straight.tvs"));

    std::string err;
    folder.Write("damaged.tvs", testing_support::ReadFile(folder / "first.tvs").substr(0, 4000));
    EXPECT_EQ(RunHeadless({"--speed", "max", "--snapshot", folder / "damaged.tvs", "--run-ms", "10",
                           "--save-snapshot", folder / "never.tvs"},
                          nullptr, &err),
              headless::kExitConfig);
    EXPECT_NE(err.find("damaged"), std::string::npos) << err;
    EXPECT_FALSE(std::filesystem::exists(folder / "never.tvs"));
}

// A movie of a headless run (text typed, a file loaded) played at another speed, where the
// period's budget is four times as long, ends where the movie does with the same memory, video
// planes and picture as the recorded run.
TEST_F(Headless, InputMoviePlaysBackToTheRecordedRunsEnd) {
    TestRom rom;
    LoadConfiguration(rom);
    settings->SetPath(config::keys::kRomFile, std::string(TEVRIN_BIN_DIR) + "/tevrin.rom");
    const std::string data = folder.Write("data.bin", "MOVIE");
    auto outputs = [&](const std::string& name) {
        return std::vector<std::string>{"--dump-mem",   "0:65536:" + (folder / (name + ".bin")),
                                        "--dump-vram",  folder / (name + ".raw"),
                                        "--screenshot", folder / (name + ".png")};
    };
    std::vector<std::string> record = {
        "--speed",         "max",       "--run-ms",   "2500",
        "--type-at",       "1200",      "D 4000 4\n", "--load-mem",
        data + ":0x4000",  "--load-at", "700",        "--record-inputs",
        folder / "run.tvm"};
    const std::vector<std::string> recordedOutputs = outputs("recorded");
    record.insert(record.end(), recordedOutputs.begin(), recordedOutputs.end());
    std::string err;
    ASSERT_EQ(RunHeadless(record, nullptr, &err), headless::kExitOk) << err;

    std::vector<std::string> play = {"--speed", "4", "--play-inputs", folder / "run.tvm"};
    const std::vector<std::string> playedOutputs = outputs("played");
    play.insert(play.end(), playedOutputs.begin(), playedOutputs.end());
    ASSERT_EQ(RunHeadless(play, nullptr, &err), headless::kExitOk) << err;
    const std::string memory = testing_support::ReadFile(folder / "recorded.bin");
    ASSERT_EQ(memory.size(), 65536u);
    EXPECT_EQ(memory.substr(0x4000, 5), "MOVIE");
    EXPECT_EQ(testing_support::ReadFile(folder / "played.bin"), memory);
    EXPECT_EQ(testing_support::ReadFile(folder / "played.raw"),
              testing_support::ReadFile(folder / "recorded.raw"));
    EXPECT_EQ(testing_support::ReadFile(folder / "played.png"),
              testing_support::ReadFile(folder / "recorded.png"));

    EXPECT_EQ(RunHeadless({"--play-inputs", folder / "run.tvm", "--type", "x"}, nullptr, &err),
              headless::kExitUsage);
    folder.Write("cut.tvm", testing_support::ReadFile(folder / "run.tvm").substr(0, 5000));
    EXPECT_EQ(RunHeadless({"--speed", "max", "--play-inputs", folder / "cut.tvm"}, nullptr, &err),
              headless::kExitConfig);
    EXPECT_NE(err.find("damaged"), std::string::npos) << err;
}

}  // namespace
