// The main window's tool bar and status panel: the buttons and the pictures the refresh updates.
#include <QAction>
#include <QLabel>
#include <QStatusBar>
#include <QToolBar>

#include "emulator/SpeedControl.h"
#include "ui/common/OutcomeReport.h"
#include "ui/common/ProgramIcons.h"
#include "ui/main/MainFileCommands.h"
#include "ui/main/MainRecording.h"
#include "ui/main/TFormMain.h"

void TFormMain::CreateToolBar() {
    toolBar_ = addToolBar("Tools");
    toolBar_->setObjectName("ToolBar");
    toolBar_->setMovable(false);
    toolBar_->setFloatable(false);
    toolBar_->setContextMenuPolicy(Qt::PreventContextMenu);
    toolBar_->setIconSize(QSize(24, 24));

    auto* reset = new QAction(icons::Icon(icons::kReset), "Reset", this);
    reset->setObjectName("TBtnReset");
    connect(reset, &QAction::triggered, this, [this] { TBtnResetClick(0); });
    toolBar_->addAction(reset);

    tbtnRunPause_ = new QAction(icons::Icon(icons::kRun), "Run", this);
    tbtnRunPause_->setObjectName("TBtnRunPause");
    connect(tbtnRunPause_, &QAction::triggered, this, &TFormMain::TBtnRunPauseClick);
    toolBar_->addAction(tbtnRunPause_);

    tbtnSound_ = new QAction(icons::Icon(icons::kSound), "Sound", this);
    tbtnSound_->setObjectName("TBtnSound");
    connect(tbtnSound_, &QAction::triggered, this, &TFormMain::TBtnSoundClick);
    toolBar_->addAction(tbtnSound_);

    auto* settings = new QAction(icons::Icon(icons::kSettings), "Settings", this);
    settings->setObjectName("TBtnSettings");
    connect(settings, &QAction::triggered, this, [this] { MiSettingsClick(-1); });
    toolBar_->addAction(settings);
    auto* browser = new QAction(icons::Icon(icons::kTape), "Tape browser", this);
    browser->setObjectName("TBtnTapeBrowser");
    connect(browser, &QAction::triggered, this, &TFormMain::MiTapeBrowserClick);
    toolBar_->addAction(browser);
    fileCommands_->AddOpenButton(toolBar_);

    for (QAction* action : toolBar_->actions()) {
        if (QWidget* button = toolBar_->widgetForAction(action))
            button->setFocusPolicy(Qt::NoFocus);
    }
}

void TFormMain::CreateStatusPanel() {
    QStatusBar* panel = statusBar();
    panel->setObjectName("StatusPanel");
    panel->setSizeGripEnabled(false);

    imageTevrin_ = new QLabel(panel);
    imageTevrin_->setObjectName("ImageTevrin");
    imageTevrin_->setPixmap(icons::Pixmap(icons::kTevrin, 20));
    panel->addWidget(imageTevrin_);

    imageMulti_ = new QLabel(panel);
    imageMulti_->setObjectName("ImageMulti");
    imageMulti_->setPixmap(icons::Pixmap(icons::kMultiplier, 20));
    panel->addWidget(imageMulti_);
    imageMulti_->hide();
    fileCommands_->AddStatusPictures(panel);
    recording_->AddStatusMark(panel);

    imageSerial_ = new QLabel(panel);
    imageSerial_->setObjectName("ImageSerial");
    imageSerial_->setFixedSize(20, 20);
    panel->addWidget(imageSerial_);
    UpdateSerialIcon();

    labelCpuSpeed_ = new QLabel(QString::fromStdString(speed::Label(1.0)), panel);
    labelCpuSpeed_->setObjectName("LabelCpuSpeed");
    labelCpuSpeed_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    panel->addPermanentWidget(labelCpuSpeed_);

    // Nothing until a second has been measured.
    labelCpuUsage_ = new QLabel(QString(), panel);
    labelCpuUsage_->setObjectName("LabelCpuUsage");
    labelCpuUsage_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    // Room for "100%" from the start, so the panel does not jump as the number grows.
    labelCpuUsage_->setMinimumWidth(labelCpuUsage_->fontMetrics().horizontalAdvance("100%") + 4);
    panel->addPermanentWidget(labelCpuUsage_);
    AddOutcomeLine(panel);
    SetMainStatusBar(panel);

    for (QLabel* picture : {imageTevrin_, imageMulti_}) picture->installEventFilter(this);
}
