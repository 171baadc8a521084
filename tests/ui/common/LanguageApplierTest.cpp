#include "ui/common/LanguageApplier.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <memory>

#include "host/files/ProgramPaths.h"
#include "host/lang/Language.h"
#include "support/TempFolder.h"

namespace {

using testing_support::TempFolder;

template <typename T>
T* Add(QWidget* parent, const char* name, const QString& text = {}) {
    auto* widget = new T(parent);
    widget->setObjectName(name);
    if constexpr (std::is_base_of_v<QAbstractButton, T> || std::is_same_v<T, QLabel>) {
        widget->setText(text);
    }
    return widget;
}

// A settings-like window with one element of every kind the files name.
struct SettingsWindow {
    SettingsWindow() {
        window->setObjectName("FormSettings");
        window->setWindowTitle("Built-in");
        Add<QLabel>(window.get(), "LblVolumeTape", "Tape");
        Add<QCheckBox>(window.get(), "CheckMute", "Mute");
        Add<QRadioButton>(window.get(), "RbColor", "Color");
        Add<QPushButton>(window.get(), "BtnOk", "OK");
        Add<QGroupBox>(window.get(), "GbSdRom")->setTitle("SD");
        auto* fit = Add<QComboBox>(window.get(), "CbFitFS");
        fit->addItems({"fill", "fit", "stretch", "center"});
        fit->setCurrentIndex(1);
        auto* tabs = Add<QTabWidget>(window.get(), "Pages");
        auto* page = new QWidget;
        page->setObjectName("TabSound");
        tabs->addTab(page, "Sound");
        auto* tree = Add<QTreeWidget>(window.get(), "TreeItems");
        tree->setColumnCount(1);
        auto* general = new QTreeWidgetItem(tree, {"General"});
        new QTreeWidgetItem(general, {"Child"});
        new QTreeWidgetItem(tree, {"Hardware"});
        auto* list = Add<QTreeWidget>(window.get(), "LvList");
        list->setColumnCount(2);
        auto* grid = Add<QTableWidget>(window.get(), "SgGrid");
        grid->setColumnCount(2);
        grid->setRowCount(1);
        auto* menu = new QMenu(window.get());
        menu->setObjectName("MiFile");
        auto* action = new QAction("Open", window.get());
        action->setObjectName("MiOpenTape");
        menu->addAction(action);
    }
    template <typename T>
    T* Get(const char* name) const {
        return window->findChild<T*>(name);
    }
    std::unique_ptr<QWidget> window = std::make_unique<QWidget>();
};

IniFile::Section Section(const std::string& text) {
    IniFile ini;
    ini.LoadText("[S]\n" + text);
    return ini.Sections().at(0);
}

TEST(LanguageApplier, EveryKindTakesItsText) {
    SettingsWindow w;
    std::vector<std::string> unused = ApplyLanguageSection(
        w.window.get(), Section("form.Whatever.Caption=Settings\n"
                                "label.LblVolumeTape.Caption=Tape volume\n"
                                "check.checkmute.caption=Silence\n"
                                "radio.RbColor.Caption=Colour\n"
                                "button.BtnOk.Caption=Fine\n"
                                "groupBox.GbSdRom.Caption=SD-ROM module\n"
                                "tabSheet.TabSound.Caption=Audio\n"
                                "treeItems.TreeItems.TreeItem2=Kind of general\n"
                                "treeItems.TreeItems.TreeItem3=Machine\n"
                                "listView.LvList.Column2=To\n"
                                "stringGrid.SgGrid.Column1=Head\n"
                                "menuItem.MiFile.Caption=&File\n"
                                "menuItem.MiOpenTape.Caption=&Open tape\n"
                                "menuItem.MiOpenTape.Hint=Open\\a tape\n"
                                "label.LblVolumeTape.Hint=Two\\lines\n"));
    EXPECT_TRUE(unused.empty()) << unused.front();
    EXPECT_EQ(w.window->windowTitle(), "Settings");
    EXPECT_EQ(w.Get<QLabel>("LblVolumeTape")->text(), "Tape volume");
    EXPECT_EQ(w.Get<QLabel>("LblVolumeTape")->toolTip(), "Two\nlines");
    EXPECT_EQ(w.Get<QCheckBox>("CheckMute")->text(), "Silence");
    EXPECT_EQ(w.Get<QRadioButton>("RbColor")->text(), "Colour");
    EXPECT_EQ(w.Get<QPushButton>("BtnOk")->text(), "Fine");
    EXPECT_EQ(w.Get<QGroupBox>("GbSdRom")->title(), "SD-ROM module");
    EXPECT_EQ(w.Get<QTabWidget>("Pages")->tabText(0), "Audio");
    EXPECT_EQ(w.Get<QWidget>("TabSound")->windowTitle(), "Audio");
    QTreeWidget* tree = w.Get<QTreeWidget>("TreeItems");
    EXPECT_EQ(tree->topLevelItem(0)->text(0), "General");
    EXPECT_EQ(tree->topLevelItem(0)->child(0)->text(0), "Kind of general");  // flat order
    EXPECT_EQ(tree->topLevelItem(1)->text(0), "Machine");
    EXPECT_EQ(w.Get<QTreeWidget>("LvList")->headerItem()->text(1), "To");
    EXPECT_EQ(w.Get<QTableWidget>("SgGrid")->horizontalHeaderItem(0)->text(), "Head");
    EXPECT_EQ(w.Get<QMenu>("MiFile")->title(), "&File");
    EXPECT_EQ(w.Get<QAction>("MiOpenTape")->text(), "&Open tape");
    EXPECT_EQ(w.Get<QAction>("MiOpenTape")->statusTip(), "Open\na tape");
}

TEST(LanguageApplier, ComboItemsAreRenamedAndTheSelectionStays) {
    SettingsWindow w;
    ApplyLanguageSection(w.window.get(), Section("comboBox.CbFitFS.ComboItem2=Fit the height\n"));
    QComboBox* fit = w.Get<QComboBox>("CbFitFS");
    EXPECT_EQ(fit->itemText(1), "Fit the height");
    EXPECT_EQ(fit->currentIndex(), 1);
    EXPECT_EQ(fit->itemText(0), "fill");
}

TEST(LanguageApplier, CaptionsAreUsedAsWrittenWhileHintsBreakLines) {
    SettingsWindow w;
    ApplyLanguageSection(w.window.get(), Section("label.LblVolumeTape.Caption=C:\\path\n"));
    EXPECT_EQ(w.Get<QLabel>("LblVolumeTape")->text(), "C:\\path");
}

TEST(LanguageApplier, KeysThatReachNothingChangeNothingAndAreReported) {
    SettingsWindow w;
    IniFile::Section section = Section(
        "label.LblMissing.Caption=x\n"     // no such element
        "label.CheckMute.Caption=x\n"      // a check box is not a label
        "check.LblVolumeTape.Caption=x\n"  // nor a label a check box
        "comboBox.CbFitFS.ComboItem5=x\n"  // beyond the list
        "comboBox.CbFitFS.ComboItem0=x\n"  // counting starts at 1
        "comboBox.CbFitFS.ComboItemX=x\n"  // not a number
        "listView.LvList.Column3=x\n"      // beyond the columns
        "treeItems.TreeItems.TreeItem9=x\n"
        "label.LblVolumeTape.Text=x\n"  // no such property
        "label.LblVolumeTape\n"         // not an entry at all (no '=')
        "nodots=x\n"
        "one.dot=x\n");
    std::vector<std::string> unused = ApplyLanguageSection(w.window.get(), section);
    EXPECT_EQ(unused.size(), section.entries.size());
    EXPECT_EQ(w.Get<QLabel>("LblVolumeTape")->text(), "Tape");
    EXPECT_EQ(w.Get<QCheckBox>("CheckMute")->text(), "Mute");
    EXPECT_EQ(w.Get<QComboBox>("CbFitFS")->itemText(3), "center");
}

class LoadLanguageTest : public ::testing::Test {
  protected:
    void SetUp() override {
        program::SetProgramFolder(folder_.Path());
        folder_.Write("Lang/first.ini",
                      "[FormMain]\nlabel.LblVolumeTape.Caption=Wrong window\n"
                      "[FormSettings]\nlabel.LblVolumeTape.Caption=Tape volume\n"
                      "check.CheckMute.Caption=Silence\n");
        folder_.Write("Lang/Second.INI",
                      "[FormSettings]\nlabel.LblVolumeTape.Caption=Bandlautstärke\n"
                      "[FormMain]\nerr.X.Title=Fehler\n");
        folder_.Write("Lang/third.ini", "[FormMain]\nerr.X.Title=Only main\n");
        main_->setObjectName("FormMain");
        Add<QLabel>(main_.get(), "Other", "Main label");
    }
    void TearDown() override { lang::ActiveLanguage().Unload(); }

    TempFolder folder_;
    SettingsWindow settings_;
    std::unique_ptr<QWidget> main_ = std::make_unique<QWidget>();
};

TEST_F(LoadLanguageTest, EachSectionGoesToTheWindowOfItsName) {
    ASSERT_TRUE(LoadLanguage("first"));
    EXPECT_EQ(settings_.Get<QLabel>("LblVolumeTape")->text(), "Tape volume");
    EXPECT_EQ(settings_.Get<QCheckBox>("CheckMute")->text(), "Silence");
    EXPECT_EQ(main_->findChild<QLabel*>("Other")->text(), "Main label");
}

TEST_F(LoadLanguageTest, SwitchingKeepsTextsTheNewLanguageDoesNotName) {
    ASSERT_TRUE(LoadLanguage("first"));
    ASSERT_TRUE(LoadLanguage("second"));  // stored lower case, file named otherwise
    EXPECT_EQ(settings_.Get<QLabel>("LblVolumeTape")->text(), "Bandlautstärke");
    EXPECT_EQ(settings_.Get<QCheckBox>("CheckMute")->text(), "Silence");
    EXPECT_EQ(lang::LangText("FormMain", "err.X.Title"), "Fehler");
    // A language without the window's section leaves the window as it is.
    ASSERT_TRUE(LoadLanguage("third"));
    EXPECT_EQ(settings_.Get<QLabel>("LblVolumeTape")->text(), "Bandlautstärke");
    EXPECT_FALSE(LoadLanguage("missing"));
    EXPECT_EQ(settings_.Get<QLabel>("LblVolumeTape")->text(), "Bandlautstärke");
    EXPECT_EQ(lang::LangText("FormMain", "err.X.Title"), "");
}

TEST_F(LoadLanguageTest, AWindowMadeLaterGetsTheActiveLanguage) {
    ASSERT_TRUE(LoadLanguage("first"));
    SettingsWindow late;
    ApplyActiveLanguage(late.window.get());
    EXPECT_EQ(late.Get<QCheckBox>("CheckMute")->text(), "Silence");
}

}  // namespace
