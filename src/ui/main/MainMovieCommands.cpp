#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QStatusBar>

#include "emulator/InputMovie.h"
#include "host/files/ProgramPaths.h"
#include "host/lang/Language.h"
#include "ui/common/FileDialogs.h"
#include "ui/common/OutcomeReport.h"
#include "ui/main/MainFileCommands.h"
#include "ui/main/TFormMain.h"

namespace {

QString FormText(const char* key, const std::string& first = {}, const std::string& second = {}) {
    return QString::fromStdString(lang::LangText2("FormMain", key, first, second));
}

const char* MovieErrorKey(snapshot::LoadError error) {
    switch (error) {
        case snapshot::LoadError::NotSnapshot: return "err.PlayInputs.NotMovie";
        case snapshot::LoadError::NewerVersion: return "err.PlayInputs.NewerVersion";
        case snapshot::LoadError::OlderVersion: return "err.PlayInputs.OlderVersion";
        case snapshot::LoadError::Damaged: return "err.PlayInputs.Damaged";
        case snapshot::LoadError::OtherHardware: return "err.PlayInputs.OtherHardware";
        default: return "err.PlayInputs.Unreadable";
    }
}

}  // namespace

void MainFileCommands::AddMovieItems(QMenu* file, QAction* before) {
    auto add = [&](const char* name, const char* caption, const char* shortcut) {
        auto* action = new QAction(caption, &form_);
        action->setObjectName(name);
        action->setShortcut(QKeySequence(shortcut));
        action->setCheckable(true);
        file->insertAction(before, action);
        form_.addAction(action);
        form_.windowedOnly_.push_back(action);
        return action;
    };
    miRecordInputs_ = add("MiRecordInputs", "&Record inputs...", "Alt+I");
    connect(miRecordInputs_, &QAction::triggered, this, &MainFileCommands::MiRecordInputsClick);
    miPlayInputs_ = add("MiPlayInputs", "Pla&y inputs...", "Alt+Shift+I");
    connect(miPlayInputs_, &QAction::triggered, this, &MainFileCommands::MiPlayInputsClick);
    file->insertSeparator(before);
}

void MainFileCommands::AddMovieStatus(QStatusBar* panel) {
    labelMovie_ = new QLabel(panel);
    labelMovie_->setObjectName("LabelMovie");
    labelMovie_->hide();
    panel->addWidget(labelMovie_);
}

void MainFileCommands::MiRecordInputsClick() {
    if (form_.closing_) return;
    if (form_.machine_->RecordingInputs()) {
        StopRecordingInputs();
        return;
    }
    miRecordInputs_->setChecked(false);
    if (!form_.machine_->Built()) return;
    const bool wasRunning = form_.machine_->GetRunState() == Machine::kRunning;
    form_.SetPaused(true);
    std::string path = program::UserFilesFolder();
    if (SaveFileDialog(&form_, form_.settings_,
                       FormText("text.RecordInputsDlg.Title").toStdString(),
                       FormText("text.InputsDlg.Filter").toStdString(), true, path, "tvm")) {
        StartRecordingInputs(path);
    }
    if (wasRunning) form_.SetPaused(false);
}

void MainFileCommands::StartRecordingInputs(const std::string& path) {
    const bool wasRunning = form_.machine_->GetRunState() == Machine::kRunning;
    form_.SetPaused(true);
    form_.machine_->StartRecordingInputs();
    moviePath_ = path;
    if (wasRunning) form_.SetPaused(false);
    UpdateMovieStatus();
}

bool MainFileCommands::StopRecordingInputs() {
    if (!form_.machine_->RecordingInputs()) return true;
    const bool wasRunning = form_.machine_->GetRunState() == Machine::kRunning;
    form_.SetPaused(true);
    const movie::Movie movie = form_.machine_->StopRecordingInputs();
    if (wasRunning && !form_.closing_) form_.SetPaused(false);
    UpdateMovieStatus();
    std::string error;
    if (!movie::SaveFile(moviePath_, movie, &error)) {
        ReportOutcome(&form_, Outcome::Failed,
                      FormText("err.RecordInputs.Message", moviePath_, error),
                      FormText("err.RecordInputs.Title"));
        return false;
    }
    ReportOutcome(&form_, Outcome::Done, FormText("text.Inputs.Saved", moviePath_));
    return true;
}

void MainFileCommands::MiPlayInputsClick() {
    if (form_.closing_) return;
    if (form_.machine_->PlayingInputs()) {
        const bool wasRunning = form_.machine_->GetRunState() == Machine::kRunning;
        form_.SetPaused(true);
        form_.machine_->StopPlayingInputs();
        if (wasRunning) form_.SetPaused(false);
        UpdateMovieStatus();
        ReportOutcome(&form_, Outcome::Done, FormText("text.Inputs.PlayStopped"));
        return;
    }
    miPlayInputs_->setChecked(false);
    if (!form_.machine_->Built()) return;
    const bool wasRunning = form_.machine_->GetRunState() == Machine::kRunning;
    form_.SetPaused(true);
    std::string path = program::UserFilesFolder();
    if (OpenFileDialog(&form_, form_.settings_, FormText("text.PlayInputsDlg.Title").toStdString(),
                       FormText("text.InputsDlg.Filter").toStdString(), path, "tvm")) {
        PlayInputs(path);
    }
    if (wasRunning) form_.SetPaused(false);
}

bool MainFileCommands::PlayInputs(const std::string& path) {
    movie::Movie movie;
    uint32_t version = 0;
    snapshot::LoadError error = movie::LoadFile(path, movie, &version);
    if (error == snapshot::LoadError::None) {
        const bool wasRunning = form_.machine_->GetRunState() == Machine::kRunning;
        form_.SetPaused(true);
        error = form_.machine_->StartPlayingInputs(std::move(movie));
        if (wasRunning) form_.SetPaused(false);
    }
    if (error == snapshot::LoadError::None) {
        playPath_ = path;
        form_.settings_.Document().AddRecentFile(path);
    }
    UpdateMovieStatus();
    if (error != snapshot::LoadError::None) {
        ReportOutcome(&form_, Outcome::Failed,
                      FormText(MovieErrorKey(error), path, std::to_string(version)),
                      FormText("err.PlayInputs.Title"));
        return false;
    }
    return true;
}

void MainFileCommands::UpdateMovieStatus() {
    if (labelMovie_ == nullptr) return;
    Machine& machine = *form_.machine_;
    const Machine::PlaybackEnd end = machine.TakePlaybackEnd();
    if (end.ended) {
        if (end.error == snapshot::LoadError::None) {
            ReportOutcome(&form_, Outcome::Done, FormText("text.Inputs.PlayEnded"));
        } else {
            ReportOutcome(&form_, Outcome::Failed,
                          FormText(MovieErrorKey(end.error), playPath_, ""),
                          FormText("err.PlayInputs.Title"));
        }
    }
    const bool recording = machine.RecordingInputs();
    const bool playing = machine.PlayingInputs();
    const int shown = recording ? 1 : playing ? 2 : 0;
    miRecordInputs_->setChecked(recording);
    miPlayInputs_->setChecked(playing);
    if (shown == movieShown_) return;
    movieShown_ = shown;
    labelMovie_->setVisible(shown != 0);
    if (recording) {
        labelMovie_->setText(FormText("text.Inputs.RecordingMark"));
        labelMovie_->setToolTip(FormText("text.Inputs.RecordingHint", moviePath_));
    } else if (playing) {
        labelMovie_->setText(FormText("text.Inputs.PlayingMark"));
        labelMovie_->setToolTip(FormText("text.Inputs.PlayingHint"));
    }
}
