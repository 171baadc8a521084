#include "frontend/ManualPages.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <regex>

#include "support/TempFolder.h"

namespace {

TEST(ManualPages, ASectionRunsToTheNextHeadingOfItsLevelOutsideCode) {
    const char* text =
        "# Manual\nintro\n"
        "## Keys <a name=\"keyboard\"></a>\nmap\n### Special\nEsc\n"
        "~~~\n## inside a block\n~~~\n"
        "  ## Tapes\nbrowser\n";
    EXPECT_EQ(manual::Section(text, "keyboard"),
              "## Keys <a name=\"keyboard\"></a>\nmap\n### Special\nEsc\n"
              "~~~\n## inside a block\n~~~\n");
    // The last section runs to the end; an anchor named only in the text is no section.
    EXPECT_EQ(manual::Section("x <a name=\"k\">\n#### Last <a name=\"k\">\nend", "k"),
              "#### Last <a name=\"k\">\nend\n");
    EXPECT_EQ(manual::Section("see <a name=\"keyboard\"></a>\n# Other\n", "keyboard"), "");
    EXPECT_EQ(manual::Section("#Keys <a name=\"keyboard\">\n", "keyboard"), "");
}

TEST(ManualPages, ATranslationIsTakenByItsNameOnlyAndEnglishStandsIn) {
    testing_support::TempFolder folder;
    EXPECT_EQ(manual::ManualPath(folder.Path(), "MANUAL.de.md"), "");
    const std::string english = folder.Write("MANUAL.md", "# Manual\n");
    EXPECT_EQ(manual::ManualPath(folder.Path(), "MANUAL.de.md"), english);
    const std::string german = folder.Write("MANUAL.de.md", "# Handbuch\n");
    EXPECT_EQ(manual::ManualPath(folder.Path(), "MANUAL.de.md"), german);
    EXPECT_EQ(manual::ManualPath(folder.Path(), ""), english);
    // A language file names a file beside the manual, never one elsewhere.
    folder.Write("other/MANUAL.md", "# Elsewhere\n");
    EXPECT_EQ(manual::ManualPath(folder.Path(), "other/MANUAL.md"), english);
    EXPECT_EQ(manual::ManualPath(folder.Path() + "other/", "../MANUAL.de.md"),
              folder.Path() + "other/MANUAL.md");
    EXPECT_EQ(manual::ManualPath(folder.Path(), "other"), english);
}

// Every manual delivered, in each language, has the keyboard map Help > Keyboard shows and
// every picture it names.
TEST(ManualPages, EachDeliveredManualHasItsKeyboardMapAndItsPictures) {
    const std::filesystem::path docs = TEVRIN_SOURCE_DIR "/docs";
    int manuals = 0;
    for (const auto& entry : std::filesystem::directory_iterator(docs)) {
        const std::string name = entry.path().filename().string();
        if (!name.starts_with("MANUAL") || entry.path().extension() != ".md") continue;
        ++manuals;
        const std::string text = testing_support::ReadFile(entry.path().string());
        const std::string keyboard = manual::Section(text, manual::kKeyboardAnchor);
        EXPECT_NE(keyboard.find("(manual/keyboard.png)"), std::string::npos) << name;
        const std::regex picture(R"(\]\((manual/[^)]+)\))");
        int pictures = 0;
        for (auto it = std::sregex_iterator(text.begin(), text.end(), picture);
             it != std::sregex_iterator(); ++it, ++pictures) {
            EXPECT_TRUE(std::filesystem::is_regular_file(docs / (*it)[1].str()))
                << name << ": " << (*it)[1].str();
        }
        EXPECT_GE(pictures, 5) << name;
    }
    EXPECT_GE(manuals, 1);
}

}  // namespace
