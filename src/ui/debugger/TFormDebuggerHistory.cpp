// The debugger's way back: one instruction, or to the previous breakpoint hit, through the
// machine's history (emulator/MachineHistory); every view then shows that moment, and running
// or stepping on continues from it.

#include <QApplication>
#include <QMessageBox>

#include "emulator/Machine.h"
#include "host/lang/Language.h"
#include "ui/debugger/TFormDebugger.h"

namespace {
constexpr const char* kSection = "FormDebugger";

QString Text(const char* key) {
    return QString::fromStdString(lang::LangText(kSection, key));
}
}  // namespace

void TFormDebugger::SbStepBackClick() {
    if (!CanCommand(true, true)) return;
    ShowRestored(machine_.History().StepBack(1));
}

void TFormDebugger::SbRunBackClick() {
    if (!CanCommand(true, true)) return;
    const auto atBreakpoint = [this](const ChipCpu8080& cpu, const ChipMemory&) {
        return core_.IsBreakpoint(cpu.PC);
    };
    ShowRestored(machine_.History().StepBackWhere(1, atBreakpoint, true));
}

void TFormDebugger::ShowRestored(const MachineHistory::Restored& restored) {
    switch (restored.outcome) {
        case MachineHistory::Outcome::Done: break;
        case MachineHistory::Outcome::Unreachable:
            // Nothing changes, but the user must not wonder whether the button works.
            QApplication::beep();
            ShowOutcomeLine(Text("text.History.AtStart"));
            return;
        case MachineHistory::Outcome::Failed:
            QMessageBox::warning(this, Text("err.History.Title"), Text("err.History.Failed"));
            return;
    }
    // Calls made after that moment are not made yet; those returned from since cannot be had.
    core_.RewindCallStack();
    StopAndRefresh();
    // Run back goes as far as the history reaches when no breakpoint stands in the way; again
    // at that moment it can only stay there.
    if (restored.position == machine_.History().OldestPosition())
        ShowOutcomeLine(Text("text.History.AtStart"));
    if (restored.passed.empty()) return;
    QString written;
    for (const MachineHistory::Note& note : restored.passed) {
        written += "\n" + Text(note.what == "tape" ? "text.History.Tape" : "text.History.SdRom");
        if (!note.path.empty()) written += " " + QString::fromStdString(note.path);
    }
    QMessageBox::information(this, Text("err.History.Title"),
                             Text("text.History.Written") + written);
}
