#include "host/config/RecentFiles.h"

#include <gtest/gtest.h>

#include "host/config/ConfigDocument.h"
#include "host/config/ConfigKeys.h"
#include "host/files/ProgramPaths.h"

namespace {

using namespace config;

constexpr const char* kVersion = "1.2.3.4";

class RecentFiles : public ::testing::Test {
  protected:
    void SetUp() override { program::SetProgramFolder("/opt/tevrin/"); }

    pugi::xml_node Load(const std::string& recentBody) {
        std::string text =
            "<T version=\"1.2.3.4\">\n  <General/>\n  <Recent>" + recentBody + "</Recent>\n</T>\n";
        EXPECT_EQ(doc_.LoadFromText(text, kVersion), ConfigLoadResult::Usable);
        return doc_.Section(kRecentSection);
    }
    std::vector<std::string> Paths() {
        std::vector<std::string> paths;
        for (const auto& entry : RecentFileEntries(doc_.Section(kRecentSection))) {
            paths.push_back(entry.storedPath);
        }
        return paths;
    }
    std::string RecentText() {
        std::ostringstream out;
        doc_.Section(kRecentSection).print(out, "", pugi::format_raw);
        return out.str();
    }

    ConfigDocument doc_;
};

TEST_F(RecentFiles, NewestFirstIndentedLikeTheFile) {
    pugi::xml_node recent = Load("\n  ");
    AddRecentFile(recent, "/home/u/a.pta");
    AddRecentFile(recent, "/home/u/b.pta");
    EXPECT_EQ(RecentText(),
              "<Recent>\n    <RecentFile>/home/u/b.pta</RecentFile>\n"
              "    <RecentFile>/home/u/a.pta</RecentFile>\n  </Recent>");
}

TEST_F(RecentFiles, AFileAlreadyListedMovesToTheTopWithoutGrowingTheList) {
    pugi::xml_node recent = Load(
        "\n    <RecentFile>a</RecentFile>\n    <RecentFile>b</RecentFile>"
        "\n    <RecentFile>c</RecentFile>\n  ");
    AddRecentFile(recent, "/opt/tevrin/c");
    EXPECT_EQ(Paths(), (std::vector<std::string>{"c", "a", "b"}));
    EXPECT_EQ(RecentText(),
              "<Recent>\n    <RecentFile>c</RecentFile>\n    <RecentFile>a</RecentFile>"
              "\n    <RecentFile>b</RecentFile>\n  </Recent>");
    // Compared case-sensitively, as Linux file names are.
    AddRecentFile(recent, "/opt/tevrin/A");
    EXPECT_EQ(Paths(), (std::vector<std::string>{"A", "c", "a", "b"}));
}

TEST_F(RecentFiles, HoldsAtMostTwentyAndDropsTheOldest) {
    pugi::xml_node recent = Load("\n  ");
    for (int i = 1; i <= 20; ++i) AddRecentFile(recent, "/d/" + std::to_string(i));
    ASSERT_EQ(Paths().size(), 20u);
    AddRecentFile(recent, "/d/new");
    std::vector<std::string> paths = Paths();
    ASSERT_EQ(paths.size(), 20u);
    EXPECT_EQ(paths.front(), "/d/new");
    EXPECT_EQ(paths.back(), "/d/2");  // "/d/1", the oldest, is gone
}

TEST_F(RecentFiles, StoresFilesOfTheProgramFolderRelativeAndIgnoresEmptyPaths) {
    pugi::xml_node recent = Load("");
    AddRecentFile(recent, "/opt/tevrin/tapes/game.pta");
    AddRecentFile(recent, "/opt/tevrinx/other.pta");
    AddRecentFile(recent, "");
    EXPECT_EQ(Paths(), (std::vector<std::string>{"/opt/tevrinx/other.pta", "tapes/game.pta"}));
}

TEST_F(RecentFiles, StaysNewestFirstInAFileWrittenWithoutWhitespace) {
    pugi::xml_node recent = Load("<RecentFile>a</RecentFile><RecentFile>b</RecentFile>");
    AddRecentFile(recent, "/x/new");
    EXPECT_EQ(RecentText(),
              "<Recent><RecentFile>/x/new</RecentFile><RecentFile>a</RecentFile>"
              "<RecentFile>b</RecentFile></Recent>");
}

TEST_F(RecentFiles, PruningDropsMissingFilesAndKeepsTheLayout) {
    pugi::xml_node recent = Load(
        "\n    <RecentFile>gone1</RecentFile>\n    <RecentFile>/here</RecentFile>"
        "\n    <RecentFile>gone2</RecentFile>\n  ");
    std::vector<std::string> asked;
    PruneRecentFiles(recent, [&](const std::string& path) {
        asked.push_back(path);
        return path == "/here";
    });
    EXPECT_EQ(asked, (std::vector<std::string>{"/opt/tevrin/gone1", "/here", "/opt/tevrin/gone2"}));
    EXPECT_EQ(RecentText(), "<Recent>\n    <RecentFile>/here</RecentFile>\n  </Recent>");
}

TEST_F(RecentFiles, OpeningAnEntryMovesItToTheTop) {
    pugi::xml_node recent =
        Load("\n    <RecentFile>a</RecentFile>\n    <RecentFile>b</RecentFile>\n  ");
    std::vector<RecentFileEntry> entries = RecentFileEntries(recent);
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(MoveRecentFileToTop(recent, entries[1].childIndex), "b");
    EXPECT_EQ(Paths(), (std::vector<std::string>{"b", "a"}));
    EXPECT_EQ(MoveRecentFileToTop(recent, 0), "");  // whitespace, not an entry
    EXPECT_EQ(MoveRecentFileToTop(recent, 99), "");
    EXPECT_EQ(Paths(), (std::vector<std::string>{"b", "a"}));
}

TEST_F(RecentFiles, TheDocumentCreatesAMissingRecentSectionWhenAFileIsAdded) {
    ASSERT_EQ(doc_.LoadFromText("<T version=\"1.2.3.4\">\n  <General/>\n</T>", kVersion),
              ConfigLoadResult::Usable);
    doc_.AddRecentFile("/t/a.pta");
    EXPECT_EQ(Paths(), (std::vector<std::string>{"/t/a.pta"}));
    EXPECT_EQ(doc_.ToText(),
              "<T version=\"1.2.3.4\">\n  <General/>\n  <Recent>\n    "
              "<RecentFile>/t/a.pta</RecentFile>\n  </Recent>\n</T>\n");
}

}  // namespace
