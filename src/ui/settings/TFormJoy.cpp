#include "ui/settings/TFormJoy.h"

#include <QApplication>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QStandardPaths>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>

#include "host/input/JoyKeyTable.h"
#include "host/input/JoystickConfig.h"
#include "host/lang/Language.h"

namespace {

constexpr int kTestMs = 100;
constexpr int kBlinkTicks = 3;
constexpr int kUnassignedButtons = 199;  // 200 + button number once assigned
constexpr int kUnassignedAxesFire = 99;  // 100 + button number once assigned
const char* const kTagProperty = "joyTag";
// What calibrates a game controller on a Linux desktop, when one is installed.
const char* const kCalibrationTool = "jstest-gtk";

QString Text(const char* key) {
    return QString::fromStdString(lang::LangText("FormJoy", key));
}
QString Text1(const char* key, const QString& a) {
    return QString::fromStdString(lang::LangText1("FormJoy", key, a.toStdString()));
}

}  // namespace

// The sensitivity picture: white, framed in blue, the stick's cross in black and the dead zone's
// circle, black while the cross is inside it and red once the stick leaves it.
class JoySensitivityView : public QWidget {
  public:
    explicit JoySensitivityView(TFormJoy* form) : QWidget(form), form_(form) {
        setObjectName("ImgSens");
        setFixedSize(joydialog::kPictureSize, joydialog::kPictureSize);
    }

  protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.fillRect(rect(), Qt::white);
        painter.setPen(Qt::blue);
        painter.drawRect(rect().adjusted(0, 0, -1, -1));
        const joydialog::Point cross = form_->CrossPoint();
        painter.setPen(Qt::black);
        painter.drawLine(cross.x - 4, cross.y, cross.x + 4, cross.y);
        painter.drawLine(cross.x, cross.y - 4, cross.x, cross.y + 4);
        const int radius = static_cast<int>(
            joydialog::DistanceFromCentre(form_->SensitivityPoint(), width(), height()));
        painter.setPen(form_->CrossInsideCircle() ? Qt::black : Qt::red);
        painter.drawEllipse(QPoint(width() / 2, height() / 2), radius, radius);
    }
    void mousePressEvent(QMouseEvent* event) override {
        if (event->button() == Qt::LeftButton) form_->ImgSensMouse(At(event), true, false);
    }
    void mouseMoveEvent(QMouseEvent* event) override {
        form_->ImgSensMouse(At(event), false, false);
    }
    void mouseReleaseEvent(QMouseEvent* event) override {
        if (event->button() == Qt::LeftButton) form_->ImgSensMouse(At(event), false, true);
    }

  private:
    static joydialog::Point At(QMouseEvent* event) {
        return {event->position().toPoint().x(), event->position().toPoint().y()};
    }
    TFormJoy* form_;
};

TFormJoy::TFormJoy(config::Settings& settings, std::shared_ptr<input::GameControllers> controllers,
                   QWidget* parent)
    : QDialog(parent),
      settings_(settings),
      controllersHeld_(std::move(controllers)),
      controllers_(*controllersHeld_) {
    setObjectName("FormJoy");
    setWindowTitle("Joystick");
    BuildControls();
    timer_.setInterval(kTestMs);
    connect(&timer_, &QTimer::timeout, this, &TFormJoy::TimerTimer);
    record_ = input::ReadJoystickConfig(settings_, controllers_);
    cbDevice_->clear();
    for (const input::JoyDevice& device : controllers_.Devices()) {
        cbDevice_->addItem(QString::fromStdString(device.name));
    }
}

TFormJoy::~TFormJoy() {
    ReleaseTestController();
}

void TFormJoy::BuildControls() {
    auto* layout = new QVBoxLayout(this);
    auto* group = new QGroupBox("Joystick", this);
    group->setObjectName("GbJoy");
    layout->addWidget(group);
    auto* grid = new QGridLayout(group);

    rbKeyMap_ = new QRadioButton("Keys", group);
    rbKeyMap_->setObjectName("RbKeyMap");
    rbKeyMap_->setAutoExclusive(false);
    grid->addWidget(rbKeyMap_, 0, 0, 1, 4);
    static const char* const kKeyNames[5] = {"CbKeyLeft", "CbKeyUp", "CbKeyRight", "CbKeyDown",
                                             "CbKeyFire"};
    static const char* const kKeyLabels[5] = {"LblKeyLeft", "LblKeyUp", "LblKeyRight", "LblKeyDown",
                                              "LblKeyFire"};
    static const char* const kKeyCaptions[5] = {"Left", "Up", "Right", "Down", "Fire"};
    for (int i = 0; i < 5; ++i) {
        auto* label = new QLabel(kKeyCaptions[i], group);
        label->setObjectName(kKeyLabels[i]);
        keyLists_[i] = new QComboBox(group);
        keyLists_[i]->setObjectName(kKeyNames[i]);
        for (const joykeys::JoyKey& key : joykeys::kJoyKeys) keyLists_[i]->addItem(key.name);
        grid->addWidget(label, 1 + i, 0);
        grid->addWidget(keyLists_[i], 1 + i, 1);
    }

    rbJoyDev_ = new QRadioButton("Game controller", group);
    rbJoyDev_->setObjectName("RbJoyDev");
    rbJoyDev_->setAutoExclusive(false);
    grid->addWidget(rbJoyDev_, 6, 0, 1, 4);
    auto* lblDevice = new QLabel("Controller:", group);
    lblDevice->setObjectName("LblDevice");
    grid->addWidget(lblDevice, 7, 0);
    cbDevice_ = new QComboBox(group);
    cbDevice_->setObjectName("CbDevice");
    grid->addWidget(cbDevice_, 7, 1, 1, 2);
    sbtnRefresh_ = new QToolButton(group);
    sbtnRefresh_->setObjectName("SBtnRefresh");
    sbtnRefresh_->setText("Refresh");
    grid->addWidget(sbtnRefresh_, 7, 3);

    rbAxes_ = new QRadioButton("Stick or hat switch", group);
    rbAxes_->setObjectName("RbAxes");
    grid->addWidget(rbAxes_, 8, 0, 1, 2);
    cbAxes_ = new QComboBox(group);
    cbAxes_->setObjectName("CbAxes");
    grid->addWidget(cbAxes_, 9, 0, 1, 2);
    lblSensitivity_ = new QLabel("Sensitivity", group);
    lblSensitivity_->setObjectName("LblSensitivity");
    grid->addWidget(lblSensitivity_, 10, 0);
    imgSens_ = new JoySensitivityView(this);
    grid->addWidget(imgSens_, 10, 1);
    lblAxesBtnFire_ = new QLabel("Fire", group);
    lblAxesBtnFire_->setObjectName("LblAxesBtnFire");
    grid->addWidget(lblAxesBtnFire_, 11, 0);
    btnAxesFire_ = new QPushButton(group);
    btnAxesFire_->setObjectName("BtnAxesFire");
    grid->addWidget(btnAxesFire_, 11, 1);
    btnCalibrate_ = new QPushButton("Calibrate...", group);
    btnCalibrate_->setObjectName("BtnCalibrate");
    grid->addWidget(btnCalibrate_, 12, 0, 1, 2);

    rbButtons_ = new QRadioButton("Buttons", group);
    rbButtons_->setObjectName("RbButtons");
    grid->addWidget(rbButtons_, 8, 2, 1, 2);
    static const char* const kAssocNames[5] = {"BtnLeft", "BtnUp", "BtnRight", "BtnDown",
                                               "BtnFire"};
    static const char* const kAssocLabels[5] = {"LblBtnLeft", "LblBtnUp", "LblBtnRight",
                                                "LblBtnDown", "LblBtnFire"};
    for (int i = 0; i < 5; ++i) {
        auto* label = new QLabel(kKeyCaptions[i], group);
        label->setObjectName(kAssocLabels[i]);
        assocButtons_[i] = new QPushButton(group);
        assocButtons_[i]->setObjectName(kAssocNames[i]);
        grid->addWidget(label, 9 + i, 2);
        grid->addWidget(assocButtons_[i], 9 + i, 3);
        connect(assocButtons_[i], &QPushButton::clicked, this,
                [this, i] { BtnAssociateClick(assocButtons_[i]); });
    }

    auto* buttons = new QDialogButtonBox(this);
    btnOk_ = buttons->addButton(QDialogButtonBox::Ok);
    btnOk_->setObjectName("BtnOk");
    btnCancel_ = buttons->addButton(QDialogButtonBox::Cancel);
    btnCancel_->setObjectName("BtnCancel");
    layout->addWidget(buttons);

    connect(rbKeyMap_, &QRadioButton::clicked, this, [this] {
        rbKeyMap_->setChecked(true);
        RbKeyMapClick(true);
    });
    connect(rbJoyDev_, &QRadioButton::clicked, this, [this] {
        rbJoyDev_->setChecked(true);
        RbJoyDevClick(true);
    });
    connect(rbAxes_, &QRadioButton::toggled, this, &TFormJoy::RbAxesClick);
    connect(rbButtons_, &QRadioButton::toggled, this, &TFormJoy::RbButtonsClick);
    connect(sbtnRefresh_, &QToolButton::clicked, this, &TFormJoy::SBtnRefreshClick);
    connect(cbDevice_, &QComboBox::activated, this, &TFormJoy::CbDeviceChange);
    connect(cbAxes_, &QComboBox::activated, this, &TFormJoy::CbAxesChange);
    connect(btnAxesFire_, &QPushButton::clicked, this, [this] { BtnAssociateClick(btnAxesFire_); });
    connect(btnCalibrate_, &QPushButton::clicked, this, &TFormJoy::BtnCalibrateClick);
    connect(btnOk_, &QPushButton::clicked, this, &TFormJoy::BtnOkClick);
    connect(btnCancel_, &QPushButton::clicked, this, &QDialog::reject);
}

bool TFormJoy::Execute(QWidget* owner) {
    if (owner != nullptr) {
        // Centred over the window that opens it.
        adjustSize();
        const QRect area = owner->frameGeometry();
        move(area.x() + (area.width() - width()) / 2, area.y() + (area.height() - height()) / 2);
    }
    FormShow();
    const bool confirmed = exec() == QDialog::Accepted;
    timer_.stop();
    if (test_ != nullptr) test_->Unacquire();
    return confirmed;
}

std::string TFormJoy::Description() const {
    return input::JoystickDescription(record_, controllers_);
}

bool TFormJoy::TakeChanged() {
    const bool changed = changed_;
    changed_ = false;
    return changed;
}

int TFormJoy::Tag(QPushButton* button) const {
    return button->property(kTagProperty).toInt();
}
void TFormJoy::SetTag(QPushButton* button, int tag) {
    button->setProperty(kTagProperty, tag);
}

QString TFormJoy::ButtonName(int number) const {
    return Text1("text.Joy.Button", QString::number(number + 1));
}

void TFormJoy::SetPlaceholder(QPushButton* button, int tag) {
    SetTag(button, tag);
    button->setText(Text("text.Buttons.Associate"));
}

void TFormJoy::ShowButtonName(QPushButton* button, int tag, int base) {
    const int number = tag - base;
    if (number >= 0 && number < parts_.buttons) {
        SetTag(button, tag);
        button->setText(ButtonName(number));
    } else {
        SetPlaceholder(button, base - 1);
    }
}

bool TFormJoy::ButtonsPossible() const {
    return partsKnown_ && parts_.buttons > 4;
}

void TFormJoy::FormShow() {
    changed_ = false;
    sensPoint_ = {15, 15};
    const int source = record_.source;
    if (source >= JoyConfig::kAxes && source <= JoyConfig::kButtons) {
        rbKeyMap_->setChecked(false);
        rbJoyDev_->setChecked(true);
        SBtnRefreshClick();
        if (record_.device >= 0 && record_.device < cbDevice_->count()) {
            cbDevice_->setCurrentIndex(record_.device);
            CbDeviceChange();
        }
        if (source == JoyConfig::kButtons) {
            const int tags[5] = {record_.left, record_.up, record_.right, record_.down,
                                 record_.fire};
            for (int i = 0; i < 5; ++i) ShowButtonName(assocButtons_[i], 200 + tags[i], 200);
            SetPlaceholder(btnAxesFire_, kUnassignedAxesFire);
            for (QComboBox* list : keyLists_) list->setCurrentIndex(-1);
            rbButtons_->setChecked(true);
        } else {
            ShowButtonName(btnAxesFire_, 100 + record_.fire, 100);
            for (QPushButton* button : assocButtons_) SetPlaceholder(button, kUnassignedButtons);
            // The first entry of the kind stored: a second hat shows as the first.
            for (int i = 0; i < cbAxes_->count(); ++i) {
                const bool hat = cbAxes_->itemData(i).toInt() >= 0;
                if (hat == (source == JoyConfig::kHat)) {
                    cbAxes_->setCurrentIndex(i);
                    CbAxesChange();
                    break;
                }
            }
            rbAxes_->setChecked(true);
            sensPoint_ = joydialog::SensitivityPoint(record_.sensitivity, imgSens_->width(),
                                                     imgSens_->height());
        }
    } else {
        const int keys[5] = {record_.left, record_.up, record_.right, record_.down, record_.fire};
        for (int i = 0; i < 5; ++i) {
            keyLists_[i]->setCurrentIndex(keys[i] >= 0 && keys[i] < joykeys::kKeyCount ? keys[i]
                                                                                       : -1);
        }
        SetPlaceholder(btnAxesFire_, kUnassignedAxesFire);
        for (QPushButton* button : assocButtons_) SetPlaceholder(button, kUnassignedButtons);
        rbJoyDev_->setChecked(false);
        rbKeyMap_->setChecked(true);
    }
    RbKeyMapClick(false);
    RbJoyDevClick(false);
    imgSens_->update();
}

void TFormJoy::RbKeyMapClick(bool byUser) {
    if (byUser) {
        timer_.stop();
        if (test_ != nullptr) test_->Unacquire();
        rbJoyDev_->setChecked(false);
    }
    for (QComboBox* list : keyLists_) list->setEnabled(rbKeyMap_->isChecked());
    if (byUser) RbJoyDevClick(false);
}

void TFormJoy::RbJoyDevClick(bool byUser) {
    if (byUser) rbKeyMap_->setChecked(false);
    const bool device = rbJoyDev_->isChecked();
    cbDevice_->setEnabled(device);
    sbtnRefresh_->setEnabled(device);
    rbAxes_->setEnabled(device && cbAxes_->count() > 0);
    rbButtons_->setEnabled(device && ButtonsPossible());
    RbAxesClick();
    RbButtonsClick();
    if (byUser) {
        for (QComboBox* list : keyLists_) list->setEnabled(false);
        CbAxesChange();
    }
}

void TFormJoy::RbAxesClick() {
    const bool on = rbJoyDev_->isChecked() && rbAxes_->isEnabled() && rbAxes_->isChecked();
    for (QWidget* w : std::initializer_list<QWidget*>{
             cbAxes_, lblSensitivity_, imgSens_, lblAxesBtnFire_, btnAxesFire_, btnCalibrate_}) {
        w->setEnabled(on);
    }
}

void TFormJoy::RbButtonsClick() {
    const bool on = rbJoyDev_->isChecked() && rbButtons_->isEnabled() && rbButtons_->isChecked();
    for (QPushButton* button : assocButtons_) button->setEnabled(on);
}

void TFormJoy::SBtnRefreshClick() {
    controllers_.EnumerateControllers();
    cbDevice_->clear();
    for (const input::JoyDevice& device : controllers_.Devices()) {
        cbDevice_->addItem(QString::fromStdString(device.name));
    }
    if (cbDevice_->count() > 0) cbDevice_->setCurrentIndex(0);
    CbDeviceChange();
}

void TFormJoy::ReleaseTestController() {
    timer_.stop();
    test_.reset();
    partsKnown_ = false;
    parts_ = {};
}

void TFormJoy::CbDeviceChange() {
    ReleaseTestController();
    cbAxes_->clear();
    SetPlaceholder(btnAxesFire_, kUnassignedAxesFire);
    for (QPushButton* button : assocButtons_) SetPlaceholder(button, kUnassignedButtons);
    const int device = cbDevice_->currentIndex();
    if (device >= 0) {
        if (auto parts = controllers_.Parts(device)) {
            test_ = controllers_.OpenController(device);
            if (test_ != nullptr) {
                parts_ = *parts;
                partsKnown_ = true;
            }
        }
    }
    if (partsKnown_) {
        if (parts_.hasX && parts_.hasY) {
            cbAxes_->addItem(
                QString::fromStdString(lang::LangText2(
                    "FormJoy", "text.Joy.Axes", lang::LangText("FormJoy", "text.Joy.XAxis"),
                    lang::LangText("FormJoy", "text.Joy.YAxis"))),
                -1);
        }
        for (int hat = 0; hat < parts_.hats; ++hat) {
            cbAxes_->addItem(Text1("text.Joy.Hat", QString::number(hat + 1)), hat);
        }
        if (cbAxes_->count() > 0) cbAxes_->setCurrentIndex(0);
    }
    RbJoyDevClick(false);
    CbAxesChange();
}

void TFormJoy::CbAxesChange() {
    if (test_ == nullptr) return;
    test_->Unacquire();
    hatUnderTest_ = cbAxes_->currentIndex() >= 0 ? cbAxes_->currentData().toInt() : -1;
    if (test_->Acquire()) timer_.start();
}

void TFormJoy::BtnAssociateClick(QPushButton* button) {
    const bool wasAssociating = Associating();
    for (QWidget* w : std::initializer_list<QWidget*>{rbKeyMap_, rbJoyDev_, cbDevice_, sbtnRefresh_,
                                                      rbAxes_, rbButtons_, btnOk_, btnCancel_}) {
        w->setEnabled(wasAssociating);
    }
    if (button == btnAxesFire_) {
        for (QWidget* w : std::initializer_list<QWidget*>{cbAxes_, btnCalibrate_, imgSens_}) {
            w->setEnabled(wasAssociating);
        }
        if (!wasAssociating) SetTag(button, kUnassignedAxesFire);
    } else {
        for (QPushButton* other : assocButtons_) {
            if (other != button) other->setEnabled(wasAssociating);
        }
        if (!wasAssociating) SetTag(button, kUnassignedButtons);
    }
    if (wasAssociating) {
        // The mode controls follow their own rules again.
        RbJoyDevClick(false);
        RbKeyMapClick(false);
    }
    waiting_ = wasAssociating ? nullptr : button;
    blink_ = kBlinkTicks;
    if (!wasAssociating) button->setText(Text("text.Buttons.Associate"));
    QFont font = button->font();
    font.setBold(false);
    button->setFont(font);
    // The controller must be read while waiting, whatever the source shown.
    if (!wasAssociating && test_ != nullptr && !timer_.isActive()) {
        if (test_->Acquire()) timer_.start();
    }
}

void TFormJoy::TimerTimer() {
    if (test_ == nullptr) return;
    if (Associating() && --blink_ <= 0) {
        QFont font = waiting_->font();
        font.setBold(!font.bold());
        waiting_->setFont(font);
        blink_ = kBlinkTicks;
    }
    JoyControllerState reading;
    if (!test_->Read(reading)) return;
    if (Associating()) {
        for (int i = 0; i < 32; ++i) {
            if ((reading.buttons[static_cast<size_t>(i)] & 0x80) == 0) continue;
            QPushButton* button = waiting_;
            button->setText(ButtonName(i));
            BtnAssociateClick(button);
            SetTag(button, Tag(button) + i + 1);
            return;
        }
        return;
    }
    if (!rbAxes_->isChecked()) return;
    const joydialog::Point cross =
        joydialog::CrossPosition(reading, hatUnderTest_, imgSens_->width(), imgSens_->height());
    if (!(cross == cross_)) {
        cross_ = cross;
        imgSens_->update();
    }
}

bool TFormJoy::CrossInsideCircle() const {
    const int w = imgSens_->width(), h = imgSens_->height();
    return joydialog::DistanceFromCentre(cross_, w, h) <
           static_cast<int>(joydialog::DistanceFromCentre(sensPoint_, w, h));
}

void TFormJoy::ImgSensMouse(joydialog::Point at, bool press, bool release) {
    if (press) dragging_ = true;
    if (!dragging_) return;
    sensPoint_ = at;
    if (release) dragging_ = false;
    imgSens_->update();
}

void TFormJoy::BtnCalibrateClick() {
    const QString tool = QStandardPaths::findExecutable(kCalibrationTool);
    if (!tool.isEmpty()) {
        QMessageBox::information(this, Text("err.Calibrate.Title"), Text("err.Calibrate.Message"));
        QProcess::startDetached(tool, {});
    } else {
        QApplication::beep();
    }
    changed_ = true;
}

void TFormJoy::BtnOkClick() {
    JoyConfig joy;
    joy.left = joy.right = joy.up = joy.down = joy.fire = joy.hat = joy.sensitivity = -1;
    joy.device = -1;
    joy.source = JoyConfig::kNone;
    const int device = cbDevice_->currentIndex();
    if (rbKeyMap_->isChecked()) {
        joy.source = JoyConfig::kKeys;
        joy.left = keyLists_[0]->currentIndex();
        joy.up = keyLists_[1]->currentIndex();
        joy.right = keyLists_[2]->currentIndex();
        joy.down = keyLists_[3]->currentIndex();
        joy.fire = keyLists_[4]->currentIndex();
    } else if (rbButtons_->isChecked() && rbButtons_->isEnabled() && device >= 0) {
        joy.source = JoyConfig::kButtons;
        joy.left = Tag(assocButtons_[0]) - 200;
        joy.up = Tag(assocButtons_[1]) - 200;
        joy.right = Tag(assocButtons_[2]) - 200;
        joy.down = Tag(assocButtons_[3]) - 200;
        joy.fire = Tag(assocButtons_[4]) - 200;
        joy.device = device;
    } else if (device >= 0 && cbAxes_->currentIndex() >= 0) {
        const int hat = cbAxes_->currentData().toInt();
        joy.source = hat >= 0 ? JoyConfig::kHat : JoyConfig::kAxes;
        joy.hat = hat >= 0 ? hat : -1;
        joy.fire = Tag(btnAxesFire_) - 100;
        // A point beyond the circle the stick can reach would read back as the default.
        joy.sensitivity = std::min(
            100, joydialog::SensitivityOf(sensPoint_, imgSens_->width(), imgSens_->height()));
        joy.device = device;
    }
    record_ = joy;
    input::WriteJoystickConfig(settings_, record_, controllers_);
    changed_ = true;
    accept();
}
