#include "ui/settings/TFormSettings.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QStackedWidget>
#include <QStatusBar>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <filesystem>
#include <fstream>
#include <memory>
#include <regex>
#include <sstream>

#include "host/config/ConfigDocument.h"
#include "host/files/ProgramPaths.h"
#include "host/lang/Language.h"
#include "support/MachineTestAccess.h"
#include "support/SilentAudio.h"
#include "support/TempFolder.h"
#include "ui/common/LanguageApplier.h"
#include "ui/main/ScreenView.h"
#include "ui/main/TFormMain.h"
#include "ui/support/DeliveredFiles.h"
#include "ui/support/ModalCloser.h"
#include "ui/support/ProgramFolderTest.h"

namespace {

using config::Group;
using testing_support::ReadFile;
using testing_support::RomWith;
using testing_support::TempFolder;
namespace keys = config::keys;

template <typename T>
T* Child(const QObject& root, const char* name) {
    T* child = root.findChild<T*>(name);
    EXPECT_NE(child, nullptr) << name;
    return child;
}

void ClickTreeEntry(QWidget& dialog, int page) {
    auto* tree = Child<QTreeWidget>(dialog, "TreeItems");
    const QRect entry = tree->visualItemRect(tree->topLevelItem(page));
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, entry.center());
}

// A check box or radio button reacts to a click on its indicator, at its left; a push button
// anywhere.
void Click(QWidget& dialog, const char* name) {
    QWidget* widget = Child<QWidget>(dialog, name);
    ASSERT_NE(widget, nullptr);
    ASSERT_TRUE(widget->isVisible()) << name;
    const bool indicator = qobject_cast<QCheckBox*>(widget) || qobject_cast<QRadioButton*>(widget);
    QTest::mouseClick(widget, Qt::LeftButton, {},
                      indicator ? QPoint(6, widget->height() / 2) : widget->rect().center());
}

// Two host APIs: the direct one lists devices 4 and 5 (default 5), the standard one 1 and 2
// (default 2).
settingspages::DeviceSource TwoApis() {
    return {[] { return true; },
            [](SoundOutputType type) {
                return type == SoundOutputType::DSound
                           ? std::vector<SoundDeviceInfo>{{4, "jack a"}, {5, "jack b"}}
                           : std::vector<SoundDeviceInfo>{{1, "hw:0"}, {2, "default"}};
            },
            [](SoundOutputType type) { return type == SoundOutputType::DSound ? 5 : 2; },
            [](SoundOutputType type) {
                return std::string(type == SoundOutputType::DSound ? "JACK" : "ALSA");
            }};
}

class FormSettingsTest : public ProgramFolderTest {
  protected:
    void SetUp() override { ASSERT_NO_FATAL_FAILURE(ProgramFolderTest::SetUp()); }
    void TearDown() override {
        form_.reset();
        ProgramFolderTest::TearDown();
    }

    std::unique_ptr<TFormMain> form_;
};

TEST_F(FormSettingsTest, EveryPageShowsItsHeadingAndACancelledEditWaitsForTheNextOk) {
    TFormSettings dialog(settings_, nullptr, TwoApis());
    dialog.StartUp();
    EXPECT_TRUE(dialog.ChangeList().empty()) << "the delivered file is what the pages show";
    EXPECT_EQ(settings_.Get(keys::kSoundDeviceIndex), 2) << "the default device, stored at once";
    LoadLanguage("english");
    // Every text of the window's section reaches its element; only the messages are looked up.
    const IniFile::Section* section = lang::ActiveLanguage().File().FindSection("FormSettings");
    ASSERT_NE(section, nullptr);
    for (const std::string& key : ApplyLanguageSection(&dialog, *section)) {
        EXPECT_EQ(key.rfind("text.", 0), 0u) << key << " has no element";
    }

    std::vector<QString> headings;
    ModalCloser walk({[&](QWidget* modal) {
        QWidget& shown = *modal;
        [&] {
            ASSERT_EQ(&shown, &dialog);
            for (int page = 0; page < settingspages::kPageCount; ++page) {
                ClickTreeEntry(shown, page);
                EXPECT_EQ(dialog.CurrentPage(), page);
                headings.push_back(Child<QLabel>(shown, "LblCaption")->text() + "|" +
                                   Child<QLabel>(shown, "LblDesc")->text());
            }
            ClickTreeEntry(shown, 2);
            Click(shown, "RbGrey");
            Click(shown, "BtnCancel");
        }();
        return true;
    }});
    EXPECT_FALSE(dialog.Open(2));
    EXPECT_TRUE(walk.AllDone()) << walk.Closed().join(", ").toStdString();
    EXPECT_EQ(headings, (std::vector<QString>{
                            "General|Hints, file dialogs, language and file types",
                            "Hardware|ROMs, modules and extensions of the computer",
                            "Display|Full screen, colours and border",
                            "Sound|Output device and volumes", "Controls|Keyboard and joystick"}));
    EXPECT_EQ(settings_.Get(keys::kColorProfile), config::ColorProfile::Color) << "cancelled";

    ModalCloser general({[&](QWidget* modal) {
        QWidget& shown = *modal;
        [&] {
            EXPECT_EQ(dialog.CurrentPage(), 0);
            auto* languages = Child<QComboBox>(shown, "CbLang");
            ASSERT_EQ(languages->count(), 2);
            EXPECT_EQ(languages->currentText(), "English");
            // A language takes effect at once, the heading included.
            QTest::keyClick(languages, Qt::Key_Down);
            EXPECT_EQ(Child<QLabel>(shown, "LblCaption")->text(), "Allgemein");
            EXPECT_EQ(Child<QCheckBox>(shown, "CheckMute")->text(), "Stumm");
            // Switching pages does not reload them: the cancelled choice is still there.
            ClickTreeEntry(shown, 2);
            EXPECT_TRUE(Child<QRadioButton>(shown, "RbGrey")->isChecked());
            ClickTreeEntry(shown, 3);
            EXPECT_EQ(Child<QLabel>(shown, "LblApiDS")->text(), "(JACK)");
            EXPECT_EQ(Child<QComboBox>(shown, "CbAudioDevice")->currentText(), "default");
            Click(shown, "RadioDS");
            EXPECT_EQ(Child<QComboBox>(shown, "CbAudioDevice")->currentText(), "jack b");
            ClickTreeEntry(shown, 1);
            EXPECT_FALSE(Child<QLineEdit>(shown, "EditRomModuleFile")->isEnabled());
            Click(shown, "CheckInsertRm");
            EXPECT_TRUE(Child<QLineEdit>(shown, "EditRomModuleFile")->isEnabled());
            EXPECT_EQ(Child<QLineEdit>(shown, "EditMainRom")->text(), "...");
            ClickTreeEntry(shown, 4);
            Click(shown, "CheckJoy");
            EXPECT_FALSE(Child<QPushButton>(shown, "BtnJoy")->isEnabled()) << "no joystick dialog";
            Click(shown, "BtnOk");
        }();
        return true;
    }});
    EXPECT_TRUE(dialog.Open(0));
    EXPECT_TRUE(general.AllDone()) << general.Closed().join(", ").toStdString();
    EXPECT_EQ(dialog.ChangeList(),
              (std::vector<Group>{Group::RomModuleInserted, Group::ColourProfile,
                                  Group::SoundDevice, Group::SoundDevice, Group::Joystick}));
    EXPECT_EQ(settings_.Get(keys::kColorProfile), config::ColorProfile::GreyScale);
    EXPECT_EQ(settings_.Get(keys::kSoundDeviceIndex), 5);
    EXPECT_EQ(settings_.Get(keys::kLanguage), "german");
    EXPECT_EQ(settings_.GetStored(keys::kRomFile), "tevrin.rom") << "\"...\" keeps the name";

    // Cancel takes a language choice back with the rest of the visit.
    ModalCloser cancelled({[&](QWidget* modal) {
        QWidget& shown = *modal;
        [&] {
            QTest::keyClick(Child<QComboBox>(shown, "CbLang"), Qt::Key_Up);
            EXPECT_EQ(Child<QLabel>(shown, "LblCaption")->text(), "General");
            Click(shown, "BtnCancel");
        }();
        return true;
    }});
    EXPECT_FALSE(dialog.Open(0));
    EXPECT_TRUE(cancelled.AllDone()) << cancelled.Closed().join(", ").toStdString();
    EXPECT_EQ(settings_.Get(keys::kLanguage), "german");
    EXPECT_EQ(Child<QCheckBox>(dialog, "CheckMute")->text(), "Stumm");
}

TEST_F(FormSettingsTest, OkRefusesAMainRomThatGivesNothingToRunAndKeepsTheOldOne) {
    using namespace std::string_view_literals;
    const std::string good = folder_.Write("test.rom", RomWith("\xC3\x00\x00"sv));
    const std::string other = folder_.Write("other.rom", RomWith("\x00\xC3\x00\x00"sv));
    const std::string empty = folder_.Write("empty.rom", "");
    settings_.SetPath(keys::kRomFile, good);
    TFormSettings dialog(settings_, nullptr, TwoApis());
    dialog.StartUp();
    auto chooseAndConfirm = [&](QWidget& shown, const std::string& rom) {
        Child<QLineEdit>(shown, "EditMainRom")->setText(QString::fromStdString(rom));
        // Later: the refusal's message box runs a loop of its own inside the click.
        QTimer::singleShot(0, &shown, [&shown] { Click(shown, "BtnOk"); });
    };
    QString refusal;
    QString focused;
    ModalCloser steps({[&](QWidget* modal) {
                           ClickTreeEntry(*modal, 0);
                           chooseAndConfirm(*modal, empty);
                           return true;
                       },
                       [&](QWidget* modal) {
                           auto* box = qobject_cast<QMessageBox*>(modal);
                           if (box == nullptr) return false;
                           refusal = box->text();
                           box->accept();
                           return true;
                       },
                       [&](QWidget* modal) {
                           if (qobject_cast<QMessageBox*>(modal) != nullptr) return false;
                           EXPECT_EQ(dialog.CurrentPage(), 1) << "the page of the field";
                           focused = dialog.focusWidget() != nullptr
                                         ? dialog.focusWidget()->objectName()
                                         : QString();
                           chooseAndConfirm(*modal, other);
                           return true;
                       }});
    EXPECT_TRUE(dialog.Open(1));
    EXPECT_TRUE(steps.AllDone()) << steps.Closed().join(", ").toStdString();
    EXPECT_TRUE(refusal.contains(QString::fromStdString(empty))) << refusal.toStdString();
    EXPECT_EQ(focused, "EditMainRom");
    EXPECT_EQ(settings_.GetAbsolute(keys::kRomFile), other) << "the second choice, once readable";
}

TEST_F(FormSettingsTest, OkAppliesExactlyTheChangedGroupsToTheRunningMachine) {
    using namespace std::string_view_literals;
    settings_.SetPath(keys::kRomFile, folder_.Write("test.rom", RomWith("\xC3\x00\x00"sv)));
    form_ = std::make_unique<TFormMain>(settings_, nullptr, SilentAudio());
    form_->show();
    Machine& machine = form_->GetMachine();
    ASSERT_EQ(machine.GetRunState(), Machine::kRunning);
    auto romByte = [&] { return machine.MemoryView()->PagePointer(0xFF)[0]; };
    ASSERT_EQ(romByte(), 0xC3);
    // A new image on disk reaches the machine only when it is rebuilt.
    folder_.Write("test.rom", RomWith("\x00\xC3\x00\x00"sv));
    const QSize view = form_->View()->size();

    Machine::RunState whileShown = Machine::kRunning;
    ModalCloser display({[&](QWidget* modal) {
        QWidget& shown = *modal;
        [&] {
            whileShown = machine.GetRunState();
            EXPECT_EQ(form_->SettingsForm().CurrentPage(), 2);
            auto* spin = Child<QSpinBox>(shown, "SpinBorderSize");
            spin->selectAll();
            QTest::keyClicks(spin, "20");
            Click(shown, "BtnOk");
        }();
        return true;
    }});
    Child<QAction>(*form_, "MiSetScreen")->trigger();
    EXPECT_TRUE(display.AllDone()) << display.Closed().join(", ").toStdString();
    EXPECT_EQ(whileShown, Machine::kPaused);
    EXPECT_EQ(machine.GetRunState(), Machine::kRunning);
    EXPECT_EQ(form_->Border(), 20);
    EXPECT_EQ(form_->View()->size(), view + QSize(24, 24)) << "laid out round the new border";
    EXPECT_EQ(romByte(), 0xC3) << "the border does not rebuild the machine";
    EXPECT_NE(ReadFile(configPath_).find("border=\"20\""), std::string::npos) << "saved";

    // The tool button opens the page shown last.
    ModalCloser hardware({[&](QWidget* modal) {
        QWidget& shown = *modal;
        [&] {
            EXPECT_EQ(form_->SettingsForm().CurrentPage(), 2);
            ClickTreeEntry(shown, 1);
            Click(shown, "CheckMultiplier");
            Click(shown, "BtnOk");
        }();
        return true;
    }});
    Child<QAction>(*form_, "TBtnSettings")->trigger();
    EXPECT_TRUE(machine.MultiplierFitted());
    EXPECT_TRUE(Child<QLabel>(*form_, "ImageMulti")->isVisible());
    EXPECT_EQ(romByte(), 0x00) << "rebuilt, with the new image";
    EXPECT_EQ(form_->Border(), 20);
    EXPECT_EQ(machine.GetRunState(), Machine::kRunning);

    // The status pictures open their pages on a double click.
    int opened = -1;
    ModalCloser general({[&](QWidget* modal) {
        QWidget& shown = *modal;
        [&] {
            opened = form_->SettingsForm().CurrentPage();
            Click(shown, "BtnCancel");
        }();
        return true;
    }});
    QTest::mouseDClick(Child<QLabel>(*form_, "ImageTevrin"), Qt::LeftButton);
    EXPECT_EQ(opened, 0);
    EXPECT_EQ(machine.GetRunState(), Machine::kRunning);

    // The menu's keys: Alt+H is the Hardware page although the Help menu's title has the H.
    form_->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form_.get()));
    ModalCloser byKey({[&](QWidget* modal) {
        QWidget& shown = *modal;
        [&] {
            opened = form_->SettingsForm().CurrentPage();
            Click(shown, "BtnCancel");
        }();
        return true;
    }});
    QTest::keyClick(form_.get(), Qt::Key_H, Qt::AltModifier);
    EXPECT_EQ(opened, 1);

    // At exit the dialog's page is stored with the rest.
    form_->close();
    EXPECT_EQ(settings_.Get(keys::kOptionsPage), 1);
}

// The groups the machine once left for a restart: the joystick (11), the SD-ROM's folder (14) and
// connection (15) reach the running machine as soon as OK is pressed.
TEST_F(FormSettingsTest, OkConnectsTheJoystickAndTheSdRomToTheRunningMachine) {
    using namespace std::string_view_literals;
    namespace fs = std::filesystem;
    settings_.SetPath(keys::kRomFile, folder_.Write("test.rom", RomWith("\xC3\x00\x00"sv)));
    const fs::path cards[] = {fs::path(folder_.Path()) / "card-a",
                              fs::path(folder_.Path()) / "card-b"};
    for (const fs::path& card : cards) fs::create_directory(card);
    form_ = std::make_unique<TFormMain>(settings_, nullptr, SilentAudio());
    form_->show();
    Machine& machine = form_->GetMachine();
    ASSERT_EQ(machine.GetRunState(), Machine::kRunning);
    ASSERT_EQ(machine.Joystick(), nullptr);
    ASSERT_EQ(machine.SdRom(), nullptr);
    auto cardRoot = [&] {
        const media::SdRomFolder* card = MachineTestAccess::SdCard(machine);
        return card != nullptr ? fs::path(card->Root()) : fs::path();
    };
    auto typeRoot = [&](QWidget& shown, const fs::path& root) {
        auto* edit = Child<QLineEdit>(shown, "EditSdRomRootPath");
        ASSERT_TRUE(edit->isEnabled());
        edit->selectAll();
        QTest::keyClicks(edit, QString::fromStdString(root.string()));
    };

    ModalCloser connect({[&](QWidget* modal) {
        QWidget& shown = *modal;
        [&] {
            Click(shown, "CheckJoy");
            ClickTreeEntry(shown, 1);
            Click(shown, "CheckConnSdRom");
            typeRoot(shown, cards[0]);
            Click(shown, "BtnOk");
        }();
        return true;
    }});
    Child<QAction>(*form_, "MiControl")->trigger();
    EXPECT_TRUE(connect.AllDone()) << connect.Closed().join(", ").toStdString();
    EXPECT_EQ(machine.GetRunState(), Machine::kRunning);
    ASSERT_NE(machine.Joystick(), nullptr);
    ASSERT_NE(machine.SdRom(), nullptr);
    EXPECT_TRUE(fs::equivalent(cardRoot(), cards[0])) << cardRoot();

    // Another folder alone moves the connected module; unchecking both takes them away.
    ModalCloser move({[&](QWidget* modal) {
        QWidget& shown = *modal;
        [&] {
            EXPECT_EQ(form_->SettingsForm().CurrentPage(), 1);
            typeRoot(shown, cards[1]);
            Click(shown, "BtnOk");
        }();
        return true;
    }});
    Child<QAction>(*form_, "TBtnSettings")->trigger();
    EXPECT_EQ(form_->SettingsForm().ChangeList(), std::vector<Group>{Group::SdRomFolder});
    EXPECT_TRUE(fs::equivalent(cardRoot(), cards[1])) << cardRoot();
    EXPECT_NE(machine.Joystick(), nullptr);

    ModalCloser disconnect({[&](QWidget* modal) {
        QWidget& shown = *modal;
        [&] {
            Click(shown, "CheckConnSdRom");
            ClickTreeEntry(shown, 4);
            Click(shown, "CheckJoy");
            Click(shown, "BtnOk");
        }();
        return true;
    }});
    Child<QAction>(*form_, "MiHardware")->trigger();
    EXPECT_EQ(machine.SdRom(), nullptr);
    EXPECT_EQ(machine.Joystick(), nullptr);
    EXPECT_EQ(machine.GetRunState(), Machine::kRunning);
}

}  // namespace
