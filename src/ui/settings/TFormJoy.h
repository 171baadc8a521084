#pragma once

#include <QDialog>
#include <QTimer>
#include <array>
#include <memory>
#include <string>

#include "frontend/JoyDialogLogic.h"
#include "host/config/Settings.h"
#include "host/input/GameControllers.h"
#include "machine/JoyOPVS.h"
#include "ui/settings/JoystickDialogLink.h"

class QComboBox;
class QLabel;
class QPushButton;
class QRadioButton;
class QToolButton;
class JoySensitivityView;

// The joystick dialog: five host keys, or a game controller through its stick, a hat switch or
// five buttons, with a live test of the controller and buttons assigned by pressing them. OK
// writes Controls/Joystick; the machine reads it when the settings apply the joystick group.
class TFormJoy : public QDialog, public JoystickDialogLink {
    Q_OBJECT

  public:
    TFormJoy(config::Settings& settings, std::shared_ptr<input::GameControllers> controllers,
             QWidget* parent = nullptr);
    ~TFormJoy() override;

    // JoystickDialogLink
    bool Execute(QWidget* owner) override;
    std::string Description() const override;
    bool TakeChanged() override;

    const JoyConfig& Record() const { return record_; }
    // The dialog as it is about to show (also what Execute does first).
    void FormShow();

    // Handlers, public for the tests' sake as the form's events reach them.
    void RbKeyMapClick(bool byUser);
    void RbJoyDevClick(bool byUser);
    void RbAxesClick();
    void RbButtonsClick();
    void SBtnRefreshClick();
    void CbDeviceChange();
    void CbAxesChange();
    void BtnAssociateClick(QPushButton* button);
    void TimerTimer();
    void BtnCalibrateClick();
    void BtnOkClick();

    // The picture's sensitivity point, and a press, move or release of the left button on it.
    joydialog::Point SensitivityPoint() const { return sensPoint_; }
    void ImgSensMouse(joydialog::Point at, bool press, bool release);
    joydialog::Point CrossPoint() const { return cross_; }
    bool CrossInsideCircle() const;

  private:
    void BuildControls();
    void ReleaseTestController();
    void SetPlaceholder(QPushButton* button, int tag);
    void ShowButtonName(QPushButton* button, int tag, int base);
    QString ButtonName(int number) const;
    int Tag(QPushButton* button) const;
    void SetTag(QPushButton* button, int tag);
    bool Associating() const { return waiting_ != nullptr; }
    // The controller's buttons beyond four make the buttons source possible.
    bool ButtonsPossible() const;

    config::Settings& settings_;
    std::shared_ptr<input::GameControllers> controllersHeld_;
    input::GameControllers& controllers_;
    JoyConfig record_;
    bool changed_ = false;

    std::unique_ptr<JoyController> test_;
    input::ControllerParts parts_;
    bool partsKnown_ = false;
    int hatUnderTest_ = -1;
    QPushButton* waiting_ = nullptr;  // the association button waiting for a controller button
    int blink_ = 0;
    joydialog::Point sensPoint_{15, 15};
    joydialog::Point cross_{joydialog::kPictureSize / 2, joydialog::kPictureSize / 2};
    bool dragging_ = false;
    QTimer timer_;

    QRadioButton* rbKeyMap_ = nullptr;
    QRadioButton* rbJoyDev_ = nullptr;
    QRadioButton* rbAxes_ = nullptr;
    QRadioButton* rbButtons_ = nullptr;
    std::array<QComboBox*, 5> keyLists_{};  // left, up, right, down, fire
    QComboBox* cbDevice_ = nullptr;
    QToolButton* sbtnRefresh_ = nullptr;
    QComboBox* cbAxes_ = nullptr;
    QLabel* lblSensitivity_ = nullptr;
    QLabel* lblAxesBtnFire_ = nullptr;
    JoySensitivityView* imgSens_ = nullptr;
    QPushButton* btnAxesFire_ = nullptr;
    QPushButton* btnCalibrate_ = nullptr;
    std::array<QPushButton*, 5> assocButtons_{};  // BtnLeft, BtnUp, BtnRight, BtnDown, BtnFire
    QPushButton* btnOk_ = nullptr;
    QPushButton* btnCancel_ = nullptr;

    friend class JoySensitivityView;
};
