#include "ui/settings/TFormSettings.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QFont>
#include <QFrame>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QSlider>
#include <QStackedWidget>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "host/files/ProgramPaths.h"
#include "host/lang/Language.h"
#include "host/lang/LanguageFiles.h"
#include "ui/common/FileDialogs.h"
#include "ui/common/FlagPicture.h"
#include "ui/common/LanguageApplier.h"
#include "ui/common/OutcomeReport.h"
#include "ui/common/ProgramIcons.h"
#include "ui/settings/FileTypesBox.h"
#include "ui/settings/JoystickDialogLink.h"
#include "ui/settings/SettingsPageWidgets.h"

namespace {

using settingspages::Page;
namespace keys = config::keys;

constexpr int kPageRole = Qt::UserRole;
constexpr int kTopIconSize = 32;

template <typename T>
T* Child(const QObject* root, const char* name) {
    return root->findChild<T*>(name);
}

}  // namespace

TFormSettings::TFormSettings(config::Settings& settings, QWidget* parent,
                             settingspages::DeviceSource devices)
    : QDialog(parent),
      settings_(settings),
      controls_(this),
      pages_(settings, controls_, devices),
      devices_(devices) {
    setObjectName("FormSettings");
    setWindowTitle("Settings");
    setModal(true);

    tree_ = new QTreeWidget(this);
    tree_->setObjectName("TreeItems");
    tree_->setHeaderHidden(true);
    tree_->setRootIsDecorated(false);
    tree_->setIconSize(QSize(24, 24));
    const char* const captions[] = {"General", "Hardware", "Display", "Sound", "Controls"};
    for (int page = 0; page < settingspages::kPageCount; ++page) {
        auto* item = new QTreeWidgetItem(tree_, {captions[page]});
        item->setIcon(0, icons::Icon(SettingsPageIcon(page)));
        // The tree's entries may be reordered or nested; each names the page it shows.
        item->setData(0, kPageRole, page);
    }
    tree_->setFixedWidth(150);

    auto* top = new QFrame(this);
    top->setObjectName("PanelTop");
    top->setFrameShape(QFrame::StyledPanel);
    top->setAutoFillBackground(true);
    top->setBackgroundRole(QPalette::Base);
    imgTop_ = new QLabel(top);
    imgTop_->setObjectName("ImgTop");
    lblCaption_ = new QLabel(top);
    lblCaption_->setObjectName("LblCaption");
    QFont bold = lblCaption_->font();
    bold.setBold(true);
    lblCaption_->setFont(bold);
    lblDesc_ = new QLabel(top);
    lblDesc_->setObjectName("LblDesc");
    auto* topLayout = new QHBoxLayout(top);
    auto* topTexts = new QVBoxLayout;
    topTexts->addWidget(lblCaption_);
    topTexts->addWidget(lblDesc_);
    topLayout->addLayout(topTexts, 1);
    topLayout->addWidget(imgTop_);

    stack_ = new QStackedWidget(this);
    stack_->setObjectName("PageControl");
    BuildSettingsPages(stack_);

    auto* ok = new QPushButton("OK", this);
    ok->setObjectName("BtnOk");
    ok->setDefault(true);
    auto* cancel = new QPushButton("Cancel", this);
    cancel->setObjectName("BtnCancel");
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok);
    buttons->addWidget(cancel);

    auto* right = new QVBoxLayout;
    right->addWidget(top);
    right->addWidget(stack_, 1);
    auto* body = new QHBoxLayout;
    body->addWidget(tree_);
    body->addLayout(right, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(body, 1);
    layout->addLayout(buttons);

    connect(ok, &QPushButton::clicked, this, &TFormSettings::BtnOkClick);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(tree_, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* item) {
        if (item != nullptr) TreeItemsClick(item->data(0, kPageRole).toInt());
    });
    ConnectControls();
    tree_->setCurrentItem(tree_->topLevelItem(0));
}

TFormSettings::~TFormSettings() = default;

void TFormSettings::ConnectControls() {
    for (QCheckBox* check : findChildren<QCheckBox*>()) {
        // Only the user's clicks run the rules; loading a page sets the boxes quietly.
        connect(check, &QCheckBox::clicked, this, [this, check] {
            pages_.Clicked(check->objectName().toStdString());
            LimitJoystickButton();
        });
    }
    for (const char* radio : {"RadioDS", "RadioWO"}) {
        connect(Child<QRadioButton>(this, radio), &QRadioButton::clicked, this,
                [this] { pages_.ListDevices(); });
    }
    for (QSlider* track : findChildren<QSlider*>()) {
        connect(track, &QSlider::valueChanged, track,
                [track](int value) { track->setToolTip(QString::number(value)); });
    }
    connect(Child<QComboBox>(this, "CbLang"), &QComboBox::activated, this,
            &TFormSettings::CbLangChange);
    connect(Child<QPushButton>(this, "BtnMainRomOpen"), &QPushButton::clicked, this,
            &TFormSettings::BtnMainRomOpenClick);
    connect(Child<QPushButton>(this, "BtnRomModuleOpen"), &QPushButton::clicked, this,
            &TFormSettings::BtnRomModuleOpenClick);
    connect(Child<QPushButton>(this, "BtnSdRomRootPath"), &QPushButton::clicked, this,
            &TFormSettings::BtnSdRomRootPathClick);
    connect(Child<QPushButton>(this, "BtnJoy"), &QPushButton::clicked, this,
            &TFormSettings::BtnJoyClick);
    new FileTypesBox(this);
    // A page's hint is its description in the top panel, not a tool tip over the whole page.
    for (int page = 0; page < stack_->count(); ++page)
        stack_->widget(page)->installEventFilter(this);
}

bool TFormSettings::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::ToolTip && watched->parent() == stack_) return true;
    return QDialog::eventFilter(watched, event);
}

int TFormSettings::CurrentPage() const {
    return stack_->currentIndex();
}

void TFormSettings::SetJoystickDialog(JoystickDialogLink* dialog) {
    joystick_ = dialog;
    ShowJoystickType();
}

bool TFormSettings::Open(int page) {
    if (page >= 0 && page < tree_->topLevelItemCount()) {
        tree_->setCurrentItem(tree_->topLevelItem(page));
    }
    // The language list switches the program's language as soon as it is chosen, so that the
    // dialog shows it; Cancel must take that back like every other change of the visit.
    const std::string language = settings_.Get(keys::kLanguage);
    const bool accepted = exec() == QDialog::Accepted;
    if (!accepted && settings_.Get(keys::kLanguage) != language) {
        LoadLanguage(language);
        settings_.Set(keys::kLanguage, language);
    }
    return accepted;
}

void TFormSettings::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    // Only the page in view reloads; the others keep what they showed, edits of a cancelled
    // visit included, and a later OK writes those.
    TabShow(static_cast<Page>(CurrentPage()));
    // The heading copies the page's title, which the language may have changed since.
    RefreshHeading();
}

void TFormSettings::StartUp() {
    for (int page = 0; page < settingspages::kPageCount; ++page) {
        TabShow(static_cast<Page>(page));
    }
    changeList_ = pages_.Confirm(joystick_ != nullptr && joystick_->TakeChanged());
    adjustSize();
    const QRect desktop = QApplication::primaryScreen()->virtualGeometry();
    const config::WindowPos position = settings_.GetWindowPos(
        keys::kOptionsPos, width(), height(),
        config::ScreenArea{desktop.x() + desktop.width(), desktop.y() + desktop.height()});
    move(position.x, position.y);
    const int page = settings_.Get(keys::kOptionsPage);
    if (page >= 0 && page < tree_->topLevelItemCount()) {
        tree_->setCurrentItem(tree_->topLevelItem(page));
    }
}

void TFormSettings::StoreSettings() {
    settings_.SetWindowPos(keys::kOptionsPos, config::WindowPos{pos().x(), pos().y()});
    settings_.Set(keys::kOptionsPage, CurrentPage());
}

void TFormSettings::TreeItemsClick(int page) {
    if (page < 0 || page >= stack_->count()) return;
    stack_->setCurrentIndex(page);
    RefreshHeading();
}

void TFormSettings::RefreshHeading() {
    QWidget* page = stack_->currentWidget();
    lblCaption_->setText(page->windowTitle());
    lblDesc_->setText(page->toolTip());
    imgTop_->setPixmap(icons::Pixmap(SettingsPageIcon(CurrentPage()), kTopIconSize));
}

void TFormSettings::TabShow(Page page) {
    if (page == Page::General) {
        FillLanguageList();
        findChild<FileTypesBox*>()->TabGeneralShow();
    }
    if (page == Page::Sound) ShowSoundApis();
    pages_.LoadPage(page);
    if (page == Page::Controls) ShowJoystickType();
    LimitJoystickButton();
}

void TFormSettings::FillLanguageList() {
    auto* list = Child<QComboBox>(this, "CbLang");
    list->clear();
    const std::vector<lang::LanguageEntry> entries = lang::ListLanguages(lang::LanguageFolder());
    for (const lang::LanguageEntry& entry : entries) {
        QPixmap flag = entry.flagPath.empty() ? QPixmap() : LoadFlagPicture(entry.flagPath);
        list->addItem(QIcon(flag), QString::fromStdString(entry.shownText),
                      QString::fromStdString(entry.name));
    }
    list->setCurrentIndex(lang::FindLanguageEntry(entries, settings_.Get(keys::kLanguage)));
    list->setEnabled(!entries.empty());
    Child<QLabel>(this, "LblLang")->setEnabled(!entries.empty());
}

void TFormSettings::CbLangChange(int index) {
    const QString name = Child<QComboBox>(this, "CbLang")->itemData(index).toString();
    if (name.isEmpty()) return;
    LoadLanguage(name.toStdString());
    RefreshHeading();
    settings_.Set(keys::kLanguage, name.toStdString());
}

// Both stored output types stand for host APIs of this system; their own names say which.
void TFormSettings::ShowSoundApis() {
    const std::pair<const char*, SoundOutputType> apis[] = {{"LblApiDS", SoundOutputType::DSound},
                                                            {"LblApiWO", SoundOutputType::WaveOut}};
    for (const auto& [label, type] : apis) {
        const std::string name = devices_.apiName ? devices_.apiName(type) : std::string();
        Child<QLabel>(this, label)
            ->setText(name.empty() ? QString() : "(" + QString::fromStdString(name) + ")");
    }
}

void TFormSettings::ShowJoystickType() {
    const std::string description = joystick_ != nullptr ? joystick_->Description() : "...";
    Child<QLabel>(this, "LblJoyType")->setText(QString::fromStdString(description));
    LimitJoystickButton();
}

void TFormSettings::LimitJoystickButton() {
    if (joystick_ == nullptr) Child<QPushButton>(this, "BtnJoy")->setEnabled(false);
}

void TFormSettings::BtnOkClick() {
    const settingspages::SettingsPages::Refusal refusal = pages_.CheckBeforeConfirm();
    if (!refusal.control.empty()) {
        tree_->setCurrentItem(tree_->topLevelItem(static_cast<int>(Page::Hardware)));
        ReportOutcome(this, Outcome::Refused, QString::fromStdString(refusal.text),
                      QString::fromStdString(lang::LangText("FormSettings", "text.RomFile.Title")));
        if (auto* field = findChild<QWidget*>(QString::fromStdString(refusal.control)))
            field->setFocus();
        return;
    }
    changeList_ = pages_.Confirm(joystick_ != nullptr && joystick_->TakeChanged());
    accept();
}

void TFormSettings::OpenFileInto(const char* edit, const std::string& title,
                                 const std::string& filter, const char* extension) {
    auto* field = Child<QLineEdit>(this, edit);
    std::string path = field->text().toStdString();
    if (OpenFileDialog(this, settings_, title, filter, path, extension)) {
        field->setText(QString::fromStdString(program::ToProgramRelative(path)));
    }
}

void TFormSettings::BtnMainRomOpenClick() {
    OpenFileInto("EditMainRom", lang::LangText("FormSettings", "text.OpenMainRom.Title"),
                 lang::LangText("FormSettings", "text.OpenMainRom.Filter"), "ROM");
}

void TFormSettings::BtnRomModuleOpenClick() {
    OpenFileInto("EditRomModuleFile", lang::LangText("FormSettings", "text.OpenRomModule.Title"),
                 lang::LangText("FormSettings", "text.OpenRomModule.Filter"), "RMM");
}

void TFormSettings::BtnSdRomRootPathClick() {
    auto* field = Child<QLineEdit>(this, "EditSdRomRootPath");
    QString start =
        QString::fromStdString(program::FromProgramRelative(field->text().toStdString()));
    if (field->text().isEmpty() || !QFileInfo(start).isDir()) {
        start = QString::fromStdString(program::ProgramFolder());
    }
    QFileDialog dialog(
        this, QString::fromStdString(lang::LangText("FormSettings", "text.SelectFolderSD.Title")));
    dialog.setOption(QFileDialog::DontUseNativeDialog, true);
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly, true);
    dialog.setDirectory(start);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
    const std::string chosen = QDir(dialog.selectedFiles().first()).absolutePath().toStdString();
    field->setText(QString::fromStdString(program::ToProgramRelative(chosen)));
}

void TFormSettings::BtnJoyClick() {
    if (joystick_ != nullptr && joystick_->Execute(this)) ShowJoystickType();
}
