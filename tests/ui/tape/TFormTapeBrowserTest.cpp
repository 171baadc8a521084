#include "ui/tape/TFormTapeBrowser.h"

#include <gtest/gtest.h>

#include "ui/tape/TapeBrowserFixture.h"

namespace {

using namespace tapetest;

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
    // The first record as a recorder running 3 % slow plays it, kept as FLAC.
    const std::vector<uint8_t> played(work.begin(), work.begin() + bytes);
    const std::string path = folder_.Write(
        "side-a.flac",
        tape::SignalFile(tape::PlaySignal({played}, 0.97), tape::AudioContainer::Flac));
    TFormMain& form = Show();
    ASSERT_TRUE(Booted());
    form.OpenFile(path, true);
    ASSERT_TRUE(browser_->isVisible());
    EXPECT_EQ(browser_->windowTitle(), "Tape browser - side-a.flac");
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
        folder_.Write("side.wav", tape::SignalFile(tape::PlaySignal({played, played}, 1.0)));
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

}  // namespace
