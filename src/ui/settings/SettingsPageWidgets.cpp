#include "ui/settings/SettingsPageWidgets.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QSpinBox>
#include <QStackedWidget>
#include <QVBoxLayout>

#include "ui/common/NumberEdit.h"
#include "ui/common/ProgramIcons.h"

namespace {

template <typename T>
T* Named(QWidget* parent, const char* name, const QString& text = {}) {
    auto* widget = new T(parent);
    widget->setObjectName(name);
    if constexpr (std::is_base_of_v<QAbstractButton, T> || std::is_same_v<T, QLabel>) {
        widget->setText(text);
    } else if constexpr (std::is_same_v<T, QGroupBox>) {
        widget->setTitle(text);
    }
    return widget;
}

QWidget* Page(QStackedWidget* stack, const char* name, const QString& caption,
              const QString& hint) {
    auto* page = Named<QWidget>(stack, name);
    page->setWindowTitle(caption);
    page->setToolTip(hint);
    stack->addWidget(page);
    return page;
}

// An edit with its "choose" button on one row.
QHBoxLayout* FileRow(QWidget* parent, const char* edit, const char* button) {
    auto* row = new QHBoxLayout;
    row->addWidget(Named<QLineEdit>(parent, edit));
    auto* choose = Named<QPushButton>(parent, button, "...");
    choose->setFixedWidth(choose->fontMetrics().horizontalAdvance("...") + 24);
    row->addWidget(choose);
    return row;
}

void GeneralPage(QStackedWidget* stack) {
    QWidget* page =
        Page(stack, "TabGeneral", "General", "Hints, file dialogs, language and file types");
    auto* layout = new QVBoxLayout(page);
    layout->addWidget(Named<QCheckBox>(page, "CheckHintDbg", "Show hints in the debugger"));
    layout->addWidget(
        Named<QCheckBox>(page, "CheckShowPlaceBar", "Show the places bar in file dialogs"));
    layout->addWidget(Named<QCheckBox>(page, "CheckMsgNotFoundDbg",
                                       "Tell when a debugger search finds nothing more"));
    auto* depth = new QHBoxLayout;
    depth->addWidget(Named<QLabel>(page, "LblRewindDepth", "Rewind reaches back (seconds):"));
    auto* seconds = Named<NumberSpinBox>(page, "SpinRewindDepth");
    seconds->setRange(1, 600);
    depth->addWidget(seconds);
    depth->addStretch();
    layout->addLayout(depth);
    auto* language = new QHBoxLayout;
    language->addWidget(Named<QLabel>(page, "LblLang", "Language:"));
    auto* list = Named<QComboBox>(page, "CbLang");
    list->setIconSize(QSize(24, 16));
    language->addWidget(list, 1);
    layout->addLayout(language);
    // The registration with the desktop (FileTypesBox reads and applies it).
    auto* types = Named<QGroupBox>(page, "GbRegtype", "File types");
    auto* typesLayout = new QVBoxLayout(types);
    typesLayout->addWidget(
        Named<QCheckBox>(types, "CheckRegtypePTA", "Open tape images (*.pta) with the emulator"));
    typesLayout->addWidget(
        Named<QCheckBox>(types, "CheckRegtypeTVX", "Open snapshots (*.tvs) with the emulator"));
    typesLayout->addWidget(Named<QPushButton>(types, "BtnRegtypeUpdate", "Apply"), 0,
                           Qt::AlignRight);
    layout->addWidget(types);
    layout->addStretch();
}

void HardwarePage(QStackedWidget* stack) {
    QWidget* page =
        Page(stack, "TabHardware", "Hardware", "ROMs, modules and extensions of the computer");
    auto* layout = new QVBoxLayout(page);
    auto* rom = new QHBoxLayout;
    rom->addWidget(Named<QLabel>(page, "LblMainRom", "Main ROM:"));
    rom->addLayout(FileRow(page, "EditMainRom", "BtnMainRomOpen"), 1);
    layout->addLayout(rom);

    auto* module = Named<QGroupBox>(page, "GbRomModule", "ROM module");
    auto* moduleLayout = new QGridLayout(module);
    moduleLayout->addWidget(Named<QCheckBox>(module, "CheckInsertRm", "Inserted"), 0, 0, 1, 2);
    moduleLayout->addWidget(Named<QLabel>(module, "LblRomModuleFile", "File:"), 1, 0);
    moduleLayout->addLayout(FileRow(module, "EditRomModuleFile", "BtnRomModuleOpen"), 1, 1);
    layout->addWidget(module);

    auto* sd = Named<QGroupBox>(page, "GbSdRom", "SD-ROM module");
    auto* sdLayout = new QGridLayout(sd);
    sdLayout->addWidget(Named<QCheckBox>(sd, "CheckConnSdRom", "Connected"), 0, 0, 1, 2);
    sdLayout->addWidget(Named<QLabel>(sd, "LblSdRomRootPath", "Folder:"), 1, 0);
    sdLayout->addLayout(FileRow(sd, "EditSdRomRootPath", "BtnSdRomRootPath"), 1, 1);
    layout->addWidget(sd);

    layout->addWidget(Named<QCheckBox>(page, "CheckMultiplier", "Hardware multiplier"));
    auto* timer = Named<QGroupBox>(page, "GbTimer", "Timer");
    auto* timerLayout = new QVBoxLayout(timer);
    timerLayout->addWidget(Named<QCheckBox>(timer, "CheckClkCT0", "Clock for counter 0"));
    timerLayout->addWidget(Named<QCheckBox>(timer, "CheckClkCT1", "Clock for counter 1"));
    timerLayout->addWidget(Named<QCheckBox>(timer, "CheckChainCT01", "Chain counters 0 and 1"));
    layout->addWidget(timer);
    layout->addWidget(Named<QCheckBox>(page, "CheckInteOnPB0", "INTE signal on PB0"));
    layout->addStretch();
}

void DisplayPage(QStackedWidget* stack) {
    QWidget* page = Page(stack, "TabDisplay", "Display", "Full screen, colours and border");
    auto* layout = new QVBoxLayout(page);
    auto* full = Named<QGroupBox>(page, "GbFullScreen", "Full screen");
    auto* fullLayout = new QFormLayout(full);
    auto* size = Named<QComboBox>(full, "CbSizeFS");
    size->addItems({"100 %", "200 %"});
    fullLayout->addRow(Named<QLabel>(full, "LblSizeFS", "Picture size:"), size);
    auto* fit = Named<QComboBox>(full, "CbFitFS");
    fit->addItems({"Fill the width", "Fit the height", "Stretch", "Centre"});
    fullLayout->addRow(Named<QLabel>(full, "LblFitFS", "Placement:"), fit);
    fullLayout->addRow(
        Named<QCheckBox>(full, "CheckInfoFS", "Show a note before switching to full screen"));
    layout->addWidget(full);

    auto* colours = Named<QGroupBox>(page, "GbColors", "Colours");
    auto* coloursLayout = new QVBoxLayout(colours);
    coloursLayout->addWidget(Named<QRadioButton>(colours, "RbColor", "Colour"));
    coloursLayout->addWidget(Named<QRadioButton>(colours, "RbGrey", "Grey scale"));
    layout->addWidget(colours);

    auto* border = new QHBoxLayout;
    border->addWidget(Named<QLabel>(page, "LblBorderSize", "Border (pixels):"));
    auto* spin = Named<NumberSpinBox>(page, "SpinBorderSize");
    spin->setRange(0, 32);
    border->addWidget(spin);
    border->addStretch();
    layout->addLayout(border);
    layout->addStretch();
}

void SoundPage(QStackedWidget* stack) {
    QWidget* page = Page(stack, "TabSound", "Sound", "Output device and volumes");
    auto* layout = new QVBoxLayout(page);
    auto* types = Named<QGroupBox>(page, "GbOutType", "Audio system");
    auto* typesLayout = new QGridLayout(types);
    typesLayout->addWidget(Named<QRadioButton>(types, "RadioDS", "Direct output"), 0, 0);
    typesLayout->addWidget(Named<QLabel>(types, "LblApiDS"), 0, 1);
    typesLayout->addWidget(Named<QRadioButton>(types, "RadioWO", "Standard output"), 1, 0);
    typesLayout->addWidget(Named<QLabel>(types, "LblApiWO"), 1, 1);
    typesLayout->setColumnStretch(1, 1);
    layout->addWidget(types);

    auto* device = new QHBoxLayout;
    device->addWidget(Named<QLabel>(page, "LblAudioDevice", "Output device:"));
    device->addWidget(Named<QComboBox>(page, "CbAudioDevice"), 1);
    layout->addLayout(device);

    auto* volume = Named<QGroupBox>(page, "GbVolume", "Volume");
    auto* volumeLayout = new QFormLayout(volume);
    const struct {
        const char* label;
        const char* caption;
        const char* track;
    } tracks[] = {{"LblVolumeSpeaker", "Speaker:", "TrackVolumeSpeaker"},
                  {"LblVolumeTape", "Tape:", "TrackVolumeTape"},
                  {"LblVolumeMuse", "Muse:", "TrackVolumeMuse"}};
    for (const auto& row : tracks) {
        auto* track = Named<QSlider>(volume, row.track);
        track->setOrientation(Qt::Horizontal);
        track->setRange(0, 100);
        track->setPageStep(10);
        volumeLayout->addRow(Named<QLabel>(volume, row.label, row.caption), track);
    }
    volumeLayout->addRow(Named<QCheckBox>(volume, "CheckMute", "Mute"));
    layout->addWidget(volume);
    auto* muse = Named<QCheckBox>(page, "CheckMuse", "Muse sound interface");
    muse->setToolTip("SAA1099 sound board, which also clocks timer counter 1");
    layout->addWidget(muse);
    layout->addStretch();
}

void ControlsPage(QStackedWidget* stack) {
    QWidget* page = Page(stack, "TabControl", "Controls", "Keyboard and joystick");
    auto* layout = new QVBoxLayout(page);
    auto* keyboard = Named<QGroupBox>(page, "GbKeyboard", "Keyboard");
    (new QVBoxLayout(keyboard))
        ->addWidget(Named<QCheckBox>(keyboard, "CheckAZ", "Swap the keys Y and Z"));
    layout->addWidget(keyboard);
    auto* joy = Named<QGroupBox>(page, "GbJoy", "Joystick");
    auto* joyLayout = new QGridLayout(joy);
    joyLayout->addWidget(Named<QCheckBox>(joy, "CheckJoy", "Joystick interface connected"), 0, 0, 1,
                         2);
    joyLayout->addWidget(Named<QPushButton>(joy, "BtnJoy", "Joystick..."), 1, 0);
    joyLayout->addWidget(Named<QLabel>(joy, "LblJoyType", "..."), 1, 1);
    joyLayout->setColumnStretch(1, 1);
    layout->addWidget(joy);
    layout->addStretch();
}

}  // namespace

void BuildSettingsPages(QStackedWidget* stack) {
    GeneralPage(stack);
    HardwarePage(stack);
    DisplayPage(stack);
    SoundPage(stack);
    ControlsPage(stack);
}

QString SettingsPageIcon(int page) {
    static const char* const kIcons[] = {icons::kTevrin, icons::kHardware, icons::kDisplay,
                                         icons::kSound, icons::kControls};
    return page >= 0 && page < 5 ? kIcons[page] : icons::kSettings;
}
