// The debugger window's run and step commands, and what it shows while the machine runs for
// it: the state on its status line, the buttons that can act, and the views following the
// machine every 100 ms.
#include <QLabel>
#include <QStatusBar>
#include <QTimer>
#include <QToolButton>

#include "emulator/Machine.h"
#include "ui/debugger/TFormDebugger.h"

bool TFormDebugger::SetMachinePaused(bool paused) {
    if (PauseMachine) {
        if (!PauseMachine(paused)) return false;
    } else {
        machine_.SetPaused(paused);
    }
    if (RunStateChanged) RunStateChanged();
    return true;
}

void TFormDebugger::EnterDebugger() {
    // A break stays requested while the machine cannot be reached: the next refresh enters.
    if (!SetMachinePaused(true)) return;
    // Paused now: the run loop no longer writes the stop reason. Only a stop it made has one.
    if (!enteringForStop_ || userBreak_) core_.NoteStop(debugger::StopInfo::Reason::Pause);
    userBreak_ = false;
    if (isVisible()) {
        StopAndRefresh();
    } else {
        show();
        raise();
    }
    ShowStopReason();
}

bool TFormDebugger::EnterIfDebugging() {
    if (!core_.Holding()) return false;
    EnterDebugger();
    return true;
}

void TFormDebugger::RefreshTimer() {
    const debugger::RefreshAction action = core_.OnRefreshTimer();
    if (action.resume) ResumeMachine();
    if (action.enter) {
        enteringForStop_ = true;
        EnterDebugger();
        enteringForStop_ = false;
    }
    ShowRunState();
}

void TFormDebugger::ShowRunState() {
    const bool stopped = core_.Stopped();
    const int state = stopped ? -1 : static_cast<int>(core_.Running());
    if (state == shownRunState_) return;
    shownRunState_ = state;
    const char* key = "text.Run.Stopped";
    if (!stopped) {
        switch (core_.Running()) {
            case debugger::Errand::StepOver: key = "text.Run.StepOver"; break;
            case debugger::Errand::StepOut: key = "text.Run.StepOut"; break;
            case debugger::Errand::ToNext: key = "text.Run.ToNext"; break;
            case debugger::Errand::None: key = "text.Run.Running"; break;
        }
    }
    lblRunState_->setText(Text(key));
    // The stop's reason is shown over the state for a while; once the machine runs on it
    // describes a stop that is over and would hide that the machine runs.
    if (!stopped) status_->clearMessage();
    // While it runs, Break stops it and Run lets it go on alone; nothing else can act.
    for (QToolButton* button : buttons_) button->setEnabled(stopped || button == sbBreak_);
    findChild<QToolButton*>("SbRun")->setEnabled(true);
    sbBreak_->setEnabled(!stopped);
    if (stopped) {
        followTimer_->stop();
    } else {
        followTimer_->start();
    }
}

void TFormDebugger::FollowMachine() {
    if (!isVisible() || core_.Stopped()) return;
    const auto follow = [this] {
        const std::unique_lock<std::mutex> held = machine_.HoldBetweenPeriods();
        RefreshViews();
    };
    // Not now is fine: the next follow comes in 100 ms.
    if (ReachMachine) {
        ReachMachine(follow);
    } else {
        follow();
    }
}

void TFormDebugger::ResumeMachine() {
    SetMachinePaused(false);
}

void TFormDebugger::SbRunClick(bool fromUser) {
    const bool stopped = core_.Stopped();
    if (stopped && !CanCommand(true, true)) return;
    core_.Run();
    SaveSettings();
    if (fromUser) hide();
    if (HideToolWindows) HideToolWindows();
    HideBreaks();
    ShowRunState();
}

void TFormDebugger::SbBreakClick() {
    // The way a breakpoint stops it: the refresh enters the debugger, pausing the machine.
    if (!core_.Break()) return;
    userBreak_ = true;
    RefreshTimer();
}

void TFormDebugger::SbStepClick() {
    if (!CanCommand(true, true)) return;
    core_.Step();
    RefreshAll();
}

void TFormDebugger::SbStepOverClick() {
    if (!CanCommand(true, true)) return;
    if (!core_.StepOver()) RefreshAll();
    ShowRunState();
}

void TFormDebugger::SbStepOutClick() {
    if (!CanCommand(true, true)) return;
    if (!core_.StepOut()) RefreshAll();
    ShowRunState();
}

void TFormDebugger::SbToNextClick() {
    if (!CanCommand(true, true)) return;
    core_.RunToNext();
    ShowRunState();
}
