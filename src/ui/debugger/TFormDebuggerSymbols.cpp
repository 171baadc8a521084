// The debugger window's labels (a symbols file or listing loaded for every view and address
// field) and its breakpoint dialog.
#include <QApplication>
#include <QStatusBar>

#include "debugger/SymbolFiles.h"
#include "host/lang/Language.h"
#include "ui/common/FileDialogs.h"
#include "ui/common/OutcomeReport.h"
#include "ui/debugger/TFormDbgBreaks.h"
#include "ui/debugger/TFormDebugger.h"

namespace {

constexpr const char* kSection = "FormDebugger";

}  // namespace

const debugger::SymbolTable* TFormDebugger::Symbols() const {
    return symbols_.Empty() ? nullptr : &symbols_;
}

bool TFormDebugger::LoadSymbols(const std::string& path, QWidget* reportTo) {
    std::string error;
    debugger::SymbolTable table;
    if (!debugger::ReadSymbolFile(path, table, error)) {
        ReportOutcome(
            reportTo, Outcome::Failed,
            QString::fromStdString(lang::LangText2(kSection, "err.Symbols.Failed", path, error)),
            QString::fromStdString(lang::LangText(kSection, "err.Symbols.Title")));
        return false;
    }
    symbols_ = std::move(table);
    const QString loaded = QString::fromStdString(
        lang::LangText2(kSection, "text.Symbols.Loaded", std::to_string(symbols_.Size()), path));
    // The debugger's own command says so on the debugger's line, where the user looks.
    if (reportTo == this) {
        ShowOutcomeLine(loaded);
    } else {
        ReportOutcome(reportTo, Outcome::Done, loaded);
    }
    if (isVisible()) FormShow();
    if (breaks_ != nullptr) breaks_->SetView(choices_.flags, Symbols());
    return true;
}

void TFormDebugger::SbSymbolsClick() {
    if (!CanCommand(true, true)) return;
    std::string path = symbolsPath_;
    if (!OpenFileDialog(this, settings_, lang::LangText(kSection, "text.SymbolsDlg.Title"),
                        lang::LangText(kSection, "text.SymbolsDlg.Filter"), path, "")) {
        TakeFocus();
        return;
    }
    symbolsPath_ = path;
    LoadSymbols(path, this);
    TakeFocus();
}

void TFormDebugger::CreateBreaks() {
    breaks_ = new TFormDbgBreaks(core_, breakNotes_, this);
    breaks_->hide();
    breaks_->CanEdit = [this] { return CanCommand(true, true); };
    breaks_->Changed = [this] {
        RefreshBreakpoints();
        RefreshViews();
    };
}

void TFormDebugger::OpenBreaks() {
    if (!CanCommand(true, true)) return;
    breaks_->SetView(choices_.flags, Symbols());
    PlaceToolWindow(*breaks_);
    breaks_->show();
    breaks_->raise();
    breaks_->activateWindow();
    breaks_->FocusEntry();
}

void TFormDebugger::HideBreaks() {
    if (breaks_ != nullptr) breaks_->hide();
}
