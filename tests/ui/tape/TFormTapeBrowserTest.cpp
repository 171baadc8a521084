#include "ui/tape/TFormTapeBrowser.h"

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

namespace {

using testing_support::ReadFile;
using testing_support::TempFolder;
namespace keys = config::keys;

constexpr double kSpeed = 4.0;
constexpr uint16_t kTextBuffer = 0x9C00;

std::string Pattern(size_t size, int seed) {
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
std::string MakeTape(const TempFolder& folder, const std::string& name) {
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

TEST_F(TapeBrowserTest, ATapeOpenedIsListedAndItsCurrentRecordLoadsIntoTheMachine) {
    const std::string path = MakeTape(folder_, "tape.pta");
    TFormMain& form = Show();
    ASSERT_TRUE(Booted());
    form.OpenFile(path, true);
    ASSERT_TRUE(browser_->isVisible());
    EXPECT_EQ(browser_->windowTitle(), "Tape browser - tape.pta");
    EXPECT_GE(browser_->minimumWidth(), 346);
    EXPECT_TRUE(browser_->windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_EQ(List()->headerItem()->text(2), "Blocks");
    const char* rows[][3] = {{"01", "08 - MONIT", "2"},
                             {"Side A", "", ""},
                             {"02", "04 - DATA", "1"},
                             {"03", "02 - BASIC", "1"},
                             {"Unknown Record Type: 41", "", ""}};
    ASSERT_EQ(List()->topLevelItemCount(), 5);
    for (int r = 0; r < 5; ++r) {
        for (int c = 0; c < 3; ++c) EXPECT_EQ(List()->topLevelItem(r)->text(c), rows[r][c]);
        EXPECT_EQ(List()->topLevelItem(r)->icon(0).isNull(), r != 0) << "the current record";
        EXPECT_EQ(List()->topLevelItem(r)->icon(2).isNull(), r != 3) << "the damaged record";
    }
    EXPECT_EQ(List()->topLevelItem(1)->toolTip(0), "Side A");
    EXPECT_EQ(List()->topLevelItem(3)->toolTip(1),
              "Some block copies are damaged, but every block has a good copy.");
    EXPECT_TRUE(List()->topLevelItem(0)->toolTip(0).isEmpty());
    const auto recent = config::RecentFileEntries(document_.Section(config::kRecentSection));
    ASSERT_FALSE(recent.empty());
    EXPECT_EQ(recent.front().storedPath, "tape.pta");

    // Space on the info record makes the next data record current; a double-click the first.
    List()->setCurrentItem(List()->topLevelItem(1));
    QTest::keyClick(List(), Qt::Key_Space);
    EXPECT_EQ(browser_->Deck().CurrentIndex(), 2);
    EXPECT_FALSE(List()->topLevelItem(2)->icon(0).isNull());
    EXPECT_TRUE(List()->topLevelItem(0)->icon(0).isNull());
    const QRect first = List()->visualItemRect(List()->topLevelItem(0));
    QTest::mouseClick(List()->viewport(), Qt::LeftButton, {}, first.center());
    QTest::mouseDClick(List()->viewport(), Qt::LeftButton, {}, first.center());
    EXPECT_EQ(browser_->Deck().CurrentIndex(), 0);

    Type("load 2000\r");
    QTest::mouseClick(Child<QToolButton>("SBtnPlay"), Qt::LeftButton);
    EXPECT_EQ(Tag("SBtnPlay"), 1);
    EXPECT_EQ(Tag("SBtnStop"), 0);
    auto* progress = Child<QProgressBar>("ProgressBar");
    EXPECT_EQ(progress->maximum(), 4 * 133) << "both copies of two blocks";
    auto* serial = form.findChild<QLabel*>("ImageSerial");
    ASSERT_NE(serial, nullptr);
    int lastSeen = 0, risings = 0;
    bool iconShown = false;
    const bool loaded = QTest::qWaitFor(
        [&] {
            const int value = progress->value();
            if (value > lastSeen && value < progress->maximum()) ++risings;
            lastSeen = std::max(lastSeen, value);
            iconShown = iconShown || !serial->pixmap().isNull();
            return ScreenText().find("LOADED 2000-20FF") != std::string::npos;
        },
        40000);
    ASSERT_TRUE(loaded) << ScreenText();
    EXPECT_GE(risings, 3) << "the bar moves while the record plays";
    EXPECT_TRUE(iconShown);
    {
        TapeHandOver::MachineCall call(browser_->HandOver());
        const std::string data = Pattern(200, 3);
        for (int i = 0; i < 256; ++i) {
            const uint8_t expected = i < 200 ? static_cast<uint8_t>(data[i]) : 0;
            ASSERT_EQ(TheMachine().MemoryView()->Peek(static_cast<uint16_t>(0x2000 + i)), expected)
                << i;
        }
    }
    // After the trailer the deck stops with the next data record current.
    ASSERT_TRUE(QTest::qWaitFor([&] { return Tag("SBtnPlay") == 0; }, 5000));
    EXPECT_EQ(Tag("SBtnStop"), 1);
    EXPECT_EQ(progress->value(), 0);
    EXPECT_FALSE(List()->topLevelItem(2)->icon(0).isNull());
    EXPECT_TRUE(List()->topLevelItem(0)->icon(0).isNull());
    EXPECT_TRUE(QTest::qWaitFor([&] { return serial->pixmap().isNull(); }, 1000));
}

// A recording of a cassette opens like a tape: its records listed under its name, and the
// machine loads from them.
TEST_F(TapeBrowserTest, ACassetteRecordingOpensAndLoadsLikeATape) {
    const tape::ReadResult read = tape::ReadTape(MakeTape(folder_, "tape.pta"));
    ASSERT_FALSE(read.records.empty());
    tape::WorkBuffer work(tape::kWorkBufferSize);
    const int64_t bytes = tape::ReadPlayData(read.records.front(), work);
    ASSERT_GT(bytes, 0);
    // The first record as a recorder running 3 % slow plays it.
    const std::vector<uint8_t> played(work.begin(), work.begin() + bytes);
    const std::string path =
        folder_.Write("side-a.wav", tape::WaveFile(tape::PlaySignal({played}, 0.97)));
    TFormMain& form = Show();
    ASSERT_TRUE(Booted());
    form.OpenFile(path, true);
    ASSERT_TRUE(browser_->isVisible());
    EXPECT_EQ(browser_->windowTitle(), "Tape browser - side-a.wav");
    ASSERT_EQ(List()->topLevelItemCount(), 1);
    EXPECT_EQ(List()->topLevelItem(0)->text(1), "08 - MONIT");
    EXPECT_TRUE(List()->topLevelItem(0)->icon(2).isNull()) << "no damage";

    Type("load 2000\r");
    QTest::mouseClick(Child<QToolButton>("SBtnPlay"), Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return ScreenText().find("LOADED 2000-20FF") != std::string::npos; }, 40000))
        << ScreenText();
    TapeHandOver::MachineCall call(browser_->HandOver());
    const std::string data = Pattern(200, 3);
    for (int i = 0; i < 200; ++i) {
        ASSERT_EQ(TheMachine().MemoryView()->Peek(static_cast<uint16_t>(0x2000 + i)),
                  static_cast<uint8_t>(data[i]))
            << i;
    }
}

// SAVE with no tape listed asks for a new tape file at the first block; the recording lands
// there, and the next one is appended, all while the machine runs on.
TEST_F(TapeBrowserTest, RecordingsAreAppendedToTheTapeFileWhileTheMachineRuns) {
    const std::string target = folder_ / "rec";
    ModalCloser answers({[&](QWidget* window) {
        auto* dialog = qobject_cast<QFileDialog*>(window);
        if (dialog == nullptr) return false;
        EXPECT_EQ(dialog->acceptMode(), QFileDialog::AcceptSave);
        dialog->selectFile(QString::fromStdString(target));
        QMetaObject::invokeMethod(dialog, "accept");
        return true;
    }});
    TFormMain& form = Show();
    ASSERT_TRUE(Booted());
    form.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
    QTest::keyClick(&form, Qt::Key_T, Qt::AltModifier);
    ASSERT_TRUE(browser_->isVisible());
    ASSERT_EQ(List()->topLevelItemCount(), 0);
    const std::string saved = Pattern(32, 9);
    {
        TapeHandOver::MachineCall call(browser_->HandOver());
        Machine::PausedScope paused(TheMachine());
        for (int i = 0; i < 32; ++i) paused.Memory()->Write(0x1000 + i, saved[i]);
    }

    Type("save 1000 20\r");
    ASSERT_TRUE(WaitShown("SAVED 1000-101F", 30000)) << ScreenText();
    ASSERT_TRUE(QTest::qWaitFor([&] { return List()->topLevelItemCount() == 1; }, 5000));
    EXPECT_TRUE(answers.AllDone());
    EXPECT_EQ(browser_->Deck().TapePath(), target + ".pta");
    EXPECT_EQ(browser_->windowTitle(), "Tape browser - rec.pta");

    Type("save 1000 20\r");
    ASSERT_TRUE(QTest::qWaitFor([&] { return List()->topLevelItemCount() == 2; }, 30000));
    EXPECT_EQ(TheMachine().GetRunState(), Machine::kRunning);
    const int64_t before = NowMs();
    EXPECT_TRUE(QTest::qWaitFor([&] { return NowMs() > before + 100; }, 5000));

    tape::ReadResult read = tape::ReadTape(target + ".pta");
    EXPECT_FALSE(read.failed);
    ASSERT_EQ(read.records.size(), 2u);
    tape::WorkBuffer work(tape::kWorkBufferSize);
    for (const tagTapeRecord& record : read.records) {
        EXPECT_EQ(record.blockCount, 1);
        ASSERT_EQ(tape::ExtractRawData(record, work), 128u);
        EXPECT_EQ(std::string(work.begin(), work.begin() + 32), saved);
    }
}

// The stored tape, place and toggles come back on the first show and go back on closing;
// letters go to the machine's window; Alt+T and Alt+P work from the keyboard.
TEST_F(TapeBrowserTest, KeysAndStoredSettings) {
    std::filesystem::create_directories(folder_ / "tapes");
    MakeTape(folder_, "tapes/t.pta");
    settings_.SetPath(keys::kTapeFile, folder_ / "tapes/t.pta");
    settings_.Set(keys::kTapeMonitoring, true);
    settings_.Set(keys::kTapeBrowserHeight, 320);
    TFormMain& form = Show();
    form.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&form));

    // Alt+P before the browser was ever shown plays the stored tape's first record.
    QTest::keyClick(&form, Qt::Key_P, Qt::AltModifier);
    EXPECT_TRUE(browser_->Deck().Playing());
    QTest::keyClick(&form, Qt::Key_P, Qt::AltModifier);
    EXPECT_FALSE(browser_->Deck().Playing());

    form.findChild<QAction*>("TBtnTapeBrowser")->trigger();
    ASSERT_TRUE(browser_->isVisible());
    EXPECT_EQ(browser_->height(), 320);
    EXPECT_EQ(List()->topLevelItemCount(), 5);
    EXPECT_EQ(Tag("SBtnMonit"), 1);
    EXPECT_EQ(Tag("SBtnFlashLoad"), 0);
    QTest::mouseClick(Child<QToolButton>("SBtnFlashLoad"), Qt::LeftButton);
    EXPECT_EQ(Tag("SBtnFlashLoad"), 1);
    EXPECT_TRUE(browser_->Deck().Fast());

    browser_->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(browser_));
    QTest::keyClick(List(), Qt::Key_A);
    EXPECT_TRUE(QTest::qWaitFor([&] { return QApplication::activeWindow() == &form; }, 2000));

    browser_->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(browser_));
    QTest::keyClick(List(), Qt::Key_T, Qt::AltModifier);
    EXPECT_FALSE(browser_->isVisible());

    browser_->show();
    browser_->close();
    EXPECT_EQ(settings_.GetStored(keys::kTapeFile), "tapes/t.pta");
    const std::string stored = ReadFile(configPath_);
    EXPECT_NE(stored.find("flash=\"true\""), std::string::npos) << stored;
    EXPECT_NE(stored.find("monitoring=\"true\""), std::string::npos);
    EXPECT_NE(stored.find(">tapes/t.pta<"), std::string::npos);
}

}  // namespace

namespace {

// A message box's button, pressed as the user would.
bool Press(QWidget* window, QMessageBox::StandardButton which) {
    auto* box = qobject_cast<QMessageBox*>(window);
    if (box == nullptr || box->button(which) == nullptr) return false;
    box->button(which)->click();
    return true;
}

bool ChooseFile(QWidget* window, const std::string& path) {
    auto* dialog = qobject_cast<QFileDialog*>(window);
    if (dialog == nullptr) return false;
    dialog->selectFile(QString::fromStdString(path));
    QMetaObject::invokeMethod(dialog, "accept");
    return true;
}

bool Enabled(const QMenu* menu, const char* name) {
    auto* action = menu->findChild<QAction*>(name);
    EXPECT_NE(action, nullptr) << name;
    return action != nullptr && action->isEnabled();
}

}  // namespace

// Edit mode from the buttons, the pop-up menu and the two dialogs, then Yes on leaving it.
TEST_F(TapeBrowserTest, EditModeRearrangesAndChangesRecordsAndSavesOnLeaving) {
    const std::string path = MakeTape(folder_, "tape.pta");
    const std::string edited = folder_ / "edited.pta";
    TFormMain& form = Show();
    form.OpenFile(path, true);
    auto* edit = Child<QToolButton>("SBtnEditTape");
    auto* up = Child<QToolButton>("SBtnUp");
    auto* down = Child<QToolButton>("SBtnDown");
    auto* del = Child<QToolButton>("SBtnDelete");
    auto* save = Child<QToolButton>("SBtnSaveTape");
    QMenu* menu = browser_->PopUpMenu();
    auto select = [&](std::initializer_list<int> rows) {
        List()->clearSelection();
        for (int r : rows) List()->topLevelItem(r)->setSelected(true);
    };

    select({0});
    browser_->PopUpMenuOpen();
    EXPECT_FALSE(del->isEnabled());
    EXPECT_TRUE(Enabled(menu, "PiSaveAsRaw"));
    EXPECT_TRUE(Enabled(menu, "PiSaveAsPTA"));
    EXPECT_FALSE(Enabled(menu, "PiEditRecord"));
    EXPECT_FALSE(Enabled(menu, "PiAddFileAsNewRecord"));

    QTest::mouseClick(edit, Qt::LeftButton);
    ASSERT_TRUE(browser_->EditMode());
    EXPECT_FALSE(Child<QToolButton>("SBtnPlay")->isEnabled());
    EXPECT_FALSE(Child<QToolButton>("SBtnInsertTape")->isEnabled());
    EXPECT_TRUE(Child<QToolButton>("SBtnAdd")->isEnabled());
    EXPECT_FALSE(save->isEnabled());
    select({1, 3});
    EXPECT_TRUE(del->isEnabled());
    EXPECT_FALSE(up->isEnabled() || down->isEnabled());
    select({1, 2});
    EXPECT_TRUE(up->isEnabled() && down->isEnabled());
    QTest::mouseClick(up, Qt::LeftButton);
    EXPECT_EQ(List()->topLevelItem(0)->text(0), "Side A");
    EXPECT_EQ(List()->topLevelItem(2)->text(0), "01");
    EXPECT_EQ(browser_->Selection(), (std::vector<int>{0, 1}));
    EXPECT_FALSE(up->isEnabled());
    EXPECT_TRUE(save->isEnabled());

    // The BASIC record with a spoilt copy: its header with a new number, a custom type and
    // checksum repair.
    select({3});
    browser_->PopUpMenuOpen();
    EXPECT_TRUE(Enabled(menu, "PiEditRecord"));
    EXPECT_TRUE(Enabled(menu, "PiSaveAsTxt"));
    bool headerSeen = false;
    {
        ModalCloser answers({[&](QWidget* window) {
            if (window->objectName() != "FormEditTapeHeader") return false;
            headerSeen = true;
            auto* number = window->findChild<QLineEdit*>("MeNumber");
            auto* type = window->findChild<QLineEdit*>("MeType");
            auto* fix = window->findChild<QCheckBox*>("CheckFixCrc");
            EXPECT_EQ(number->text(), "03");
            EXPECT_EQ(type->text(), "02");
            EXPECT_TRUE(type->isReadOnly());
            EXPECT_TRUE(fix->isEnabled());
            number->selectAll();
            QTest::keyClicks(number, "0xA");
            EXPECT_EQ(number->text(), "0A");
            window->findChild<QComboBox*>("CbType")->setCurrentIndex(3);
            EXPECT_EQ(type->text(), "01");
            EXPECT_FALSE(type->isReadOnly());
            type->selectAll();
            QTest::keyClicks(type, "1f");
            EXPECT_EQ(type->text(), "1F");
            fix->setChecked(true);
            QTest::mouseClick(window->findChild<QPushButton*>("BtnOk"), Qt::LeftButton);
            return true;
        }});
        menu->findChild<QAction*>("PiEditRecord")->trigger();
    }
    EXPECT_TRUE(headerSeen);
    EXPECT_EQ(List()->topLevelItem(3)->text(0), "0A");
    EXPECT_EQ(List()->topLevelItem(3)->text(1), "1F - CUSTOM");

    {
        ModalCloser answers({[&](QWidget* window) {
            if (window->objectName() != "FormEditInfoRecord") return false;
            auto* ok = window->findChild<QPushButton*>("BtnOk");
            EXPECT_FALSE(ok->isEnabled());
            QTest::keyClicks(window->findChild<QLineEdit*>("EditText"), "Note");
            EXPECT_TRUE(ok->isEnabled());
            QTest::mouseClick(ok, Qt::LeftButton);
            return true;
        }});
        browser_->PopUpMenuOpen();
        menu->findChild<QAction*>("PriAddInfo")->trigger();
    }
    ASSERT_EQ(List()->topLevelItemCount(), 6);
    EXPECT_EQ(List()->topLevelItem(5)->text(0), "Note");

    // Closing the window asks; Yes and a file name save and leave edit mode.
    {
        ModalCloser answers({[](QWidget* w) { return Press(w, QMessageBox::Yes); },
                             [&](QWidget* w) { return ChooseFile(w, edited); }});
        browser_->show();
        EXPECT_TRUE(browser_->close());
        EXPECT_TRUE(answers.AllDone());
    }
    EXPECT_FALSE(browser_->EditMode());
    EXPECT_EQ(browser_->Deck().TapePath(), edited);
    tape::ReadResult read = tape::ReadTape(edited);
    EXPECT_FALSE(read.failed);
    ASSERT_EQ(read.records.size(), 6u);
    const tagTapeRecord& repaired = *std::next(read.records.begin(), 3);
    EXPECT_EQ(repaired.number, 0x0A);
    EXPECT_EQ(repaired.fileType, 0x1F);
    EXPECT_FALSE(repaired.crcError);
    EXPECT_EQ(read.records.front().infoText, "Side A");
    EXPECT_EQ(read.records.back().infoText, "Note");
}

// A listing with doubtful lines: No shows the log, Yes takes the program as a BASIC record,
// which saves with the tape and exports as the listing again.
TEST_F(TapeBrowserTest, BasicListingsComeInThroughTheLogAndGoOutAsText) {
    const std::string text = folder_.Write("prog.txt", "20 PRINT \"HI\"\r\n10 GOTO 20\r\n");
    const std::string saved = folder_ / "basic.pta";
    const std::string exported = folder_ / "back.txt";
    TFormMain& form = Show();
    form.findChild<QAction*>("TBtnTapeBrowser")->trigger();
    QStringList shown;
    browser_->SetDocumentOpener([&](const QString& path) { shown << path; });
    QTest::mouseClick(Child<QToolButton>("SBtnEditTape"), Qt::LeftButton);
    ASSERT_TRUE(browser_->EditMode());
    QMenu* menu = browser_->PopUpMenu();
    browser_->PopUpMenuOpen();
    ASSERT_TRUE(Enabled(menu, "PiCreateFromTxt"));
    {
        ModalCloser answers({[&](QWidget* w) { return ChooseFile(w, text); },
                             [&](QWidget* w) {
                                 EXPECT_EQ(TheMachine().GetRunState(), Machine::kPaused);
                                 return Press(w, QMessageBox::No);
                             }});
        menu->findChild<QAction*>("PiCreateFromTxt")->trigger();
        EXPECT_TRUE(answers.AllDone());
    }
    EXPECT_EQ(shown, QStringList{QString::fromStdString(text + ".log")});
    EXPECT_EQ(ReadFile(text + ".log"), "Line 10 comes after line 20.\r\n");
    EXPECT_EQ(List()->topLevelItemCount(), 0);
    EXPECT_EQ(TheMachine().GetRunState(), Machine::kRunning);

    {
        ModalCloser answers({[&](QWidget* w) { return ChooseFile(w, text); },
                             [](QWidget* w) { return Press(w, QMessageBox::Yes); },
                             [](QWidget* w) {
                                 if (w->objectName() != "FormEditTapeHeader") return false;
                                 EXPECT_EQ(w->findChild<QLineEdit*>("MeNumber")->text(), "01");
                                 EXPECT_EQ(w->findChild<QComboBox*>("CbType")->currentIndex(), 0);
                                 EXPECT_FALSE(w->findChild<QCheckBox*>("CheckFixCrc")->isEnabled());
                                 QTest::mouseClick(w->findChild<QPushButton*>("BtnOk"),
                                                   Qt::LeftButton);
                                 return true;
                             },
                             [&](QWidget* w) { return ChooseFile(w, exported); },
                             [&](QWidget* w) { return ChooseFile(w, saved); }});
        browser_->PopUpMenuOpen();
        menu->findChild<QAction*>("PiCreateFromTxt")->trigger();
        ASSERT_EQ(List()->topLevelItemCount(), 1);
        EXPECT_EQ(List()->topLevelItem(0)->text(1), "02 - BASIC");
        // Not saved yet: the program still comes from the importer's file.
        List()->topLevelItem(0)->setSelected(true);
        browser_->PopUpMenuOpen();
        ASSERT_TRUE(Enabled(menu, "PiSaveAsTxt"));
        menu->findChild<QAction*>("PiSaveAsTxt")->trigger();
        EXPECT_EQ(ReadFile(exported), "20 PRINT \"HI\"\r\n10 GOTO 20\r\n");
        QTest::mouseClick(Child<QToolButton>("SBtnSaveTape"), Qt::LeftButton);
        EXPECT_TRUE(answers.AllDone());
    }
    for (const std::string& name : folder_.Names()) {
        EXPECT_EQ(name.find("-tmp.tmp"), std::string::npos) << name;
    }
    std::filesystem::remove(exported);
    {
        ModalCloser answers({[&](QWidget* w) { return ChooseFile(w, exported); }});
        List()->topLevelItem(0)->setSelected(true);
        browser_->PopUpMenuOpen();
        ASSERT_TRUE(Enabled(menu, "PiSaveAsTxt"));
        menu->findChild<QAction*>("PiSaveAsTxt")->trigger();
    }
    EXPECT_EQ(ReadFile(exported), "20 PRINT \"HI\"\r\n10 GOTO 20\r\n");
    QTest::mouseClick(Child<QToolButton>("SBtnEditTape"), Qt::LeftButton);
    EXPECT_FALSE(browser_->EditMode());
}

namespace {

// A message box's text, read before it is answered with `which`.
ModalCloser::Step Answer(QMessageBox::StandardButton which, QString* text = nullptr) {
    return [which, text](QWidget* window) {
        auto* box = qobject_cast<QMessageBox*>(window);
        if (box == nullptr || box->button(which) == nullptr) return false;
        if (text != nullptr) *text = box->text();
        box->button(which)->click();
        return true;
    };
}

}  // namespace

// SAVE with no tape listed and the new tape's name cancelled: the record stays in the list as
// not saved, and neither the program nor the browser goes without asking; Yes saves it where the
// user says. Ending the program while blocks are being recorded is asked about too.
TEST_F(TapeBrowserTest, ACancelledTapeFileKeepsTheRecordingUntilTheUserSavesIt) {
    const std::string target = folder_ / "kept.pta";
    TFormMain& form = Show();
    ASSERT_TRUE(Booted());
    browser_->show();
    const std::string saved = Pattern(32, 4);
    {
        TapeHandOver::MachineCall call(browser_->HandOver());
        Machine::PausedScope paused(TheMachine());
        for (int i = 0; i < 32; ++i) paused.Memory()->Write(0x1000 + i, saved[i]);
    }
    {
        ModalCloser cancel({[](QWidget* window) {
            auto* dialog = qobject_cast<QFileDialog*>(window);
            if (dialog == nullptr) return false;
            QMetaObject::invokeMethod(dialog, "reject");
            return true;
        }});
        Type("save 1000 20\r");
        ASSERT_TRUE(WaitShown("SAVED 1000-101F", 30000)) << ScreenText();
        ASSERT_TRUE(QTest::qWaitFor([&] { return List()->topLevelItemCount() == 1; }, 5000));
        EXPECT_TRUE(cancel.AllDone()) << cancel.Closed().join(", ").toStdString();
    }
    EXPECT_EQ(browser_->Deck().HeldRecordings(), 1);
    EXPECT_EQ(browser_->windowTitle(), "Tape browser - (recording not saved)");
    EXPECT_EQ(List()->topLevelItem(0)->toolTip(0),
              "Recorded by the machine, not saved in any file yet.");
    EXPECT_TRUE(Child<QToolButton>("SBtnSaveTape")->isEnabled());
    EXPECT_TRUE(ShownOutcome(form.statusBar()).startsWith("The recording is kept"))
        << ShownOutcome(form.statusBar()).toStdString();

    // Closing the program asks, and Cancel keeps it running; so does the browser's close.
    QString asked;
    {
        ModalCloser answers({Answer(QMessageBox::Cancel, &asked)});
        EXPECT_FALSE(form.close());
        EXPECT_TRUE(answers.AllDone());
    }
    EXPECT_TRUE(asked.contains("1 recorded record(s)")) << asked.toStdString();
    EXPECT_TRUE(form.isVisible());
    {
        ModalCloser answers(
            {Answer(QMessageBox::Yes), [&](QWidget* w) { return ChooseFile(w, target); }});
        EXPECT_TRUE(browser_->close());
        EXPECT_TRUE(answers.AllDone());
    }
    EXPECT_EQ(browser_->Deck().TapePath(), target);
    EXPECT_EQ(browser_->Deck().HeldRecordings(), 0);
    tape::ReadResult read = tape::ReadTape(target);
    ASSERT_EQ(read.records.size(), 1u);
    tape::WorkBuffer work(tape::kWorkBufferSize);
    ASSERT_EQ(tape::ExtractRawData(read.records.front(), work), 128u);
    EXPECT_EQ(std::string(work.begin(), work.begin() + 32), saved);

    // Blocks being recorded while the program is closed: No keeps it, and the record follows
    // the first one into the file.
    Type("save 1000 20\r");
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return TheMachine().Tape().RecorderState() == IfTape::kInBlock; }, 30000));
    {
        ModalCloser answers({Answer(QMessageBox::No, &asked)});
        EXPECT_FALSE(form.close());
        EXPECT_TRUE(answers.AllDone());
    }
    EXPECT_TRUE(asked.contains("still recording")) << asked.toStdString();
    ASSERT_TRUE(QTest::qWaitFor([&] { return tape::ReadTape(target).records.size() == 2; }, 30000));
}

// Edit mode leaves the user in control: Alt+T, the browser's close and the program's Exit work
// as outside it, asking only when something changed; a tape saved under a new name is the one
// shown after leaving.
TEST_F(TapeBrowserTest, EditModeEndsOnExitCloseAndAltTAskingOnlyWhenChanged) {
    const std::string path = MakeTape(folder_, "tape.pta");
    const std::string renamed = folder_ / "renamed.pta";
    const std::string last = folder_ / "last.pta";
    TFormMain& form = Show();
    form.OpenFile(path, true);
    ASSERT_TRUE(browser_->isVisible());
    auto* edit = Child<QToolButton>("SBtnEditTape");
    auto deleteRow = [&](int row) {
        List()->clearSelection();
        List()->topLevelItem(row)->setSelected(true);
        QTest::mouseClick(Child<QToolButton>("SBtnDelete"), Qt::LeftButton);
    };

    QTest::mouseClick(edit, Qt::LeftButton);
    ASSERT_TRUE(browser_->EditMode());
    deleteRow(1);
    {
        ModalCloser answers({[&](QWidget* w) { return ChooseFile(w, renamed); }});
        QTest::mouseClick(Child<QToolButton>("SBtnSaveTape"), Qt::LeftButton);
        EXPECT_TRUE(answers.AllDone());
    }
    QTest::mouseClick(edit, Qt::LeftButton);
    EXPECT_FALSE(browser_->EditMode());
    EXPECT_EQ(browser_->Deck().TapePath(), renamed);
    EXPECT_EQ(List()->topLevelItemCount(), 4);
    EXPECT_EQ(browser_->windowTitle(), "Tape browser - renamed.pta");

    // Nothing changed: Alt+T hides at once and edit mode is over.
    QTest::mouseClick(edit, Qt::LeftButton);
    ASSERT_TRUE(browser_->EditMode());
    browser_->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(browser_));
    QTest::keyClick(List(), Qt::Key_T, Qt::AltModifier);
    EXPECT_FALSE(browser_->isVisible());
    EXPECT_FALSE(browser_->EditMode());

    // A change: the browser's close asks; Cancel stays, No drops it and closes.
    browser_->show();
    QTest::mouseClick(edit, Qt::LeftButton);
    deleteRow(0);
    {
        ModalCloser answers({Answer(QMessageBox::Cancel)});
        EXPECT_FALSE(browser_->close());
        EXPECT_TRUE(answers.AllDone());
    }
    EXPECT_TRUE(browser_->EditMode() && browser_->isVisible());
    {
        ModalCloser answers({Answer(QMessageBox::No)});
        EXPECT_TRUE(browser_->close());
        EXPECT_TRUE(answers.AllDone());
    }
    EXPECT_FALSE(browser_->EditMode());
    EXPECT_EQ(List()->topLevelItemCount(), 4);

    // File > Exit with a change: Yes saves it, and the program ends.
    browser_->show();
    QTest::mouseClick(edit, Qt::LeftButton);
    deleteRow(0);
    {
        ModalCloser answers(
            {Answer(QMessageBox::Yes), [&](QWidget* w) { return ChooseFile(w, last); }});
        form.findChild<QAction*>("MiExit")->trigger();
        EXPECT_TRUE(answers.AllDone());
    }
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(tape::ReadTape(last).records.size(), 3u);
}

// What a file gives is told: a file with no record says why and the title keeps its name; a
// block with no good copy has a picture of its own, and repairing its checksums asks first; an
// edited recording is saved as a tape image beside it, never over it.
TEST_F(TapeBrowserTest, FilesWithoutRecordsAndLostBlocksAreToldApart) {
    TFormMain& form = Show();
    auto opened = [&](const std::string& path) {
        QString text;
        ModalCloser answers({Answer(QMessageBox::Ok, &text)});
        form.OpenFile(path, true);
        EXPECT_TRUE(answers.AllDone()) << path;
        return text.toStdString();
    };
    const std::string silent = folder_.Write(
        "silent.wav", cassette::Wave(std::vector<float>(44100, 0.0f), cassette::Damage{}));
    EXPECT_EQ(opened(silent), "No tape signal was found on silent.wav: it holds no records.");
    EXPECT_EQ(browser_->windowTitle(), "Tape browser - silent.wav");
    EXPECT_EQ(opened(folder_.Write("empty.pta", "")), "empty.pta is empty: it holds no records.");
    EXPECT_TRUE(ShownOutcome(form.statusBar()).startsWith("empty.pta is empty"));

    using namespace tapebuild;
    const auto p = Payload(6);
    const std::string damaged = folder_.Write(
        "damaged.pta",
        Record(0xFF, Blocks({Block(0, 0x81, 8, p, true), Block(0, 0x81, 8, p, true)})) +
            Record(0xFF, Blocks({Block(0, 0x82, 8, p, true), Block(0, 0x82, 8, p)})));
    form.OpenFile(damaged, true);
    ASSERT_EQ(List()->topLevelItemCount(), 2);
    const QImage lost = List()->topLevelItem(0)->icon(2).pixmap(16).toImage();
    EXPECT_EQ(lost, icons::Icon(icons::kNoGoodCopy).pixmap(16).toImage());
    EXPECT_NE(lost, List()->topLevelItem(1)->icon(2).pixmap(16).toImage());
    EXPECT_EQ(List()->topLevelItem(0)->toolTip(2),
              "A block has no good copy: its bytes are damaged.");

    QTest::mouseClick(Child<QToolButton>("SBtnEditTape"), Qt::LeftButton);
    ASSERT_TRUE(browser_->EditMode());
    auto repair = [&](QMessageBox::StandardButton answer) {
        QString text;
        ModalCloser answers({[](QWidget* window) {
                                 if (window->objectName() != "FormEditTapeHeader") return false;
                                 window->findChild<QCheckBox*>("CheckFixCrc")->setChecked(true);
                                 QTest::mouseClick(window->findChild<QPushButton*>("BtnOk"),
                                                   Qt::LeftButton);
                                 return true;
                             },
                             Answer(answer, &text)});
        List()->clearSelection();
        List()->topLevelItem(0)->setSelected(true);
        browser_->PopUpMenuOpen();
        browser_->PopUpMenu()->findChild<QAction*>("PiEditRecord")->trigger();
        EXPECT_TRUE(answers.AllDone());
        EXPECT_TRUE(text.startsWith("Blocks 0000 have no good copy.")) << text.toStdString();
        return browser_->Deck().RecordAt(0)->fixCrc;
    };
    EXPECT_FALSE(repair(QMessageBox::No));
    EXPECT_TRUE(repair(QMessageBox::Yes));
    {
        ModalCloser answers({Answer(QMessageBox::No)});
        QTest::mouseClick(Child<QToolButton>("SBtnEditTape"), Qt::LeftButton);
        EXPECT_TRUE(answers.AllDone());
    }

    // An edited recording: its own name is refused, the proposed one is a tape image.
    const tape::ReadResult read = tape::ReadTape(damaged);
    tape::WorkBuffer work(tape::kWorkBufferSize);
    const int64_t bytes = tape::ReadPlayData(read.records.back(), work);
    const std::vector<uint8_t> played(work.begin(), work.begin() + bytes);
    const std::string wav =
        folder_.Write("side.wav", tape::WaveFile(tape::PlaySignal({played, played}, 1.0)));
    const std::string recording = ReadFile(wav);
    form.OpenFile(wav, true);
    ASSERT_EQ(List()->topLevelItemCount(), 2);
    QTest::mouseClick(Child<QToolButton>("SBtnEditTape"), Qt::LeftButton);
    List()->clearSelection();
    List()->topLevelItem(1)->setSelected(true);
    QTest::mouseClick(Child<QToolButton>("SBtnDelete"), Qt::LeftButton);
    QString proposed, refused;
    {
        ModalCloser answers({[&](QWidget* window) {
                                 auto* dialog = qobject_cast<QFileDialog*>(window);
                                 if (dialog == nullptr) return false;
                                 proposed = dialog->selectedFiles().value(0);
                                 dialog->selectFile(QString::fromStdString(wav));
                                 // Queued: the dialog's own question then reaches the next step.
                                 QMetaObject::invokeMethod(dialog, "accept", Qt::QueuedConnection);
                                 return true;
                             },
                             Answer(QMessageBox::Yes),  // the dialog's "replace it?"
                             Answer(QMessageBox::Ok, &refused)});
        QTest::mouseClick(Child<QToolButton>("SBtnSaveTape"), Qt::LeftButton);
        EXPECT_TRUE(answers.AllDone());
    }
    EXPECT_TRUE(proposed.endsWith("/side.pta")) << proposed.toStdString();
    EXPECT_TRUE(refused.contains("never replaces a recording")) << refused.toStdString();
    EXPECT_TRUE(browser_->EditMode() && browser_->Deck().Changed());
    EXPECT_EQ(ReadFile(wav), recording);
    {
        ModalCloser answers({Answer(QMessageBox::No)});
        QTest::mouseClick(Child<QToolButton>("SBtnEditTape"), Qt::LeftButton);
        EXPECT_TRUE(answers.AllDone());
    }
}
