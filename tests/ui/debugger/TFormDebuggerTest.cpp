#include "ui/debugger/TFormDebugger.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QTest>
#include <memory>
#include <string_view>

#include "emulator/Machine.h"
#include "host/config/ConfigDocument.h"
#include "host/config/Settings.h"
#include "host/files/ProgramPaths.h"
#include "host/lang/IniFile.h"
#include "host/lang/Language.h"
#include "support/SilentAudio.h"
#include "support/TempFolder.h"
#include "ui/common/LanguageApplier.h"
#include "ui/main/TFormMain.h"
#include "ui/support/DeliveredFiles.h"
#include "ui/support/ModalCloser.h"

namespace {

using namespace std::string_view_literals;
namespace keys = config::keys;

// MVI A,12h; then INR A and JMP back for ever (the ROM, so the debugger can only look).
const std::string kCountingRom = testing_support::RomWith("\x3E\x12\x3C\xC3\x02\x00"sv);

class DebuggerWindowTest : public ::testing::Test {
  protected:
    void SetUp() override {
        previousFolder_ = program::ProgramFolder();
        program::SetProgramFolder(folder_.Path());
        configPath_ = testing_support::WriteDeliveredFiles(folder_);
        ASSERT_EQ(document_.Load(configPath_), config::ConfigLoadResult::Usable);
        settings_.SetPath(keys::kRomFile, folder_.Write("test.rom", kCountingRom));
        main_ = std::make_unique<TFormMain>(settings_, nullptr, SilentAudio());
        main_->show();
        debugger_ = main_->Debugger();
        QAction* item = main_->findChild<QAction*>("MiDebugger");
        ASSERT_NE(item, nullptr);
        EXPECT_EQ(item->shortcut(), QKeySequence("Alt+F12"));
        QTest::qWait(50);
        item->trigger();
        ASSERT_TRUE(debugger_->isVisible());
        ASSERT_TRUE(QTest::qWaitForWindowExposed(debugger_));
    }

    void TearDown() override {
        main_.reset();
        EXPECT_TRUE(modals_.Closed().isEmpty());
        document_.Close();
        lang::ActiveLanguage().Unload();
        program::SetProgramFolder(previousFolder_);
    }

    Machine& machine() { return main_->GetMachine(); }
    QLabel* Label(const char* name) { return debugger_->findChild<QLabel*>(name); }
    std::string Text(const char* name) { return Label(name)->text().toStdString(); }
    // A double click `column` characters into a label.
    void DoubleClickAt(QWidget* widget, double column) {
        const int x = static_cast<int>(column * widget->fontMetrics().horizontalAdvance('0'));
        QTest::mouseDClick(widget, Qt::LeftButton, Qt::NoModifier, QPoint(x, widget->height() / 2));
    }
    void Key(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        // Where the window's keys arrive first: its initially focused button.
        QTest::keyClick(debugger_->findChild<QWidget*>("SbStep"), key, modifiers);
    }
    void EditValue(QWidget* label, const char* value) {
        DoubleClickAt(label, 1);
        auto* edit = debugger_->findChild<QLineEdit*>("MeEditValue");
        ASSERT_TRUE(edit->isVisible());
        edit->selectAll();
        QTest::keyClicks(edit, value);
        QTest::keyClick(edit, Qt::Key_Return);
    }

    testing_support::TempFolder folder_;
    std::string previousFolder_;
    std::string configPath_;
    config::ConfigDocument document_;
    config::Settings settings_{document_};
    ModalCloser modals_;
    std::unique_ptr<TFormMain> main_;
    TFormDebugger* debugger_ = nullptr;
};

TEST_F(DebuggerWindowTest, StepEditSetABreakpointAndRunToIt) {
    EXPECT_TRUE(machine().Debugger().Stopped());
    EXPECT_EQ(machine().GetRunState(), Machine::kPaused);
    EXPECT_EQ(debugger_->windowTitle(), "Debugger");
    EXPECT_TRUE(debugger_->font().fixedPitch());

    ASSERT_NO_FATAL_FAILURE(EditValue(Label("RegPC"), "0"));
    EXPECT_EQ(Text("RegPC"), "PC:#0000");
    EXPECT_EQ(Text("i3"), " #0000 3E12     MVI  A,#12");
    EXPECT_EQ(Text("i4"), " #0002 3C       INR  A");
    Key(Qt::Key_F7);
    EXPECT_EQ(Text("i2"), " #0000 3E12     MVI  A,#12") << "the history line";
    EXPECT_EQ(Text("RegAF").substr(0, 5), "AF:#1");
    ASSERT_NO_FATAL_FAILURE(EditValue(Label("RegAF"), "12FF"));
    EXPECT_EQ(Text("RegAF"), "AF:#12D7");

    // A double click in the address column of the line after the current one.
    DoubleClickAt(Label("i4"), 2);
    auto* list = debugger_->findChild<QListWidget*>("ClbBreakPoints");
    EXPECT_EQ(list->item(0)->text(), "#0003");
    EXPECT_EQ(list->item(0)->checkState(), Qt::Checked);

    Key(Qt::Key_F5);
    EXPECT_FALSE(debugger_->isVisible());
    ASSERT_TRUE(QTest::qWaitFor([&] { return debugger_->isVisible(); }, 5000));
    EXPECT_TRUE(machine().Debugger().Stopped());
    EXPECT_EQ(Text("RegPC"), "PC:#0003");
    EXPECT_EQ(Text("RegAF").substr(0, 6), "AF:#13");

    // Hexadecimal to decimal and back (Ctrl+H), and the notation.
    Key(Qt::Key_H, Qt::ControlModifier);
    EXPECT_EQ(Text("RegPC"), "PC:00003");
    EXPECT_EQ(list->item(0)->text(), "00003");
    Key(Qt::Key_H, Qt::ControlModifier);
    debugger_->SbZ80Click();
    EXPECT_EQ(Text("i3"), " #0003 C30200   jp   #0002");
}

TEST_F(DebuggerWindowTest, AnOpenEditorRefusesCommandsAndKeepsTheWindowOpen) {
    DoubleClickAt(Label("RegBC"), 1);
    auto* edit = debugger_->findChild<QLineEdit*>("MeEditValue");
    ASSERT_TRUE(edit->isVisible());
    const uint16_t pc = machine().Processor().pc;
    Key(Qt::Key_F7);
    EXPECT_EQ(machine().Processor().pc, pc) << "no step while the editor is open";
    debugger_->close();
    EXPECT_TRUE(debugger_->isVisible());
    QTest::keyClick(edit, Qt::Key_Escape);
    EXPECT_FALSE(edit->isVisible());

    // The inline assembler over a disassembly listing: a failure selects the wrong character.
    auto* source = debugger_->findChild<QComboBox*>("CbListSrc");
    source->setCurrentIndex(7);
    emit source->activated(7);
    ASSERT_EQ(debugger_->Listing().shownType, debugger::kDisassembly);
    DoubleClickAt(Label("dump1"), 17);
    auto* field = debugger_->findChild<QLineEdit*>("MeInlineAsm");
    ASSERT_TRUE(field->isVisible());
    QTest::keyClicks(field, "mvi a,300");
    EXPECT_EQ(field->text(), "MVI A,300");
    QTest::keyClick(field, Qt::Key_Return);
    EXPECT_TRUE(field->isVisible());
    EXPECT_EQ(field->selectionStart(), 6);
    EXPECT_EQ(field->selectedText(), "3");
    QTest::keyClick(field, Qt::Key_Escape);
    EXPECT_FALSE(field->isVisible());

    // Closing runs the machine on and writes the settings.
    debugger_->close();
    EXPECT_FALSE(debugger_->isVisible());
    EXPECT_EQ(machine().Debugger().DebuggerState.load(), debugger::kResumeRequested);
    EXPECT_EQ(settings_.Get(keys::kListSource), config::ListSource::PC);
}

TEST_F(DebuggerWindowTest, EveryTextOfItsLanguageSectionsFindsItsControl) {
    for (const char* file : {"english.ini", "german.ini"}) {
        IniFile ini;
        ASSERT_TRUE(ini.LoadFile(std::string(TEVRIN_SOURCE_DIR) + "/resources/Lang/" + file));
        const IniFile::Section* section = ini.FindSection("FormDebugger");
        ASSERT_NE(section, nullptr);
        std::vector<std::string> unused = ApplyLanguageSection(debugger_, *section);
        // Messages and prompts are looked up when they are shown.
        std::erase_if(unused, [](const std::string& key) {
            return key.starts_with("text.") || key.starts_with("err.") ||
                   key.starts_with("panel.PanelDump.Hint");
        });
        EXPECT_TRUE(unused.empty()) << file << ": " << testing::PrintToString(unused);
    }
}

}  // namespace
