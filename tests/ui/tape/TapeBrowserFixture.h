#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QToolButton>
#include <QTreeWidget>
#include <fstream>
#include <regex>
#include <sstream>

#include "emulator/Machine.h"
#include "frontend/HostTyping.h"
#include "host/config/ConfigDocument.h"
#include "host/config/RecentFiles.h"
#include "host/files/ProgramPaths.h"
#include "host/lang/Language.h"
#include "media/tape/TapeBuilder.h"
#include "media/tape/TapeImage.h"
#include "media/tape/TapeSignal.h"
#include "support/CassetteSignal.h"
#include "support/SilentAudio.h"
#include "support/TempFolder.h"
#include "ui/common/OutcomeReport.h"
#include "ui/common/ProgramIcons.h"
#include "ui/main/TFormMain.h"
#include "ui/support/DeliveredFiles.h"
#include "ui/support/ModalCloser.h"
#include "ui/support/ProgramFolderTest.h"

// The tape browser tests' set-up: the main window with its browser over the built monitor ROM,
// and the answers a user gives to its dialogs.
namespace tapetest {

using testing_support::ReadFile;
using testing_support::TempFolder;
namespace keys = config::keys;

constexpr double kSpeed = 4.0;
constexpr uint16_t kTextBuffer = 0x9C00;

inline std::string Pattern(size_t size, int seed) {
    std::string bytes(size, '\0');
    for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>(i * 7 + seed);
    return bytes;
}

// The main window with its tape browser, the built monitor ROM and the delivered settings and
// texts, in a program folder of its own.
class TapeBrowserTest : public ProgramFolderTest {
  protected:
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(ProgramFolderTest::SetUp());
        settings_.SetPath(keys::kRomFile, std::string(TEVRIN_BIN_DIR) + "/tevrin.rom");
    }

    void TearDown() override {
        form_.reset();
        EXPECT_TRUE(modals_.Closed().isEmpty())
            << "left open: " << modals_.Closed().join(", ").toStdString();
        ProgramFolderTest::TearDown();
    }

    TFormMain& Show() {
        form_ = std::make_unique<TFormMain>(settings_, nullptr, SilentAudio());
        form_->show();
        form_->GetMachine().SetSpeedFactor(kSpeed);
        browser_ = form_->TapeBrowser();
        return *form_;
    }

    Machine& TheMachine() { return form_->GetMachine(); }
    int64_t NowMs() { return TheMachine().EmulatedTicks() / 2000; }
    template <typename T>
    T* Child(const char* name) {
        T* child = browser_->findChild<T*>(name);
        EXPECT_NE(child, nullptr) << name;
        return child;
    }
    int Tag(const char* button) { return Child<QToolButton>(button)->property("tag").toInt(); }
    QTreeWidget* List() { return Child<QTreeWidget>("ListViewTape"); }

    // Through the hand-over's gate, as every call of the window thread that takes the
    // processor mutex: the recorder may be waiting for this thread with the mutex held.
    std::string ScreenText() {
        TapeHandOver::MachineCall call(browser_->HandOver());
        if (!call) return {};
        Machine::HeldVideo held = TheMachine().HoldVideo();
        std::string text;
        for (int i = 0; i < 32 * 32; ++i) {
            text.push_back(static_cast<char>(
                TheMachine().MemoryView()->Peek(static_cast<uint16_t>(kTextBuffer + i))));
        }
        return text;
    }
    bool WaitShown(const std::string& text, int ms) {
        return QTest::qWaitFor([&] { return ScreenText().find(text) != std::string::npos; }, ms);
    }
    // Keys held long enough for the 20 ms keyboard scan at this speed, in emulated time.
    void Type(const std::string& text) {
        const int hold = static_cast<int>(60 * kSpeed);
        HostTypist typist(text, NowMs() + 10, hold, hold);
        while (!typist.Done()) {
            typist.Update(NowMs(), form_->Keyboard().Keys());
            QTest::qWait(5);
        }
    }
    bool Booted() {
        return QTest::qWaitFor([&] { return NowMs() > 1500; }, 10000);
    }

    ModalCloser modals_;
    std::unique_ptr<TFormMain> form_;
    TFormTapeBrowser* browser_ = nullptr;
};

// Two data records made from plain files with an info record between them, and a BASIC record
// with a spoilt block copy and one of an unknown type, written byte by byte.
inline std::string MakeTape(const TempFolder& folder, const std::string& name) {
    tagTapeRecord program, small;
    EXPECT_FALSE(tape::MakeFileRecord(folder.Write("prog.bin", Pattern(200, 3)), 1,
                                      tape::kFileMonitor, false, program));
    EXPECT_FALSE(tape::MakeFileRecord(folder.Write("small.bin", Pattern(10, 5)), 2, tape::kFileData,
                                      true, small));
    tape::WorkBuffer work(tape::kWorkBufferSize);
    EXPECT_FALSE(tape::WriteTape(folder / "a.pta", {program}, work));
    EXPECT_FALSE(tape::WriteTape(folder / "b.pta", {small}, work));
    using namespace tapebuild;
    return folder.Write(name, ReadFile(folder / "a.pta") + Record(0x00, "Side A") +
                                  ReadFile(folder / "b.pta") +
                                  Record(0xFF, Blocks({Block(0, 0x83, 2, Payload(1), true),
                                                       Block(0, 0x83, 2, Payload(1))})) +
                                  Record(0x41, "xyz"));
}

// A message box's button, pressed as the user would.
inline bool Press(QWidget* window, QMessageBox::StandardButton which) {
    auto* box = qobject_cast<QMessageBox*>(window);
    if (box == nullptr || box->button(which) == nullptr) return false;
    box->button(which)->click();
    return true;
}

inline bool ChooseFile(QWidget* window, const std::string& path) {
    auto* dialog = qobject_cast<QFileDialog*>(window);
    if (dialog == nullptr) return false;
    dialog->selectFile(QString::fromStdString(path));
    QMetaObject::invokeMethod(dialog, "accept");
    return true;
}

inline bool Enabled(const QMenu* menu, const char* name) {
    auto* action = menu->findChild<QAction*>(name);
    EXPECT_NE(action, nullptr) << name;
    return action != nullptr && action->isEnabled();
}

// A message box's text, read before it is answered with `which`.
inline ModalCloser::Step Answer(QMessageBox::StandardButton which, QString* text = nullptr) {
    return [which, text](QWidget* window) {
        auto* box = qobject_cast<QMessageBox*>(window);
        if (box == nullptr || box->button(which) == nullptr) return false;
        if (text != nullptr) *text = box->text();
        box->button(which)->click();
        return true;
    };
}

}  // namespace tapetest
