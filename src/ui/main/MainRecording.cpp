#include "ui/main/MainRecording.h"

#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QStatusBar>

#include "host/files/ProgramPaths.h"
#include "host/lang/Language.h"
#include "ui/common/FileDialogs.h"
#include "ui/common/OutcomeReport.h"
#include "ui/main/TFormMain.h"
#include "ui/tape/TFormTapeBrowser.h"

namespace {

using Kind = SessionRecording::Kind;

QString FormText(const char* key, const std::string& a = {}, const std::string& b = {}) {
    return QString::fromStdString(lang::LangText2("FormMain", key, a, b));
}

}  // namespace

MainRecording::MainRecording(TFormMain& form)
    // The window's machine is paced: a slow encoder loses pictures, never the machine's time.
    : QObject(&form),
      form_(form),
      recording_(std::make_unique<SessionRecording>(*form.machine_, false)) {}

MainRecording::~MainRecording() = default;

void MainRecording::AddFileItems(QMenu* file, QAction* before) {
    auto add = [&](const char* name, const QString& caption) {
        auto* action = new QAction(caption, &form_);
        action->setObjectName(name);
        action->setCheckable(true);
        file->insertAction(before, action);
        form_.addAction(action);
        form_.windowedOnly_.push_back(action);
        return action;
    };
    miRecordVideo_ = add("MiRecordVideo", "Record &video...");
    connect(miRecordVideo_, &QAction::triggered, this, &MainRecording::MiRecordVideoClick);
    miRecordSound_ = add("MiRecordSound", "Record s&ound...");
    connect(miRecordSound_, &QAction::triggered, this, &MainRecording::MiRecordSoundClick);
}

void MainRecording::AddStatusMark(QStatusBar* panel) {
    labelRecording_ = new QLabel(panel);
    labelRecording_->setObjectName("LabelRecording");
    labelRecording_->setStyleSheet("color: #d00000; font-weight: bold;");
    panel->addWidget(labelRecording_);
    labelRecording_->hide();
}

void MainRecording::MiRecordVideoClick() {
    Toggle(Kind::Video);
}

void MainRecording::MiRecordSoundClick() {
    Toggle(Kind::Sound);
}

void MainRecording::Toggle(Kind kind) {
    if (form_.closing_) return;
    if (recording_->Active(kind)) {
        StopAndReport(kind, false);
        ShowState();
        return;
    }
    const bool video = kind == Kind::Video;
    std::string path = program::UserFilesFolder();
    const bool chosen = SaveFileDialog(
        &form_, form_.settings_,
        FormText(video ? "text.RecordVideoDlg.Title" : "text.RecordSoundDlg.Title").toStdString(),
        FormText(video ? "text.RecordVideoDlg.Filter" : "text.RecordSoundDlg.Filter").toStdString(),
        true, path, video ? "mkv" : "wav");
    if (chosen) Start(kind, path);
    ShowState();
}

bool MainRecording::Start(Kind kind, const std::string& path) {
    recording_->SetColourProfile(form_.presenter_.ColourProfile());
    std::string why;
    bool started = false;
    {
        TapeHandOver::MachineCall call(form_.tapeBrowser_->HandOver());
        if (call) started = recording_->Start(kind, path, &why);
    }
    if (!started) {
        ReportOutcome(&form_, Outcome::Failed, FormText("err.RecordStart.Message", path, why),
                      FormText("err.RecordStart.Title"));
    }
    ShowState();
    return started;
}

void MainRecording::StopAndReport(Kind kind, bool failedBefore) {
    const std::string path = recording_->Path(kind);
    std::string why;
    bool finished = false;
    {
        TapeHandOver::MachineCall call(form_.tapeBrowser_->HandOver());
        if (!call) return;
        finished = recording_->Stop(kind, &why);
    }
    if (finished && !failedBefore) {
        ReportOutcome(&form_, Outcome::Done, FormText("text.Recording.Saved", path));
    } else {
        ReportOutcome(&form_, Outcome::Failed, FormText("err.RecordWrite.Message", path, why),
                      FormText("err.RecordWrite.Title"));
    }
}

void MainRecording::UpdateStatus() {
    recording_->SetColourProfile(form_.presenter_.ColourProfile());
    for (Kind kind : {Kind::Video, Kind::Sound}) {
        // A full disk ends the recording at once, with what went wrong.
        if (recording_->Active(kind) && !recording_->Failure(kind).empty()) {
            StopAndReport(kind, true);
            ShowState();
        }
    }
    if (const int64_t dropped = recording_->TakeDroppedPictures(); dropped > 0) {
        ReportOutcome(&form_, Outcome::Done,
                      FormText("text.Recording.Dropped", std::to_string(dropped)));
    }
}

void MainRecording::FinishAll() {
    for (Kind kind : {Kind::Video, Kind::Sound}) {
        const std::string path = recording_->Path(kind);
        std::string why;
        if (!path.empty() && !recording_->Stop(kind, &why)) {
            std::fprintf(stderr, "tevrinemu: cannot write %s: %s\n", path.c_str(), why.c_str());
        }
    }
}

void MainRecording::ShowState() {
    const bool video = recording_->Active(Kind::Video);
    const bool sound = recording_->Active(Kind::Sound);
    miRecordVideo_->setChecked(video);
    miRecordSound_->setChecked(sound);
    labelRecording_->setVisible(video || sound);
    if (video || sound) {
        labelRecording_->setText(FormText("text.Recording.Mark"));
        std::string paths = recording_->Path(Kind::Video);
        if (sound) paths += (paths.empty() ? "" : "\n") + recording_->Path(Kind::Sound);
        labelRecording_->setToolTip(FormText("text.Recording.Hint", paths));
    }
}
