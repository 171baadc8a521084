#include "host/files/FileDialogStart.h"

#include <gtest/gtest.h>

#include "host/files/ProgramPaths.h"
#include "support/TempFolder.h"

namespace {

using testing_support::TempFolder;

class FileDialogStartTest : public ::testing::Test {
  protected:
    void SetUp() override {
        program::SetProgramFolder(program_.Path());
        program_.MakeFolder("tapes");
        other_.MakeFolder("roms");
    }
    TempFolder program_;
    TempFolder other_;
};

TEST_F(FileDialogStartTest, NoFileStartsInTheProgramFolderWithoutAName) {
    for (const char* path : {"", "..."}) {
        for (const FileDialogStart& start : {OpenDialogStart(path), SaveDialogStart(path)}) {
            EXPECT_EQ(start.folder, program_.Path());
            EXPECT_EQ(start.fileName, "");
            EXPECT_EQ(start.path, path);
        }
    }
}

TEST_F(FileDialogStartTest, AStoredRelativePathStartsBelowTheProgramFolderAndBecomesAbsolute) {
    for (const FileDialogStart& start :
         {OpenDialogStart("tapes/game.pta"), SaveDialogStart("tapes/game.pta")}) {
        EXPECT_EQ(start.folder, program_.Path() + "tapes/");
        EXPECT_EQ(start.fileName, "game.pta");
        EXPECT_EQ(start.path, program_.Path() + "tapes/game.pta");
    }
}

TEST_F(FileDialogStartTest, AnAbsolutePathElsewhereIsKept) {
    FileDialogStart start = OpenDialogStart(other_.Path() + "roms/tevrin.rom");
    EXPECT_EQ(start.folder, other_.Path() + "roms/");
    EXPECT_EQ(start.fileName, "tevrin.rom");
    EXPECT_EQ(start.path, other_.Path() + "roms/tevrin.rom");
}

TEST_F(FileDialogStartTest, AVanishedFolderFallsBackToTheProgramFolder) {
    const std::string gone = other_.Path() + "gone/shot.bmp";
    FileDialogStart open = OpenDialogStart(gone);
    EXPECT_EQ(open.folder, program_.Path());
    EXPECT_EQ(open.fileName, "");
    EXPECT_EQ(open.path, gone);
    FileDialogStart save = SaveDialogStart(gone);
    EXPECT_EQ(save.folder, program_.Path());
    EXPECT_EQ(save.fileName, "shot.bmp");  // the name is still worth proposing
}

}  // namespace
