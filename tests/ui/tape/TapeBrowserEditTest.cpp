#include "ui/tape/TFormTapeBrowser.h"

#include <gtest/gtest.h>

#include "ui/tape/TapeBrowserFixture.h"

namespace {

using namespace tapetest;

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

}  // namespace
