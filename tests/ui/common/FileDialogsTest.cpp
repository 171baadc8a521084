#include "ui/common/FileDialogs.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QApplication>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>

#include "host/files/ProgramPaths.h"
#include "host/lang/Language.h"
#include "support/TempFolder.h"
#include "ui/support/ModalCloser.h"

namespace {

using testing_support::TempFolder;

// Later, from the event loop: a dialog that opens a message box of its own runs that box's loop
// inside accept(), and the driving timer does not fire again while its own handler runs.
void Accept(QDialog* dialog) {
    QMetaObject::invokeMethod(dialog, "accept", Qt::QueuedConnection);
}

struct DialogState {
    QString folder;
    QString name;
    bool sidebarShown = false;
    bool confirmsOverwrite = false;
    QStringList filters;
    QString title;
};

DialogState Inspect(QFileDialog* dialog) {
    DialogState state;
    state.folder = dialog->directory().absolutePath() + "/";
    state.name = dialog->findChild<QLineEdit*>("fileNameEdit")->text();
    state.sidebarShown = !dialog->findChild<QWidget*>("sidebar")->isHidden();
    state.confirmsOverwrite = !dialog->testOption(QFileDialog::DontConfirmOverwrite);
    state.filters = dialog->nameFilters();
    state.title = dialog->windowTitle();
    return state;
}

class FileDialogsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        program::SetProgramFolder(program_.Path());
        program_.MakeFolder("tapes");
        Configure("");
    }
    void Configure(const std::string& generalAttributes) {
        ASSERT_EQ(
            doc_.LoadFromText("<T version=\"1\"><General " + generalAttributes + "/></T>", "1"),
            config::ConfigLoadResult::Usable);
    }
    // Shows the dialog, records what it shows and cancels it.
    DialogState ShowAndCancel(bool save, std::string& path, bool overwrite = false) {
        DialogState state;
        ModalCloser driver({[&](QWidget* w) {
            auto* dialog = qobject_cast<QFileDialog*>(w);
            if (dialog == nullptr) return false;
            state = Inspect(dialog);
            dialog->reject();
            return true;
        }});
        bool accepted =
            save ? SaveFileDialog(nullptr, settings_, "Save it", kFilter, overwrite, path, "")
                 : OpenFileDialog(nullptr, settings_, "Open it", kFilter, path, "");
        EXPECT_FALSE(accepted);
        EXPECT_TRUE(driver.AllDone());
        return state;
    }

    static constexpr const char* kFilter = "Tape images (*.pta)|*.pta|All files|*.*";
    TempFolder program_;
    config::ConfigDocument doc_;
    config::Settings settings_{doc_};
};

TEST_F(FileDialogsTest, NoStoredFileOpensInTheProgramFolderWithNoName) {
    std::string path = "...";
    DialogState state = ShowAndCancel(false, path);
    EXPECT_EQ(state.folder.toStdString(), program_.Path());
    EXPECT_EQ(state.name, "");
    EXPECT_EQ(state.title, "Open it");
    EXPECT_EQ(state.filters, (QStringList{"Tape images (*.pta) (*.pta)", "All files (*)"}));
    EXPECT_EQ(path, "...");
}

TEST_F(FileDialogsTest, AStoredRelativePathStartsInItsFolderAndBecomesAbsoluteOnCancel) {
    std::string path = "tapes/game.pta";
    DialogState state = ShowAndCancel(false, path);
    EXPECT_EQ(state.folder.toStdString(), program_.Path() + "tapes/");
    EXPECT_EQ(state.name, "game.pta");
    EXPECT_EQ(path, program_.Path() + "tapes/game.pta");
}

TEST_F(FileDialogsTest, ThePlacesBarFollowsTheSetting) {
    std::string path;
    EXPECT_TRUE(ShowAndCancel(false, path).sidebarShown);  // missing attribute: shown
    Configure("show-place-bar-on-file-dialog=\"false\"");
    EXPECT_FALSE(ShowAndCancel(false, path).sidebarShown);
    EXPECT_FALSE(ShowAndCancel(true, path).sidebarShown);
    Configure("show-place-bar-on-file-dialog=\"true\"");
    EXPECT_TRUE(ShowAndCancel(true, path).sidebarShown);
}

TEST_F(FileDialogsTest, OnlyASaveDialogAskedToConfirmsOverwriting) {
    std::string path;
    EXPECT_FALSE(ShowAndCancel(true, path, false).confirmsOverwrite);
    EXPECT_TRUE(ShowAndCancel(true, path, true).confirmsOverwrite);
    EXPECT_FALSE(ShowAndCancel(false, path).confirmsOverwrite);
}

TEST_F(FileDialogsTest, ConfirmingReturnsTheFullPathWithTheDefaultExtension) {
    const std::string existing = program_.Write("tapes/old.bmp", "BM");
    std::string path = "tapes/old.bmp";
    ModalCloser driver({[&](QWidget* w) {
        auto* dialog = qobject_cast<QFileDialog*>(w);
        if (dialog == nullptr) return false;
        dialog->selectFile("shot");
        Accept(dialog);
        return true;
    }});
    ASSERT_TRUE(
        SaveFileDialog(nullptr, settings_, "Save picture", "Bitmaps|*.bmp", false, path, "BMP"));
    EXPECT_TRUE(driver.AllDone());
    EXPECT_EQ(path, program_.Path() + "tapes/shot.bmp");

    // The filter chosen when OK is pressed decides the extension of a bare name, however it was
    // chosen (here by the program, as a remembered choice would be; the user's click alike).
    ModalCloser png({[&](QWidget* w) {
        auto* dialog = qobject_cast<QFileDialog*>(w);
        if (dialog == nullptr) return false;
        dialog->selectNameFilter(dialog->nameFilters().at(1));
        dialog->selectFile("shot");
        Accept(dialog);
        return true;
    }});
    ASSERT_TRUE(SaveFileDialog(nullptr, settings_, "Save picture",
                               "Bitmaps (*.bmp)|*.bmp|PNG pictures (*.png)|*.png", false, path,
                               "bmp"));
    EXPECT_TRUE(png.AllDone());
    EXPECT_EQ(path, program_.Path() + "tapes/shot.png");

    // Without the overwrite flag an existing file is taken without a question.
    path = existing;
    ModalCloser again({[&](QWidget* w) {
        auto* dialog = qobject_cast<QFileDialog*>(w);
        if (dialog == nullptr) return false;
        Accept(dialog);
        return true;
    }});
    ASSERT_TRUE(SaveFileDialog(nullptr, settings_, "Save", "", false, path, "bmp"));
    EXPECT_TRUE(again.AllDone());
    EXPECT_EQ(path, existing);
}

TEST_F(FileDialogsTest, OpeningTakesOnlyAnExistingFile) {
    const std::string tape = program_.Write("tapes/game.pta", "tape");
    std::string path = "tapes/game.pta";
    ModalCloser driver({[&](QWidget* w) {
                            auto* dialog = qobject_cast<QFileDialog*>(w);
                            if (dialog == nullptr) return false;
                            dialog->selectFile("nothing.pta");
                            Accept(dialog);  // refused: Qt says the file is not there
                            return true;
                        },
                        [&](QWidget* w) {
                            auto* box = qobject_cast<QMessageBox*>(w);
                            if (box == nullptr) return false;
                            Accept(box);
                            return true;
                        },
                        [&](QWidget* w) {
                            auto* dialog = qobject_cast<QFileDialog*>(w);
                            if (dialog == nullptr) return false;
                            dialog->selectFile("game.pta");
                            Accept(dialog);
                            return true;
                        }});
    ASSERT_TRUE(OpenFileDialog(nullptr, settings_, "Open", kFilter, path, "pta"));
    EXPECT_TRUE(driver.AllDone());
    EXPECT_EQ(path, tape);
}

TEST_F(FileDialogsTest, AReadOnlyFileCannotBeChosenForSaving) {
    program_.Write("Lang/english.ini", "[Common]\ntext.FileDialog.ReadOnly=%1 is read-only.\n");
    ASSERT_TRUE(lang::LoadLanguageFile("english"));
    const std::string locked = program_.Write("tapes/locked.pta", "tape");
    ::chmod(locked.c_str(), 0444);
    std::string path = locked;
    QString warning;
    ModalCloser driver({[&](QWidget* w) {
                            auto* dialog = qobject_cast<QFileDialog*>(w);
                            if (dialog == nullptr) return false;
                            Accept(dialog);
                            return true;
                        },
                        [&](QWidget* w) {
                            auto* box = qobject_cast<QMessageBox*>(w);
                            if (box == nullptr) return false;
                            warning = box->text();
                            Accept(box);
                            return true;
                        },
                        [&](QWidget* w) {
                            auto* dialog = qobject_cast<QFileDialog*>(w);
                            if (dialog == nullptr) return false;
                            dialog->reject();  // still open after the warning
                            return true;
                        }});
    EXPECT_FALSE(SaveFileDialog(nullptr, settings_, "Save", kFilter, false, path, "pta"));
    EXPECT_TRUE(driver.AllDone());
    EXPECT_EQ(warning, "locked.pta is read-only.");
    lang::ActiveLanguage().Unload();
}

}  // namespace
