#include <gtest/gtest.h>
#include <unistd.h>

#include <sstream>

#include "app/ProgramOptions.h"
#include "host/files/ProgramPaths.h"

namespace {

struct Read {
    std::optional<int> ended;
    headless::ProgramLine line;
    std::string out, err;
};

Read ReadLine(std::vector<std::string> args, bool foreign = false) {
    args.insert(args.begin(), "tevrinemu");
    Read read;
    std::ostringstream out, err;
    read.ended = headless::ReadProgramLine(args, read.line, out, err, foreign);
    read.out = out.str();
    read.err = err.str();
    return read;
}

TEST(ProgramLine, AWindowStartTakesAFileDumpsAndAConfigurationInEitherForm) {
    // The tests run beside the build's own configuration, which is used in place.
    Read plain = ReadLine({"game.pta"});
    ASSERT_EQ(plain.ended, std::nullopt) << plain.err;
    EXPECT_EQ(plain.line.mode, headless::Mode::Window);
    EXPECT_EQ(plain.line.config.path, program::ExecutableFolder() + "TevrinEmu.xml");
    EXPECT_TRUE(plain.line.config.delivered.empty());
    char cwd[4096];
    ASSERT_NE(::getcwd(cwd, sizeof cwd), nullptr);
    EXPECT_EQ(plain.line.file, std::string(cwd) + "/game.pta");

    Read spaced = ReadLine({"--dump-mem", "0x9C00:1024:/tmp/s", "--config", "sub/../cfg.xml"});
    ASSERT_EQ(spaced.ended, std::nullopt) << spaced.err;
    EXPECT_EQ(spaced.line.config.path, std::string(cwd) + "/cfg.xml");
    EXPECT_TRUE(spaced.line.config.delivered.empty());  // a named file is never made
    ASSERT_EQ(spaced.line.options.memoryDumps.size(), 1u);
    EXPECT_EQ(spaced.line.options.memoryDumps[0].address, 0x9C00);
    EXPECT_TRUE(spaced.line.file.empty());

    Read joined = ReadLine({"--config=/tmp/y.xml", "--headless"});
    EXPECT_EQ(joined.line.config.path, "/tmp/y.xml");
    EXPECT_EQ(joined.line.mode, headless::Mode::Headless);

    // "--" ends the options: a file may be called "--config".
    Read dashed = ReadLine({"--", "--config"});
    ASSERT_EQ(dashed.ended, std::nullopt) << dashed.err;
    EXPECT_EQ(dashed.line.file, std::string(cwd) + "/--config");
}

TEST(ProgramLine, RefusesWhatAWindowStartWouldDropAndNamesIt) {
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {"--config"},
             {"--config="},
             {"--config", ""},
             {"--run-ms", "100"},
             {"a.pta", "b.pta"},
             {"--register-file-types", "a.pta"},
             {"--register-file-types", "--unregister-file-types"}}) {
        Read read = ReadLine(args);
        EXPECT_EQ(read.ended, headless::kExitUsage) << args[0];
        EXPECT_EQ(read.err.rfind("tevrinemu: ", 0), 0u) << read.err;
        EXPECT_NE(read.err.find("Options:"), std::string::npos);  // the help follows
    }
    EXPECT_NE(ReadLine({"--speed", "max"}).err.find("--speed is an option of --headless"),
              std::string::npos);
}

TEST(ProgramLine, TheToolkitsOwnOptionsPassOnlyBeforeItHasTakenThem) {
    Read first = ReadLine({"-platform", "offscreen", "game.pta"}, true);
    EXPECT_EQ(first.ended, std::nullopt) << first.err;
    EXPECT_EQ(first.line.mode, headless::Mode::Window);
    EXPECT_EQ(ReadLine({"-platform", "offscreen", "game.pta"}).ended, headless::kExitUsage);
    // A headless run is never read again, so nothing unknown passes there.
    EXPECT_EQ(ReadLine({"--headless", "-platform", "offscreen"}, true).ended, headless::kExitUsage);
}

TEST(ProgramLine, HelpListsEveryModesOptionsOnStandardOutput) {
    Read help = ReadLine({"--help"});
    EXPECT_EQ(help.ended, 0);
    EXPECT_TRUE(help.err.empty());
    for (const char* name :
         {"--config", "--dump-mem", "--headless", "--register-file-types", "--run-ms", "FILE"}) {
        EXPECT_NE(help.out.find(name), std::string::npos) << name;
    }
}

}  // namespace
