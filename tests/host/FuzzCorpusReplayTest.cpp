// The fuzzers' corpora replayed through the fuzz targets' own checks, so that every build (and
// the sanitizer build above all) runs them: a crash file added to a corpus fails here.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "fuzz/BasicImportCheck.h"
#include "fuzz/ConfigDocumentCheck.h"
#include "fuzz/IniFileCheck.h"
#include "fuzz/MachineCheck.h"
#include "fuzz/MovieCheck.h"
#include "fuzz/RangeListCheck.h"
#include "fuzz/RecordingCheck.h"
#include "fuzz/SdRomFrameCheck.h"
#include "fuzz/SnapshotCheck.h"
#include "fuzz/SymbolsCheck.h"
#include "fuzz/TapeImageCheck.h"

namespace {

namespace fs = std::filesystem;
using Check = const char* (*)(std::string_view);

const fs::path kCorpora = fs::path(TEVRIN_SOURCE_DIR) / "fuzz" / "corpus";

// Each corpus folder and the check its fuzz target runs.
const std::map<std::string, Check> kReplays = {
    {"ini", fuzzcheck::CheckIniFile},         {"config", fuzzcheck::CheckConfigDocument},
    {"tape", fuzzcheck::CheckTapeImage},      {"sdrom", fuzzcheck::CheckSdRomFrames},
    {"ranges", fuzzcheck::CheckRangeList},    {"basic", fuzzcheck::CheckBasicImport},
    {"recording", fuzzcheck::CheckRecording}, {"snapshot", fuzzcheck::CheckSnapshot},
    {"machine", fuzzcheck::CheckMachine},     {"movie", fuzzcheck::CheckMovie},
    {"symbols", fuzzcheck::CheckSymbols},
};

std::string ReadBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void Replay(const std::string& corpus) {
    std::vector<fs::path> files;
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(kCorpora / corpus)) {
        if (entry.is_regular_file()) files.push_back(entry.path());
    }
    std::sort(files.begin(), files.end());
    ASSERT_FALSE(files.empty()) << kCorpora / corpus;
    const Check check = kReplays.at(corpus);
    for (const fs::path& file : files) {
        const char* broken = check(ReadBytes(file));
        EXPECT_EQ(broken, nullptr) << file.string() << ": " << broken;
    }
}

TEST(FuzzCorpusReplay, LanguageFiles) {
    Replay("ini");
}

TEST(FuzzCorpusReplay, ConfigurationFiles) {
    Replay("config");
}

TEST(FuzzCorpusReplay, TapeImages) {
    Replay("tape");
}

TEST(FuzzCorpusReplay, SdRomFrames) {
    Replay("sdrom");
}

TEST(FuzzCorpusReplay, DisassemblyRangeLists) {
    Replay("ranges");
}

TEST(FuzzCorpusReplay, BasicListings) {
    Replay("basic");
}

TEST(FuzzCorpusReplay, TapeRecordings) {
    Replay("recording");
}

TEST(FuzzCorpusReplay, Snapshots) {
    Replay("snapshot");
}

TEST(FuzzCorpusReplay, HostileMachinePrograms) {
    Replay("machine");
}

TEST(FuzzCorpusReplay, InputMovies) {
    Replay("movie");
}

TEST(FuzzCorpusReplay, DebuggerSymbols) {
    Replay("symbols");
}

// A corpus folder nobody replays would be fuzzed but never run in the test suite.
TEST(FuzzCorpusReplay, EveryCorpusFolderHasItsReplay) {
    for (const fs::directory_entry& entry : fs::directory_iterator(kCorpora)) {
        if (entry.is_directory()) {
            EXPECT_TRUE(kReplays.count(entry.path().filename().string())) << entry.path();
        }
    }
}

}  // namespace
