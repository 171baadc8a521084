#pragma once

#include <QMainWindow>
#include <QMessageBox>
#include <QPoint>
#include <QTimer>
#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "emulator/Machine.h"
#include "frontend/FocusPause.h"
#include "frontend/HostKeyboard.h"
#include "frontend/ScreenModeState.h"
#include "frontend/ScreenPresenter.h"
#include "host/config/Settings.h"
#include "ui/common/OutcomeReport.h"
#include "ui/main/QtKeyboardTracker.h"

class DebuggerToolWindows;
class MainFileCommands;
class MainRecording;
class QAction;
class QLabel;
class QMenu;
class QToolBar;
class ScreenView;
class TFormAbout;
class TFormManual;
class TFormSettings;
class TFormTapeBrowser;
class TFormDebugger;

// The main window: it owns the machine, shows its picture below the tool bar inside the black
// border, runs the menus and the status panel, and refreshes all of it every 20 ms. The
// configuration document belongs to the caller and must stay open while the window lives.
class TFormMain : public QMainWindow, public OutcomeBoxes {
    Q_OBJECT

  public:
    // `soundOpener` replaces the audio device (tests).
    explicit TFormMain(config::Settings& settings, QWidget* parent = nullptr,
                       SoundDriver::StreamOpener soundOpener = {});
    ~TFormMain() override;

    Machine& GetMachine() { return *machine_; }
    // The host keys held in the window, which its refresh scans into the machine.
    HostKeyboard& Keyboard() { return hostKeyboard_; }
    // Called once when the window closes, after the run loop has stopped and before the machine
    // is torn down.
    void SetBeforeTeardown(std::function<void(const ChipMemory& memory)> hook) {
        beforeTeardown_ = std::move(hook);
    }
    // An input movie taken down from the first run on (the command line's --record-inputs),
    // written when File > Record inputs stops it or the program ends.
    void SetRecordInputsPath(std::string path) { recordInputsPath_ = std::move(path); }
    ScreenView* View() const { return view_; }
    const ScreenPresenter& Presenter() const { return presenter_; }
    const ScreenModeState& ScreenModes() const { return screenModes_; }
    int Border() const { return presenter_.Border(); }

    // Applies changed settings groups with the machine paused, and follows what they changed on
    // the window (border, multiplier icon). True when the machine was rebuilt.
    bool ApplySettings(config::GroupSet groups);
    TFormSettings& SettingsForm() const { return *settingsForm_; }

    // The commands of the menus and the tool bar, by their tags.
    void MiScreenSizeClick(int tag);
    void TBtnRunPauseClick();
    // The sound toggle (MiSound, Alt+F8, TBtnSound): mutes or unmutes and stores Sound/mute.
    void TBtnSoundClick();
    void TBtnResetClick(int tag);
    // Emulation > Rewind (Alt+Backspace): a second of emulated time back; held, a second at a
    // time with the machine paused until the key is let go (MainRewind.cpp).
    void MiRewindClick();
    void MiCpuSpeedClick(int tag);
    void MiExitClick();
    void MiAboutClick();
    // Help > Manual (Alt+F1) and Help > Keyboard: the manual, or its keyboard map alone, in a
    // window of its own; a program folder without the manual is reported.
    void MiManualClick(bool keyboardOnly);
    TFormManual* Manual() const { return manual_; }
    // The settings dialog on a page (the menu's tags 0-4, the status pictures), -1 for the page
    // shown last (the tool button). OK saves the file and applies what changed.
    void MiSettingsClick(int page);
    // Shows the tape browser, or hides it (a beep instead while it edits the tape).
    void MiTapeBrowserClick();
    // Alt+F12: stop the machine and show it in the debugger.
    void MiDebuggerClick();
    TFormDebugger* Debugger() const { return debugger_; }
    // The File menu's open command: a tape, starting at the stored tape path.
    void MiOpenTapeClick();
    // Opens a file by its kind: a tape goes to the tape browser (and the recent files); a
    // snapshot is only recognised; anything else goes to the memory dialog.
    void OpenFile(const std::string& path, bool pauseAround);
    // Opens any file as the command line's first argument does (the machine paused around);
    // an empty text does nothing. A second start of the program forwards its file here.
    void OpenFile(const QString& path);
    // The open, memory, picture and recent-files commands and the module status pictures.
    MainFileCommands& FileCommands() const { return *fileCommands_; }
    MainRecording& Recording() const { return *recording_; }
    TFormTapeBrowser* TapeBrowser() const { return tapeBrowser_; }

    // Every 20 ms: faults, host usage, keyboard, picture, status icons.
    void TimerRefreshControlsTimer();
    // The program came to the front or went to the back.
    void ApplicationStateChanged(Qt::ApplicationState state);

  protected:
    // Every message box of the window (the lock message, the full-screen note) comes here.
    virtual void ShowMessage(QMessageBox::Icon icon, const QString& title, const QString& text);
    // The box of an outcome reported from inside the window.
    void ShowOutcomeBox(Outcome outcome, const QString& title, const QString& text) override {
        ShowMessage(outcome == Outcome::Refused ? QMessageBox::Information : QMessageBox::Warning,
                    title, text);
    }
    // A Yes/No box; true for Yes.
    virtual bool AskYesNo(QMessageBox::Icon icon, const QString& title, const QString& text);
    // Shows the About box modally.
    virtual void ShowAbout(TFormAbout& about);

    bool event(QEvent* event) override;
    // Double clicks on the status pictures open their settings pages.
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void changeEvent(QEvent* event) override;

  private:
    friend class MainFileCommands;  // the file commands pause the machine and fill the bars
    friend class MainRecording;     // and so do the recordings

    void CreateMenus();
    void CreateToolBar();
    void CreateStatusPanel();
    QAction* AddAction(QMenu* menu, const char* name, const QString& caption,
                       const QKeySequence& shortcut = {});

    void FirstShow();
    void ReadWindowSettings();
    // The machine has applied these groups: the picture and the icons follow.
    void FollowSettings(config::GroupSet groups);
    void SetScreenMode(ScreenMode mode);
    void FitWindowToPicture();
    void ShowWindowParts(bool show);
    void UpdateSizeChecks();
    void SetPaused(bool paused);
    void UpdateRunState();
    void UpdateSoundToggle();
    void UpdateMultiplierIcon();
    void ReportFault();
    void UpdateSerialIcon();
    // After a build: tells why the main ROM could not be read (the machine then stays paused),
    // or, when `warnShort`, that it was short.
    void ReportRom(bool warnShort);
    bool HandleKey(const QKeyEvent& key, bool pressed);
    // The window's command for an Alt key, if one has it as its shortcut.
    QAction* WindowActionFor(const QKeyEvent& key) const;
    void StoreSettings();

    config::Settings& settings_;
    std::unique_ptr<Machine> machine_;
    ScreenPresenter presenter_;
    HostKeyboard hostKeyboard_;
    QtKeyboardTracker keyboard_;
    ScreenModeState screenModes_;
    FocusPause focusPause_;
    QTimer refreshTimer_;
    bool firstShown_ = false;
    bool closing_ = false;
    QTimer* rewindHold_ = nullptr;  // runs while the rewind key repeats
    bool rewindResume_ = false;     // the machine ran before the key went down
    bool refreshing_ = false;
    QPoint windowedPos_;  // where the window was before full screen
    // The frame's corner asked for last, kept for the refresh's checks until the window manager
    // has framed the window (PlaceFrame, KeepFramePlaced).
    void PlaceFromSettings();
    void PlaceFrame(QPoint corner);
    void KeepFramePlaced();
    static constexpr int kFramePlacementChecks = 500;  // ten seconds of refreshes
    QPoint framePlacement_;
    int framePlacementChecks_ = 0;
    bool multiplierShown_ = false;

    ScreenView* view_ = nullptr;
    TFormAbout* about_ = nullptr;
    TFormManual* manual_ = nullptr;
    TFormSettings* settingsForm_ = nullptr;
    // Every call of this window that may wait for the processor mutex goes through its
    // hand-over's MachineCall: the recorder's events wait for the window holding that mutex.
    TFormTapeBrowser* tapeBrowser_ = nullptr;
    MainFileCommands* fileCommands_ = nullptr;
    MainRecording* recording_ = nullptr;
    TFormDebugger* debugger_ = nullptr;
    std::unique_ptr<DebuggerToolWindows> debuggerTools_;
    QLabel* imageSerial_ = nullptr;
    std::optional<SerialActivity> serialIcon_;
    QToolBar* toolBar_ = nullptr;
    QLabel* imageTevrin_ = nullptr;
    QLabel* imageMulti_ = nullptr;
    QLabel* labelCpuSpeed_ = nullptr;
    QLabel* labelCpuUsage_ = nullptr;
    QAction* miPaused_ = nullptr;
    QAction* miSound_ = nullptr;
    QAction* tbtnSound_ = nullptr;
    QAction* miFocusPause_ = nullptr;
    QAction* tbtnRunPause_ = nullptr;
    std::array<QAction*, 3> miSize_{};
    // File and Help: out of reach in full screen, where only View and Emulation keys work.
    std::vector<QAction*> windowedOnly_;
    std::function<void(const ChipMemory& memory)> beforeTeardown_;
    std::string recordInputsPath_;
};
