#pragma once

#include <QObject>
#include <memory>

#include "frontend/SessionRecording.h"

class QAction;
class QLabel;
class QMenu;
class QStatusBar;
class TFormMain;

// The main window's recordings of the session: File > Record video and File > Record sound,
// each a toggle (start asks for the file, stop finishes it), and the mark on the status panel
// while either records. Made and owned by the main window.
class MainRecording : public QObject {
    Q_OBJECT

  public:
    explicit MainRecording(TFormMain& form);
    ~MainRecording() override;

    void AddFileItems(QMenu* file, QAction* before);
    void AddStatusMark(QStatusBar* panel);

    void MiRecordVideoClick();
    void MiRecordSoundClick();
    // What a menu item does once the file is chosen; false (and a message) when it cannot start.
    bool Start(SessionRecording::Kind kind, const std::string& path);
    // Every refresh: the picture profile, a failure while writing, pictures dropped.
    void UpdateStatus();
    // The program ends: both files are finished (the machine has stopped).
    void FinishAll();

    bool Recording(SessionRecording::Kind kind) const { return recording_->Active(kind); }
    QAction* Item(SessionRecording::Kind kind) const {
        return kind == SessionRecording::Kind::Video ? miRecordVideo_ : miRecordSound_;
    }
    QLabel* Mark() const { return labelRecording_; }

  private:
    void Toggle(SessionRecording::Kind kind);
    void StopAndReport(SessionRecording::Kind kind, bool failedBefore);
    void ShowState();

    TFormMain& form_;
    std::unique_ptr<SessionRecording> recording_;
    QAction* miRecordVideo_ = nullptr;
    QAction* miRecordSound_ = nullptr;
    QLabel* labelRecording_ = nullptr;
};
