#include "ui/common/FileDialogs.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>

#include "host/files/FileDialogStart.h"
#include "host/lang/Language.h"

namespace {

// A file nobody may write to, whoever runs the program (root included).
bool IsReadOnlyFile(const QFileInfo& info) {
    constexpr QFile::Permissions kWrite = QFile::WriteOwner | QFile::WriteGroup | QFile::WriteOther;
    return info.exists() && !info.isDir() && (!info.isWritable() || !(info.permissions() & kWrite));
}

class HostFileDialog : public QFileDialog {
  public:
    using QFileDialog::QFileDialog;

  protected:
    void accept() override {
        if (acceptMode() == AcceptSave) {
            const QStringList files = selectedFiles();
            if (!files.isEmpty() && IsReadOnlyFile(QFileInfo(files.first()))) {
                const QString name = QFileInfo(files.first()).fileName();
                QString message = QString::fromStdString(lang::LangText1(
                    lang::kCommonSection, "text.FileDialog.ReadOnly", name.toStdString()));
                QMessageBox::warning(this, windowTitle(), message.isEmpty() ? name : message);
                return;
            }
        }
        QFileDialog::accept();
    }
};

bool RunDialog(QWidget* owner, const config::Settings& settings, const std::string& title,
               const std::string& filter, bool save, bool overwritePrompt,
               const FileDialogStart& start, std::string& path,
               const std::string& defaultExtension) {
    path = start.path;
    HostFileDialog dialog(owner, QString::fromStdString(title));
    dialog.setOption(QFileDialog::DontUseNativeDialog, true);
    dialog.setOption(QFileDialog::HideNameFilterDetails, true);
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, !save || !overwritePrompt);
    const QStringList nameFilters = ToNameFilters(ParseFileFilter(filter));
    if (!nameFilters.isEmpty()) dialog.setNameFilters(nameFilters);
    dialog.setDefaultSuffix(QString::fromStdString(defaultExtension).toLower());
    if (!defaultExtension.empty()) {
        // A name typed without an extension takes the chosen filter's (a PNG picture when the
        // PNG filter is chosen), where that filter names one.
        const std::vector<FileFilter> parsed = ParseFileFilter(filter);
        QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog, [&](const QString& name) {
            const int index = static_cast<int>(nameFilters.indexOf(name));
            if (index < 0 || parsed[static_cast<size_t>(index)].patterns.empty()) return;
            const std::string& pattern = parsed[static_cast<size_t>(index)].patterns.front();
            if (pattern.rfind("*.", 0) == 0 && pattern.find_first_of("*?", 2) == std::string::npos)
                dialog.setDefaultSuffix(QString::fromStdString(pattern.substr(2)).toLower());
        });
    }
    dialog.setDirectory(QString::fromStdString(start.folder));
    if (!start.fileName.empty()) dialog.selectFile(QString::fromStdString(start.fileName));
    if (!settings.Get(config::keys::kShowPlaceBar)) {
        if (auto* sidebar = dialog.findChild<QWidget*>("sidebar")) sidebar->hide();
    }
    if (dialog.exec() != QDialog::Accepted) return false;
    const QStringList chosen = dialog.selectedFiles();
    if (chosen.isEmpty()) return false;
    path = chosen.first().toStdString();
    return true;
}

}  // namespace

QStringList ToNameFilters(const std::vector<FileFilter>& filters) {
    QStringList names;
    for (const FileFilter& filter : filters) {
        QStringList patterns;
        for (const std::string& pattern : filter.patterns)
            patterns << QString::fromStdString(pattern);
        names << QString::fromStdString(filter.description) + " (" + patterns.join(' ') + ")";
    }
    return names;
}

bool OpenFileDialog(QWidget* owner, const config::Settings& settings, const std::string& title,
                    const std::string& filter, std::string& path,
                    const std::string& defaultExtension) {
    return RunDialog(owner, settings, title, filter, false, false, OpenDialogStart(path), path,
                     defaultExtension);
}

bool SaveFileDialog(QWidget* owner, const config::Settings& settings, const std::string& title,
                    const std::string& filter, bool overwritePrompt, std::string& path,
                    const std::string& defaultExtension) {
    return RunDialog(owner, settings, title, filter, true, overwritePrompt, SaveDialogStart(path),
                     path, defaultExtension);
}
