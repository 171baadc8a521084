#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "AsmTool.h"

namespace fs = std::filesystem;

namespace {

class AsmTool : public testing::Test {
  protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() /
               ("tevrin-asm-test-" + std::to_string(::getpid()) + "-" +
                testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }

    std::string Path(const std::string& name) const { return (dir_ / name).string(); }

    void Write(const std::string& name, const std::string& text) const {
        std::ofstream(Path(name), std::ios::binary) << text;
    }

    std::string Read(const std::string& name) const {
        std::ifstream in(Path(name), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }

    int Run(std::vector<std::string> args) {
        args.insert(args.begin(), "tevrin-asm");
        out_.str(""), err_.str("");
        return assembler::RunAsmTool(args, out_, err_);
    }

    // Files in the folder, so a test can see that nothing extra (no temporary) was left.
    std::vector<std::string> Files() const {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(dir_)) names.push_back(e.path().filename());
        std::sort(names.begin(), names.end());
        return names;
    }

    fs::path dir_;
    std::ostringstream out_;
    std::ostringstream err_;
};

}  // namespace

TEST_F(AsmTool, WritesImageListingAndSymbols) {
    Write("rom.asm", "        ORG 100H\nSTART:  JMP START\n");
    EXPECT_EQ(Run({Path("rom.asm"), "-o", Path("rom.bin"), "--listing", Path("rom.lst"),
                   "--symbols", Path("rom.sym"), "--fill", "0FFH", "--size", "5"}),
              assembler::kAsmExitOk)
        << err_.str();
    EXPECT_EQ(Read("rom.bin"), std::string("\xC3\x00\x01\xFF\xFF", 5));
    EXPECT_NE(Read("rom.lst").find("0100  C30001    START:  JMP START"), std::string::npos);
    EXPECT_EQ(Read("rom.sym"), "START            EQU 0100H\n");
    EXPECT_EQ(Files(), (std::vector<std::string>{"rom.asm", "rom.bin", "rom.lst", "rom.sym"}));
}

// Every notation an address is written in elsewhere; a leading zero is no octal mark.
TEST_F(AsmTool, SizeInKilobytesAndOriginInEveryAddressNotation) {
    Write("rom.asm", " JMP $\n");
    for (const auto& [origin, low, high] :
         {std::tuple{"0x4000", '\x00', '\x40'}, std::tuple{"#4000", '\x00', '\x40'},
          std::tuple{"4000h", '\x00', '\x40'}, std::tuple{"16384", '\x00', '\x40'},
          std::tuple{"0100", '\x64', '\x00'}}) {
        EXPECT_EQ(Run({Path("rom.asm"), "-o", Path("rom.bin"), "--size", "1K", "--org", origin}),
                  assembler::kAsmExitOk)
            << err_.str();
        std::string image = Read("rom.bin");
        ASSERT_EQ(image.size(), 1024u);
        EXPECT_EQ(image.substr(0, 3), (std::string{'\xC3', low, high})) << origin;
    }
}

TEST_F(AsmTool, SourceErrorsLeaveEveryOutputAsItWas) {
    Write("rom.asm", " NOP\n MOV A,Q\n");
    Write("rom.bin", "old image");
    EXPECT_EQ(Run({Path("rom.asm"), "-o", Path("rom.bin"), "--listing", Path("rom.lst")}),
              assembler::kAsmExitErrors);
    EXPECT_EQ(err_.str(),
              Path("rom.asm") + ":2:8: error: expected B, C, D, E, H, L, M or A, found 'Q'\n");
    EXPECT_EQ(Read("rom.bin"), "old image");
    EXPECT_EQ(Files(), (std::vector<std::string>{"rom.asm", "rom.bin"}));
}

TEST_F(AsmTool, ImageLargerThanTheSizeIsAnError) {
    Write("rom.asm", " DS 10\n");
    EXPECT_EQ(Run({Path("rom.asm"), "-o", Path("rom.bin"), "--size", "8"}),
              assembler::kAsmExitErrors);
    EXPECT_EQ(Files(), std::vector<std::string>{"rom.asm"});
}

TEST_F(AsmTool, BadArgumentsAreRefusedBeforeAnythingIsWritten) {
    Write("rom.asm", " NOP\n");
    const std::string src = Path("rom.asm");
    const std::string bin = Path("rom.bin");
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{}, "SOURCE is required"},
        {{src}, "-o is required"},
        {{src, "-o"}, "-o: 1 required IMAGE missing"},
        {{src, "-o", bin, "--verbose"}, "not expected: --verbose"},
        {{src, src, "-o", bin}, "not expected: " + src},
        {{src, "-o", bin, "--fill", "256"}, "--fill: needs a byte from 0 to 255, not 256"},
        {{src, "-o", bin, "--fill", "x"}, "--fill: needs a byte"},
        {{src, "-o", bin, "--size", "0"}, "--size: needs a size from 1 to 65536"},
        {{src, "-o", bin, "--size", "65K"}, "--size: needs a size from 1 to 65536"},
        {{src, "-o", bin, "--org", "10000H"}, "--org: needs an address from 0 to 0FFFFH"},
        {{src, "-o", bin, "--org", "-1"}, "--org: needs an address"},
        {{src, "-o", bin, "--org", "010O"}, "--org: needs an address"},
        {{src, "-o", src}, "is the source file; choose another output"},
        {{src, "-o", bin, "--symbols", bin}, "is named for two outputs"},
    };
    for (const auto& [args, message] : cases) {
        EXPECT_EQ(Run(args), assembler::kAsmExitUsage) << message;
        EXPECT_NE(err_.str().find(message), std::string::npos) << err_.str();
        EXPECT_NE(err_.str().find("usage: tevrin-asm [OPTIONS] SOURCE"), std::string::npos);
    }
    EXPECT_EQ(Read("rom.asm"), " NOP\n");
    EXPECT_EQ(Files(), std::vector<std::string>{"rom.asm"});
}

TEST_F(AsmTool, UnreadableSourceOrUnwritableOutput) {
    EXPECT_EQ(Run({Path("missing.asm"), "-o", Path("rom.bin")}), assembler::kAsmExitUsage);
    EXPECT_EQ(err_.str(), "tevrin-asm: cannot open the source " + Path("missing.asm") + "\n");
    EXPECT_EQ(Run({dir_.string(), "-o", Path("rom.bin")}), assembler::kAsmExitUsage);
    EXPECT_NE(err_.str().find("is a folder"), std::string::npos);

    Write("rom.asm", " NOP\n");
    Write("rom.bin", "old image");
    EXPECT_EQ(
        Run({Path("rom.asm"), "-o", Path("rom.bin"), "--listing", Path("no-such-folder/rom.lst")}),
        assembler::kAsmExitUsage);
    // The reason comes with the name: here, that the folder is missing.
    EXPECT_EQ(
        err_.str().rfind("tevrin-asm: cannot write " + Path("no-such-folder/rom.lst") + ": ", 0),
        0u)
        << err_.str();
    EXPECT_NE(err_.str().find(std::strerror(ENOENT)), std::string::npos) << err_.str();
    // All or nothing: the image, complete by then, did not replace the old one either.
    EXPECT_EQ(Read("rom.bin"), "old image");
    EXPECT_EQ(Files(), (std::vector<std::string>{"rom.asm", "rom.bin"}));  // no temporary
}

TEST_F(AsmTool, HelpGoesToStandardOutput) {
    EXPECT_EQ(Run({"--help"}), assembler::kAsmExitOk);
    EXPECT_NE(out_.str().find("--listing FILE"), std::string::npos);
    EXPECT_EQ(err_.str(), "");
}
