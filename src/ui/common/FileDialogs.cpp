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

// The one extension a filter names ("*.png"), without the dot; empty for "*.*" or several.
QString FilterExtension(const FileFilter& filter) {
    if (filter.patterns.size() != 1) return {};
    const std::string& pattern = filter.patterns.front();
    if (pattern.rfind("*.", 0) != 0 || pattern.find_first_of("*?", 2) != std::string::npos)
        return {};
    return QString::fromStdString(pattern.substr(2)).toLower();
}

class HostFileDialog : public QFileDialog {
  public:
    HostFileDialog(QWidget* owner, const QString& title, std::vector<FileFilter> filters,
                   QString defaultExtension)
        : QFileDialog(owner, title),
          filters_(std::move(filters)),
          defaultExtension_(std::move(defaultExtension)) {}

  protected:
    void accept() override {
        if (acceptMode() == AcceptSave && !defaultExtension_.isEmpty()) {
            // A name typed without an extension takes the one of the filter chosen when OK is
            // pressed (a PNG picture for the PNG filter), however that filter was chosen; a
            // filter without a single extension falls back to the caller's.
            const int index = SelectedFilterIndex();
            QString extension = index >= 0 && static_cast<size_t>(index) < filters_.size()
                                    ? FilterExtension(filters_[static_cast<size_t>(index)])
                                    : QString();
            setDefaultSuffix(extension.isEmpty() ? defaultExtension_ : extension);
        }
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

  private:
    // With the filters' details hidden, Qt names the selected filter by the text its list shows,
    // the name filter without its last "(patterns)".
    int SelectedFilterIndex() const {
        const QString selected = selectedNameFilter();
        const QStringList names = nameFilters();
        for (int i = 0; i < names.size(); ++i) {
            const QString& name = names.at(i);
            if (name == selected || name.left(name.lastIndexOf(" (")) == selected) return i;
        }
        return -1;
    }

    std::vector<FileFilter> filters_;
    QString defaultExtension_;
};

bool RunDialog(QWidget* owner, const config::Settings& settings, const std::string& title,
               const std::string& filter, bool save, bool overwritePrompt,
               const FileDialogStart& start, std::string& path,
               const std::string& defaultExtension) {
    path = start.path;
    const std::vector<FileFilter> parsed = ParseFileFilter(filter);
    HostFileDialog dialog(owner, QString::fromStdString(title), parsed,
                          QString::fromStdString(defaultExtension).toLower());
    dialog.setOption(QFileDialog::DontUseNativeDialog, true);
    dialog.setOption(QFileDialog::HideNameFilterDetails, true);
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, !save || !overwritePrompt);
    const QStringList nameFilters = ToNameFilters(parsed);
    if (!nameFilters.isEmpty()) dialog.setNameFilters(nameFilters);
    dialog.setDefaultSuffix(QString::fromStdString(defaultExtension).toLower());
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
