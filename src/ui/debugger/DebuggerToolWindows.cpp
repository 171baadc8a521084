#include "ui/debugger/DebuggerToolWindows.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMessageBox>

#include "emulator/Machine.h"
#include "host/config/ConfigKeys.h"
#include "host/config/Settings.h"
#include "host/lang/Language.h"
#include "ui/debugger/TFormDbgFind.h"
#include "ui/debugger/TFormDebugger.h"
#include "ui/debugger/TFormDisass.h"
#include "ui/debugger/TFormPerifStat.h"

namespace {

// The debugger's run, step and search keys work in its tool windows too: whichever of its
// windows was used last, F7 steps.
class DebuggerKeys : public QObject {
  public:
    DebuggerKeys(TFormDebugger& debugger, QObject* parent) : QObject(parent), debugger_(debugger) {}

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::KeyPress &&
            debugger_.HandleToolWindowKey(static_cast<QKeyEvent*>(event)))
            return true;
        return QObject::eventFilter(watched, event);
    }

  private:
    TFormDebugger& debugger_;
};

}  // namespace

DebuggerToolWindows::DebuggerToolWindows(config::Settings& settings, TFormDebugger& debugger)
    : settings_(settings), debugger_(debugger) {
    // Owned by the debugger window, so they close and go with it.
    find_ = new TFormDbgFind(&debugger);
    disass_ = new TFormDisass(settings, &debugger);
    perifStat_ = new TFormPerifStat(&debugger);
    find_->SetFindHandler([this] { FindNext(true); });
    for (QWidget* window : {static_cast<QWidget*>(find_), static_cast<QWidget*>(disass_),
                            static_cast<QWidget*>(perifStat_)}) {
        auto* keys = new DebuggerKeys(debugger, window);
        window->installEventFilter(keys);
        for (QWidget* child : window->findChildren<QWidget*>()) child->installEventFilter(keys);
    }
    debugger.OpenFind = [this] { OpenFind(); };
    debugger.FindNext = [this] { return FindNext(false); };
    debugger.OpenDisassembly = [this] { OpenDisassembly(); };
    debugger.OpenPeripheralStatus = [this] { TogglePeripheralStatus(); };
    debugger.HideToolWindows = [this] { HideAll(); };
    debugger.Refreshed = [this] { Refreshed(); };
}

DebuggerToolWindows::~DebuggerToolWindows() {
    debugger_.OpenFind = nullptr;
    debugger_.FindNext = nullptr;
    debugger_.OpenDisassembly = nullptr;
    debugger_.OpenPeripheralStatus = nullptr;
    debugger_.HideToolWindows = nullptr;
    debugger_.Refreshed = nullptr;
    find_->SetFindHandler(nullptr);
}

bool DebuggerToolWindows::FindNext(bool fromStart) {
    if (!find_->FindEnabled()) return false;
    const ChipCpu8080* cpu = debugger_.MachineShown().Debugger().Cpu();
    ChipMemory* memory = debugger_.MachineShown().Debugger().Memory();
    if (cpu == nullptr || memory == nullptr) return true;
    debugger::DebuggerListing& listing = debugger_.Listing();
    const debugger::SearchOutcome outcome =
        search_.FindNext(*memory, find_->Pattern(), fromStart, listing.Base(*cpu, listing.current));
    if (outcome == debugger::SearchOutcome::Found) {
        listing.MoveTo(*cpu, search_.Current());
        debugger_.StopAndRefresh();
    } else if (settings_.Get(config::keys::kShowNotFoundInDebugger)) {
        const char* key = outcome == debugger::SearchOutcome::WrappedAround ? "err.Find.WrapAround"
                                                                            : "err.Find.NotFound";
        QMessageBox::information(
            &debugger_, QString::fromStdString(lang::LangText("FormDebugger", "err.Find.Title")),
            QString::fromStdString(lang::LangText("FormDebugger", key)));
    } else {
        QApplication::beep();
    }
    debugger_.TakeFocus();
    return true;
}

void DebuggerToolWindows::OpenFind() {
    find_->SetRadix(debugger_.Flags().DecimalRadix);
    debugger_.PlaceToolWindow(*find_);
    find_->show();
    find_->raise();
    find_->activateWindow();
    // Typing goes into the pattern at once: the field its radio button chose, on its first entry.
    find_->RadioValuesClick();
}

void DebuggerToolWindows::OpenDisassembly() {
    disass_->BindMemory(debugger_.MachineShown().Debugger().Memory());
    disass_->SetRadix(debugger_.Flags().DecimalRadix);
    disass_->SetZ80Notation(debugger_.Flags().Z80Notation);
    disass_->SetSymbols(debugger_.Symbols());
    debugger_.PlaceToolWindow(*disass_);
    disass_->show();
    disass_->raise();
    disass_->activateWindow();
}

void DebuggerToolWindows::TogglePeripheralStatus() {
    BindPeripherals();
    debugger_.PlaceToolWindow(*perifStat_);
    perifStat_->ToggleShown();
}

void DebuggerToolWindows::BindPeripherals() {
    const Machine& machine = debugger_.MachineShown();
    perifStat_->BindChips(machine.Timer(), machine.Serial());
    const SystemPIO* system = machine.SystemPio();
    const IfGPIO* general = machine.Gpio();
    const IfInterrupt* interrupts = machine.Interrupts();
    perifStat_->BindParallel(system != nullptr ? &system->Chip() : nullptr,
                             general != nullptr ? &general->Chip() : nullptr,
                             interrupts != nullptr ? &interrupts->Chip() : nullptr);
}

void DebuggerToolWindows::HideAll() {
    // The peripheral window keeps its tag, so it comes back at the next stop.
    find_->hide();
    disass_->hide();
    perifStat_->hide();
}

void DebuggerToolWindows::Refreshed() {
    if (!debugger_.isVisible()) return;
    // Symbols loaded while the window shows: its address fields take them at once.
    disass_->SetSymbols(debugger_.Symbols());
    BindPeripherals();
    perifStat_->ShowIfTagged();
    if (perifStat_->isVisible()) perifStat_->RefreshStatus();
}
