#pragma once

#include <QWidget>
#include <functional>
#include <vector>

#include "debugger/BreakpointEdits.h"
#include "debugger/DebuggerCore.h"
#include "debugger/DisplayFlags.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTreeWidget;

namespace debugger {
class SymbolTable;
}

// Every breakpoint and watch of the debugger in one list: the window's six slots, the list
// beyond them (with a condition and a hit count) and the watches on memory or ports; adds and
// removes them. The debugger gives the core, the notes of what it added and, at each showing,
// the notation and the symbols. Its texts are in the debugger's section.
class TFormDbgBreaks : public QWidget {
    Q_OBJECT

  public:
    TFormDbgBreaks(debugger::DebuggerCore& core, debugger::BreakpointNotes& notes, QWidget* parent);

    void SetView(debugger::DisplayFlags flags, const debugger::SymbolTable* symbols);
    void Refresh();
    // Typing goes to the breakpoint's address at once.
    void FocusEntry();

    // False while the machine runs: nothing may change then (the run loop reads the lists).
    std::function<bool()> CanEdit;
    // After every change, for the debugger's marks and slots.
    std::function<void()> Changed;

    void BtnAddBreakClick();
    void BtnAddWatchClick();
    void BtnRemoveClick();

  private:
    void Refuse(const debugger::EditRefusal& refusal, QLineEdit* field);
    void Done();

    debugger::DebuggerCore& core_;
    debugger::BreakpointNotes& notes_;
    debugger::DisplayFlags flags_;
    const debugger::SymbolTable* symbols_ = nullptr;
    std::vector<debugger::BreakpointRow> rows_;

    QTreeWidget* list_ = nullptr;
    QLineEdit* address_ = nullptr;
    QLineEdit* condition_ = nullptr;
    QLineEdit* hits_ = nullptr;
    QLineEdit* from_ = nullptr;
    QLineEdit* to_ = nullptr;
    QRadioButton* memory_ = nullptr;
    QRadioButton* port_ = nullptr;
    QCheckBox* read_ = nullptr;
    QCheckBox* write_ = nullptr;
    QLabel* message_ = nullptr;
};
