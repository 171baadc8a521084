#include <QAction>
#include <QMenu>
#include <QMessageBox>
#include <QToolBar>
#include <filesystem>

#include "emulator/Snapshot.h"
#include "host/config/ConfigKeys.h"
#include "host/files/AtomicFile.h"
#include "host/files/ProgramPaths.h"
#include "host/lang/Language.h"
#include "ui/common/FileDialogs.h"
#include "ui/common/ProgramIcons.h"
#include "ui/main/MainFileCommands.h"
#include "ui/main/TFormMain.h"

namespace {

QString FormText(const char* key, const std::string& first = {}, const std::string& second = {}) {
    return QString::fromStdString(lang::LangText2("FormMain", key, first, second));
}

const char* LoadErrorKey(snapshot::LoadError error) {
    switch (error) {
        case snapshot::LoadError::NotSnapshot: return "err.OpenSnap.NotSnapshot";
        case snapshot::LoadError::NewerVersion: return "err.OpenSnap.NewerVersion";
        case snapshot::LoadError::OlderVersion: return "err.OpenSnap.OlderVersion";
        case snapshot::LoadError::Damaged: return "err.OpenSnap.Damaged";
        case snapshot::LoadError::OtherHardware: return "err.OpenSnap.OtherHardware";
        default: return "err.OpenSnap.Unreadable";
    }
}

// The folder of the last snapshot, else the program's.
std::string StartPath(config::Settings& settings) {
    std::string path = settings.GetAbsolute(config::keys::kSnapshotPath);
    std::error_code ec;
    if (path.empty() ||
        !std::filesystem::is_directory(std::filesystem::path(path).parent_path(), ec))
        path = program::ProgramFolder();
    return path;
}

}  // namespace

void MainFileCommands::AddSnapshotItems(QMenu* file, QAction* before) {
    auto add = [&](const char* name, const char* caption, const char* shortcut) {
        auto* action = new QAction(caption, &form_);
        action->setObjectName(name);
        action->setShortcut(QKeySequence(shortcut));
        file->insertAction(before, action);
        form_.addAction(action);
        form_.windowedOnly_.push_back(action);
        return action;
    };
    connect(add("MiOpenSnap", "Open &snapshot...", "Alt+Shift+F2"), &QAction::triggered, this,
            &MainFileCommands::MiOpenSnapClick);
    connect(add("MiSaveSnap", "Save s&napshot...", "Alt+F7"), &QAction::triggered, this,
            &MainFileCommands::MiSaveSnapClick);
    file->insertSeparator(before);
}

void MainFileCommands::AddSnapshotButton(QToolBar* toolBar) {
    auto* save = new QAction(icons::Icon(icons::kSnapshot), "Save a snapshot", &form_);
    save->setObjectName("TBtnSaveSnap");
    connect(save, &QAction::triggered, this, &MainFileCommands::MiSaveSnapClick);
    toolBar->addAction(save);
}

void MainFileCommands::MiOpenSnapClick() {
    if (form_.closing_) return;
    const bool wasRunning = form_.machine_->GetRunState() == Machine::kRunning;
    form_.SetPaused(true);
    std::string path = StartPath(form_.settings_);
    if (OpenFileDialog(&form_, form_.settings_, FormText("text.OpenSnapDlg.Title").toStdString(),
                       FormText("text.OpenFileDlg.FilterSnap").toStdString(), path, "tvs")) {
        OpenFile(path, false);
    }
    if (wasRunning) form_.SetPaused(false);
}

void MainFileCommands::MiSaveSnapClick() {
    if (form_.closing_ || !form_.machine_->Built()) return;
    const bool wasRunning = form_.machine_->GetRunState() == Machine::kRunning;
    form_.SetPaused(true);
    // The moment saved is the one the user chose the command in, not after the dialog.
    std::vector<uint8_t> bytes;
    form_.machine_->SaveSnapshot(bytes);
    std::string path = StartPath(form_.settings_);
    if (SaveFileDialog(&form_, form_.settings_, FormText("text.SaveSnapDlg.Title").toStdString(),
                       FormText("text.SaveSnapDlg.Filter").toStdString(), true, path, "tvs")) {
        std::string error;
        if (files::WriteFileAtomically(path, std::span<const uint8_t>(bytes), &error)) {
            form_.settings_.SetPath(config::keys::kSnapshotPath, path);
            form_.settings_.Document().AddRecentFile(path);
            ReportOutcome(&form_, Outcome::Done, FormText("text.Snapshot.Saved", path));
        } else {
            ReportOutcome(&form_, Outcome::Failed, FormText("err.SaveSnap.Message", path, error),
                          FormText("err.SaveSnap.Title"));
        }
    }
    if (wasRunning) form_.SetPaused(false);
}

bool MainFileCommands::RestoreSnapshot(const std::string& path) {
    if (form_.closing_) return false;
    const bool wasRunning = form_.machine_->GetRunState() == Machine::kRunning;
    form_.SetPaused(true);
    uint32_t version = 0;
    const snapshot::LoadError error = form_.machine_->LoadSnapshotFile(path, &version);
    if (error == snapshot::LoadError::None) {
        form_.settings_.SetPath(config::keys::kSnapshotPath, path);
        form_.settings_.Document().AddRecentFile(path);
        ReportOutcome(&form_, Outcome::Done, FormText("text.Snapshot.Restored", path));
    } else {
        ReportOutcome(&form_, Outcome::Failed,
                      FormText(LoadErrorKey(error), path, std::to_string(version)),
                      FormText("err.OpenSnap.Title"));
    }
    if (wasRunning) form_.SetPaused(false);
    return error == snapshot::LoadError::None;
}
