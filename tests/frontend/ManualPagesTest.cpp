#include "frontend/ManualPages.h"

#include <gtest/gtest.h>

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

}  // namespace
