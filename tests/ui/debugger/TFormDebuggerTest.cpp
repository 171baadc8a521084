#include "ui/debugger/TFormDebugger.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QStatusBar>
#include <QTest>
#include <QToolButton>
#include <QToolTip>
#include <chrono>
#include <memory>
#include <string_view>
#include <thread>

#include "emulator/Machine.h"
#include "host/config/ConfigDocument.h"
#include "host/config/Settings.h"
#include "host/files/ProgramPaths.h"
#include "host/lang/IniFile.h"
#include "host/lang/Language.h"
#include "support/SilentAudio.h"
#include "support/TempFolder.h"
#include "ui/common/LanguageApplier.h"
#include "ui/common/OutcomeReport.h"
#include "ui/debugger/TFormDbgFind.h"
#include "ui/debugger/TFormPerifStat.h"
#include "ui/main/TFormMain.h"
#include "ui/support/DeliveredFiles.h"
#include "ui/support/ModalCloser.h"
#include "ui/support/ProgramFolderTest.h"

namespace {

using namespace std::string_view_literals;
namespace keys = config::keys;

// MVI A,12h; then INR A and JMP back for ever (the ROM, so the debugger can only look).
const std::string kCountingRom = testing_support::RomWith("\x3E\x12\x3C\xC3\x02\x00"sv);

class DebuggerWindowTest : public ProgramFolderTest {
  protected:
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(ProgramFolderTest::SetUp());
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
        EXPECT_TRUE(modals_.Closed().isEmpty()) << modals_.Closed().join(", ").toStdString();
        ProgramFolderTest::TearDown();
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

    ModalCloser modals_;
    std::unique_ptr<TFormMain> main_;
    TFormDebugger* debugger_ = nullptr;
};

TEST_F(DebuggerWindowTest, StepEditSetABreakpointAndRunToIt) {
    EXPECT_TRUE(machine().Debugger().Stopped());
    EXPECT_EQ(machine().GetRunState(), Machine::kPaused);
    EXPECT_EQ(debugger_->windowTitle(), "Debugger");
    EXPECT_TRUE(debugger_->font().fixedPitch());
    for (const char* name : {"SbRun", "SbStep", "SbStepOver", "SbStepOut", "SbToNext", "SbCopy",
                             "SbFill", "SbFind", "SbDisass", "SbPerifStat", "SbTo0"}) {
        EXPECT_FALSE(debugger_->findChild<QToolButton*>(name)->icon().isNull()) << name;
    }

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
    // Breakpoint 1 marks its line in the column before the address.
    const std::string line = Text("i3");
    EXPECT_EQ(line.substr(line.find('#')), "#0003 C30200   jp   #0002");
    EXPECT_NE(line[0], ' ');
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
    EXPECT_EQ(ShownOutcome(debugger_->findChild<QStatusBar*>("StatusDebugger")).toStdString(),
              lang::LangText("FormDebugger", "err.InlineAsm.Failed"));
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

// Where a widget lies in the debugger's own coordinates.
QRect Area(QWidget* widget, QWidget* window) {
    return QRect(widget->mapTo(window, QPoint(0, 0)), widget->size());
}

TEST_F(DebuggerWindowTest, EditorsSitOverWhatTheyEditOnTheHighlight) {
    ChipMemory& memory = *machine().Debugger().Memory();
    // Paging on, and internal RAM page 0 in the window at 0x4000.
    ChipCpu8080& cpu = *machine().Debugger().Cpu();
    ASSERT_NE(cpu.FindPortDevice(0xD8), nullptr);
    cpu.FindPortDevice(0xD8)->PortRead(0xD8, 0);
    cpu.FindPortDevice(0xE4)->PortWrite(0xE4, 0xE0, 0);
    const std::string bytes = "\x41\x01\x42\x43\x44\x45\x46\x47\x48";
    for (size_t i = 0; i < bytes.size(); ++i)
        memory.Write(static_cast<uint16_t>(0x4000 + i), static_cast<uint8_t>(bytes[i]));
    ASSERT_EQ(memory.Read(0x4002), 0x42) << "RAM at 0x4000";

    // The default colour is stored blue, green, red from the low byte: 0xEFC9B4.
    const QColor highlight(0xB4, 0xC9, 0xEF);
    for (const char* shape : {"PanelRegs", "PanelSP", "PanelDump", "ShapeListAddr", "i3"}) {
        QWidget* widget = debugger_->findChild<QWidget*>(shape);
        EXPECT_TRUE(widget->autoFillBackground()) << shape;
        EXPECT_EQ(widget->palette().color(QPalette::Window), highlight) << shape;
    }
    EXPECT_NE(Label("RegAF")->palette().color(QPalette::Window), highlight);
    EXPECT_TRUE(Label("RegAF")->autoFillBackground()) << "opaque on its highlight";
    EXPECT_TRUE(Label("SP1")->autoFillBackground());

    // The value editor over the register's value, its caption over the register's name; the
    // label turns transparent while edited. A hexadecimal mask takes hex digits only.
    auto* value = debugger_->findChild<QLineEdit*>("MeEditValue");
    // A short entry is the number typed: 1F is 001Fh, not 1F00h.
    DoubleClickAt(Label("RegBC"), 1);
    value->selectAll();
    QTest::keyClicks(value, "1F");
    QTest::keyClick(value, Qt::Key_Return);
    EXPECT_EQ(cpu.BC(), 0x001F);
    DoubleClickAt(Label("RegBC"), 1);
    ASSERT_TRUE(value->isVisible());
    EXPECT_TRUE(Area(value, debugger_).intersects(Area(Label("RegBC"), debugger_)));
    EXPECT_TRUE(Area(Label("LblEditLabel"), debugger_).intersects(Area(Label("RegBC"), debugger_)));
    EXPECT_EQ(Text("LblEditLabel"), "BC:");
    EXPECT_FALSE(Label("RegBC")->autoFillBackground());
    value->selectAll();
    QTest::keyClicks(value, "zg4x0q01");
    EXPECT_EQ(value->displayText(), "#4001");
    QTest::keyClick(value, Qt::Key_Return);
    EXPECT_FALSE(value->isVisible());
    EXPECT_TRUE(Label("RegBC")->autoFillBackground());
    EXPECT_EQ(cpu.BC(), 0x4001);

    // A dump listing of (BC): the dump editor over the clicked line, the caret on the byte's
    // first digit.
    auto* source = debugger_->findChild<QComboBox*>("CbListSrc");
    auto* type = debugger_->findChild<QComboBox*>("CbListType");
    source->setCurrentIndex(4);
    emit source->activated(4);
    type->setCurrentIndex(0);
    emit type->activated(0);
    EXPECT_EQ(Text("dump1").substr(0, 16), " #4001  #01 #42 ");
    auto* dump = debugger_->findChild<QLineEdit*>("MeEditDump");
    // The hint says what acts: a double click, not a single one.
    const int byteX = static_cast<int>(13.5 * Label("dump1")->fontMetrics().horizontalAdvance('0'));
    QTest::mouseClick(Label("dump1"), Qt::LeftButton, {}, QPoint(byteX, 4));
    EXPECT_FALSE(dump->isVisible());
    EXPECT_NE(lang::LangText("FormDebugger", "panel.PanelDump.Hint0").find("Double-click a byte"),
              std::string::npos);
    DoubleClickAt(Label("dump1"), 8 + 4 * 1 + 1.5);
    ASSERT_TRUE(dump->isVisible());
    const QRect line = Area(Label("dump1"), debugger_);
    const QRect editor = Area(dump, debugger_);
    EXPECT_EQ(editor.center().y(), line.center().y());
    EXPECT_LT(editor.top(), line.top());
    EXPECT_GT(editor.left(), line.left());
    EXPECT_EQ(dump->cursorPosition(), 5);
    QTest::keyClicks(dump, "9zA");
    EXPECT_EQ(dump->displayText().left(12), "#01 #9A #43 ");
    QTest::keyClick(dump, Qt::Key_Return);
    EXPECT_FALSE(dump->isVisible());
    EXPECT_EQ(memory.Read(0x4002), 0x9A);
    EXPECT_EQ(memory.Read(0x4003), 0x43);

    // Decimal: a byte above 255 is selected and the editor stays.
    Key(Qt::Key_H, Qt::ControlModifier);
    DoubleClickAt(Label("dump1"), 8.5);
    ASSERT_TRUE(dump->isVisible());
    EXPECT_EQ(dump->cursorPosition(), 0);
    QTest::keyClicks(dump, "300");
    QTest::keyClick(dump, Qt::Key_Return);
    EXPECT_TRUE(dump->isVisible());
    EXPECT_EQ(dump->selectedText(), "300");
    QTest::keyClick(dump, Qt::Key_Escape);
    EXPECT_FALSE(dump->isVisible());
    EXPECT_EQ(memory.Read(0x4001), 0x01);
    Key(Qt::Key_H, Qt::ControlModifier);

    // The character editor over the characters: printable keys only, and the "." of an
    // unprintable byte that is not overtyped leaves it alone.
    auto* chars = debugger_->findChild<QLineEdit*>("MeEditAscii");
    DoubleClickAt(Label("dump1"), 41 + 1.5);
    ASSERT_TRUE(chars->isVisible());
    EXPECT_GT(Area(chars, debugger_).left(), editor.right() - 8);
    EXPECT_EQ(chars->displayText(), "..CDEFGH");
    EXPECT_EQ(chars->cursorPosition(), 1);
    QTest::keyClick(chars, Qt::Key_Tab);
    QTest::keyClicks(chars, "h i");
    QTest::keyClick(chars, Qt::Key_Return);
    EXPECT_FALSE(chars->isVisible());
    EXPECT_EQ(memory.Read(0x4001), 0x01);
    EXPECT_EQ(memory.Read(0x4002), 'h');
    EXPECT_EQ(memory.Read(0x4003), ' ');
    EXPECT_EQ(memory.Read(0x4004), 'i');
    EXPECT_EQ(memory.Read(0x4005), 0x45);
}

// Whether the listing panel explains itself when the pointer rests on it.
QString HintShown(QWidget* panel) {
    QToolTip::hideText();
    QHelpEvent hover(QEvent::ToolTip, QPoint(4, 4), panel->mapToGlobal(QPoint(4, 4)));
    QApplication::sendEvent(panel, &hover);
    return QToolTip::isVisible() ? QToolTip::text() : QString();
}

TEST_F(DebuggerWindowTest, TheSettingsDialogTurnsTheHintsOnInTheOpenDebugger) {
    auto* panel = debugger_->findChild<QWidget*>("PanelDump");
    auto* type = debugger_->findChild<QComboBox*>("CbListType");
    type->setCurrentIndex(2);
    emit type->activated(2);
    ASSERT_FALSE(settings_.Get(keys::kShowHintInDebugger));
    EXPECT_TRUE(HintShown(panel).isEmpty());

    ModalCloser general({[&](QWidget* modal) {
        QWidget* check = modal->findChild<QWidget*>("CheckHintDbg");
        EXPECT_NE(check, nullptr);
        if (check != nullptr) QTest::mouseClick(check, Qt::LeftButton, {}, QPoint(6, 6));
        QTest::mouseClick(modal->findChild<QPushButton*>("BtnOk"), Qt::LeftButton);
        return true;
    }});
    main_->findChild<QAction*>("MiGeneral")->trigger();
    EXPECT_TRUE(general.AllDone()) << general.Closed().join(", ").toStdString();
    ASSERT_TRUE(settings_.Get(keys::kShowHintInDebugger));
    ASSERT_TRUE(debugger_->isVisible());
    // The disassembly listing's own hint, as the language file words it.
    const QString expected =
        QString::fromStdString(lang::LangText("FormDebugger", "panel.PanelDump.Hint2"))
            .replace('\\', '\n');
    ASSERT_FALSE(expected.isEmpty());
    EXPECT_EQ(panel->toolTip(), expected);
    EXPECT_EQ(HintShown(panel), expected);
}

TEST_F(DebuggerWindowTest, ToolWindowsAnswerTheDebuggersKeysAndButtons) {
    settings_.Set(keys::kShowNotFoundInDebugger, true);
    // Ctrl+F opens the search; the bytes of MVI's operand and INR A, from (MEM1) at 0.
    auto* source = debugger_->findChild<QComboBox*>("CbListSrc");
    source->setCurrentIndex(0);
    emit source->activated(0);
    Key(Qt::Key_F, Qt::ControlModifier);
    auto* find = debugger_->findChild<TFormDbgFind*>();
    ASSERT_NE(find, nullptr);
    ASSERT_TRUE(find->isVisible());
    auto* values = find->findChild<QLineEdit*>("MeEditValues");
    values->setFocus();
    values->setCursorPosition(1);
    QTest::keyClicks(values, "123C");
    ASSERT_EQ(find->Pattern().Values[1], 0x3C);
    QTest::mouseClick(find->findChild<QPushButton*>("BtnFind"), Qt::LeftButton);
    EXPECT_FALSE(find->isVisible());
    EXPECT_EQ(Text("dump1").substr(0, 7), " #0001 ") << "the listing moved to the match";
    // Back in the debugger its keys work at once, wherever the focus came to rest.
    QWidget* focused = debugger_->focusWidget();
    ASSERT_NE(focused, nullptr);
    uint16_t pc = machine().Processor().pc;
    QTest::keyClick(focused, Qt::Key_F7);
    EXPECT_NE(machine().Processor().pc, pc) << "F7 after a search";
    pc = machine().Processor().pc;
    QTest::keyClick(debugger_, Qt::Key_F7);
    EXPECT_NE(machine().Processor().pc, pc) << "F7 on the window itself";
    // And in the search dialog: F7 steps, Ctrl+C stays the field's own.
    pc = machine().Processor().pc;
    QTest::keyClick(values, Qt::Key_F7);
    EXPECT_NE(machine().Processor().pc, pc) << "F7 in the search dialog";
    QTest::keyClick(values, Qt::Key_C, Qt::ControlModifier);
    EXPECT_FALSE(debugger_->EditorOpen()) << "no copy prompt from the search dialog";

    // F3 goes on, through whatever mirrors the ROM has, until a turn ends in the message.
    QString message;
    ModalCloser wrapped({[&](QWidget* modal) {
        if (auto* box = qobject_cast<QMessageBox*>(modal)) message = box->text();
        modal->close();
        return true;
    }});
    int presses = 0;
    while (message.isEmpty() && presses < 64) {
        Key(Qt::Key_F3);
        ++presses;
    }
    EXPECT_EQ(message.toStdString(), lang::LangText("FormDebugger", "err.Find.WrapAround"));
    EXPECT_TRUE(wrapped.AllDone());
    // Without the message the same turn only beeps: no window, the search goes on.
    settings_.Set(keys::kShowNotFoundInDebugger, false);
    ModalCloser none;
    for (int i = 0; i < presses; ++i) Key(Qt::Key_F3);
    EXPECT_TRUE(none.Closed().isEmpty());
    EXPECT_FALSE(find->isVisible());

    // The peripheral status button toggles its window, which comes back after run and stop.
    auto* chips = debugger_->findChild<QToolButton*>("SbPerifStat");
    auto* status = debugger_->findChild<TFormPerifStat*>();
    ASSERT_NE(status, nullptr);
    QTest::mouseClick(chips, Qt::LeftButton);
    EXPECT_TRUE(status->isVisible());
    pc = machine().Processor().pc;
    QTest::keyClick(status, Qt::Key_F7);
    EXPECT_NE(machine().Processor().pc, pc) << "F7 in the peripheral status window";
    Key(Qt::Key_F5);
    EXPECT_FALSE(status->isVisible());
    EXPECT_FALSE(debugger_->isVisible());
    ASSERT_TRUE(QTest::qWaitFor([&] { return !machine().Debugger().Stopped(); }, 2000));
    main_->findChild<QAction*>("MiDebugger")->trigger();
    ASSERT_TRUE(debugger_->isVisible());
    EXPECT_TRUE(status->isVisible());
    QTest::mouseClick(chips, Qt::LeftButton);
    EXPECT_FALSE(status->isVisible());
}

// A reset makes the recorder wait, holding the processor, until the window has heard of it. The
// debugger entered in that moment must serve it first, as the main window's own pause does,
// instead of waiting for the processor for ever.
TEST_F(DebuggerWindowTest, EnteringWhileTheRecorderWaitsForTheWindowServesItFirst) {
    Key(Qt::Key_F5);
    ASSERT_TRUE(QTest::qWaitFor([&] { return machine().GetRunState() == Machine::kRunning; }));
    main_->findChild<QAction*>("TBtnReset")->trigger();
    // No events: the window cannot hear of the reset while the run loop reaches it.
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    main_->findChild<QAction*>("MiDebugger")->trigger();
    EXPECT_EQ(machine().GetRunState(), Machine::kPaused);
    EXPECT_TRUE(debugger_->isVisible());
    EXPECT_TRUE(machine().Debugger().Stopped());
}

}  // namespace

namespace {

// Back over steps taken in the debugger: a register edited before them holds in the moments
// gone back to; "Run back" returns to the previous stop at a breakpoint.
TEST_F(DebuggerWindowTest, StepBackAndRunBackShowEarlierMoments) {
    ASSERT_NO_FATAL_FAILURE(EditValue(Label("RegPC"), "0002"));
    ASSERT_NO_FATAL_FAILURE(EditValue(Label("RegAF"), "4002"));
    for (int i = 0; i < 3; ++i) Key(Qt::Key_F7);  // INR A; JMP 2; INR A
    EXPECT_EQ(Text("RegAF").substr(0, 6), "AF:#42");
    auto* back = debugger_->findChild<QToolButton*>("SbStepBack");
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(back->text(), "Back");
    back->click();
    EXPECT_EQ(Text("RegPC"), "PC:#0002");
    EXPECT_EQ(Text("RegAF").substr(0, 6), "AF:#41");
    back->click();
    EXPECT_EQ(Text("RegPC"), "PC:#0003");
    EXPECT_EQ(Text("RegAF").substr(0, 6), "AF:#41");
    // Stepping on continues from the moment shown.
    Key(Qt::Key_F7);
    EXPECT_EQ(Text("RegPC"), "PC:#0002");

    // A breakpoint at the jump: run to it twice, then back to the first stop.
    DoubleClickAt(Label("i4"), 2);
    Key(Qt::Key_F5);
    ASSERT_TRUE(QTest::qWaitFor([&] { return debugger_->isVisible(); }, 5000));
    EXPECT_EQ(Text("RegPC"), "PC:#0003");
    const std::string first = Text("RegAF");
    Key(Qt::Key_F5);
    ASSERT_TRUE(QTest::qWaitFor([&] { return debugger_->isVisible(); }, 5000));
    EXPECT_NE(Text("RegAF"), first);
    debugger_->findChild<QToolButton*>("SbRunBack")->click();
    EXPECT_EQ(Text("RegPC"), "PC:#0003");
    EXPECT_EQ(Text("RegAF"), first);
}

}  // namespace

namespace {

// RAM at 4000h (internal page 0 in window 4): the ROM cannot take a program of the test's.
void MapRamAt4000(ChipCpu8080& cpu) {
    cpu.FindPortDevice(0xD8)->PortRead(0xD8, 0);
    cpu.FindPortDevice(0xE4)->PortWrite(0xE4, 0xE0, 0);
}

// A call whose routine never returns: the debugger follows the running machine and its Break
// stops it where it is, after which every key works again.
TEST_F(DebuggerWindowTest, BreakStopsAStepOverThatNeverComesBack) {
    ChipCpu8080& cpu = *machine().Debugger().Cpu();
    ChipMemory& memory = *machine().Debugger().Memory();
    MapRamAt4000(cpu);
    const uint8_t program[] = {0xCD, 0x10, 0x40};     // 4000 CALL 4010h
    const uint8_t loop[] = {0x3C, 0xC3, 0x10, 0x40};  // 4010 INR A; JMP 4010h
    for (uint16_t i = 0; i < sizeof program; ++i) memory.Write(0x4000 + i, program[i]);
    for (uint16_t i = 0; i < sizeof loop; ++i) memory.Write(0x4010 + i, loop[i]);
    ASSERT_NO_FATAL_FAILURE(EditValue(Label("RegSP"), "5000"));
    ASSERT_NO_FATAL_FAILURE(EditValue(Label("RegPC"), "4000"));
    auto* step = debugger_->findChild<QToolButton*>("SbStep");
    auto* breakButton = debugger_->findChild<QToolButton*>("SbBreak");
    ASSERT_NE(breakButton, nullptr);
    EXPECT_FALSE(breakButton->isEnabled()) << "nothing runs to break";
    EXPECT_EQ(Text("LblRunState"), lang::LangText("FormDebugger", "text.Run.Stopped"));

    Key(Qt::Key_F8);
    EXPECT_TRUE(debugger_->isVisible());
    EXPECT_EQ(Text("LblRunState"), lang::LangText("FormDebugger", "text.Run.StepOver"));
    EXPECT_TRUE(breakButton->isEnabled());
    EXPECT_FALSE(step->isEnabled());
    EXPECT_FALSE(debugger_->findChild<QToolButton*>("SbStepOver")->isEnabled());
    // The view follows the machine: A counts up in the routine.
    const std::string before = Text("RegAF");
    ASSERT_TRUE(QTest::qWaitFor([&] { return Text("RegAF") != before; }, 10000))
        << "the registers do not follow the running machine";
    const std::string later = Text("RegAF");
    ASSERT_TRUE(QTest::qWaitFor([&] { return Text("RegAF") != later; }, 10000));
    EXPECT_EQ(machine().Debugger().DebuggerState.load(), debugger::kSteppingOver);
    EXPECT_EQ(machine().GetRunState(), Machine::kRunning);

    QTest::keyClick(debugger_, Qt::Key_Escape);
    EXPECT_TRUE(machine().Debugger().Stopped());
    EXPECT_EQ(machine().GetRunState(), Machine::kPaused);
    EXPECT_TRUE(debugger_->isVisible());
    EXPECT_EQ(Text("LblRunState"), lang::LangText("FormDebugger", "text.Run.Stopped"));
    EXPECT_TRUE(step->isEnabled());
    EXPECT_FALSE(breakButton->isEnabled());
    const uint16_t pc = machine().Processor().pc;
    EXPECT_TRUE(pc == 0x4010 || pc == 0x4011) << pc;
    EXPECT_EQ(Text("RegPC"), pc == 0x4010 ? "PC:#4010" : "PC:#4011") << "the view shows the stop";
    Key(Qt::Key_F7);
    EXPECT_NE(machine().Processor().pc, pc) << "the keys work again";

    // Step out of the endless routine: the button stops it as well.
    Key(Qt::Key_F8, Qt::ShiftModifier);
    EXPECT_EQ(Text("LblRunState"), lang::LangText("FormDebugger", "text.Run.StepOut"));
    breakButton->click();
    EXPECT_TRUE(machine().Debugger().Stopped());
}

// Each prompt's caption stands before its field, whole; the inline assembler floats over the
// listing and leaves the window its size.
TEST_F(DebuggerWindowTest, PromptsAndTheInlineAssemblerKeepTheirPlaces) {
    auto* value = debugger_->findChild<QLineEdit*>("MeEditValue");
    QLabel* caption = Label("LblEditLabel");
    auto expectBeside = [&](const char* what) {
        ASSERT_TRUE(value->isVisible()) << what;
        const QRect field = Area(value, debugger_);
        const QRect text = Area(caption, debugger_);
        EXPECT_LT(text.right(), field.left()) << what << ": the caption overlaps its field";
        EXPECT_GE(text.left(), 0) << what;
        EXPECT_GE(caption->width(), caption->fontMetrics().horizontalAdvance(caption->text()))
            << what;
        QTest::keyClick(value, Qt::Key_Escape);
    };
    DoubleClickAt(Label("RegBC"), 1);
    expectBeside("BC:");
    DoubleClickAt(Label("SP1"), 1);
    EXPECT_EQ(Text("LblEditLabel"), "(SP+0):");
    expectBeside("(SP+0):");
    auto* source = debugger_->findChild<QComboBox*>("CbListSrc");
    source->setCurrentIndex(0);
    emit source->activated(0);
    DoubleClickAt(Label("LblListAddr"), 1);
    EXPECT_EQ(Text("LblEditLabel"), "MEM1:");
    expectBeside("MEM1:");
    auto* list = debugger_->findChild<QListWidget*>("ClbBreakPoints");
    emit list->itemDoubleClicked(list->item(0));
    EXPECT_EQ(Text("LblEditLabel"), "BP1:");
    expectBeside("BP1:");
    debugger_->SbCopyClick(false);
    value->selectAll();
    QTest::keyClicks(value, "4000");
    QTest::keyClick(value, Qt::Key_Return);
    EXPECT_EQ(Text("LblEditLabel"), lang::LangText("FormDebugger", "text.FillCopy.Count"));
    expectBeside("Count:");

    source->setCurrentIndex(7);
    emit source->activated(7);
    QApplication::processEvents();
    const QSize size = debugger_->size();
    DoubleClickAt(Label("dump1"), 17);
    auto* field = debugger_->findChild<QLineEdit*>("MeInlineAsm");
    ASSERT_TRUE(field->isVisible());
    QApplication::processEvents();
    EXPECT_TRUE(Area(field, debugger_).intersects(Area(Label("dump10"), debugger_)));
    EXPECT_TRUE(Area(debugger_->findChild<QWidget*>("PanelDump"), debugger_)
                    .contains(Area(field, debugger_)));
    QTest::keyClick(field, Qt::Key_Escape);
    QApplication::processEvents();
    EXPECT_EQ(debugger_->size(), size) << "the window changed its size";
}

// Going back at the oldest moment kept says so instead of doing nothing in silence.
TEST_F(DebuggerWindowTest, BackAtTheStartOfTheHistorySaysSo) {
    auto* bar = debugger_->findChild<QStatusBar*>("StatusDebugger");
    ASSERT_NE(bar, nullptr);
    const QString atStart =
        QString::fromStdString(lang::LangText("FormDebugger", "text.History.AtStart"));
    ASSERT_FALSE(atStart.isEmpty());
    // No breakpoint: Run back goes to the oldest moment and says that it is the oldest.
    Key(Qt::Key_F7);
    debugger_->findChild<QToolButton*>("SbRunBack")->click();
    EXPECT_EQ(ShownOutcome(bar), atStart);
    // From there one instruction back is out of reach.
    bar->clearMessage();
    const uint16_t pc = machine().Processor().pc;
    debugger_->findChild<QToolButton*>("SbStepBack")->click();
    EXPECT_EQ(ShownOutcome(bar), atStart);
    EXPECT_EQ(machine().Processor().pc, pc);
}

}  // namespace
