#include "frontend/CommandLine.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include "host/files/ProgramPaths.h"

namespace {

TEST(CommandLine, UsesTheConfigurationBesideTheExecutableUnlessAnotherIsGiven) {
    const char* argv[] = {"tevrinemu", "game.pta"};
    CommandLine line = CommandLine::Parse(2, argv);
    EXPECT_TRUE(line.Ok());
    // The tests run beside the build's own configuration, which is used in place.
    EXPECT_EQ(line.configPath, program::ExecutableFolder() + "TevrinEmu.xml");
    EXPECT_TRUE(line.configDelivered.empty());
    EXPECT_EQ(line.FirstArgument(), "game.pta");
}

TEST(CommandLine, ConfigOptionInBothFormsLeavesTheOtherArgumentsInOrder) {
    CommandLine spaced = CommandLine::Parse({"a.pta", "--config", "/tmp/x/my.xml", "b"});
    EXPECT_TRUE(spaced.Ok());
    EXPECT_EQ(spaced.configPath, "/tmp/x/my.xml");
    EXPECT_EQ(spaced.arguments, (std::vector<std::string>{"a.pta", "b"}));

    CommandLine joined = CommandLine::Parse({"--config=/tmp/y.xml", "--headless"});
    EXPECT_EQ(joined.configPath, "/tmp/y.xml");
    EXPECT_EQ(joined.arguments, (std::vector<std::string>{"--headless"}));
}

TEST(CommandLine, ARelativeConfigPathIsTakenFromTheWorkingFolder) {
    char cwd[4096];
    ASSERT_NE(::getcwd(cwd, sizeof cwd), nullptr);
    CommandLine line = CommandLine::Parse({"--config", "sub/../cfg.xml"});
    EXPECT_EQ(line.configPath, std::string(cwd) + "/cfg.xml");
}

TEST(CommandLine, AMissingPathIsAnError) {
    EXPECT_FALSE(CommandLine::Parse({"--config"}).Ok());
    EXPECT_FALSE(CommandLine::Parse({"--config="}).Ok());
    EXPECT_FALSE(CommandLine::Parse({"--config", ""}).Ok());
}

TEST(CommandLine, DoubleDashEndsTheOptions) {
    CommandLine line = CommandLine::Parse({"--", "--config", "x"});
    EXPECT_TRUE(line.Ok());
    EXPECT_EQ(line.arguments, (std::vector<std::string>{"--config", "x"}));
    EXPECT_EQ(line.FirstArgument(), "--config");
}

}  // namespace
