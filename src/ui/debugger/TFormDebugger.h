#pragma once

#include <QWidget>
#include <array>
#include <functional>
#include <vector>

#include "debugger/BreakpointEdits.h"
#include "debugger/DebuggerSettings.h"
#include "debugger/DebuggerViews.h"
#include "debugger/SymbolTable.h"
#include "emulator/MachineHistory.h"
#include "host/config/Settings.h"

class Machine;
class QComboBox;
class QLabel;
class QLayout;
class QLineEdit;
class QListWidget;
class QListWidgetItem;
class QStatusBar;
class QTimer;
class QToolButton;
class TFormDbgBreaks;

// The debugger: a tool window that shows the stopped machine (instructions, registers, flags,
// stack, page registers, chip registers, a memory listing) and runs, steps and edits it. Its
// texts come from the section "FormDebugger". Everything it shows and changes is worked out in
// the core (debugger/DebuggerCore, DebuggerViews); this holds the widgets and the wiring.
class TFormDebugger : public QWidget {
    Q_OBJECT

  public:
    TFormDebugger(config::Settings& settings, Machine& machine, QWidget* parent);

    // The "Debugger" menu item, the lock message's Yes and a breakpoint: pause the machine and
    // show it here.
    void EnterDebugger();
    // After a reset or a memory load: true (and the machine shown here) when the user was
    // debugging; false when the caller should let the machine run on.
    bool EnterIfDebugging();
    // Every 20 ms from the main window's refresh: resumes a run or step the debugger asked
    // for, and enters the debugger when a breakpoint fired.
    void RefreshTimer();
    // At exit; also when running from the debugger and when closing it.
    void SaveSettings();
    // Settings group 16: whether the panels explain themselves in hints.
    void ApplyHintSetting();

    bool CanCommand(bool checkInlineAssembler, bool beep);
    void StopAndRefresh();

    void SbRunClick(bool fromUser = true);
    void SbStepClick();
    void SbStepOverClick();
    void SbStepOutClick();
    void SbToNextClick();
    // Stops the machine where it is while it runs for the debugger (a step over or out that
    // does not come back, a run to the next instruction that is never reached).
    void SbBreakClick();
    // Back one instruction, and back to the previous breakpoint hit (or the oldest moment kept).
    void SbStepBackClick();
    void SbRunBackClick();
    void SbHexDecClick();
    void SbZ80Click();
    void SbTo0Click();
    void SbCopyClick(bool askEnd);
    void SbFillClick(bool askEnd);
    void OpenInlineAssembler(uint16_t address, bool prefill);
    // Load symbols: a file dialog, then LoadSymbols.
    void SbSymbolsClick();
    // Reads a symbols file or listing for every view and address field; tells how it went on
    // `reportTo`'s status line (a failure also in a message box). The table is kept on failure.
    bool LoadSymbols(const std::string& path, QWidget* reportTo);
    // The labels loaded, nullptr while there are none.
    const debugger::SymbolTable* Symbols() const;
    // Ctrl+B: the breakpoint and watch dialog.
    void OpenBreaks();
    // The debugger's keys pressed in one of its tool windows: the run, step, break and search
    // keys, which mean nothing to the fields there. True when the key was the debugger's.
    bool HandleToolWindowKey(QKeyEvent* key);
    // Back from a tool window: the debugger's window active and its keys answered, on the
    // control that had the focus there before (the step button at first).
    void TakeFocus();
    // A line on the debugger's own status bar, for what a command came to.
    void ShowOutcomeLine(const QString& text);

    // The tool windows built elsewhere connect here: the search dialog (Ctrl+F, SbFind), its
    // next match (F3; false when the dialog has no search to repeat, then it opens instead),
    // the disassembly-to-file window (SbDisass), the peripheral status window (SbPerifStat)
    // and hiding them all when the machine runs.
    std::function<void()> OpenFind;
    std::function<bool()> FindNext;
    std::function<void()> OpenDisassembly;
    std::function<void()> OpenPeripheralStatus;
    std::function<void()> HideToolWindows;
    // After every refresh of the views (each stop, step and edit).
    std::function<void()> Refreshed;
    // After the machine was resumed or paused here, so the main window shows its run state.
    std::function<void()> RunStateChanged;
    // Pauses or resumes the machine the way the main window does (false: not now, the machine
    // is busy handing an event to the window). Without it the machine is paused directly.
    std::function<bool(bool paused)> PauseMachine;
    // Runs `work` with the machine within reach the way the main window does (false: not now,
    // the machine is busy handing an event to the window, and holding it would wait for ever).
    // Without it the work runs at once.
    std::function<bool(const std::function<void()>& work)> ReachMachine;

    // The search, disassembly and peripheral status windows go at the debugger's left edge,
    // directly above it when there is room, else directly below; otherwise they stay.
    void PlaceToolWindow(QWidget& tool) const;

    const debugger::DisplayFlags& Flags() const { return choices_.flags; }
    Machine& MachineShown() const { return machine_; }
    debugger::DebuggerListing& Listing() { return listing_; }
    bool EditorOpen() const;

  protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    // A key that reaches the window itself (no child has the focus) is still the debugger's.
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    enum class EditTarget { None, Register, Stack, MemBase, Breakpoint, CopyFill };
    QLabel* NewLabel(const char* name, QWidget* parent);
    QLineEdit* NewEditor(const char* name, QWidget* parent);
    QToolButton* AddButton(const char* name, const char* text, std::function<void()> click);
    // Shows the moment gone back to, and tells of host files written after it.
    void ShowRestored(const MachineHistory::Restored& restored);
    void FirstShow();
    void FormShow();
    void RefreshAll();
    // Every view, without noting an outside change: also while the machine runs, held between
    // two periods.
    void RefreshViews();
    // Says whether the machine runs or is stopped, enables the buttons that make sense now and
    // follows a running machine.
    void ShowRunState();
    void FollowMachine();
    void RefreshBreakpoints();
    void RefreshNestings();
    // The mark column, the halt indicator, the call stack and the stop reason.
    QString Marked(uint16_t address, const std::string& line) const;
    // True when the click was on the mark column: a press there toggles the line's breakpoint,
    // and the double click that may follow must not set one again.
    bool MarkColumnClicked(QLabel* line, double column, bool press);
    void AddCallStack(QLayout* row);
    void StartTracking();
    void RefreshProcessorState();
    void ShowStopReason();
    QString StopReasonText() const;
    void CreateBreaks();
    void HideBreaks();
    void RefreshListing();
    // The highlight colour behind the current instruction, registers, stack, listing-address
    // label and listing; the labels on it are opaque unless one is being edited.
    void ApplyHighlight();
    void SetOpaque(QLabel* label, bool opaque);
    // Puts an in-place editor over `anchor`, its text starting `column` characters in.
    void PlaceEditor(QWidget* editor, QWidget* anchor, QPoint origin, int column, int characters);
    bool SetMachinePaused(bool paused);
    void ResumeMachine();
    bool HandleKey(QKeyEvent* key);
    void LineClicked(int line, bool instructionLine, bool right, double column,
                     Qt::KeyboardModifiers modifiers);
    void OpenValueEditor(uint16_t value, const QString& caption, EditTarget target, int index);
    void ValueEntered();
    void CloseValueEditor(bool refresh);
    void InlineAsmEntered();
    void CloseInlineAssembler();
    void SelectSource(int source);
    void CopyFillStep(uint16_t value);
    // The value-to-memory menu of a register, stack or listing-address label.
    void ShowValueMenu(QLabel* label, const QPoint& at);
    QString Text(const char* key) const;

    config::Settings& settings_;
    Machine& machine_;
    debugger::DebuggerCore& core_;
    debugger::DebuggerChoices choices_;
    debugger::DebuggerListing listing_;
    debugger::BreakpointNotes breakNotes_;
    debugger::SymbolTable symbols_;
    std::string symbolsPath_;
    TFormDbgBreaks* breaks_ = nullptr;
    bool settingsPending_ = true;
    QFont font_;
    QColor windowColour_;
    bool showHints_ = false;
    QLabel* editedLabel_ = nullptr;
    std::array<QWidget*, 4> highlightShapes_{};

    std::array<QLabel*, 6> instructions_{};
    std::array<QLabel*, 6> registers_{};
    std::array<QLabel*, 6> flagLabels_{};
    std::array<QLabel*, 5> stackAddresses_{};
    std::array<QLabel*, 5> stackValues_{};
    std::array<QLabel*, 2> memOrg_{};
    QLabel* lblRoll_ = nullptr;
    QLabel* lblColor_ = nullptr;
    QLabel* lblIntr_ = nullptr;
    QLabel* lblTicks_ = nullptr;
    QListWidget* breakpoints_ = nullptr;
    std::array<QLabel*, debugger::DebuggerListing::kLines> dump_{};
    QLabel* lblListAddr_ = nullptr;
    QComboBox* cbListSrc_ = nullptr;
    QComboBox* cbListType_ = nullptr;
    QListWidget* nestings_ = nullptr;
    QListWidget* callStack_ = nullptr;
    QLabel* lblHalt_ = nullptr;
    // The refresh timer enters for a stop the run loop made; Break asked by the user is one
    // of the window's own.
    bool enteringForStop_ = false;
    bool userBreak_ = false;
    QLabel* lblEditLabel_ = nullptr;
    QLineEdit* meEditValue_ = nullptr;
    QLabel* lblAsmAddress_ = nullptr;
    QLineEdit* meInlineAsm_ = nullptr;
    QLineEdit* meEditDump_ = nullptr;
    QLineEdit* meEditAscii_ = nullptr;
    QToolButton* sbZ80_ = nullptr;
    QToolButton* sbBreak_ = nullptr;
    std::vector<QToolButton*> buttons_;
    QStatusBar* status_ = nullptr;
    QLabel* lblRunState_ = nullptr;
    QTimer* followTimer_ = nullptr;
    int shownRunState_ = -2;  // what ShowRunState last showed

    EditTarget editTarget_ = EditTarget::None;
    int editIndex_ = 0;
    uint16_t asmAddress_ = 0;
    bool asmPrefill_ = false;
    uint16_t lineEditAddress_ = 0;  // the dump or character editor's line
    int charEditCount_ = 8;
    // Copy and fill: which question is open, and the answers so far.
    struct CopyFill {
        bool fill = false;
        bool askEnd = false;
        int step = 0;
        uint16_t start = 0;
        int32_t count = 0;
    } copyFill_;
};
