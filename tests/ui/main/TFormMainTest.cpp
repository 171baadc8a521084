#include "ui/main/TFormMain.h"

#include "support/SilentAudio.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QStatusBar>
#include <QTest>
#include <QToolBar>
#include <fstream>
#include <memory>
#include <regex>
#include <sstream>
#include <string_view>

#include "emulator/SpeedControl.h"
#include "frontend/VirtualKeys.h"
#include "host/config/ConfigDocument.h"
#include "host/config/Settings.h"
#include "host/files/ProgramPaths.h"
#include "host/lang/Language.h"
#include "support/MachineTestAccess.h"
#include "support/TempFolder.h"
#include "ui/debugger/TFormDebugger.h"
#include "ui/main/ScreenView.h"
#include "ui/main/TFormAbout.h"
#include "ui/support/DeliveredFiles.h"
#include "ui/support/ModalCloser.h"
#include "ui/support/ProgramFolderTest.h"

namespace {

using testing_support::ReadFile;
using testing_support::RomWith;
using testing_support::TempFolder;
namespace keys = config::keys;

using namespace std::string_view_literals;
const std::string kLoopRom = RomWith("\xC3\x00\x00"sv);   // JMP 0
const std::string kPortFaultRom = RomWith("\xD3\x10"sv);  // OUT 10h: no device there

// Runs the event loop until the condition holds; false when it still does not after the time.
// (Qt's QTRY macros report to Qt's own test runner, which does not run here.)
template <typename Condition>
bool WaitFor(Condition condition, int ms = 5000) {
    return QTest::qWaitFor(condition, ms);
}

// The main window with its message boxes recorded instead of shown.
class RecordingFormMain : public TFormMain {
  public:
    using TFormMain::TFormMain;

    struct Message {
        QMessageBox::Icon icon;
        QString title;
        QString text;
    };
    std::vector<Message> messages;
    bool answerYes = true;  // what the user answers Yes/No boxes with

  protected:
    void ShowMessage(QMessageBox::Icon icon, const QString& title, const QString& text) override {
        messages.push_back({icon, title, text});
    }
    bool AskYesNo(QMessageBox::Icon icon, const QString& title, const QString& text) override {
        messages.push_back({icon, title, text});
        return answerYes;
    }
};

class FormMainTest : public ProgramFolderTest {
  protected:
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(ProgramFolderTest::SetUp());
        UseRom(kLoopRom);
    }

    void TearDown() override {
        form_.reset();
        EXPECT_TRUE(modals_.Closed().isEmpty())
            << "left open: " << modals_.Closed().join(", ").toStdString();
        ProgramFolderTest::TearDown();
    }

    void UseRom(const std::string& rom) {
        settings_.SetPath(keys::kRomFile, folder_.Write("test.rom", rom));
    }

    RecordingFormMain& Show() {
        form_ = std::make_unique<RecordingFormMain>(settings_, nullptr, SilentAudio());
        form_->show();
        return *form_;
    }

    Machine& TheMachine() { return form_->GetMachine(); }

    QAction* Action(const char* name) {
        QAction* action = form_->findChild<QAction*>(name);
        EXPECT_NE(action, nullptr) << name;
        return action;
    }
    template <typename T>
    T* Child(const char* name) {
        T* child = form_->findChild<T*>(name);
        EXPECT_NE(child, nullptr) << name;
        return child;
    }

    // What the window's client area must be for a picture of this size: the menu bar, the tool
    // bar, the picture in its border, the status panel.
    void ExpectWindowFitsPicture(int bitmapSize, int border) {
        QApplication::processEvents();
        const QSize view(bitmapSize + 2 * border + 2, bitmapSize + 2 * border);
        EXPECT_EQ(form_->View()->size(), view);
        auto* toolBar = Child<QToolBar>("ToolBar");
        // The picture sits right below the tool bar, across the whole window.
        EXPECT_EQ(form_->View()->geometry().top(), toolBar->geometry().bottom() + 1);
        EXPECT_EQ(form_->width(), view.width());
        EXPECT_EQ(form_->height(), form_->menuBar()->height() + toolBar->height() + view.height() +
                                       form_->statusBar()->height());
    }

    // Made before the window and gone after it: no modal window a test leaves open can hold up
    // the run.
    ModalCloser modals_;
    std::unique_ptr<RecordingFormMain> form_;
};

TEST_F(FormMainTest, FirstShowingBuildsTheMachineAndSetsItRunning) {
    RecordingFormMain& form = Show();
    EXPECT_EQ(form.objectName(), "FormMain");
    ASSERT_TRUE(TheMachine().Built());
    EXPECT_EQ(form.View()->Presenter(), &form.Presenter());
    EXPECT_EQ(TheMachine().GetRunState(), Machine::kRunning);
    EXPECT_FALSE(Action("MiPaused")->isChecked());
    // The delivered file asks for 200 % with an 8-pixel border.
    EXPECT_EQ(form.ScreenModes().Mode(), ScreenMode::Double);
    EXPECT_TRUE(Action("MiSize200")->isChecked());
    ExpectWindowFitsPicture(512, 8);
    // Captions come from the language file.
    EXPECT_EQ(form.windowTitle(), "Tevrin Emulator");
    EXPECT_EQ(Child<QMenu>("MiEmul")->title(), "&Emulation");
    EXPECT_EQ(Action("MiCpuSpeedNorm")->text(), "&Normal speed");
    EXPECT_EQ(Child<QLabel>("LabelCpuSpeed")->text(), "1x");
    // The machine runs on its own: the processor gets through its periods.
    EXPECT_TRUE(WaitFor([&] { return TheMachine().EmulatedTicks() >= 40000; }));
    EXPECT_TRUE(form.messages.empty());
}

TEST_F(FormMainTest, SoundToggleMutesAndStoresTheChoice) {
    settings_.Set(keys::kMute, true);
    RecordingFormMain& form = Show();
    form.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
    EXPECT_FALSE(Action("MiSound")->isChecked()) << "the stored mute shows";
    QTest::keyClick(&form, Qt::Key_F8, Qt::AltModifier);
    EXPECT_TRUE(Action("MiSound")->isChecked());
    EXPECT_FALSE(settings_.Get(keys::kMute));
    Action("TBtnSound")->trigger();
    EXPECT_FALSE(Action("MiSound")->isChecked());
    EXPECT_TRUE(settings_.Get(keys::kMute));
}

TEST_F(FormMainTest, TextsFollowTheConfiguredLanguage) {
    settings_.Set(keys::kLanguage, "german");
    Show();
    EXPECT_EQ(Action("MiAbout")->text(), "Ü&ber...");
}

TEST_F(FormMainTest, PauseFromTheMenuTheToolBarAndThePauseKey) {
    RecordingFormMain& form = Show();
    Action("MiPaused")->trigger();
    EXPECT_EQ(TheMachine().GetRunState(), Machine::kPaused);
    EXPECT_TRUE(Action("MiPaused")->isChecked());
    const int64_t ticks = TheMachine().EmulatedTicks();
    QTest::qWait(60);
    EXPECT_EQ(TheMachine().EmulatedTicks(), ticks);

    Action("TBtnRunPause")->trigger();
    EXPECT_EQ(TheMachine().GetRunState(), Machine::kRunning);
    EXPECT_FALSE(Action("MiPaused")->isChecked());

    QTest::keyClick(&form, Qt::Key_Pause);
    EXPECT_EQ(TheMachine().GetRunState(), Machine::kPaused);
    QTest::keyClick(&form, Qt::Key_Pause);
    EXPECT_EQ(TheMachine().GetRunState(), Machine::kRunning);
    // With a modifier Pause is no command.
    QTest::keyClick(&form, Qt::Key_Pause, Qt::ShiftModifier);
    EXPECT_EQ(TheMachine().GetRunState(), Machine::kRunning);
}

TEST_F(FormMainTest, WarmResetKeepsMemoryAndColdRestartRebuildsTheMachine) {
    Show();
    Action("MiPaused")->trigger();
    {
        Machine::PausedScope paused(TheMachine());
        paused.Memory()->PagePointer(0xE0)[0x123] = 0x55;
        MachineTestAccess::Screen(TheMachine()).PortWrite(0xCC, 0x0B, 0);
    }
    auto ram = [&] { return TheMachine().MemoryView()->PagePointer(0xE0); };

    Action("MiReset")->trigger();
    EXPECT_EQ(TheMachine().GetRunState(), Machine::kRunning);
    // The processor reset, at its next instruction, resets the screen's colour register.
    EXPECT_TRUE(WaitFor([&] { return TheMachine().Video().colourRegister == 0; }));
    EXPECT_EQ(ram()[0x123], 0x55);

    Action("MiHardReset")->trigger();
    EXPECT_EQ(TheMachine().GetRunState(), Machine::kRunning);
    // Rebuilt: the RAM is new and zero.
    EXPECT_EQ(ram()[0x123], 0x00);
    // The picture follows the new memory.
    {
        Machine::PausedScope paused(TheMachine());
        paused.Memory()->PagePointer(0xE6)[0] = 0xFF;  // red, top left
    }
    EXPECT_EQ(form_->Presenter().Picture(TheMachine()).At(0, 0), 2);
}

TEST_F(FormMainTest, SpeedStepsAndTheirLabel) {
    Show();
    auto* label = Child<QLabel>("LabelCpuSpeed");
    Action("MiCpuSpeedInc")->trigger();
    EXPECT_EQ(TheMachine().SpeedFactor(), 2.0);
    EXPECT_EQ(label->text(), "2x");
    Action("MiCpuSpeedDec")->trigger();
    Action("MiCpuSpeedDec")->trigger();
    EXPECT_EQ(TheMachine().SpeedFactor(), 0.5);
    EXPECT_EQ(label->text(), "0.50x");
    Action("MiCpuSpeedDec")->trigger();
    Action("MiCpuSpeedDec")->trigger();
    EXPECT_EQ(label->text(), "0.25x");
    Action("MiCpuSpeedNorm")->trigger();
    EXPECT_EQ(label->text(), "1x");
    EXPECT_EQ(TheMachine().SpeedFactor(), 1.0);
}

TEST_F(FormMainTest, TheMenusAltKeysReachTheirCommands) {
    Show();
    form_->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form_.get()));
    QTest::keyClick(form_.get(), Qt::Key_PageUp, Qt::AltModifier);
    EXPECT_EQ(TheMachine().SpeedFactor(), 2.0);
    QTest::keyClick(form_.get(), Qt::Key_1, Qt::AltModifier);
    EXPECT_EQ(form_->ScreenModes().Mode(), ScreenMode::Normal);
    QTest::keyClick(form_.get(), Qt::Key_F3, Qt::AltModifier);
    EXPECT_EQ(TheMachine().GetRunState(), Machine::kPaused);
    QTest::keyClick(form_.get(), Qt::Key_Return, Qt::AltModifier);
    EXPECT_TRUE(form_->ScreenModes().InFullScreen());
    // Still there with the menu bar hidden.
    QTest::keyClick(form_.get(), Qt::Key_F3, Qt::AltModifier);
    EXPECT_EQ(TheMachine().GetRunState(), Machine::kRunning);
}

TEST_F(FormMainTest, TheWindowFitsThePictureAtEachSizeAndBorder) {
    settings_.Set(keys::kScreenBorder, 5);
    RecordingFormMain& form = Show();
    ExpectWindowFitsPicture(512, 5);

    Action("MiSize100")->trigger();
    EXPECT_EQ(form.Presenter().Width(), 256);
    EXPECT_TRUE(Action("MiSize100")->isChecked());
    EXPECT_FALSE(Action("MiSize200")->isChecked());
    ExpectWindowFitsPicture(256, 5);

    settings_.Set(keys::kScreenBorder, 0);
    form.ApplySettings({config::Group::Border});
    EXPECT_EQ(form.Border(), 0);
    EXPECT_EQ(form.Presenter().Border(), 0);
    ExpectWindowFitsPicture(256, 0);
    EXPECT_EQ(TheMachine().GetRunState(), Machine::kRunning);
}

TEST_F(FormMainTest, FullScreenHidesTheWindowPartsAndComesBackToTheSameSizeAndPlace) {
    RecordingFormMain& form = Show();
    Action("MiSize100")->trigger();
    form.move(60, 40);
    QApplication::processEvents();
    const QPoint windowed = form.pos();

    Action("MiSizeFull")->trigger();
    EXPECT_TRUE(form.isFullScreen());
    EXPECT_TRUE(form.Presenter().InFullScreen());
    EXPECT_FALSE(form.menuBar()->isVisible());
    EXPECT_FALSE(Child<QToolBar>("ToolBar")->isVisible());
    EXPECT_FALSE(form.statusBar()->isVisible());
    // Only the View and Emulation commands stay within reach.
    EXPECT_FALSE(Action("MiExit")->isEnabled());
    EXPECT_FALSE(Action("MiAbout")->isEnabled());
    EXPECT_TRUE(Action("MiPaused")->isEnabled());
    EXPECT_TRUE(Action("MiSizeFull")->isChecked());
    ASSERT_EQ(form.messages.size(), 1u);
    EXPECT_EQ(form.messages[0].icon, QMessageBox::Information);
    EXPECT_EQ(form.messages[0].title, "Full screen");
    EXPECT_TRUE(form.messages[0].text.contains("Alt+Enter"));

    Action("MiSizeFull")->trigger();
    EXPECT_FALSE(form.isFullScreen());
    EXPECT_EQ(form.Presenter().Mode(), ScreenMode::Normal);
    EXPECT_TRUE(Action("MiSize100")->isChecked());
    EXPECT_TRUE(Action("MiExit")->isEnabled());
    QApplication::processEvents();
    EXPECT_TRUE(form.menuBar()->isVisible());
    ExpectWindowFitsPicture(256, 8);
    EXPECT_EQ(form.pos(), windowed);

    // Without the note when the settings say so.
    settings_.Set(keys::kShowInfoOnFullScreen, false);
    Action("MiSizeFull")->trigger();
    EXPECT_EQ(form.messages.size(), 1u);
    EXPECT_TRUE(form.isFullScreen());
}

TEST_F(FormMainTest, KeysReachTheMachineAndAreReleasedWhenTheProgramLosesTheFocus) {
    RecordingFormMain& form = Show();
    HostKeyboardState& keyboard = form.Keyboard().Keys();
    // The running machine takes the keys read at its next period.
    auto column1 = [&](uint8_t wanted) {
        return QTest::qWaitFor(
            [&] { return MachineTestAccess::SystemPio(TheMachine()).KeyMatrix(1) == wanted; },
            2000);
    };
    QTest::keyPress(&form, Qt::Key_A);
    EXPECT_TRUE(keyboard.IsDown('A'));
    form.TimerRefreshControlsTimer();
    // A is column 1, bit 4 of the key matrix.
    EXPECT_TRUE(column1(0x10));
    QTest::keyRelease(&form, Qt::Key_A);
    EXPECT_FALSE(keyboard.IsDown('A'));
    form.TimerRefreshControlsTimer();
    EXPECT_TRUE(column1(0x00));

    // Tab stays the machine's rather than moving the focus; F10 does not open the menu bar.
    QTest::keyPress(&form, Qt::Key_Tab);
    EXPECT_TRUE(keyboard.IsDown(vk::kTab));
    QTest::keyClick(&form, Qt::Key_F10);
    EXPECT_EQ(form.menuBar()->activeAction(), nullptr);
    QTest::keyPress(&form, Qt::Key_F10);
    EXPECT_TRUE(keyboard.IsDown(vk::Function(10)));

    QTest::keyPress(&form, Qt::Key_A);
    form.ApplicationStateChanged(Qt::ApplicationInactive);
    EXPECT_FALSE(keyboard.IsDown('A'));
    EXPECT_TRUE(form.Keyboard().FocusLost());
    form.TimerRefreshControlsTimer();
    EXPECT_TRUE(column1(0x00));
    // Pause when inactive is off: the machine runs on in the background.
    EXPECT_EQ(TheMachine().GetRunState(), Machine::kRunning);

    form.ApplicationStateChanged(Qt::ApplicationActive);
    EXPECT_FALSE(form.Keyboard().FocusLost());
    QTest::keyPress(&form, Qt::Key_A);
    form.TimerRefreshControlsTimer();
    EXPECT_TRUE(column1(0x10));
}

TEST_F(FormMainTest, PauseWhenInactiveRestoresTheRunStateOnReturn) {
    settings_.Set(keys::kPauseOnFocusLost, true);
    RecordingFormMain& form = Show();
    ASSERT_TRUE(Action("MiFocusPause")->isChecked());
    form.ApplicationStateChanged(Qt::ApplicationInactive);
    EXPECT_EQ(TheMachine().GetRunState(), Machine::kPaused);
    EXPECT_TRUE(Action("MiPaused")->isChecked());
    form.ApplicationStateChanged(Qt::ApplicationActive);
    EXPECT_EQ(TheMachine().GetRunState(), Machine::kRunning);

    // Paused by the user before: it stays paused.
    Action("MiPaused")->trigger();
    form.ApplicationStateChanged(Qt::ApplicationInactive);
    form.ApplicationStateChanged(Qt::ApplicationActive);
    EXPECT_EQ(TheMachine().GetRunState(), Machine::kPaused);
}

TEST_F(FormMainTest, AFaultStopsTheMachineAndTheLockMessageOffersTheDebuggerOrAReset) {
    UseRom(kPortFaultRom);
    RecordingFormMain& form = Show();
    ASSERT_TRUE(WaitFor([&] { return !form.messages.empty(); }));
    const auto& message = form.messages[0];
    EXPECT_EQ(message.icon, QMessageBox::Critical);
    EXPECT_EQ(message.title, "Machine stopped");
    EXPECT_TRUE(message.text.startsWith("The program wrote to port #10, which no device answers."))
        << message.text.toStdString();
    EXPECT_TRUE(message.text.endsWith("Choose No to reset the machine."))
        << message.text.toStdString();
    // Yes shows the machine in the debugger, standing on the OUT that was abandoned.
    TFormDebugger* debugger = form.Debugger();
    ASSERT_TRUE(WaitFor([&] { return debugger->isVisible(); }));
    EXPECT_TRUE(TheMachine().Debugger().Stopped());
    EXPECT_EQ(TheMachine().Processor().pc, 0x0000);
    EXPECT_EQ(TheMachine().GetRunState(), Machine::kPaused);
    EXPECT_TRUE(Action("MiPaused")->isChecked());
    // Running on meets the fault again; No resets, and the reset ROM faults once more.
    form.answerYes = false;
    debugger->SbRunClick();
    EXPECT_FALSE(debugger->isVisible());
    ASSERT_TRUE(WaitFor([&] { return form.messages.size() >= 3; }));
    EXPECT_FALSE(debugger->isVisible());
}

TEST_F(FormMainTest, AnUnreadableRomIsReportedBeforeTheMachineRunsAndLeavesItPaused) {
    const std::string missing = folder_.Path() + "gone.rom";
    settings_.SetPath(keys::kRomFile, missing);
    RecordingFormMain& form = Show();
    ASSERT_EQ(form.messages.size(), 1u);
    EXPECT_EQ(form.messages[0].icon, QMessageBox::Critical);
    EXPECT_EQ(form.messages[0].title, "ROM file");
    EXPECT_TRUE(form.messages[0].text.contains(QString::fromStdString(missing)));
    EXPECT_EQ(TheMachine().GetRunState(), Machine::kPaused);
    QTest::qWait(100);
    EXPECT_EQ(TheMachine().EmulatedTicks(), 0) << "it never ran";
    EXPECT_EQ(form.messages.size(), 1u) << "no lock message loop";
    // Run cannot start it: it says why, and the machine stays as it is.
    form.TBtnRunPauseClick();
    ASSERT_EQ(form.messages.size(), 2u);
    EXPECT_TRUE(form.messages[1].text.contains("no ROM")) << form.messages[1].text.toStdString();
    EXPECT_EQ(TheMachine().GetRunState(), Machine::kPaused);
    // A readable ROM chosen later builds and reports nothing more.
    UseRom(kLoopRom);
    form.ApplySettings({config::Group::MainRom});
    EXPECT_EQ(form.messages.size(), 2u);
    form.TBtnRunPauseClick();
    ASSERT_EQ(TheMachine().GetRunState(), Machine::kRunning);
    // The ROM lost while the machine runs (settings applied inside a pause, as OK does): the
    // end of the pause does not set it going into a fault.
    settings_.SetPath(keys::kRomFile, missing);
    {
        Machine::PausedScope paused(TheMachine());
        form.ApplySettings({config::Group::MainRom});
    }
    EXPECT_EQ(TheMachine().GetRunState(), Machine::kPaused);
    QTest::qWait(100);
    EXPECT_FALSE(TheMachine().FaultPending());
    EXPECT_EQ(form.messages.size(), 3u) << "told once, no fault message after it";
}

TEST_F(FormMainTest, TheMultiplierIconShowsWhetherOneIsFitted) {
    RecordingFormMain& form = Show();
    auto* icon = Child<QLabel>("ImageMulti");
    EXPECT_FALSE(icon->isVisible());
    settings_.Set(keys::kMultiplier, true);
    form.ApplySettings({config::Group::MainRom});
    EXPECT_TRUE(icon->isVisible());
    EXPECT_FALSE(icon->toolTip().isEmpty());
    settings_.Set(keys::kMultiplier, false);
    Action("MiHardReset")->trigger();
    EXPECT_FALSE(icon->isVisible());
}

TEST_F(FormMainTest, ClosingStoresThePlaceTheSizeAndTheFocusOptionAndSavesTheFile) {
    RecordingFormMain& form = Show();
    Action("MiSize100")->trigger();
    form.move(50, 60);
    QApplication::processEvents();
    Action("MiFocusPause")->trigger();
    EXPECT_TRUE(form.close());
    EXPECT_TRUE(ShuttingDown);
    EXPECT_EQ(TheMachine().GetRunState(), Machine::kPaused);

    config::ConfigDocument saved;
    ASSERT_EQ(saved.Load(configPath_), config::ConfigLoadResult::Usable);
    config::Settings stored(saved);
    EXPECT_EQ(stored.Get(keys::kScreenSize), config::ScreenSize::Normal);
    EXPECT_TRUE(stored.Get(keys::kPauseOnFocusLost));
    const config::WindowPos pos = stored.GetWindowPos(keys::kScreenPos, 10, 10, {4000, 4000});
    EXPECT_EQ(pos.x, 50);
    EXPECT_EQ(pos.y, 60);
}

TEST_F(FormMainTest, ClosingInFullScreenStoresTheWindowedPlaceAndTheNormalSize) {
    RecordingFormMain& form = Show();
    form.move(70, 20);
    QApplication::processEvents();
    Action("MiSizeFull")->trigger();
    ASSERT_TRUE(form.isFullScreen());
    form.close();
    EXPECT_EQ(settings_.Get(keys::kScreenSize), config::ScreenSize::Normal);
    const config::WindowPos pos = settings_.GetWindowPos(keys::kScreenPos, 10, 10, {4000, 4000});
    EXPECT_EQ(pos.x, 70);
    EXPECT_EQ(pos.y, 20);
}

TEST_F(FormMainTest, TheAboutBoxShowsTheVersionWithTheMachinePausedAndAClickClosesIt) {
    Show();
    QString version;
    Machine::RunState stateWhileShown = Machine::kRunning;
    ModalCloser closer({[&](QWidget* w) {
        auto* about = qobject_cast<TFormAbout*>(w);
        if (about == nullptr) return false;
        version = about->findChild<QLabel*>("LblVersion")->text();
        stateWhileShown = TheMachine().GetRunState();
        QTest::mouseClick(about, Qt::LeftButton);
        return true;
    }});
    Action("MiAbout")->trigger();
    EXPECT_TRUE(closer.AllDone()) << closer.Closed().join(", ").toStdString();
    EXPECT_EQ(version.left(1 + int(program::ProgramVersion().size())),
              "v" + QString::fromStdString(program::ProgramVersion()));
    EXPECT_EQ(stateWhileShown, Machine::kPaused);
    EXPECT_EQ(TheMachine().GetRunState(), Machine::kRunning);
}

}  // namespace

namespace {

// Emulation > Rewind: a second back per press; a paused machine stays paused, a running one is
// held while the key repeats and runs on once they stop.
TEST_F(FormMainTest, RewindGoesBackASecondAndResumesWhenTheKeyIsLetGo) {
    Show();
    Machine& machine = TheMachine();
    QAction* rewind = Action("MiRewind");
    ASSERT_NE(rewind, nullptr);
    EXPECT_EQ(rewind->shortcut(), QKeySequence("Alt+Backspace"));
    EXPECT_EQ(rewind->text(), "Re&wind");
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return machine.EmulatedTicks() > MachineHistory::kTicksPerSecond * 12 / 10; },
        10000));
    Action("MiPaused")->trigger();
    ASSERT_EQ(machine.GetRunState(), Machine::kPaused);
    const int64_t ticks = machine.EmulatedTicks();
    rewind->trigger();
    EXPECT_EQ(machine.EmulatedTicks(), ticks - MachineHistory::kTicksPerSecond);
    QTest::qWait(700);
    EXPECT_EQ(machine.GetRunState(), Machine::kPaused);

    Action("MiPaused")->trigger();
    ASSERT_EQ(machine.GetRunState(), Machine::kRunning);
    rewind->trigger();
    EXPECT_EQ(machine.GetRunState(), Machine::kPaused);
    EXPECT_TRUE(QTest::qWaitFor([&] { return machine.GetRunState() == Machine::kRunning; }, 2000));
}

}  // namespace
