#include "ui/main/MainFileCommands.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QFileDialog>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QStatusBar>
#include <QTest>
#include <QToolButton>
#include <filesystem>
#include <string_view>

#include "host/config/ConfigDocument.h"
#include "host/config/RecentFiles.h"
#include "host/files/ProgramPaths.h"
#include "host/lang/Language.h"
#include "support/SilentAudio.h"
#include "support/TempFolder.h"
#include "ui/common/OutcomeReport.h"
#include "ui/main/TFormMain.h"
#include "ui/media/TFormMemReadWrite.h"
#include "ui/support/DeliveredFiles.h"
#include "ui/support/ModalCloser.h"
#include "ui/support/ProgramFolderTest.h"
#include "ui/tape/TFormTapeBrowser.h"

namespace {

using testing_support::ReadFile;
using testing_support::TempFolder;
namespace keys = config::keys;
using namespace std::string_view_literals;

class FileCommandsTest : public ProgramFolderTest {
  protected:
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(ProgramFolderTest::SetUp());
        settings_.SetPath(keys::kRomFile,
                          folder_.Write("test.rom", testing_support::RomWith("\xC3\x00\x00"sv)));
    }
    void TearDown() override {
        form_.reset();
        ProgramFolderTest::TearDown();
    }
    TFormMain& Show() {
        form_ = std::make_unique<TFormMain>(settings_, nullptr, SilentAudio());
        form_->show();
        return *form_;
    }
    MainFileCommands& Commands() { return form_->FileCommands(); }
    pugi::xml_node Recent() { return document_.Section(config::kRecentSection); }
    std::string TopRecent() {
        auto entries = config::RecentFileEntries(Recent());
        return entries.empty() ? std::string() : entries[0].storedPath;
    }
    // Answers the next file dialog with `path`.
    static ModalCloser::Step ChooseFile(const std::string& path) {
        return [path](QWidget* window) {
            auto* dialog = qobject_cast<QFileDialog*>(window);
            if (dialog == nullptr) return false;
            dialog->selectFile(QString::fromStdString(path));
            QMetaObject::invokeMethod(dialog, "accept", Qt::QueuedConnection);
            return true;
        };
    }

    std::unique_ptr<TFormMain> form_;
};

TEST_F(FileCommandsTest, AnyOtherFileGoesThroughTheMemoryDialogAndCanBeStarted) {
    const std::string program = folder_.Write("prog.bin", "\x76\x01\x02");
    TFormMain& form = Show();
    form.TBtnRunPauseClick();  // paused, so the program counter stays where the load put it
    ModalCloser closer({[](QWidget* window) {
        auto* dialog = qobject_cast<TFormMemReadWrite*>(window);
        if (dialog == nullptr) return false;
        dialog->findChild<QRadioButton*>("RbBlocks")->click();
        dialog->findChild<QCheckBox*>("CheckRun")->setChecked(true);
        for (const char* name : {"MeFrom", "MeTo"}) {
            auto* edit = dialog->findChild<QLineEdit*>(name);
            edit->setCursorPosition(0);
            QTest::keyClicks(edit, "230");
        }
        auto* run = dialog->findChild<QLineEdit*>("MeRun");
        run->setCursorPosition(0);
        QTest::keyClicks(run, "28672");  // 7000h
        dialog->findChild<QPushButton*>("BtnOK")->click();
        return true;
    }});
    form.OpenFile(QString::fromStdString(program));
    EXPECT_TRUE(closer.AllDone()) << closer.Closed().join(", ").toStdString();
    const ChipMemory* memory = form.GetMachine().MemoryView();
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(memory->PagePointer(0xE6)), 3),
              "\x76\x01\x02");
    EXPECT_EQ(form.GetMachine().Processor().pc, 0x7000);
    EXPECT_EQ(form.GetMachine().GetRunState(), Machine::kPaused) << "paused before, paused after";
    EXPECT_EQ(TopRecent(), "prog.bin");

    // A snapshot changes nothing and shows nothing.
    form.OpenFile(QString::fromStdString(folder_.Write("state.TVX", "x")));
    EXPECT_EQ(TopRecent(), "prog.bin");
    form.OpenFile(QString());
}

TEST_F(FileCommandsTest, TheRecentDropDownDropsMissingFilesAndOpensAnEntryFromTheTop) {
    // One info record: a tape, so that opening it has nothing to report.
    const std::string tape = folder_.Write("tapes/game.PTA", std::string("\x06\0\0\0\0hello", 10));
    config::AddRecentFile(Recent(), folder_ / "gone.bin");
    config::AddRecentFile(Recent(), tape);
    config::AddRecentFile(Recent(), folder_.Write("image.bin", "x"));
    Show();
    QMenu* menu = Commands().RecentFilesDropdown();
    emit menu->aboutToShow();
    EXPECT_EQ(Commands().RecentItem(0)->text(), "&1  image.bin");
    EXPECT_EQ(Commands().RecentItem(1)->text(), "&2  tapes/game.PTA");
    EXPECT_TRUE(Commands().RecentItem(1)->isVisible());
    EXPECT_FALSE(Commands().RecentItem(2)->isVisible()) << "gone.bin is dropped";
    EXPECT_EQ(config::RecentFileEntries(Recent()).size(), 2u);

    Commands().RecentItem(1)->trigger();
    EXPECT_EQ(form_->TapeBrowser()->Deck().TapePath(), tape) << "a capital extension is a tape";
    EXPECT_TRUE(form_->TapeBrowser()->isVisible());
    EXPECT_EQ(TopRecent(), "tapes/game.PTA");
    EXPECT_EQ(config::RecentFileEntries(Recent()).size(), 2u);

    // While the tape is being edited another tape is only a file for the memory dialog.
    form_->TapeBrowser()->findChild<QToolButton*>("SBtnEditTape")->click();
    ASSERT_TRUE(form_->TapeBrowser()->EditMode());
    const std::string other = folder_.Write("other.pta", "12345");
    QString offered;
    ModalCloser closer({[&offered](QWidget* window) {
        auto* dialog = qobject_cast<TFormMemReadWrite*>(window);
        if (dialog == nullptr) return false;
        offered = dialog->findChild<QLineEdit*>("EditFile")->text() + " " +
                  dialog->findChild<QLineEdit*>("MeLength")->text();
        dialog->reject();
        return true;
    }});
    form_->OpenFile(QString::fromStdString(other));
    EXPECT_TRUE(closer.AllDone()) << closer.Closed().join(", ").toStdString();
    EXPECT_EQ(offered, "other.pta 00005");
    EXPECT_EQ(form_->TapeBrowser()->Deck().TapePath(), tape);
}

TEST_F(FileCommandsTest, PictureCommandsFollowTheWindowSizeAndTheChosenFormat) {
    TFormMain& form = Show();  // the delivered configuration shows the picture at 200 %
    form.findChild<QAction*>("MiPictureClip")->trigger();
    const QImage copied = QApplication::clipboard()->image();
    EXPECT_EQ(copied.size(), QSize(512, 512));

    const std::string png = folder_ / "shot.png";
    const std::string raw = folder_ / "planes.raw";
    ModalCloser closer({ChooseFile(png), ChooseFile(raw)});
    form.findChild<QAction*>("MiPictureBmp")->trigger();
    // Each save says where it went, on the status bar.
    EXPECT_EQ(ShownOutcome(form.statusBar()), "Picture saved to " + QString::fromStdString(png));
    form.findChild<QAction*>("MiPictureVramRaw")->trigger();
    EXPECT_TRUE(closer.AllDone()) << closer.Closed().join(", ").toStdString();
    QImage saved;
    ASSERT_TRUE(saved.load(QString::fromStdString(png), "PNG"));
    EXPECT_EQ(saved.size(), QSize(512, 512));
    EXPECT_EQ(saved.pixel(100, 100), copied.pixel(100, 100));
    EXPECT_EQ(ReadFile(raw).size(), 24576u);
    EXPECT_EQ(TopRecent(), "planes.raw") << "the raw dump joins the recent files, the picture not";
    EXPECT_EQ(form.GetMachine().GetRunState(), Machine::kRunning);
}

TEST_F(FileCommandsTest, SnapshotsAreSavedAndRestoredFromTheMenuTheButtonAndTheOpenCommand) {
    TFormMain& form = Show();
    form.TBtnRunPauseClick();  // paused: the memory stays as the test leaves it
    auto poke = [&](uint8_t value) {
        Machine::PausedScope paused(form.GetMachine());
        paused.Memory()->PagePointer(0xE6)[0] = value;
    };
    auto peek = [&] { return form.GetMachine().MemoryView()->PagePointer(0xE6)[0]; };
    const std::string saved = folder_ / "snaps/state.tvs";
    std::filesystem::create_directories(folder_ / "snaps");
    QString message;
    auto answerMessage = [&message](QWidget* window) {
        auto* box = qobject_cast<QMessageBox*>(window);
        if (box == nullptr) return false;
        message = box->text();
        box->accept();
        return true;
    };
    poke(0x5A);
    {
        ModalCloser closer({ChooseFile(saved)});
        form.findChild<QAction*>("TBtnSaveSnap")->trigger();
        EXPECT_TRUE(closer.AllDone()) << closer.Closed().join(", ").toStdString();
    }
    ASSERT_TRUE(std::filesystem::is_regular_file(saved));
    EXPECT_EQ(ShownOutcome(form.statusBar()), "Snapshot saved to " + QString::fromStdString(saved));
    EXPECT_EQ(TopRecent(), "snaps/state.tvs");
    EXPECT_EQ(settings_.GetAbsolute(keys::kSnapshotPath), saved) << "the dialogs start there";
    QAction* open = form.findChild<QAction*>("MiOpenSnap");
    ASSERT_NE(open, nullptr);
    EXPECT_EQ(open->shortcut(), QKeySequence("Alt+Shift+F2"));
    EXPECT_EQ(form.findChild<QAction*>("MiSaveSnap")->shortcut(), QKeySequence("Alt+F7"));

    poke(0x00);
    {
        ModalCloser closer({ChooseFile(saved)});
        open->trigger();
        EXPECT_TRUE(closer.AllDone()) << closer.Closed().join(", ").toStdString();
    }
    EXPECT_EQ(peek(), 0x5A);

    // Opening a .tvs by name restores it too; a damaged one is refused with a message.
    poke(0x11);
    form.OpenFile(QString::fromStdString(saved));
    EXPECT_EQ(peek(), 0x5A);
    poke(0x22);
    const std::string damaged = folder_.Write("damaged.tvs", ReadFile(saved).substr(0, 5000));
    {
        ModalCloser closer({answerMessage});
        form.OpenFile(QString::fromStdString(damaged));
        EXPECT_TRUE(closer.AllDone()) << closer.Closed().join(", ").toStdString();
    }
    EXPECT_TRUE(message.contains("damaged")) << message.toStdString();
    EXPECT_EQ(peek(), 0x22) << "the machine is as it was";
    EXPECT_EQ(form.GetMachine().GetRunState(), Machine::kPaused);
}

// File > Record inputs takes down what follows into the file its dialog names, with a mark on
// the status bar, and writes it when chosen again; opening the movie plays it (the host's keys
// meanwhile reach nothing, as the mark says) and the machine ends where the recording did.
TEST_F(FileCommandsTest, InputsAreRecordedFromTheMenuAndPlayedByOpeningTheMovie) {
    TFormMain& form = Show();
    form.TBtnRunPauseClick();
    Machine& machine = form.GetMachine();
    auto poke = [&](uint8_t value) {
        Machine::PausedScope paused(machine);
        paused.Memory()->PagePointer(0xE6)[0] = value;
    };
    auto peek = [&] { return machine.MemoryView()->PagePointer(0xE6)[0]; };
    auto* mark = form.findChild<QLabel*>("LabelMovie");
    ASSERT_NE(mark, nullptr);
    const std::string movie = folder_ / "run.tvm";
    poke(0x5A);
    QAction* record = form.findChild<QAction*>("MiRecordInputs");
    ASSERT_NE(record, nullptr);
    EXPECT_EQ(record->shortcut(), QKeySequence("Alt+I"));
    {
        ModalCloser closer({ChooseFile(movie)});
        record->trigger();
        EXPECT_TRUE(closer.AllDone()) << closer.Closed().join(", ").toStdString();
    }
    ASSERT_TRUE(machine.RecordingInputs());
    form.TimerRefreshControlsTimer();
    EXPECT_TRUE(mark->isVisibleTo(&form));
    EXPECT_EQ(mark->text(), "REC inputs");
    form.TBtnRunPauseClick();
    QTest::qWait(60);
    poke(0x77);
    QTest::qWait(60);
    form.TBtnRunPauseClick();
    record->trigger();
    EXPECT_FALSE(machine.RecordingInputs());
    EXPECT_EQ(ShownOutcome(form.statusBar()),
              "Input movie saved to " + QString::fromStdString(movie));
    ASSERT_TRUE(std::filesystem::is_regular_file(movie));

    poke(0x00);
    form.OpenFile(QString::fromStdString(movie));
    ASSERT_TRUE(machine.PlayingInputs());
    EXPECT_EQ(peek(), 0x5A) << "the movie's first moment";
    form.TimerRefreshControlsTimer();
    EXPECT_EQ(mark->text(), "PLAY inputs: yours are ignored");
    form.TBtnRunPauseClick();
    for (int i = 0; i < 500 && machine.PlayingInputs(); ++i) QTest::qWait(10);
    EXPECT_FALSE(machine.PlayingInputs());
    form.TimerRefreshControlsTimer();
    EXPECT_FALSE(mark->isVisibleTo(&form));
    EXPECT_TRUE(ShownOutcome(form.statusBar()).startsWith("Input movie played to its end"));
    EXPECT_EQ(peek(), 0x77) << "the change made while recording";
}

TEST_F(FileCommandsTest, TheStatusPanelShowsTheSdRomModuleAndItsBank) {
    settings_.Set(keys::kSdRomConnected, true);
    const std::string root = folder_ / "card";
    std::filesystem::create_directory(root);
    settings_.SetPath(keys::kSdRomRootPath, root);
    TFormMain& form = Show();
    form.TimerRefreshControlsTimer();
    auto* image = form.findChild<QLabel*>("ImageRomModule");
    auto* bank = form.findChild<QLabel*>("LabelSDRomBank");
    ASSERT_NE(image, nullptr);
    ASSERT_NE(bank, nullptr);
    EXPECT_TRUE(image->isVisible());
    EXPECT_TRUE(image->toolTip().contains(QString::fromStdString(root)))
        << image->toolTip().toStdString();
    EXPECT_TRUE(bank->isVisible());
    EXPECT_EQ(bank->text(), "M") << "the module starts with its firmware in the window";
    EXPECT_EQ(bank->toolTip(), "SD-ROM window: module firmware (bank M)");
}

}  // namespace
