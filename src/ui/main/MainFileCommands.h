#pragma once

#include <QObject>
#include <QString>
#include <array>
#include <functional>
#include <string>

#include "machine/SerialActivity.h"

class QAction;
class QLabel;
class QMenu;
class QStatusBar;
class QToolBar;
class QToolButton;
class TFormMain;
class TFormMemReadWrite;

// The main window's file commands: opening any file by its kind (the open button with its
// recent-files drop-down, the open-tape item, the command line), memory load and save, the
// picture commands, and the ROM-module and SD-ROM status pictures. Made and owned by the main
// window, whose menus, tool bar and status panel it fills.
class MainFileCommands : public QObject {
    Q_OBJECT

  public:
    static constexpr int kRecentItems = 20;

    explicit MainFileCommands(TFormMain& form);

    // The File menu's items before its Exit item, and the Picture menu.
    void AddFileItems(QMenu* file, QAction* before);
    void AddOpenButton(QToolBar* toolBar);
    void AddStatusPictures(QStatusBar* panel);

    // Opens a file by its extension: a tape goes to the tape browser, a snapshot is only
    // recognised, anything else (and a tape while the browser edits one) is offered to the
    // memory dialog.
    void OpenFile(const std::string& path, bool pauseAround);
    // The command line's first argument, and the file a second start forwards.
    void OpenFileFromText(const QString& text);

    // The open commands: tag 0 any file from the program's folder (the tool button), tag 1 a
    // tape from the stored tape path (MiOpenTape).
    void TBtnOpenClick(int tag);
    // Rebuilds the recent-files items (missing files dropped from the list).
    void MiFileClick();
    void MiOpenRecentFileClick(int item);
    // Memory load (tag 0) and save (tag 1).
    void MiMemoryClick(int tag);
    void MiPictureClipClick();
    void MiPictureBmpClick();
    void MiPictureVramRawClick();
    // Snapshots (MainSnapshotCommands.cpp): MiOpenSnap, MiSaveSnap and TBtnSaveSnap, and the
    // restore that opening a ".tvs" file does from anywhere; errors in message boxes.
    void MiOpenSnapClick();
    void MiSaveSnapClick();
    // True when the machine now is the snapshot's.
    bool RestoreSnapshot(const std::string& path);
    // Input movies (MainMovieCommands.cpp): MiRecordInputs starts a recording into the file it
    // asks for and, checked, stops it and writes it; MiPlayInputs plays a movie or stops it.
    void MiRecordInputsClick();
    void MiPlayInputsClick();
    void StartRecordingInputs(const std::string& path);
    // Writes the recording under way (none: true); false when the file could not be written.
    bool StopRecordingInputs();
    bool PlayInputs(const std::string& path);
    // Every refresh: the recording or playing mark, and how a playback ended.
    void UpdateMovieStatus();

    // Every refresh: the ROM-module picture, the bank letter, the activity picture's index.
    void UpdateStatus();
    // The larger of the tape's and the SD-ROM module's activity indices.
    SerialActivity Activity() const;

    // Called when a memory load or save ends while the debugger holds the machine (stopped or
    // asked to break): the debugger is entered instead of letting the machine run. Without it
    // the machine stays paused.
    void SetEnterDebugger(std::function<void()> enterDebugger) {
        enterDebugger_ = std::move(enterDebugger);
    }

    TFormMemReadWrite& MemoryDialog() const { return *memoryDialog_; }
    QMenu* RecentFilesDropdown() const { return recentMenu_; }
    QAction* RecentItem(int n) const { return recentItems_[static_cast<size_t>(n)]; }

  private:
    // Shows the memory dialog modally with the machine paused; after OK in load mode with the
    // run option the processor goes to the run address. Returns whether OK was chosen.
    bool RunMemoryDialog(bool saveMode, const std::string& presetFile);
    // The debugger is stopped or has been asked to break.
    bool DebuggerHolds() const;
    std::string SavePath(const char* titleKey, const char* filterKey, const char* extension);
    void AddSnapshotItems(QMenu* file, QAction* before);
    void AddSnapshotButton(QToolBar* toolBar);
    void AddMovieItems(QMenu* file, QAction* before);
    void AddMovieStatus(QStatusBar* panel);

    TFormMain& form_;
    TFormMemReadWrite* memoryDialog_ = nullptr;
    QMenu* recentMenu_ = nullptr;
    std::array<QAction*, kRecentItems> recentItems_{};
    QLabel* imageRomModule_ = nullptr;
    QLabel* labelSdRomBank_ = nullptr;
    int romModuleShown_ = -1;  // 0 none, 3 ROM module, 4 SD-ROM
    char bankShown_ = 0;
    QAction* miRecordInputs_ = nullptr;
    QAction* miPlayInputs_ = nullptr;
    QLabel* labelMovie_ = nullptr;
    int movieShown_ = 0;     // 1 recording, 2 playing
    std::string moviePath_;  // the recording's
    std::string playPath_;   // the movie playing
    std::function<void()> enterDebugger_;
};
