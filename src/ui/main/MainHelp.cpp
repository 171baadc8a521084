// Help > Manual and Help > Keyboard: the manual delivered in the program folder, shown by the
// program itself, so it is there with no network and no browser set up.

#include <QString>

#include "frontend/ManualPages.h"
#include "host/files/ProgramPaths.h"
#include "host/lang/Language.h"
#include "ui/common/LanguageApplier.h"
#include "ui/common/OutcomeReport.h"
#include "ui/help/TFormManual.h"
#include "ui/main/TFormMain.h"

void TFormMain::MiManualClick(bool keyboardOnly) {
    if (manual_ == nullptr) {
        manual_ = new TFormManual(this);
        ApplyActiveLanguage(manual_);
    }
    if (keyboardOnly ? manual_->ShowKeyboard() : manual_->ShowManual()) return;
    const QString folder = QString::fromStdString(program::ProgramFolder() + manual::kFolder);
    ReportOutcome(this, Outcome::Failed,
                  QString::fromStdString(lang::LangText("FormMain", "err.Manual.Message"))
                      .replace("%1", folder),
                  QString::fromStdString(lang::LangText("FormMain", "err.Manual.Title")));
}
