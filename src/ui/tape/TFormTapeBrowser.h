#pragma once

#include <QMessageBox>
#include <QWidget>
#include <functional>
#include <string>
#include <vector>

#include "frontend/TapeHandOver.h"
#include "host/config/Settings.h"
#include "media/tape/TapeDeck.h"

class Machine;
class QAction;
class QLayout;
class QMenu;
class QProgressBar;
class QToolButton;
class QTreeWidget;
class QTreeWidgetItem;

// The cassette deck's window: the records of the inserted tape, Play and Stop, fast loading and
// monitoring, and the progress of the record playing. It owns the deck, attached to the
// machine's recorder for the window's whole life, and the hand-over of the recorder's events,
// which the main window's refresh serves. Its texts come from the section "FormTapeBrowser".
class TFormTapeBrowser : public QWidget, public TapeHandOver::Window {
    Q_OBJECT

  public:
    // Made before the machine first runs and destroyed after its run loop has stopped: the
    // recorder's event sink is set and cleared here.
    TFormTapeBrowser(config::Settings& settings, Machine& machine, QWidget* parent);
    ~TFormTapeBrowser() override;

    TapeDeck& Deck() { return deck_; }
    TapeHandOver& HandOver() { return handOver_; }
    bool EditMode() const { return deck_.EditMode(); }

    // Makes the path the tape path and loads it when the file exists (files opened elsewhere),
    // after asking about unsaved work; false when the user kept it and the tape stays.
    bool OpenTapeFile(const std::string& path);
    // The main window is about to close: edit mode ends and unsaved or unfinished work is asked
    // about as on closing the browser; false when the user keeps it (the program stays).
    bool MayEndProgram();
    // Every 20 ms from the main window's refresh: the progress bar, and the end of a record,
    // which the emulation thread handles, shown in the list and the buttons.
    void UpdateProgress();
    // The main window's menu item and tool button: shows a hidden window, hides a shown one
    // (leaving edit mode first, as Alt+T does).
    void ToggleShown();
    // Alt+P in the main window: Play when stopped, else Stop.
    void TogglePlayback();

    void SBtnInsertTapeClick();
    void SBtnNewTapeClick();
    void SBtnPlayClick();
    void SBtnStopClick();
    void SBtnFlashLoadClick();
    void SBtnMonitClick();
    // The current record becomes the first data record at or after the item.
    void ListViewTapeDblClick(int index);

    // Edit mode (TFormTapeBrowserEdit.cpp). The user's button toggles; the program's call
    // (byUser false) only leaves, once unsaved work is dealt with.
    void SBtnEditTapeClick() { EditTape(true); }
    bool EditTape(bool byUser);
    void SBtnSaveTapeClick();
    void SBtnAddClick();
    void SBtnDeleteClick();
    void SBtnUpClick() { MoveSelection(false); }
    void SBtnDownClick() { MoveSelection(true); }
    void SBtnPopUpClick();
    // Enables the editing buttons for the selection.
    void ListViewTapeClick();
    // Enables the pop-up menu's items; the first selected item becomes the selected record.
    void PopUpMenuOpen();
    void PiAddFileAsNewRecordClick();
    void PriAddInfoClick();
    void PiEditRecordClick();
    void PiSaveAsPTAClick();
    void PiSaveAsRawClick();
    void PiSaveAsTxtClick();
    void PiCreateFromTxtClick();
    std::vector<int> Selection() const;
    QMenu* PopUpMenu() const { return menu_; }
    // Where the BASIC import's log is shown; the desktop's text viewer unless replaced.
    using DocumentOpener = std::function<void(const QString& path)>;
    void SetDocumentOpener(DocumentOpener opener) { documentOpener_ = std::move(opener); }

    // TapeHandOver::Window
    bool AskNewTapePath(std::string& path) override;
    void ShowTapeMessage(const TapeMessage& message) override;

  protected:
    // Every question of the window comes here.
    virtual QMessageBox::StandardButton Ask(QMessageBox::Icon icon, const QString& title,
                                            const QString& text,
                                            QMessageBox::StandardButtons buttons);
    QMessageBox::StandardButton AskYesNoCancel(QMessageBox::Icon icon, const QString& title,
                                               const QString& text) {
        return Ask(icon, title, text, QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
    }
    // The desktop's viewer for a text file (the BASIC import's log).
    void OpenDocument(const QString& path);

    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    QToolButton* AddButton(const char* name, const char* icon, void (TFormTapeBrowser::*click)());
    void FirstShow();
    void StoreSettings();
    // Reads the tape path again and shows it.
    void LoadTape();
    // Says why the tape just loaded gave no record, when it did not.
    void ReportLoadProblem();
    // Before the list goes: the deck's rule for unsaved work, put to the user. True when
    // nothing unsaved is left (saved, or let go on the user's word).
    bool LetWorkGo(TapeDeck::Leaving leaving);
    // Saves the whole list under a name the user chooses; false when cancelled or failed.
    bool SaveList();
    // Alt+T and the main window's toggle: hides the window, leaving edit mode first.
    void HideWindow();
    std::string MessageText(const TapeMessage& message) const;
    void FillList();
    void ShowCurrent();
    void ShowPlaying(bool playing);
    void UpdateToggleImages();
    // Keys the window takes before its controls; true when taken.
    bool HandleKey(const QKeyEvent& key);
    // Pauses a running machine around a dialog of the window, and lets it run again after.
    bool PauseMachine(bool pause);
    void BuildEditControls(QLayout* buttons);
    void UpdateEditControls();
    void MoveSelection(bool down);
    void Reselect(const std::vector<int>& indices);
    // The add-file command for `path`: the header dialog, then the record at the end.
    void AddFileAsRecord(const std::string& path, uint8_t fileType);
    bool AskTapeSavePath(const std::string& start, std::string& path);
    std::string TapeFolder() const;

    config::Settings& settings_;
    Machine& machine_;
    TapeDeck deck_;
    TapeHandOver handOver_;
    bool firstShowPending_ = true;
    int shownCurrent_ = -1;  // the item marked as current
    int listChanges_ = 0;    // the hand-over's count when the list was last filled

    QTreeWidget* list_ = nullptr;
    QProgressBar* progress_ = nullptr;
    QToolButton* insert_ = nullptr;
    QToolButton* newTape_ = nullptr;
    QToolButton* play_ = nullptr;
    QToolButton* stop_ = nullptr;
    QToolButton* flash_ = nullptr;
    QToolButton* monit_ = nullptr;
    QToolButton* edit_ = nullptr;
    QToolButton* save_ = nullptr;
    QToolButton* add_ = nullptr;
    QToolButton* delete_ = nullptr;
    QToolButton* up_ = nullptr;
    QToolButton* down_ = nullptr;
    QToolButton* popUp_ = nullptr;
    QMenu* menu_ = nullptr;
    QAction* piAddFile_ = nullptr;
    QAction* piAddInfo_ = nullptr;
    QAction* piCreateFromTxt_ = nullptr;
    QAction* piDelSel_ = nullptr;
    QAction* piEditRecord_ = nullptr;
    QAction* piSaveAsPta_ = nullptr;
    QAction* piSaveAsRaw_ = nullptr;
    QAction* piSaveAsTxt_ = nullptr;
    int selectedRecord_ = -1;    // the record the pop-up menu acts on
    std::string basicTempPath_;  // the BASIC importer's program, until the record takes it
    DocumentOpener documentOpener_;
};
