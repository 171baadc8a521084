#include "ui/media/TFormMemReadWrite.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include "host/config/ConfigDocument.h"
#include "host/config/RecentFiles.h"
#include "host/files/ProgramPaths.h"
#include "host/lang/Language.h"
#include "machine/ChipMemory.h"
#include "machine/MemoryOrganizer.h"
#include "support/TempFolder.h"
#include "ui/support/DeliveredFiles.h"
#include "ui/support/ModalCloser.h"
#include "ui/support/ProgramFolderTest.h"

namespace {

using testing_support::ReadFile;
namespace keys = config::keys;

class RecordingMemReadWrite : public TFormMemReadWrite {
  public:
    using TFormMemReadWrite::TFormMemReadWrite;
    QStringList titles;  // of every message and question, in order
    QStringList texts;   // of every message
    bool answerYes = false;

  protected:
    void ShowMessage(QMessageBox::Icon, const QString& title, const QString& text) override {
        titles << title;
        texts << text;
    }
    bool AskYesNo(const QString& title, const QString&) override {
        titles << title;
        return answerYes;
    }
};

class MemReadWriteTest : public ProgramFolderTest {
  protected:
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(ProgramFolderTest::SetUp());
        ASSERT_TRUE(lang::LoadLanguageFile("english"));
        // RAM pages E0-EF, mapped to windows 0-F, and nothing at page FF.
        ASSERT_TRUE(memory_.AllocatePages(0xE0, 16, false));
        for (int w = 0; w < 16; ++w) organizer_.SetPageRegister(w, static_cast<uint8_t>(0xE0 + w));
        organizer_.EnablePaging();
        dialog_ = std::make_unique<RecordingMemReadWrite>(settings_, nullptr);
    }
    void TearDown() override {
        dialog_.reset();
        ProgramFolderTest::TearDown();
    }

    template <typename T>
    T* Child(const char* name) {
        T* child = dialog_->findChild<T*>(name);
        EXPECT_NE(child, nullptr) << name;
        return child;
    }
    // Over what the field holds, from its first place.
    void Type(const char* field, const QString& text) {
        QLineEdit* edit = Child<QLineEdit>(field);
        edit->selectAll();
        edit->setCursorPosition(0);
        edit->setFocus();
        QTest::keyClicks(edit, text);
    }
    // As a user replaces a field: everything selected with Ctrl+A, then the new digits.
    void Replace(const char* field, const QString& text) {
        QLineEdit* edit = Child<QLineEdit>(field);
        edit->setFocus();
        QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(edit, text);
    }
    QString Field(const char* name) { return Child<QLineEdit>(name)->displayText(); }
    void Open(bool save) {
        dialog_->Prepare(&memory_, save);
        dialog_->show();
    }

    MemoryOrganizer organizer_;
    ChipMemory memory_{organizer_};
    std::unique_ptr<RecordingMemReadWrite> dialog_;
};

// The numbers a new user typed: decimal Start 100 and Length 31 save exactly 31 bytes from 100,
// and the configuration keeps those numbers; in hexadecimal #1F is 1Fh and #10000 the whole space.
TEST_F(MemReadWriteTest, ShortEntriesAreSavedExactlyAsTyped) {
    for (int i = 0; i < 0x1000; ++i) memory_.PagePointer(0xE0)[i] = static_cast<uint8_t>(i * 7);
    const std::string path = folder_ / "short.bin";
    Open(true);
    QTest::keyClicks(Child<QLineEdit>("EditFile"), QString::fromStdString(path));
    Replace("MeStart", "100");
    Replace("MeLength", "31");
    EXPECT_EQ(Field("MeStart").trimmed(), "100") << "what is shown is what is read";
    Child<QPushButton>("BtnOK")->click();
    EXPECT_TRUE(dialog_->titles.isEmpty()) << dialog_->texts.join(", ").toStdString();
    EXPECT_FALSE(dialog_->isVisible());
    std::string expected;
    for (int i = 100; i < 131; ++i) expected += static_cast<char>(i * 7);
    EXPECT_EQ(ReadFile(path), expected);
    EXPECT_EQ(settings_.Get(keys::kMemReadWriteStart), 100);
    EXPECT_EQ(settings_.Get(keys::kMemReadWriteLength), 31);

    std::filesystem::remove(path);
    Open(true);
    Child<QCheckBox>("CheckHex")->click();
    EXPECT_EQ(Field("MeStart"), "#0064");
    Replace("MeStart", "1F");
    Replace("MeLength", "2");
    Child<QPushButton>("BtnOK")->click();
    EXPECT_EQ(ReadFile(path),
              std::string(1, static_cast<char>(0x1F * 7)) + static_cast<char>(0x20 * 7));
    EXPECT_EQ(dialog_->Values().start, 0x1F);

    dialog_->answerYes = true;
    Open(true);
    Replace("MeStart", "0");
    Replace("MeLength", "10000");
    Child<QPushButton>("BtnOK")->click();
    EXPECT_EQ(ReadFile(path).size(), 0x10000u) << "the whole address space";
}

TEST_F(MemReadWriteTest, RefusesWhatCannotBeUsedNamingTheFieldAndSwitchesTheRadix) {
    Open(true);
    EXPECT_EQ(dialog_->windowTitle(), "Save memory to file");
    EXPECT_FALSE(Child<QCheckBox>("CheckRun")->isEnabled()) << "save mode";
    Child<QCheckBox>("CheckHex")->click();
    EXPECT_EQ(Field("MeStart"), "#0000");
    Type("MeStart", "F0x0-0");  // x and - are dropped on the way
    Type("MeLength", "2000");
    EXPECT_FALSE(Child<QPushButton>("BtnOK")->isEnabled()) << "no file yet";
    QTest::keyClicks(Child<QLineEdit>("EditFile"), QString::fromStdString(folder_ / "out.bin"));
    Child<QPushButton>("BtnOK")->click();
    ASSERT_EQ(dialog_->titles, QStringList{"Values not accepted"});
    EXPECT_EQ(dialog_->texts[0].toStdString(),
              "Start and Length reach past the end of the address space: together they may be at "
              "most 65536 (#10000).");
    EXPECT_TRUE(dialog_->isVisible()) << "stays open after a refusal";
    EXPECT_EQ(Field("MeLength").trimmed(), "#2000") << "nothing is corrected";
    EXPECT_EQ(dialog_->focusWidget(), Child<QLineEdit>("MeLength"));

    // Put right, it goes through: 4 KB from F000, and the file joins the recent list.
    Type("MeLength", "1000");
    memory_.PagePointer(0xEF)[0] = 0xAB;
    Child<QPushButton>("BtnOK")->click();
    EXPECT_FALSE(dialog_->isVisible());
    const std::string saved = ReadFile(folder_ / "out.bin");
    ASSERT_EQ(saved.size(), 4096u);
    EXPECT_EQ(saved[0], '\xAB');
    EXPECT_EQ(config::RecentFileEntries(document_.Section(config::kRecentSection))[0].storedPath,
              "out.bin")
        << "inside the program folder: stored relative";

    // The values and the radix live on in the configuration.
    EXPECT_EQ(settings_.Get(keys::kMemReadWriteStart), 0xF000);
    EXPECT_EQ(settings_.Get(keys::kMemReadWriteRadix), config::NumberBase::Hexadecimal);
    Open(true);
    Child<QCheckBox>("CheckHex")->click();
    EXPECT_EQ(Field("MeStart"), "61440");
    EXPECT_EQ(Field("MeLength"), "04096");
    // A number out of its range keeps the radix it was typed in until it is put right.
    dialog_->titles.clear();
    Replace("MeStart", "70000");
    Child<QCheckBox>("CheckHex")->click();
    EXPECT_FALSE(Child<QCheckBox>("CheckHex")->isChecked());
    ASSERT_EQ(dialog_->texts.size(), 2);
    EXPECT_EQ(dialog_->texts[1].toStdString(), "Start must be 0 to 65535.");
    Replace("MeStart", "0");
    Replace("MeLength", "65536");
    Child<QCheckBox>("CheckHex")->click();
    EXPECT_EQ(Field("MeLength"), "#10000") << "65536 is the whole address space";
}

TEST_F(MemReadWriteTest, SavesPagesAndAsksBeforeReplacingAFile) {
    const std::string path = folder_.Write("pages.bin", "old");
    Open(true);
    Child<QRadioButton>("RbBlocks")->click();
    EXPECT_FALSE(Child<QLineEdit>("MeStart")->isEnabled());
    EXPECT_TRUE(Child<QLineEdit>("MeFrom")->isEnabled());
    Type("MeFrom", "255");
    Type("MeTo", "250");
    QTest::keyClicks(Child<QLineEdit>("EditFile"), QString::fromStdString(path));
    Child<QPushButton>("BtnOK")->click();
    EXPECT_EQ(dialog_->texts, QStringList{"To page must not be below From page."});
    EXPECT_EQ(Field("MeTo"), "250") << "not corrected";
    Type("MeTo", "255");
    dialog_->titles.clear();
    Child<QPushButton>("BtnOK")->click();
    EXPECT_EQ(dialog_->titles, QStringList{"File exists"});
    EXPECT_EQ(ReadFile(path), "old") << "No keeps the file";
    EXPECT_TRUE(dialog_->isVisible());

    dialog_->answerYes = true;
    Child<QPushButton>("BtnOK")->click();
    EXPECT_EQ(ReadFile(path), std::string(4096, '\xFF')) << "a missing page saves as FF";
}

TEST_F(MemReadWriteTest, LoadsAPresetFileIntoPagesAndOffersTheRunAddress) {
    const std::string path = folder_.Write("ten.bin", "0123456789");
    dialog_->Prepare(&memory_, false);
    dialog_->PresetFile(path);
    dialog_->show();
    EXPECT_EQ(dialog_->windowTitle(), "Load file to memory");
    EXPECT_EQ(Child<QLineEdit>("EditFile")->text(), "ten.bin");
    EXPECT_TRUE(Child<QPushButton>("BtnOK")->isEnabled());
    EXPECT_EQ(dialog_->Values().length, 10);
    Child<QRadioButton>("RbBlocks")->click();
    EXPECT_FALSE(Child<QLineEdit>("MeRun")->isEnabled());
    Child<QCheckBox>("CheckRun")->click();
    EXPECT_TRUE(Child<QLineEdit>("MeRun")->isEnabled());
    Type("MeFrom", "224");
    Type("MeTo", "225");
    Replace("MeRun", "256");
    Child<QPushButton>("BtnOK")->click();
    EXPECT_TRUE(dialog_->titles.isEmpty()) << dialog_->titles.join(", ").toStdString();
    EXPECT_EQ(std::string(reinterpret_cast<char*>(memory_.PagePointer(0xE0)), 11),
              std::string("0123456789\0", 11));
    EXPECT_TRUE(dialog_->RunRequested());
    EXPECT_EQ(dialog_->RunAddress(), 256);

    // A file that is gone by the next showing is cleared and OK stays off.
    std::filesystem::remove(path);
    Open(false);
    EXPECT_TRUE(Child<QLineEdit>("EditFile")->text().isEmpty());
    EXPECT_FALSE(Child<QPushButton>("BtnOK")->isEnabled());
    QTest::keyClicks(Child<QLineEdit>("EditFile"), "x");
    EXPECT_TRUE(Child<QPushButton>("BtnOK")->isEnabled());
    Child<QPushButton>("BtnOK")->click();
    EXPECT_EQ(dialog_->titles, QStringList{"Cannot read file"});
    EXPECT_TRUE(dialog_->isVisible());
}

// The file button: the chosen file is shown relative to the program folder and, on a load, its
// size becomes the length; one that reaches past the end of the address space is refused on OK.
TEST_F(MemReadWriteTest, TheFileButtonTakesTheChosenFileAndItsSize) {
    const std::string path = folder_.Write("data/big.bin", std::string(0x2000, 'x'));
    auto choose = [&path](QWidget* window) {
        auto* dialog = qobject_cast<QFileDialog*>(window);
        if (dialog == nullptr) return false;
        dialog->selectFile(QString::fromStdString(path));
        QMetaObject::invokeMethod(dialog, "accept", Qt::QueuedConnection);
        return true;
    };
    Open(false);
    EXPECT_FALSE(Child<QPushButton>("BtnOK")->isEnabled());
    Type("MeStart", "61440");  // F000h: 4 KB left
    {
        ModalCloser closer({choose});
        Child<QPushButton>("BbSelectFile")->click();
        EXPECT_TRUE(closer.AllDone()) << closer.Closed().join(", ").toStdString();
    }
    EXPECT_EQ(Child<QLineEdit>("EditFile")->text(), "data/big.bin");
    EXPECT_EQ(Field("MeLength"), "08192");
    EXPECT_TRUE(Child<QPushButton>("BtnOK")->isEnabled());
    Child<QPushButton>("BtnOK")->click();
    EXPECT_EQ(dialog_->titles, QStringList{"Values not accepted"});
    EXPECT_EQ(memory_.PagePointer(0xEF)[0xFFF], 0x00) << "nothing loaded";
    Type("MeLength", "04096");
    Child<QPushButton>("BtnOK")->click();
    EXPECT_EQ(memory_.PagePointer(0xEF)[0xFFF], 'x');
    EXPECT_EQ(memory_.PagePointer(0xEE)[0xFFF], 0x00) << "nothing before the start";
}

}  // namespace
