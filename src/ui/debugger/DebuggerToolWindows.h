#pragma once

#include "debugger/MemorySearch.h"

namespace config {
class Settings;
}
class TFormDbgFind;
class TFormDebugger;
class TFormDisass;
class TFormPerifStat;

// The debugger's three tool windows (search, disassembly to a file, peripheral status) and the
// search state, connected to the debugger's buttons and keys. They live as long as the debugger.
class DebuggerToolWindows {
  public:
    DebuggerToolWindows(config::Settings& settings, TFormDebugger& debugger);
    // The windows belong to the debugger and outlive this; its hooks must not.
    ~DebuggerToolWindows();
    DebuggerToolWindows(const DebuggerToolWindows&) = delete;
    DebuggerToolWindows& operator=(const DebuggerToolWindows&) = delete;

    TFormDbgFind& Find() const { return *find_; }
    TFormDisass& Disassembly() const { return *disass_; }
    TFormPerifStat& PeripheralStatus() const { return *perifStat_; }

    // F3 and the search dialog's Find: false (nothing done) when no position of the pattern
    // takes part, so that F3 opens the dialog instead.
    bool FindNext(bool fromStart);

  private:
    void OpenFind();
    void OpenDisassembly();
    void TogglePeripheralStatus();
    // The machine is rebuilt by some settings: its chips are looked up at every showing.
    void BindPeripherals();
    void HideAll();
    void Refreshed();

    config::Settings& settings_;
    TFormDebugger& debugger_;
    TFormDbgFind* find_ = nullptr;
    TFormDisass* disass_ = nullptr;
    TFormPerifStat* perifStat_ = nullptr;
    debugger::MemorySearch search_;
};
