#include "ui/tape/TFormTapeBrowser.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QFileDialog>
#include <QLabel>
#include <QProgressBar>
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
#include "support/SilentAudio.h"
#include "support/TempFolder.h"
#include "ui/main/TFormMain.h"
#include "ui/support/DeliveredFiles.h"
#include "ui/support/ModalCloser.h"

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
class TapeBrowserTest : public ::testing::Test {
  protected:
    void SetUp() override {
        previousFolder_ = program::ProgramFolder();
        program::SetProgramFolder(folder_.Path());
        configPath_ = testing_support::WriteDeliveredFiles(folder_);
        ASSERT_EQ(document_.Load(configPath_), config::ConfigLoadResult::Usable);
        settings_.SetPath(keys::kRomFile, std::string(TEVRIN_BIN_DIR) + "/tevrin.rom");
    }

    void TearDown() override {
        form_.reset();
        EXPECT_TRUE(modals_.Closed().isEmpty())
            << "left open: " << modals_.Closed().join(", ").toStdString();
        document_.Close();
        lang::ActiveLanguage().Unload();
        program::SetProgramFolder(previousFolder_);
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
            typist.Update(NowMs(), TheMachine().Keyboard());
            QTest::qWait(5);
        }
    }
    bool Booted() {
        return QTest::qWaitFor([&] { return NowMs() > 1500; }, 10000);
    }

    std::string previousFolder_;
    TempFolder folder_;
    std::string configPath_;
    config::ConfigDocument document_;
    config::Settings settings_{document_};
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
    EXPECT_EQ(List()->topLevelItem(3)->toolTip(1), "Some blocks have checksum errors.");
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
