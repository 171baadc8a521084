#include <gtest/gtest.h>

#include <filesystem>

#include "host/desktop/FileTypes.h"
#include "support/TempFolder.h"

namespace {

using desktop::FileType;
using testing_support::TempFolder;

std::string Text(const std::string& path) {
    const std::vector<uint8_t> bytes = TempFolder::Read(path);
    return std::string(bytes.begin(), bytes.end());
}

bool Exists(const std::string& path) {
    return std::filesystem::exists(path);
}

class FileTypesTest : public ::testing::Test {
  protected:
    desktop::XdgPlaces Places() const { return {home / "data", home / "config"}; }
    TempFolder home;
};

TEST_F(FileTypesTest, RegisteringWritesDetectsAndRemovesOnlyOurs) {
    const std::string mimeApps = home.Write("config/mimeapps.list",
                                            "[Added Associations]\n"
                                            "text/plain=editor.desktop;\n"
                                            "[Default Applications]\n"
                                            "image/png=viewer.desktop;\n");
    desktop::FileTypeRegistration reg(Places(), "/opt/Tevrin $Emu/tevrinemu");
    EXPECT_FALSE(reg.State(FileType::Tape).registered);
    ASSERT_TRUE(reg.Register(FileType::Tape));
    ASSERT_TRUE(reg.Register(FileType::Snapshot));
    ASSERT_TRUE(reg.Register(FileType::Snapshot));  // twice: the same files again

    const std::string entry = Text(reg.DesktopEntryPath());
    EXPECT_NE(entry.find("\nExec=\"/opt/Tevrin \\\\$Emu/tevrinemu\" %f\n"), std::string::npos)
        << entry;
    EXPECT_NE(entry.find("\nMimeType=application/x-tevrin-tape;application/x-tevrin-snapshot;\n"),
              std::string::npos);
    EXPECT_NE(Text(reg.PackagePath(FileType::Tape)).find("<glob pattern=\"*.pta\"/>"),
              std::string::npos);
    EXPECT_NE(Text(reg.PackagePath(FileType::Snapshot)).find("<glob pattern=\"*.tvs\"/>"),
              std::string::npos);
    EXPECT_TRUE(Exists(reg.IconPath(FileType::Tape)));
    EXPECT_TRUE(Exists(reg.AppIconPath()));
    EXPECT_EQ(Text(mimeApps),
              "[Added Associations]\n"
              "text/plain=editor.desktop;\n"
              "[Default Applications]\n"
              "image/png=viewer.desktop;\n"
              "application/x-tevrin-tape=tevrinemu.desktop;\n"
              "application/x-tevrin-snapshot=tevrinemu.desktop;\n");
    for (FileType type : {FileType::Tape, FileType::Snapshot}) {
        EXPECT_TRUE(reg.State(type).registered);
        EXPECT_TRUE(reg.State(type).pointsHere);
    }

    // The program moved: still registered, no longer pointing here, until registered again.
    desktop::FileTypeRegistration moved(Places(), "/usr/local/bin/tevrinemu");
    EXPECT_TRUE(moved.State(FileType::Tape).registered);
    EXPECT_FALSE(moved.State(FileType::Tape).pointsHere);
    ASSERT_TRUE(moved.Register(FileType::Tape));
    EXPECT_TRUE(moved.State(FileType::Snapshot).pointsHere);

    ASSERT_TRUE(moved.Unregister(FileType::Tape));
    EXPECT_FALSE(moved.State(FileType::Tape).registered);
    EXPECT_TRUE(moved.State(FileType::Snapshot).registered);
    EXPECT_FALSE(Exists(reg.PackagePath(FileType::Tape)));
    EXPECT_FALSE(Exists(reg.IconPath(FileType::Tape)));
    EXPECT_NE(Text(reg.DesktopEntryPath()).find("\nMimeType=application/x-tevrin-snapshot;\n"),
              std::string::npos);

    ASSERT_TRUE(moved.Unregister(FileType::Snapshot));
    EXPECT_FALSE(Exists(reg.DesktopEntryPath()));
    EXPECT_FALSE(Exists(reg.AppIconPath()));
    EXPECT_EQ(Text(mimeApps),
              "[Added Associations]\n"
              "text/plain=editor.desktop;\n"
              "[Default Applications]\n"
              "image/png=viewer.desktop;\n");
}

TEST_F(FileTypesTest, WhatOthersWroteStays) {
    // Another program's desktop entry under our name, and the user's own default for tapes.
    const std::string foreign =
        "[Desktop Entry]\nType=Application\nExec=other %f\n"
        "MimeType=application/x-tevrin-tape;\n";
    const std::string entryPath = home.Write("data/applications/tevrinemu.desktop", foreign);
    const std::string mimeApps = home.Write(
        "config/mimeapps.list", "[Default Applications]\napplication/x-tevrin-tape=deck.desktop\n");
    desktop::FileTypeRegistration reg(Places(), "/opt/tevrinemu");
    EXPECT_FALSE(reg.State(FileType::Tape).registered);
    ASSERT_TRUE(reg.Unregister(FileType::Tape));
    EXPECT_EQ(Text(entryPath), foreign);

    // Registering asks for this program: it goes first; the user's choice comes back after.
    ASSERT_TRUE(reg.Register(FileType::Tape));
    EXPECT_EQ(Text(mimeApps),
              "[Default Applications]\napplication/x-tevrin-tape=tevrinemu.desktop;deck.desktop\n");
    ASSERT_TRUE(reg.Register(FileType::Tape));
    EXPECT_EQ(Text(mimeApps),
              "[Default Applications]\napplication/x-tevrin-tape=tevrinemu.desktop;deck.desktop\n");
    ASSERT_TRUE(reg.Unregister(FileType::Tape));
    EXPECT_EQ(Text(mimeApps), "[Default Applications]\napplication/x-tevrin-tape=deck.desktop\n");

    // Put behind another program by hand: unregistering takes out only our name.
    home.Write(
        "config/mimeapps.list",
        "[Default Applications]\napplication/x-tevrin-tape=deck.desktop;tevrinemu.desktop;\n");
    ASSERT_TRUE(reg.Register(FileType::Tape));
    ASSERT_TRUE(reg.Unregister(FileType::Tape));
    EXPECT_EQ(Text(mimeApps), "[Default Applications]\napplication/x-tevrin-tape=deck.desktop;\n");
}

TEST_F(FileTypesTest, TheMimeDatabaseLearnsTheTypes) {
    desktop::FileTypeRegistration reg(Places(), "/opt/tevrinemu");
    ASSERT_TRUE(reg.Register(FileType::Tape));
    const std::vector<std::string> ran = reg.UpdateDatabases();
    if (std::find(ran.begin(), ran.end(), "update-mime-database") == ran.end()) {
        GTEST_SKIP() << "update-mime-database is not installed";
    }
    const std::string globs = Text(home / "data/mime/globs2");
    EXPECT_NE(globs.find("application/x-tevrin-tape:*.pta"), std::string::npos) << globs;
}

}  // namespace
