#include "host/lang/Language.h"

#include <gtest/gtest.h>

#include "host/files/ProgramPaths.h"
#include "host/lang/LanguageFiles.h"
#include "support/TempFolder.h"

namespace {

using namespace lang;
using testing_support::TempFolder;

class LanguageTest : public ::testing::Test {
  protected:
    void SetUp() override {
        program::SetProgramFolder(folder_.Path());
        ActiveLanguage().Unload();
    }
    void TearDown() override { ActiveLanguage().Unload(); }
    TempFolder folder_;
};

TEST_F(LanguageTest, TextsAreEmptyUntilALanguageIsLoadedAndForMissingKeys) {
    folder_.Write("Lang/english.ini", "[FormMain]\nerr.X.Title=Oops\n");
    EXPECT_EQ(LangText("FormMain", "err.X.Title"), "");
    EXPECT_TRUE(LoadLanguageFile("english"));
    EXPECT_EQ(LangText("FormMain", "err.X.Title"), "Oops");
    EXPECT_EQ(LangText("FormMain", "err.Y.Title"), "");
    EXPECT_EQ(LangText("FormTapeBrowser", "err.X.Title"), "");  // each window asks its section
}

TEST_F(LanguageTest, BackslashesBecomeLineBreaksAndPlaceholdersAreFilledOnce) {
    folder_.Write("Lang/english.ini",
                  "[FormTapeBrowser]\n"
                  "one=Cannot read\\%1\n"
                  "two=From %1 to %2, not %1 or %2\n"
                  "swapped=%2 before %1\n");
    ASSERT_TRUE(LoadLanguageFile("english"));
    EXPECT_EQ(LangText1("FormTapeBrowser", "one", "/t/a.pta"), "Cannot read\n/t/a.pta");
    EXPECT_EQ(LangText2("FormTapeBrowser", "two", "A", "B"), "From A to B, not %1 or %2");
    EXPECT_EQ(LangText2("FormTapeBrowser", "swapped", "A", "B"), "B before A");
    // An inserted text is never searched for the other placeholder (a file may be named so).
    EXPECT_EQ(LangText2("FormTapeBrowser", "two", "50%2off", "B"),
              "From 50%2off to B, not %1 or %2");
    // Inserted texts keep their backslashes.
    EXPECT_EQ(LangText1("FormTapeBrowser", "one", "a\\b"), "Cannot read\na\\b");
}

TEST_F(LanguageTest, FilesAreFoundWhateverTheirCaseAndNamesCannotLeaveTheFolder) {
    folder_.Write("lang/GERMAN.INI", "[Common]\nCharset=238\n[FormMain]\nk=Hallo\n");
    folder_.Write("secret.ini", "[FormMain]\nk=secret\n");
    EXPECT_EQ(LanguageFolder(), folder_.Path() + "lang/");
    EXPECT_TRUE(LoadLanguageFile("german"));
    EXPECT_EQ(LangText("FormMain", "k"), "Hallo");
    EXPECT_EQ(ActiveLanguage().Charset(), 238);
    EXPECT_EQ(ActiveLanguage().Name(), "german");
    EXPECT_FALSE(LoadLanguageFile("../secret"));
    EXPECT_EQ(LangText("FormMain", "k"), "");
    EXPECT_TRUE(ActiveLanguage().IsLoaded());
    // The empty name of a fresh configuration asks for ".ini", which does not exist.
    EXPECT_FALSE(LoadLanguageFile(""));
    EXPECT_EQ(ActiveLanguage().Charset(), 0);
}

TEST_F(LanguageTest, TheListShowsFileNamesReCasedWithTheirFlags) {
    folder_.Write("Lang/GERMAN.ini", "");
    folder_.Write("Lang/german.BMP", "BM");
    folder_.Write("Lang/english.ini", "");
    folder_.Write("Lang/english.bmp.txt", "");
    folder_.Write("Lang/readme.txt", "");
    folder_.MakeFolder("Lang/folder.ini");
    std::vector<LanguageEntry> entries = ListLanguages(LanguageFolder());
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].shownText, "English");
    EXPECT_EQ(entries[0].name, "english");
    EXPECT_EQ(entries[0].flagPath, "");
    EXPECT_EQ(entries[1].shownText, "German");
    EXPECT_EQ(entries[1].name, "german");
    EXPECT_EQ(entries[1].filePath, folder_.Path() + "Lang/GERMAN.ini");
    EXPECT_EQ(entries[1].flagPath, folder_.Path() + "Lang/german.BMP");
    EXPECT_EQ(FindLanguageEntry(entries, "GERMAN"), 1);
    EXPECT_EQ(FindLanguageEntry(entries, "french"), -1);
    EXPECT_EQ(FindLanguageEntry(entries, ""), -1);
    EXPECT_TRUE(ListLanguages(folder_ / "nowhere").empty());
}

}  // namespace
