#pragma once

#include <QMessageBox>
#include <QWidget>
#include <string>

#include "frontend/TapeHandOver.h"
#include "host/config/Settings.h"
#include "media/tape/TapeDeck.h"

class Machine;
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
    // Editing the tape comes with the tape editor; until then the deck is only viewed.
    bool EditMode() const { return false; }

    // Makes the path the tape path and loads it when the file exists (files opened elsewhere).
    void OpenTapeFile(const std::string& path);
    // Every 20 ms from the main window's refresh: the progress bar, and the end of a record,
    // which the emulation thread handles, shown in the list and the buttons.
    void UpdateProgress();
    // The main window's menu item and tool button: shows a hidden window, hides a shown one.
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

    // TapeHandOver::Window
    bool AskNewTapePath(std::string& path) override;
    void ShowTapeMessage(const TapeMessage& message) override;

  protected:
    // Every message box of the window comes here.
    virtual void ShowMessage(QMessageBox::Icon icon, const QString& title, const QString& text);

    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    QToolButton* AddButton(const char* name, const char* icon, void (TFormTapeBrowser::*click)());
    void FirstShow();
    void StoreSettings();
    // Reads the tape path again and shows it.
    void LoadTape();
    void FillList();
    void ShowCurrent();
    void ShowPlaying(bool playing);
    void UpdateToggleImages();
    // Keys the window takes before its controls; true when taken.
    bool HandleKey(const QKeyEvent& key);
    // Pauses a running machine around a dialog of the window, and lets it run again after.
    bool PauseMachine(bool pause);

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
};
