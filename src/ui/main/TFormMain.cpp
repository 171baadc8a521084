#include "ui/main/TFormMain.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QStatusBar>
#include <QToolBar>
#include <algorithm>
#include <cstdio>

#include "emulator/SpeedControl.h"
#include "emulator/StartUp.h"
#include "frontend/DesktopPlacement.h"
#include "frontend/FaultMessage.h"
#include "frontend/MachineChoices.h"
#include "frontend/RomMessage.h"
#include "host/lang/Language.h"
#include "machine/ScreenGeometry.h"
#include "ui/common/FileDialogs.h"
#include "ui/common/LanguageApplier.h"
#include "ui/common/OutcomeReport.h"
#include "ui/common/ProgramIcons.h"
#include "ui/debugger/DebuggerToolWindows.h"
#include "ui/debugger/TFormDebugger.h"
#include "ui/main/HomePage.h"
#include "ui/main/MainFileCommands.h"
#include "ui/main/MainRecording.h"
#include "ui/main/ScreenView.h"
#include "ui/main/TFormAbout.h"
#include "ui/settings/TFormJoy.h"
#include "ui/settings/TFormSettings.h"
#include "ui/tape/TFormTapeBrowser.h"

namespace {

constexpr int kRefreshMs = 20;
constexpr int kDesktopMargin = 2;

// Tenths below 10 %, so a light load reads as what it is and not as "0%"; more than one core's
// worth reads as it is, too.
QString HostUsageText(double percent) {
    return QString::number(percent, 'f', percent < 10.0 ? 1 : 0) + "%";
}

QString FormText(const char* key) {
    return QString::fromStdString(lang::LangText("FormMain", key));
}

screen::Rect ToRect(const QRect& rect) {
    return screen::Rect{rect.x(), rect.y(), rect.width(), rect.height()};
}

}  // namespace

TFormMain::TFormMain(config::Settings& settings, QWidget* parent,
                     SoundDriver::StreamOpener soundOpener)
    : QMainWindow(parent),
      settings_(settings),
      machine_(std::make_unique<Machine>(settings, std::move(soundOpener))),
      keyboard_(hostKeyboard_.Keys()),
      screenModes_(settings.Get(config::keys::kScreenSize)) {
    // A window made after another one closed starts a new run.
    ShuttingDown = false;
    frontend::KeepMachineChoices(*machine_, settings_);
    setObjectName("FormMain");
    setWindowTitle("Tevrin Emulator");
    setWindowIcon(icons::Icon(icons::kApplication));
    // The window keeps the keyboard itself: every key the machine knows is the machine's, Tab
    // included, so nothing inside may take the focus from it.
    setFocusPolicy(Qt::StrongFocus);

    view_ = new ScreenView(this);
    view_->SetPresenter(&presenter_);
    view_->setFocusPolicy(Qt::NoFocus);
    setCentralWidget(view_);

    // Before the other secondary windows: the start-up confirms its pages first.
    settingsForm_ = new TFormSettings(settings_, this);
    settingsForm_->SetJoystickDialog(new TFormJoy(settings_, machine_->Controllers(), this));
    // Before the machine first runs: the browser's deck becomes the recorder's event sink.
    tapeBrowser_ = new TFormTapeBrowser(settings, *machine_, this);
    fileCommands_ = new MainFileCommands(*this);
    recording_ = new MainRecording(*this);
    debugger_ = new TFormDebugger(settings, *machine_, this);
    debugger_->RunStateChanged = [this] { UpdateRunState(); };
    debugger_->PauseMachine = [this](bool paused) {
        TapeHandOver::MachineCall call(tapeBrowser_->HandOver());
        if (call) machine_->SetPaused(paused);
        return static_cast<bool>(call);
    };
    debugger_->ReachMachine = [this](const std::function<void()>& work) {
        TapeHandOver::MachineCall call(tapeBrowser_->HandOver());
        if (call) work();
        return static_cast<bool>(call);
    };
    debuggerTools_ = std::make_unique<DebuggerToolWindows>(settings, *debugger_);
    fileCommands_->SetEnterDebugger([this] { debugger_->EnterIfDebugging(); });
    CreateMenus();
    CreateToolBar();
    CreateStatusPanel();
    about_ = new TFormAbout(this);

    refreshTimer_.setInterval(kRefreshMs);
    connect(&refreshTimer_, &QTimer::timeout, this, &TFormMain::TimerRefreshControlsTimer);
    connect(qApp, &QGuiApplication::applicationStateChanged, this,
            &TFormMain::ApplicationStateChanged);
}

TFormMain::~TFormMain() {
    SetMainStatusBar(nullptr);
    refreshTimer_.stop();
    if (!closing_) {
        // A recorder event waiting for this window gives up, and the run loop lets go.
        ShuttingDown = true;
        machine_->StopRunLoop();
    }
    // The deck is the recorder's event sink: it goes while the recorder is still there.
    delete tapeBrowser_;
    tapeBrowser_ = nullptr;
    view_->SetPresenter(nullptr);
    // The recordings hold the machine: they go first.
    delete recording_;
    recording_ = nullptr;
    machine_.reset();
}

QAction* TFormMain::AddAction(QMenu* menu, const char* name, const QString& caption,
                              const QKeySequence& shortcut) {
    auto* action = new QAction(caption, this);
    action->setObjectName(name);
    if (!shortcut.isEmpty()) action->setShortcut(shortcut);
    menu->addAction(action);
    // Held by the window as well, so the keys still work while the menu bar is hidden.
    addAction(action);
    return action;
}

void TFormMain::CreateMenus() {
    menuBar()->setNativeMenuBar(false);
    menuBar()->setObjectName("MainMenu");

    QMenu* file = menuBar()->addMenu("&File");
    file->setObjectName("MiFile");
    QAction* open = AddAction(file, "MiOpenTape", "&Open...", QKeySequence("Alt+F2"));
    connect(open, &QAction::triggered, this, &TFormMain::MiOpenTapeClick);
    windowedOnly_.push_back(open);
    QAction* beforeExit = file->addSeparator();
    fileCommands_->AddFileItems(file, beforeExit);
    recording_->AddFileItems(file, beforeExit);
    QAction* exit = AddAction(file, "MiExit", "E&xit", QKeySequence("Alt+F4"));
    connect(exit, &QAction::triggered, this, &TFormMain::MiExitClick);
    windowedOnly_.push_back(exit);

    QMenu* view = menuBar()->addMenu("&View");
    view->setObjectName("MiView");
    QMenu* size = view->addMenu("&Size");
    size->setObjectName("MiSize");
    miSize_[0] = AddAction(size, "MiSize100", "&100 %", QKeySequence("Alt+1"));
    miSize_[1] = AddAction(size, "MiSize200", "&200 %", QKeySequence("Alt+2"));
    miSize_[2] = AddAction(view, "MiSizeFull", "&Full screen", QKeySequence("Alt+Return"));
    for (int tag = 0; tag < 3; ++tag) {
        miSize_[tag]->setCheckable(true);
        connect(miSize_[tag], &QAction::triggered, this, [this, tag] { MiScreenSizeClick(tag); });
    }
    // The keypad's Enter is the same key to the user.
    miSize_[2]->setShortcuts({QKeySequence("Alt+Return"), QKeySequence("Alt+Enter")});

    QMenu* emul = menuBar()->addMenu("&Emulation");
    emul->setObjectName("MiEmul");
    miPaused_ = AddAction(emul, "MiPaused", "&Paused", QKeySequence("Alt+F3"));
    miPaused_->setCheckable(true);
    connect(miPaused_, &QAction::triggered, this, &TFormMain::TBtnRunPauseClick);
    QAction* reset = AddAction(emul, "MiReset", "&Reset", QKeySequence("Alt+F5"));
    connect(reset, &QAction::triggered, this, [this] { TBtnResetClick(0); });
    QAction* cold = AddAction(emul, "MiHardReset", "&Cold restart", QKeySequence("Alt+Shift+F5"));
    connect(cold, &QAction::triggered, this, [this] { TBtnResetClick(1); });
    QAction* rewind = AddAction(emul, "MiRewind", "Re&wind", QKeySequence("Alt+Backspace"));
    rewind->setAutoRepeat(true);
    connect(rewind, &QAction::triggered, this, &TFormMain::MiRewindClick);
    miSound_ = AddAction(emul, "MiSound", "&Sound", QKeySequence("Alt+F8"));
    miSound_->setCheckable(true);
    connect(miSound_, &QAction::triggered, this, &TFormMain::TBtnSoundClick);
    emul->addSeparator();
    miFocusPause_ = AddAction(emul, "MiFocusPause", "Pause when &inactive");
    miFocusPause_->setCheckable(true);
    QMenu* speed = emul->addMenu("S&peed");
    speed->setObjectName("MiCpuSpeed");
    const struct {
        const char* name;
        const char* caption;
        const char* shortcut;
        int tag;
    } speeds[] = {{"MiCpuSpeedInc", "&Faster", "Alt+PgUp", 1},
                  {"MiCpuSpeedNorm", "&Normal speed", "Alt+Home", 0},
                  {"MiCpuSpeedDec", "&Slower", "Alt+PgDown", -1}};
    for (const auto& item : speeds) {
        QAction* action = AddAction(speed, item.name, item.caption, QKeySequence(item.shortcut));
        const int tag = item.tag;
        connect(action, &QAction::triggered, this, [this, tag] { MiCpuSpeedClick(tag); });
    }

    QMenu* tools = menuBar()->addMenu("T&ools");
    tools->setObjectName("MiTools");
    QMenu* settingsMenu = tools->addMenu("&Settings");
    settingsMenu->setObjectName("MiSettings");
    const struct {
        const char* name;
        const char* caption;
        const char* shortcut;
    } pages[] = {{"MiGeneral", "&General...", "Alt+G"},
                 {"MiHardware", "&Hardware...", "Alt+H"},
                 {"MiSetScreen", "&Display...", "Alt+V"},
                 {"MiSetSound", "&Sound...", "Alt+S"},
                 {"MiControl", "&Controls...", "Alt+K"}};
    for (int page = 0; page < 5; ++page) {
        QAction* action = AddAction(settingsMenu, pages[page].name, pages[page].caption,
                                    QKeySequence(pages[page].shortcut));
        connect(action, &QAction::triggered, this, [this, page] { MiSettingsClick(page); });
        windowedOnly_.push_back(action);
    }
    QAction* browser = AddAction(tools, "MiTapeBrowser", "&Tape browser", QKeySequence("Alt+T"));
    connect(browser, &QAction::triggered, this, &TFormMain::MiTapeBrowserClick);
    QAction* debuggerItem = AddAction(tools, "MiDebugger", "&Debugger", QKeySequence("Alt+F12"));
    connect(debuggerItem, &QAction::triggered, this, &TFormMain::MiDebuggerClick);
    // Play and stop from the keyboard, also in full screen.
    auto* playStop = new QAction(this);
    playStop->setObjectName("ActTapePlayStop");
    playStop->setShortcut(QKeySequence("Alt+P"));
    connect(playStop, &QAction::triggered, tapeBrowser_, &TFormTapeBrowser::TogglePlayback);
    addAction(playStop);

    QMenu* help = menuBar()->addMenu("&Help");
    help->setObjectName("MiHelp");
    // Not F1 alone: F1 is one of the machine's own keys, and every key without Alt is its.
    QAction* manualItem = AddAction(help, "MiManual", "&Manual", QKeySequence("Alt+F1"));
    connect(manualItem, &QAction::triggered, this, [this] { MiManualClick(false); });
    QAction* keyboardItem = AddAction(help, "MiKeyboard", "&Keyboard");
    connect(keyboardItem, &QAction::triggered, this, [this] { MiManualClick(true); });
    QAction* homePage = AddAction(help, "MiWebpages", "&Home page");
    connect(homePage, &QAction::triggered, this, [this] {
        if (OpenHomePage()) return;
        ReportOutcome(this, Outcome::Failed,
                      FormText("err.HomePage.Message").replace("%1", HomePageUrl().toLocalFile()),
                      FormText("err.HomePage.Title"));
    });
    QAction* aboutItem = AddAction(help, "MiAbout", "&About...");
    connect(aboutItem, &QAction::triggered, this, &TFormMain::MiAboutClick);
    windowedOnly_.push_back(aboutItem);
}

void TFormMain::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (!firstShown_) FirstShow();
}

void TFormMain::FirstShow() {
    firstShown_ = true;
    StartUpHooks hooks;
    hooks.configure = [this] {
        ReadWindowSettings();
        // Its pages loaded and confirmed once, unseen: the file says what the dialog shows.
        settingsForm_->StartUp();
    };
    hooks.loadLanguage = [](std::string_view language) { LoadLanguage(language); };
    hooks.applied = [this](config::GroupSet groups) { FollowSettings(groups); };
    const bool started = StartUp(*machine_, hooks);
    if (started && !recordInputsPath_.empty())
        fileCommands_->StartRecordingInputs(recordInputsPath_);
    refreshTimer_.start();
    UpdateRunState();
    ReportRom(true);
    setFocus(Qt::OtherFocusReason);
}

void TFormMain::ReadWindowSettings() {
    multiplierShown_ = true;
    UpdateMultiplierIcon();
    presenter_.SetBorder(settings_.Get(config::keys::kScreenBorder));
    SetScreenMode(screenModes_.WindowedMode());

    PlaceFromSettings();
    miFocusPause_->setChecked(settings_.Get(config::keys::kPauseOnFocusLost));
}

bool TFormMain::ApplySettings(config::GroupSet groups) {
    bool rebuilt = false;
    {
        TapeHandOver::MachineCall call(tapeBrowser_->HandOver());
        if (!call) return false;
        // The run loop must not find half a machine.
        Machine::PausedScope paused(*machine_);
        rebuilt = machine_->ApplySettings(groups);
        FollowSettings(groups);
    }
    if (groups.HasAny({config::Group::MainRom, config::Group::Multiplier, config::Group::Timers,
                       config::Group::InteOnPb0})) {
        ReportRom(groups.Has(config::Group::MainRom));
    }
    UpdateRunState();
    return rebuilt;
}

void TFormMain::MiSettingsClick(int page) {
    if (closing_ || !firstShown_) return;
    {
        TapeHandOver::MachineCall call(tapeBrowser_->HandOver());
        if (!call) return;
        Machine::PausedScope paused(*machine_);
        UpdateRunState();
        if (settingsForm_->Open(page)) {
            std::string error;
            if (!settings_.Document().Save(&error)) {
                std::fprintf(stderr, "tevrinemu: cannot write the settings to %s: %s\n",
                             settings_.Document().Path().c_str(), error.c_str());
            }
            // New devices start from their reset state.
            if (ApplySettings(settingsForm_->Changes())) machine_->WarmReset();
        }
    }
    UpdateRunState();
}

bool TFormMain::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonDblClick) {
        static const std::pair<const char*, int> kPages[] = {
            {"ImageTevrin", 0}, {"ImageMulti", 1}, {"ImageRomModule", 1}};
        for (const auto& [name, page] : kPages) {
            if (watched->objectName() == name) {
                MiSettingsClick(page);
                return true;
            }
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

void TFormMain::ReportRom(bool warnShort) {
    const RomMessage message = MainRomMessage(*machine_);
    if (message.text.empty() || (!message.unreadable && !warnShort)) return;
    if (message.unreadable) SetPaused(true);
    ShowMessage(message.unreadable ? QMessageBox::Critical : QMessageBox::Warning,
                FormText("err.RomFile.Title"), QString::fromStdString(message.text));
}

void TFormMain::FollowSettings(config::GroupSet groups) {
    presenter_.ApplySettings(settings_, groups);
    hostKeyboard_.ApplySettings(settings_, groups);
    UpdateMultiplierIcon();
    UpdateSoundToggle();
    if (groups.Has(config::Group::DebuggerHints) && debugger_ != nullptr) {
        debugger_->ApplyHintSetting();
    }
    // The window is sized round the picture and its border.
    if (groups.Has(config::Group::Border)) {
        SetScreenMode(screenModes_.Mode());
    }
}

void TFormMain::MiScreenSizeClick(int tag) {
    if (presenter_.Mode() == ScreenMode::None) return;
    const ScreenModeState::Change change = screenModes_.Select(tag);
    UpdateSizeChecks();
    if (!change.change) return;
    if (change.entersFullScreen) {
        windowedPos_ = pos();
        if (settings_.Get(config::keys::kShowInfoOnFullScreen)) {
            ShowMessage(QMessageBox::Information, FormText("text.FullScreen.Title"),
                        FormText("text.FullScreen.Message"));
        }
    }
    SetScreenMode(change.mode);
}

void TFormMain::SetScreenMode(ScreenMode mode) {
    const bool refreshing = refreshTimer_.isActive();
    refreshTimer_.stop();
    const bool wasFullScreen = presenter_.InFullScreen();
    if (mode == ScreenMode::FullScreen) {
        if (!wasFullScreen) {
            ShowWindowParts(false);
            view_->setMinimumSize(0, 0);
            view_->setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
            setMinimumSize(0, 0);
            setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
            // The mapping is relative to the monitor's corner, where the view then starts.
            const QRect monitor = this->screen()->geometry();
            presenter_.ChangeMode(mode, screen::Rect{0, 0, monitor.width(), monitor.height()});
            showFullScreen();
            view_->setCursor(Qt::BlankCursor);
        }
    } else {
        presenter_.ChangeMode(mode);
        if (wasFullScreen) {
            showNormal();
            view_->unsetCursor();
        }
        ShowWindowParts(true);
        FitWindowToPicture();
        if (wasFullScreen) {
            PlaceFrame(windowedPos_);
        } else if (isVisible()) {
            const screen::Rect placed = placement::KeepOnDesktop(
                ToRect(frameGeometry()), ToRect(this->screen()->availableVirtualGeometry()),
                kDesktopMargin);
            move(placed.x, placed.y);
        }
        raise();
        activateWindow();
    }
    screenModes_.Entered(mode);
    UpdateSizeChecks();
    view_->update();
    if (refreshing) refreshTimer_.start();
}

void TFormMain::ShowWindowParts(bool show) {
    menuBar()->setVisible(show);
    toolBar_->setVisible(show);
    statusBar()->setVisible(show);
    for (QAction* action : windowedOnly_) action->setEnabled(show);
}

void TFormMain::FitWindowToPicture() {
    const screen::ClientSize client = screen::WindowedClientSize(
        presenter_.Width(), presenter_.Height(), presenter_.Border(), 0, 0);
    view_->setFixedSize(client.width, client.height);
    // The menu bar is part of the window here; when it needs a second row at 100 % the window
    // grows by that row rather than squeezing the picture.
    const int menuHeight = std::max(menuBar()->heightForWidth(client.width), 0);
    const int height = menuHeight + toolBar_->sizeHint().height() + client.height +
                       statusBar()->sizeHint().height();
    setFixedSize(client.width, height);
}

void TFormMain::UpdateSizeChecks() {
    const int checked = static_cast<int>(screenModes_.CheckedItem());
    for (int tag = 0; tag < 3; ++tag) miSize_[tag]->setChecked(tag == checked);
}

void TFormMain::SetPaused(bool paused) {
    TapeHandOver::MachineCall call(tapeBrowser_->HandOver());
    if (call) machine_->SetPaused(paused);
    UpdateRunState();
}

void TFormMain::UpdateRunState() {
    const bool running = machine_->GetRunState() == Machine::kRunning;
    miPaused_->setChecked(!running);
    tbtnRunPause_->setIcon(icons::Icon(running ? icons::kPause : icons::kRun));
    tbtnRunPause_->setText(running ? "Pause" : "Run");
}

void TFormMain::TBtnRunPauseClick() {
    if (closing_) return;
    if (!machine_->HasMainRom()) {
        ReportOutcome(this, Outcome::Refused, FormText("text.NoRom.Message"),
                      FormText("err.RomFile.Title"));
        return;
    }
    SetPaused(machine_->GetRunState() == Machine::kRunning);
}

void TFormMain::TBtnSoundClick() {
    const bool muted = !settings_.Get(config::keys::kMute);
    machine_->SetMuted(muted);
    settings_.Set(config::keys::kMute, muted);
    UpdateSoundToggle();
}

void TFormMain::UpdateSoundToggle() {
    const bool muted = settings_.Get(config::keys::kMute);
    miSound_->setChecked(!muted);
    tbtnSound_->setIcon(icons::Icon(muted ? icons::kMute : icons::kSound));
}

void TFormMain::TBtnResetClick(int tag) {
    if (closing_) return;
    bool debuggerHolds = false;
    {
        TapeHandOver::MachineCall call(tapeBrowser_->HandOver());
        if (!call) return;
        debuggerHolds = machine_->ResetMachine(tag == 1);
    }
    UpdateMultiplierIcon();
    if (debuggerHolds) {
        refreshTimer_.start();
        debugger_->EnterDebugger();
    }
    UpdateRunState();
}

void TFormMain::MiCpuSpeedClick(int tag) {
    machine_->ChangeSpeed(tag);
    labelCpuSpeed_->setText(QString::fromStdString(speed::Label(machine_->SpeedFactor())));
}

void TFormMain::MiExitClick() {
    close();
}

void TFormMain::MiAboutClick() {
    if (closing_) return;
    SetPaused(true);
    about_->CentreOver(*this);
    ShowAbout(*about_);
    SetPaused(false);
}

void TFormMain::ShowAbout(TFormAbout& about) {
    about.exec();
}

void TFormMain::ShowMessage(QMessageBox::Icon icon, const QString& title, const QString& text) {
    QMessageBox box(icon, title, text, QMessageBox::Ok, this);
    box.exec();
}

bool TFormMain::AskYesNo(QMessageBox::Icon icon, const QString& title, const QString& text) {
    QMessageBox box(icon, title, text, QMessageBox::Yes | QMessageBox::No, this);
    box.setDefaultButton(QMessageBox::Yes);
    return box.exec() == QMessageBox::Yes;
}

void TFormMain::TimerRefreshControlsTimer() {
    // A message box shown from here runs the event loop, and with it this timer, again.
    if (refreshing_ || closing_ || !firstShown_) return;
    refreshing_ = true;
    // First, as the emulation thread may be waiting for it with the machine held.
    tapeBrowser_->HandOver().Serve();
    ReportFault();
    KeepFramePlaced();
    const double usage = machine_->TakeHostUsage();
    if (usage >= 0) labelCpuUsage_->setText(HostUsageText(usage));
    debugger_->RefreshTimer();
    hostKeyboard_.ScanInto(*machine_);
    hostKeyboard_.SampleJoystick(*machine_);
    {
        TapeHandOver::MachineCall call(tapeBrowser_->HandOver());
        if (call) presenter_.Render(*machine_);
    }
    view_->update();
    UpdateMultiplierIcon();
    tapeBrowser_->UpdateProgress();
    UpdateSerialIcon();
    fileCommands_->UpdateStatus();
    recording_->UpdateStatus();
    refreshing_ = false;
}

void TFormMain::ReportFault() {
    Machine::Fault fault;
    {
        TapeHandOver::MachineCall call(tapeBrowser_->HandOver());
        if (call) fault = machine_->TakeFault();
    }
    if (fault.kind == Machine::Fault::Kind::None) return;
    // The machine stopped by itself; coming back to the program must not set it going.
    focusPause_.Forget();
    UpdateRunState();
    // Yes shows the machine where it stopped; No starts it again from the ROM.
    if (AskYesNo(QMessageBox::Critical, FormText("err.I41Lock.Title"),
                 QString::fromStdString(FaultMessage(fault, true)))) {
        debugger_->EnterDebugger();
    } else {
        TBtnResetClick(0);
    }
}

void TFormMain::UpdateSerialIcon() {
    const SerialActivity activity = fileCommands_->Activity();
    if (activity == serialIcon_) return;
    serialIcon_ = activity;
    const char* name = activity == SerialActivity::SdRomBusy       ? icons::kSdRomBusy
                       : activity == SerialActivity::TapePlaying   ? icons::kTapePlaying
                       : activity == SerialActivity::TapeRecording ? icons::kTapeRecording
                                                                   : nullptr;
    imageSerial_->setPixmap(name != nullptr ? icons::Pixmap(name, 20) : QPixmap());
}

void TFormMain::MiDebuggerClick() {
    if (closing_) return;
    debugger_->EnterDebugger();
}

void TFormMain::MiTapeBrowserClick() {
    tapeBrowser_->ToggleShown();
}

void TFormMain::MiOpenTapeClick() {
    fileCommands_->TBtnOpenClick(1);
}

void TFormMain::OpenFile(const std::string& path, bool pauseAround) {
    fileCommands_->OpenFile(path, pauseAround);
}

void TFormMain::OpenFile(const QString& path) {
    fileCommands_->OpenFileFromText(path);
}

void TFormMain::UpdateMultiplierIcon() {
    const bool fitted = machine_->MultiplierFitted();
    if (fitted == multiplierShown_) return;
    multiplierShown_ = fitted;
    imageMulti_->setVisible(fitted);
}

void TFormMain::ApplicationStateChanged(Qt::ApplicationState state) {
    if (!firstShown_ || closing_) return;
    if (state == Qt::ApplicationActive) {
        hostKeyboard_.SetFocusLost(false);
        if (focusPause_.Activated()) SetPaused(false);
    } else {
        // No release events reach a program in the background.
        keyboard_.ReleaseAll();
        hostKeyboard_.SetFocusLost(true);
        const bool running = machine_->GetRunState() == Machine::kRunning;
        if (focusPause_.Deactivated(miFocusPause_->isChecked(), running)) SetPaused(true);
    }
}

QAction* TFormMain::WindowActionFor(const QKeyEvent& key) const {
    if (!(key.modifiers() & Qt::AltModifier)) return nullptr;
    const QKeySequence pressed(
        QKeyCombination(key.modifiers() & ~Qt::KeypadModifier, Qt::Key(key.key())));
    for (QAction* action : actions()) {
        if (!action->isEnabled()) continue;
        for (const QKeySequence& shortcut : action->shortcuts()) {
            if (shortcut == pressed) return action;
        }
    }
    return nullptr;
}

bool TFormMain::event(QEvent* event) {
    switch (event->type()) {
        // The commands' Alt keys come before the menu titles' letters (Alt+H is the Hardware
        // page, not the Help menu): a command key is what the user asked for by name.
        case QEvent::ShortcutOverride:
            if (WindowActionFor(static_cast<const QKeyEvent&>(*event)) != nullptr) {
                event->accept();
                return true;
            }
            break;
        case QEvent::KeyPress:
            if (QAction* action = WindowActionFor(static_cast<const QKeyEvent&>(*event))) {
                action->trigger();
                return true;
            }
            [[fallthrough]];
        case QEvent::KeyRelease:
            if (HandleKey(static_cast<const QKeyEvent&>(*event),
                          event->type() == QEvent::KeyPress)) {
                event->accept();
                return true;
            }
            break;
        // Menu hints would otherwise cover the status panel's labels.
        case QEvent::StatusTip: return true;
        default: break;
    }
    return QMainWindow::event(event);
}

bool TFormMain::HandleKey(const QKeyEvent& key, bool pressed) {
    constexpr Qt::KeyboardModifiers kCommandModifiers =
        Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier;
    if (key.key() == Qt::Key_Pause && (key.modifiers() & kCommandModifiers) == 0) {
        if (pressed && !key.isAutoRepeat()) TBtnRunPauseClick();
        return true;
    }
    const bool known = pressed ? keyboard_.KeyPressed(key) : keyboard_.KeyReleased(key);
    // F10 is a machine key; it never opens the menu bar.
    return known || key.key() == Qt::Key_F10;
}

void TFormMain::focusOutEvent(QFocusEvent* event) {
    // A menu or a message box takes the keyboard, and the releases go there.
    keyboard_.ReleaseAll();
    QMainWindow::focusOutEvent(event);
}

void TFormMain::changeEvent(QEvent* event) {
    if (event->type() == QEvent::ActivationChange && !isActiveWindow()) keyboard_.ReleaseAll();
    QMainWindow::changeEvent(event);
}

void TFormMain::closeEvent(QCloseEvent* event) {
    // Edit mode ends, and the tape's unsaved work is asked about, before the program goes.
    if (!closing_ && !tapeBrowser_->MayEndProgram()) {
        event->ignore();
        return;
    }
    if (!closing_) {
        closing_ = true;
        ShuttingDown = true;
        refreshTimer_.stop();
        // Returns once the period that was under way when the flag went up has finished.
        machine_->StopRunLoop();
        // Finished while the machine still exists: the files get their trailers.
        recording_->FinishAll();
        // A recording under way is written, not lost, when the program ends.
        fileCommands_->StopRecordingInputs();
        if (beforeTeardown_ && machine_->MemoryView() != nullptr)
            beforeTeardown_(*machine_->MemoryView());
        StoreSettings();
    }
    event->accept();
}

void TFormMain::StoreSettings() {
    if (!firstShown_) return;
    settings_.Set(config::keys::kPauseOnFocusLost, miFocusPause_->isChecked());
    const QPoint corner = screenModes_.InFullScreen() ? windowedPos_ : pos();
    settings_.SetWindowPos(config::keys::kScreenPos, config::WindowPos{corner.x(), corner.y()});
    settings_.Set(config::keys::kScreenSize, screenModes_.StoredSize());
    settingsForm_->StoreSettings();
    debugger_->SaveSettings();
    std::string error;
    if (!settings_.Document().SaveIfModified(&error)) {
        std::fprintf(stderr, "tevrinemu: cannot write the settings to %s: %s\n",
                     settings_.Document().Path().c_str(), error.c_str());
    }
}
