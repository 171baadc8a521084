#include "ui/help/TFormManual.h"

#include <QFile>
#include <QFileInfo>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

#include "frontend/ManualPages.h"
#include "host/files/ProgramPaths.h"
#include "host/lang/Language.h"

namespace {

QString ManualText(const char* key) {
    return QString::fromStdString(lang::LangText("FormManual", key));
}

}  // namespace

TFormManual::TFormManual(QWidget* parent) : QWidget(parent, Qt::Window) {
    setObjectName("FormManual");
    setWindowTitle("Manual");
    resize(760, 820);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    browser_ = new QTextBrowser(this);
    browser_->setObjectName("BrowserManual");
    // Links inside the manual and to the documents beside it stay in this window; only
    // addresses on the web go to the desktop's browser.
    browser_->setOpenLinks(true);
    browser_->setOpenExternalLinks(true);
    layout->addWidget(browser_);
}

QString TFormManual::ManualFile() {
    const std::string folder = program::ProgramFolder() + manual::kFolder;
    return QString::fromStdString(
        manual::ManualPath(folder, lang::LangText("FormManual", "text.Manual.File")));
}

bool TFormManual::ShowManual() {
    return Show(false);
}

bool TFormManual::ShowKeyboard() {
    return Show(true);
}

bool TFormManual::Show(bool keyboardOnly) {
    const QString path = ManualFile();
    if (path.isEmpty()) return false;
    const QUrl url = QUrl::fromLocalFile(path);
    if (keyboardOnly) {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly)) return false;
        const std::string section =
            manual::Section(file.readAll().toStdString(), manual::kKeyboardAnchor);
        if (section.empty()) return false;
        // The section's pictures are named relative to the manual's own folder.
        browser_->clearHistory();
        browser_->setSearchPaths({QFileInfo(path).absolutePath()});
        browser_->document()->setBaseUrl(url);
        browser_->setMarkdown(QString::fromStdString(section));
        setWindowTitle(ManualText("text.Manual.KeyboardTitle"));
    } else {
        browser_->setSearchPaths({});
        // The keyboard map is shown without changing the source, so the same source is read
        // again rather than left as it is.
        if (browser_->source() == url)
            browser_->reload();
        else
            browser_->setSource(url, QTextDocument::MarkdownResource);
        setWindowTitle(ManualText("text.Manual.Title"));
    }
    if (windowTitle().isEmpty()) setWindowTitle("Manual");
    show();
    raise();
    activateWindow();
    return true;
}
