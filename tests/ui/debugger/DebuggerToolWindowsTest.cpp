#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTreeWidget>
#include <algorithm>
#include <filesystem>

#include "debugger/DisassemblyListing.h"
#include "debugger/SymbolTable.h"
#include "debugger/TestMemory.h"
#include "frontend/NumberField.h"
#include "host/config/ConfigDocument.h"
#include "host/files/ProgramPaths.h"
#include "host/lang/IniFile.h"
#include "host/lang/Language.h"
#include "machine/ChipICU3214.h"
#include "machine/ChipPIO8255.h"
#include "machine/IfSerial.h"
#include "machine/IfTimer.h"
#include "support/TempFolder.h"
#include "ui/common/LanguageApplier.h"
#include "ui/debugger/TFormDbgFind.h"
#include "ui/debugger/TFormDisass.h"
#include "ui/debugger/TFormPerifStat.h"
#include "ui/support/DeliveredFiles.h"
#include "ui/support/ProgramFolderTest.h"

namespace {

using testing_support::ReadFile;
using testing_support::TempFolder;

// A program folder with the delivered language files, English active.
class DebuggerToolWindows : public ProgramFolderTest {
  protected:
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(ProgramFolderTest::SetUp());
        ASSERT_TRUE(lang::LoadLanguageFile("english"));
    }
    void TearDown() override { ProgramFolderTest::TearDown(); }

    // Every entry of the window's language section reaches one of its elements.
    void ExpectLanguageFits(QWidget* window) {
        IniFile ini;
        ASSERT_TRUE(ini.LoadFile(folder_ / "Lang/english.ini"));
        const IniFile::Section* section = ini.FindSection(window->objectName().toStdString());
        ASSERT_NE(section, nullptr);
        std::vector<std::string> unused = ApplyLanguageSection(window, *section);
        unused.erase(std::remove_if(unused.begin(), unused.end(),
                                    [](const std::string& k) {
                                        return k.rfind("text.", 0) == 0 || k.rfind("err.", 0) == 0;
                                    }),
                     unused.end());
        EXPECT_TRUE(unused.empty()) << unused.front();
    }

    template <typename T>
    static T* Child(QWidget* window, const char* name) {
        T* child = window->findChild<T*>(name);
        EXPECT_NE(child, nullptr) << name;
        return child;
    }
};

class CountingFind : public TFormDbgFind {
  public:
    int beeps = 0;

  protected:
    void Beep() override { ++beeps; }
};

class ScriptedDisass : public TFormDisass {
  public:
    using TFormDisass::TFormDisass;
    std::vector<std::pair<QMessageBox::Icon, QString>> messages;
    std::vector<QString> texts;
    std::string nextFile;

  protected:
    void ShowMessage(QMessageBox::Icon icon, const QString& title, const QString& text) override {
        messages.emplace_back(icon, title);
        texts.push_back(text);
    }
    bool AskFileName(bool, std::string& path) override {
        if (nextFile.empty()) return false;
        path = nextFile;
        return true;
    }
};

}  // namespace

TEST_F(DebuggerToolWindows, PeripheralStatusShowsBothChipsAndKeepsItsTag) {
    IfTimer timer(nullptr);
    IfSerial serial(nullptr);
    timer.PortWrite(0xD3, 0x3E, 0);  // counter 0: both bytes, mode 7, binary
    timer.PortWrite(0xD0, 0x34, 0);
    timer.PortWrite(0xD0, 0x12, 0);
    serial.PortWrite(0xC9, 0x4E, 0);  // asynchronous, 8N1, factor 16
    serial.PortWrite(0xC9, 0x01, 0);  // transmitter on, receiver off
    TFormPerifStat form;
    ExpectLanguageFits(&form);
    form.BindChips(&timer, &serial);
    form.ToggleShown();
    ASSERT_TRUE(form.isVisible());
    EXPECT_TRUE(form.Tag());
    EXPECT_EQ(Child<QLabel>(&form, "LblC0Mv")->text(), "3 / BIN / BOTH");
    EXPECT_EQ(Child<QLabel>(&form, "LblC0Pv")->text(), "#1234");
    EXPECT_EQ(Child<QLabel>(&form, "LblUModev")->text(), "Asynchronous");
    EXPECT_EQ(Child<QLabel>(&form, "LblUFormatv")->text(), "8N1");
    EXPECT_EQ(Child<QLabel>(&form, "LblUFactorv")->text(), "16");
    EXPECT_FALSE(Child<QLabel>(&form, "LblUSyncv")->isVisible());
    EXPECT_TRUE(Child<QLabel>(&form, "LblUFactorv")->isVisible());
    EXPECT_FALSE(Child<QLabel>(&form, "LblURxCharv")->isEnabled());
    EXPECT_TRUE(Child<QLabel>(&form, "LblUTxCharv")->isEnabled());

    // The parallel ports and the interrupt unit, from the registers each lists for itself.
    ChipPIO8255 system, general;
    system.ResetChip(true);
    general.ResetChip(true);
    general.WritePort(ChipPIO8255::kControl, 0x82);
    ChipICU3214 icu;
    icu.SetRequest(1, 1);
    form.BindParallel(&system, &general, &icu);
    form.RefreshStatus();
    EXPECT_EQ(Child<QLabel>(&form, "GbPioSystemMode")->text(), "A mode 0 in, B mode 0 in, C in/in");
    EXPECT_EQ(Child<QLabel>(&form, "GbPioSystemR0")->text(), "Control:");
    EXPECT_EQ(Child<QLabel>(&form, "GbPioSystemR0v")->text(), "#9B 10011011");
    EXPECT_EQ(Child<QLabel>(&form, "GbPioGeneralR0v")->text(), "#82 10000010");
    EXPECT_EQ(Child<QLabel>(&form, "GbIcuR2")->text(), "Requests:");
    EXPECT_EQ(Child<QLabel>(&form, "GbIcuR2v")->text(), "#40 01000000");
    EXPECT_TRUE(Child<QLabel>(&form, "GbIcuR2v")->isVisible());

    // A run hides the window with the debugger; the tag brings it back.
    form.hide();
    form.ShowIfTagged();
    EXPECT_TRUE(form.isVisible());
    form.close();
    EXPECT_FALSE(form.Tag());
    form.ShowIfTagged();
    EXPECT_FALSE(form.isVisible());
}

TEST_F(DebuggerToolWindows, FindDialogEditsThePatternByTypingAndStartsTheSearch) {
    CountingFind form;
    ExpectLanguageFits(&form);
    int searches = 0;
    form.SetFindHandler([&] { ++searches; });
    form.SetRadix(false);
    form.show();
    auto* values = Child<QLineEdit>(&form, "MeEditValues");
    auto* masks = Child<QLineEdit>(&form, "MeEditMask");
    auto* ascii = Child<QLineEdit>(&form, "MeEditAscii");
    auto* find = Child<QPushButton>(&form, "BtnFind");
    EXPECT_EQ(values->displayText(), "#00 #00 #00 #00 #00 #00 #00 #00");
    EXPECT_FALSE(find->isEnabled());
    // All eight numbers are in view, not scrolled out of a narrow field.
    for (QLineEdit* field : {values, masks, ascii}) {
        EXPECT_GT(field->width(), field->fontMetrics().horizontalAdvance(field->displayText()))
            << field->objectName().toStdString();
    }

    values->setFocus();
    values->setCursorPosition(1);
    QTest::keyClicks(values, "z4");  // the z is not a hexadecimal digit and is dropped
    QTest::keyClicks(values, "1");
    EXPECT_EQ(form.Pattern().Values[0], 0x41);
    EXPECT_EQ(form.Pattern().Masks[0], 0xFF);
    EXPECT_TRUE(Child<QCheckBox>(&form, "CheckVal1")->isChecked());
    EXPECT_TRUE(find->isEnabled());
    EXPECT_EQ(ascii->displayText().mid(0, 2), " A");

    // The characters field takes the second byte.
    QTest::mouseClick(Child<QRadioButton>(&form, "RadioAscii"), Qt::LeftButton);
    ASSERT_TRUE(ascii->isEnabled());
    ascii->setCursorPosition(5);
    QTest::keyClicks(ascii, "B");
    EXPECT_EQ(form.Pattern().Values[1], 'B');
    EXPECT_EQ(values->displayText().mid(0, 8), "#41 #42 ");

    // Masks are edited only with the mask box on; turning it off makes them FF again.
    auto* checkMask = Child<QCheckBox>(&form, "CheckMask");
    EXPECT_FALSE(masks->isEnabled());
    QTest::mouseClick(checkMask, Qt::LeftButton);
    ASSERT_TRUE(masks->isEnabled());
    masks->setCursorPosition(1);
    QTest::keyClicks(masks, "F0");
    EXPECT_EQ(form.Pattern().Masks[0], 0xF0);
    QTest::mouseClick(checkMask, Qt::LeftButton);
    EXPECT_EQ(form.Pattern().Masks[0], 0xFF);

    // Decimal: a number above 255 beeps and the pattern keeps its value.
    form.SetRadix(true);
    EXPECT_EQ(values->displayText(), "065 066 000 000 000 000 000 000");
    QTest::mouseClick(Child<QRadioButton>(&form, "RadioValues"), Qt::LeftButton);
    values->setCursorPosition(8);
    QTest::keyClicks(values, "3");
    EXPECT_EQ(form.beeps, 1);
    EXPECT_EQ(values->selectedText(), "3");
    EXPECT_EQ(form.Pattern().Values[2], 0);

    // Unticking a position clears it; Enter searches and hides the dialog.
    QTest::mouseClick(Child<QCheckBox>(&form, "CheckVal2"), Qt::LeftButton);
    EXPECT_EQ(form.Pattern().Masks[1], 0);
    QTest::keyClick(values, Qt::Key_Return);
    EXPECT_EQ(searches, 1);
    EXPECT_FALSE(form.isVisible());
}

TEST_F(DebuggerToolWindows, DisassemblyWindowBuildsSavesLoadsAndWritesTheList) {
    TestMemory m;
    m.Put(0x4000, {0xCD, 0x06, 0x40, 0xC3, 0x00, 0x40, 0xC9});
    m.Put(0x4010, {0x00, 0x40, 0x06, 0x40, 0x34});
    ScriptedDisass form(settings_);
    ExpectLanguageFits(&form);
    form.BindMemory(&m.memory);
    form.SetRadix(false);
    form.show();
    auto* from = Child<QLineEdit>(&form, "MeFrom");
    auto* to = Child<QLineEdit>(&form, "MeTo");
    auto* as = Child<QComboBox>(&form, "CbAs");
    auto* list = Child<QTreeWidget>(&form, "LvList");
    auto* add = Child<QPushButton>(&form, "BtnAdd");
    EXPECT_EQ(as->itemText(0), "Instructions");

    // Nothing to save or write yet.
    form.nextFile = folder_ / "unused.txt";
    QTest::mouseClick(Child<QPushButton>(&form, "BtnDisass"), Qt::LeftButton);
    QTest::mouseClick(Child<QPushButton>(&form, "BtnSave"), Qt::LeftButton);
    ASSERT_EQ(form.messages.size(), 2u);
    EXPECT_EQ(form.messages[0].second.toStdString(),
              lang::LangText("FormDisass", "err.Disass1.Title"));
    EXPECT_FALSE(std::filesystem::exists(folder_ / "unused.txt"));

    auto type = [&](QLineEdit* field, const char* text) {
        field->selectAll();
        field->setCursorPosition(1);
        QTest::keyClicks(field, text);
    };
    // The words first, then the code below them: the list stays sorted by From.
    type(from, "4010");
    type(to, "4014");
    as->setCurrentIndex(3);
    form.CbAsSelect();
    auto* dwLabel = Child<QCheckBox>(&form, "CheckDwLabel");
    ASSERT_TRUE(dwLabel->isEnabled());
    dwLabel->setChecked(true);
    QTest::mouseClick(add, Qt::LeftButton);
    EXPECT_EQ(from->displayText(), "#4016");  // past the last whole word
    type(from, "4000");
    type(to, "4006");
    as->setCurrentIndex(0);
    form.CbAsSelect();
    EXPECT_FALSE(dwLabel->isEnabled());
    QTest::mouseClick(add, Qt::LeftButton);
    EXPECT_EQ(from->displayText(), "#4007");
    type(from, "4020");
    type(to, "401F");
    QTest::mouseClick(add, Qt::LeftButton);  // To below From
    ASSERT_EQ(form.messages.size(), 3u);
    EXPECT_EQ(form.messages[2].first, QMessageBox::Warning);
    EXPECT_EQ(form.messages[2].second.toStdString(), FieldRefusalTitle());
    ASSERT_EQ(list->topLevelItemCount(), 2);
    EXPECT_EQ(list->topLevelItem(0)->text(0), "#4000");
    EXPECT_EQ(list->topLevelItem(1)->text(4), "yes");

    form.nextFile = folder_ / "list.txt";
    QTest::mouseClick(Child<QPushButton>(&form, "BtnSave"), Qt::LeftButton);
    EXPECT_EQ(ReadFile(folder_ / "list.txt"), "16384,16390,0,0,0\r\n16400,16404,0,3,1\r\n");

    form.nextFile = folder_ / "out.asm";
    QTest::mouseClick(Child<QPushButton>(&form, "BtnDisass"), Qt::LeftButton);
    EXPECT_EQ(form.messages.back().first, QMessageBox::Information);
    EXPECT_EQ(ReadFile(folder_ / "out.asm"),
              debugger::WriteDisassemblyListing(m.memory, form.Ranges(), {}));
    EXPECT_NE(ReadFile(folder_ / "out.asm").find("L4010:   DW   L4000,L4006"), std::string::npos);

    // Loading replaces the list and keeps what came before a bad line.
    folder_.Write("bad.txt", "1,2,0,1,0\r\n\r\n1,2,0,7,0\r\n");
    form.nextFile = folder_ / "bad.txt";
    QTest::mouseClick(Child<QPushButton>(&form, "BtnLoad"), Qt::LeftButton);
    ASSERT_EQ(list->topLevelItemCount(), 1);
    EXPECT_EQ(form.messages.back().second.toStdString(),
              lang::LangText("FormDisass", "err.OpenList2.Title"));
    form.nextFile = folder_ / "list.txt";
    QTest::mouseClick(Child<QPushButton>(&form, "BtnLoad"), Qt::LeftButton);
    EXPECT_EQ(list->topLevelItemCount(), 2);

    // Deleting the selected rows; the radix switch rewrites the fields.
    list->topLevelItem(0)->setSelected(true);
    QTest::mouseClick(Child<QPushButton>(&form, "BtnDel"), Qt::LeftButton);
    ASSERT_EQ(form.Ranges().size(), 1u);
    EXPECT_EQ(form.Ranges()[0].From, 0x4010);
    form.SetRadix(true);
    EXPECT_EQ(list->topLevelItem(0)->text(0), "16400");
}

TEST_F(DebuggerToolWindows, DisassemblyRangeTakesLabelsOnceTheDebuggerHasThem) {
    TestMemory m;
    ScriptedDisass form(settings_);
    form.BindMemory(&m.memory);
    form.SetRadix(false);
    form.show();
    auto* from = Child<QLineEdit>(&form, "MeFrom");
    auto* to = Child<QLineEdit>(&form, "MeTo");
    auto* offset = Child<QLineEdit>(&form, "MeOffset");
    auto* add = Child<QPushButton>(&form, "BtnAdd");
    auto type = [&](QLineEdit* field, const char* text) {
        field->selectAll();
        QTest::keyClick(field, Qt::Key_Backspace);
        QTest::keyClicks(field, text);
    };
    debugger::SymbolTable symbols;
    symbols.Add("LOOP", 0x4003);
    symbols.Add("TABLE", 0x4100);
    form.SetSymbols(&symbols);
    // The numbers typed before stay; a label, a label+n and a plain number are all taken.
    EXPECT_EQ(from->displayText(), "#0000");
    type(from, "LOOP");
    type(to, "TABLE+0FH");
    QTest::mouseClick(add, Qt::LeftButton);
    type(from, "loop + 2");
    type(to, "4008");
    QTest::mouseClick(add, Qt::LeftButton);
    ASSERT_EQ(form.Ranges().size(), 2u);
    EXPECT_EQ(form.Ranges()[0].From, 0x4003);
    EXPECT_EQ(form.Ranges()[0].To, 0x410F);
    EXPECT_EQ(form.Ranges()[1].From, 0x4005);
    EXPECT_EQ(form.Ranges()[1].To, 0x4008);
    // An unknown label, and a label below From, are refused with the field's text; the offset
    // stays a number.
    type(from, "NOWHERE");
    QTest::mouseClick(add, Qt::LeftButton);
    type(from, "TABLE");
    type(to, "LOOP");
    QTest::mouseClick(add, Qt::LeftButton);
    ASSERT_EQ(form.messages.size(), 2u);
    EXPECT_NE(form.texts[0].toStdString().find("NOWHERE"), std::string::npos)
        << form.texts[0].toStdString();
    EXPECT_EQ(form.Ranges().size(), 2u);
    type(offset, "LOOP");
    EXPECT_FALSE(offset->displayText().contains('L')) << offset->displayText().toStdString();
    // Without labels the fields are masked numbers again, holding what the labels stood for.
    type(to, "TABLE+1");
    form.SetSymbols(nullptr);
    EXPECT_EQ(from->displayText(), "#4100");
    EXPECT_EQ(to->displayText(), "#4101");
    EXPECT_FALSE(from->inputMask().isEmpty());
}
