#include "ui/settings/TFormJoy.h"

#include <SDL2/SDL.h>
#include <gtest/gtest.h>

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>

#include "support/SilentAudio.h"
#include "ui/main/TFormMain.h"
#include "ui/settings/TFormSettings.h"
#include "ui/support/ModalCloser.h"
#include "ui/support/ProgramFolderTest.h"

namespace {

namespace keys = config::keys;

template <typename T>
T* Child(const QObject& root, const char* name) {
    T* child = root.findChild<T*>(name);
    EXPECT_NE(child, nullptr) << name;
    return child;
}

// The dialog over a configuration of its own, with a virtual game controller of two axes, two
// hats and `buttons` buttons attached through SDL.
class FormJoyTest : public ProgramFolderTest {
  protected:
    void SetUp() override {
        ProgramFolderTest::SetUp();
        ASSERT_TRUE(lang::LoadLanguageFile("english"));
        ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_JOYSTICK), 0) << SDL_GetError();
        controllers = std::make_shared<input::GameControllers>();
    }
    void Attach(int buttons) {
        virtualIndex = SDL_JoystickAttachVirtual(SDL_JOYSTICK_TYPE_GAMECONTROLLER, 2, buttons, 2);
        ASSERT_GE(virtualIndex, 0) << SDL_GetError();
        stick = SDL_JoystickOpen(virtualIndex);
        ASSERT_NE(stick, nullptr);
        controllers->EnumerateControllers();
        device = static_cast<int>(controllers->Devices().size()) - 1;
        ASSERT_GE(device, 0);
    }
    void TearDown() override {
        form.reset();
        controllers.reset();
        if (stick != nullptr) SDL_JoystickClose(stick);
        if (virtualIndex >= 0) SDL_JoystickDetachVirtual(virtualIndex);
        SDL_QuitSubSystem(SDL_INIT_JOYSTICK);
        ProgramFolderTest::TearDown();
    }
    void Open() {
        form = std::make_unique<TFormJoy>(settings_, controllers);
        form->FormShow();
        form->show();
    }
    void ChooseDevice() {
        QTest::mouseClick(Child<QRadioButton>(*form, "RbJoyDev"), Qt::LeftButton, {}, {6, 6});
        auto* list = Child<QComboBox>(*form, "CbDevice");
        list->setCurrentIndex(device);
        form->CbDeviceChange();
    }
    void Press(int button, bool down) {
        SDL_JoystickSetVirtualButton(stick, button, down ? SDL_PRESSED : SDL_RELEASED);
    }

    std::shared_ptr<input::GameControllers> controllers;
    std::unique_ptr<TFormJoy> form;
    int virtualIndex = -1;
    int device = -1;
    SDL_Joystick* stick = nullptr;
};

TEST_F(FormJoyTest, KeysToTheStickKeepTheOpeningSensitivityPoint) {
    ASSERT_NO_FATAL_FAILURE(Attach(8));
    settings_.Set(keys::kJoystickType, config::JoystickSource::Keys);
    settings_.Set(keys::kJoystickLeft, 46);
    Open();
    EXPECT_TRUE(Child<QRadioButton>(*form, "RbKeyMap")->isChecked());
    EXPECT_EQ(Child<QComboBox>(*form, "CbKeyLeft")->currentText(), "Left");
    EXPECT_FALSE(Child<QComboBox>(*form, "CbAxes")->isEnabled());

    ChooseDevice();
    EXPECT_FALSE(Child<QComboBox>(*form, "CbKeyLeft")->isEnabled());
    auto* axes = Child<QComboBox>(*form, "CbAxes");
    ASSERT_EQ(axes->count(), 3);  // the stick and two hats
    EXPECT_EQ(axes->itemText(0), "X axis & Y axis");
    EXPECT_EQ(axes->itemText(2), "Hat switch 2");
    QTest::mouseClick(Child<QRadioButton>(*form, "RbAxes"), Qt::LeftButton, {}, {6, 6});
    EXPECT_TRUE(Child<QPushButton>(*form, "BtnAxesFire")->isEnabled());

    // The live test follows the stick; out of the circle it turns red.
    SDL_JoystickSetVirtualAxis(stick, 0, 32767);
    form->TimerTimer();
    EXPECT_EQ(form->CrossPoint(), (joydialog::Point{54, 28}));
    EXPECT_FALSE(form->CrossInsideCircle());

    QTest::mouseClick(Child<QPushButton>(*form, "BtnOk"), Qt::LeftButton);
    EXPECT_EQ(settings_.Get(keys::kJoystickType), config::JoystickSource::Axes);
    // (15, 15) is 18.38 from the centre (28, 28): 65 % of 28.
    EXPECT_EQ(settings_.Get(keys::kJoystickSensitivity), 65);
    EXPECT_EQ(settings_.Get(keys::kJoystickFire), -1);
    EXPECT_EQ(settings_.Get(keys::kJoystickGuid),
              input::ControllerIdText(controllers->Devices()[static_cast<size_t>(device)].id));
    EXPECT_TRUE(settings_.Get(keys::kJoystickConnected));
    EXPECT_TRUE(form->TakeChanged());
    EXPECT_FALSE(form->TakeChanged());
    EXPECT_EQ(form->Description(), controllers->Devices()[static_cast<size_t>(device)].name);
}

TEST_F(FormJoyTest, PressingButtonsAssignsTheLowestAndBlocksTheRest) {
    ASSERT_NO_FATAL_FAILURE(Attach(8));
    Open();
    ChooseDevice();
    auto* buttonsOption = Child<QRadioButton>(*form, "RbButtons");
    ASSERT_TRUE(buttonsOption->isEnabled());
    QTest::mouseClick(buttonsOption, Qt::LeftButton, {}, {6, 6});
    auto* left = Child<QPushButton>(*form, "BtnLeft");
    auto* ok = Child<QPushButton>(*form, "BtnOk");
    ASSERT_TRUE(left->isEnabled());
    QTest::mouseClick(left, Qt::LeftButton);
    EXPECT_FALSE(ok->isEnabled());
    EXPECT_FALSE(Child<QPushButton>(*form, "BtnUp")->isEnabled());
    EXPECT_EQ(left->text(), "Press to assign");

    Press(6, true);
    Press(3, true);
    form->TimerTimer();
    EXPECT_EQ(left->text(), "Button 4");
    EXPECT_TRUE(ok->isEnabled());
    EXPECT_TRUE(Child<QPushButton>(*form, "BtnUp")->isEnabled());
    Press(6, false);
    Press(3, false);

    // Clicking the waiting button again leaves it unassigned.
    auto* fire = Child<QPushButton>(*form, "BtnFire");
    QTest::mouseClick(fire, Qt::LeftButton);
    QTest::mouseClick(fire, Qt::LeftButton);
    EXPECT_EQ(fire->text(), "Press to assign");

    QTest::mouseClick(ok, Qt::LeftButton);
    EXPECT_EQ(settings_.Get(keys::kJoystickType), config::JoystickSource::Buttons);
    EXPECT_EQ(settings_.Get(keys::kJoystickLeft), 3);
    EXPECT_EQ(settings_.Get(keys::kJoystickFire), -1);

    // Opened again on that configuration, the buttons show their names.
    form.reset();
    Open();
    EXPECT_TRUE(Child<QRadioButton>(*form, "RbButtons")->isChecked());
    EXPECT_EQ(Child<QPushButton>(*form, "BtnLeft")->text(), "Button 4");
    EXPECT_EQ(form->SensitivityPoint(), (joydialog::Point{15, 15}));
}

TEST_F(FormJoyTest, FewButtonsLeaveOnlyTheStickAndASecondHatShowsAsTheFirst) {
    ASSERT_NO_FATAL_FAILURE(Attach(4));
    settings_.Set(keys::kJoystickType, config::JoystickSource::Pov);
    settings_.Set(keys::kJoystickGuid,
                  input::ControllerIdText(controllers->Devices()[static_cast<size_t>(device)].id));
    settings_.Set(keys::kJoystickPov, 1);
    settings_.Set(keys::kJoystickSensitivity, 40);
    Open();
    EXPECT_FALSE(Child<QRadioButton>(*form, "RbButtons")->isEnabled());
    EXPECT_TRUE(Child<QRadioButton>(*form, "RbAxes")->isChecked());
    EXPECT_EQ(Child<QComboBox>(*form, "CbAxes")->currentText(), "Hat switch 1");
    // 40 % of the half height below the centre.
    EXPECT_EQ(form->SensitivityPoint(), (joydialog::Point{28, 28 + 11}));

    // Cancelling keeps the record and the file.
    const std::string before = settings_.Get(keys::kJoystickGuid);
    QTest::mouseClick(Child<QRadioButton>(*form, "RbKeyMap"), Qt::LeftButton, {}, {6, 6});
    QTest::mouseClick(Child<QPushButton>(*form, "BtnCancel"), Qt::LeftButton);
    EXPECT_EQ(settings_.Get(keys::kJoystickType), config::JoystickSource::Pov);
    EXPECT_EQ(form->Record().source, JoyConfig::kHat);
    EXPECT_FALSE(form->TakeChanged());
    EXPECT_EQ(settings_.Get(keys::kJoystickGuid), before);
}

TEST_F(FormJoyTest, DeviceChosenWithoutAControllerStoresNone) {
    Open();
    QTest::mouseClick(Child<QRadioButton>(*form, "RbJoyDev"), Qt::LeftButton, {}, {6, 6});
    Child<QComboBox>(*form, "CbDevice")->setCurrentIndex(-1);
    form->CbDeviceChange();
    QTest::mouseClick(Child<QPushButton>(*form, "BtnOk"), Qt::LeftButton);
    EXPECT_EQ(settings_.Get(keys::kJoystickType), config::JoystickSource::None);
    EXPECT_EQ(form->Description(), "...");
}

TEST_F(FormJoyTest, TheControlsPageOpensItAndOkBuildsTheJoystickOfTheRunningMachine) {
    using namespace std::string_view_literals;
    // JMP 0: the machine must keep running for the joystick to be latched.
    settings_.SetPath(keys::kRomFile,
                      folder_.Write("test.rom", testing_support::RomWith("\xC3\x00\x00"sv)));
    auto window = std::make_unique<TFormMain>(settings_, nullptr, SilentAudio());
    window->show();
    Machine& machine = window->GetMachine();
    ASSERT_EQ(machine.Joystick(), nullptr);
    QString description;
    ModalCloser modals({
        [&](QWidget* modal) {
            QTest::mouseClick(Child<QCheckBox>(*modal, "CheckJoy"), Qt::LeftButton, {}, {6, 6});
            auto* button = Child<QPushButton>(*modal, "BtnJoy");
            EXPECT_TRUE(button->isEnabled());
            // The dialog is modal too: it opens once this step has returned.
            QTimer::singleShot(0, button, &QPushButton::click);
            return true;
        },
        [&](QWidget* modal) {
            if (qobject_cast<TFormJoy*>(modal) == nullptr) return false;
            QTest::mouseClick(Child<QRadioButton>(*modal, "RbKeyMap"), Qt::LeftButton, {}, {6, 6});
            Child<QComboBox>(*modal, "CbKeyLeft")->setCurrentIndex(46);
            Child<QComboBox>(*modal, "CbKeyRight")->setCurrentIndex(48);
            Child<QComboBox>(*modal, "CbKeyUp")->setCurrentIndex(45);
            Child<QComboBox>(*modal, "CbKeyDown")->setCurrentIndex(47);
            Child<QComboBox>(*modal, "CbKeyFire")->setCurrentIndex(37);
            QTest::mouseClick(Child<QPushButton>(*modal, "BtnOk"), Qt::LeftButton);
            return true;
        },
        [&](QWidget* modal) {
            if (qobject_cast<TFormSettings*>(modal) == nullptr) return false;
            description = Child<QLabel>(*modal, "LblJoyType")->text();
            QTest::mouseClick(Child<QPushButton>(*modal, "BtnOk"), Qt::LeftButton);
            return true;
        },
    });
    window->findChild<QAction*>("MiControl")->trigger();
    EXPECT_TRUE(modals.AllDone()) << modals.Closed().join(", ").toStdString();
    EXPECT_EQ(description, "Left, Right, Up, Down, Space");
    EXPECT_TRUE(settings_.Get(keys::kJoystickConnected));
    ASSERT_NE(machine.Joystick(), nullptr) << "group 11 applied";
    window->Keyboard().Keys().Press(0x25);  // Left
    window->Keyboard().SampleJoystick(machine);
    // A running machine latches the switches at its next period.
    EXPECT_TRUE(QTest::qWaitFor([&] { return machine.Joystick()->State() == 0x08; }, 2000));
    window.reset();
}

}  // namespace
