// The tape browser's edit mode: rearranging, deleting, adding and changing records, saving the
// result, and the pop-up menu's commands (BASIC listings, raw data, the selection as a tape).
#include <QAction>
#include <QApplication>
#include <QDesktopServices>
#include <QLayout>
#include <QMenu>
#include <QToolButton>
#include <QTreeWidget>
#include <QUrl>
#include <algorithm>
#include <chrono>
#include <filesystem>

#include "host/files/AtomicFile.h"
#include "host/files/ProgramPaths.h"
#include "host/lang/Language.h"
#include "media/basic/BasicListing.h"
#include "media/tape/TapeEdit.h"
#include "media/tape/TapeImage.h"
#include "ui/common/FileDialogs.h"
#include "ui/common/ProgramIcons.h"
#include "ui/tape/TFormEditInfoRecord.h"
#include "ui/tape/TFormEditTapeHeader.h"
#include "ui/tape/TFormTapeBrowser.h"

namespace {

constexpr const char* kSection = "FormTapeBrowser";
constexpr std::size_t kMaxListingBytes = 16u << 20;

std::string Text(const char* key) {
    return lang::LangText(kSection, key);
}
QString QText(const char* key) {
    return QString::fromStdString(Text(key));
}

// The machine stands still while a dialog of the browser is open.
class PausedMachine {
  public:
    explicit PausedMachine(std::function<bool(bool)> pause) : pause_(std::move(pause)) {
        paused_ = pause_(true);
    }
    ~PausedMachine() {
        if (paused_) pause_(false);
    }
    PausedMachine(const PausedMachine&) = delete;
    PausedMachine& operator=(const PausedMachine&) = delete;

  private:
    std::function<bool(bool)> pause_;
    bool paused_;
};

// The hourglass for the length of a conversion.
class WaitCursor {
  public:
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QApplication::restoreOverrideCursor(); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
};

}  // namespace

void TFormTapeBrowser::BuildEditControls(QLayout* buttons) {
    auto add = [this, buttons](QToolButton*& button, const char* name, const char* icon,
                               void (TFormTapeBrowser::*click)()) {
        button = AddButton(name, icon, click);
        buttons->addWidget(button);
    };
    add(edit_, "SBtnEditTape", icons::kEditOff, &TFormTapeBrowser::SBtnEditTapeClick);
    add(save_, "SBtnSaveTape", icons::kSaveTape, &TFormTapeBrowser::SBtnSaveTapeClick);
    add(popUp_, "SBtnPopUp", icons::kPopUpMenu, &TFormTapeBrowser::SBtnPopUpClick);
    add(add_, "SBtnAdd", icons::kAddTape, &TFormTapeBrowser::SBtnAddClick);
    add(delete_, "SBtnDelete", icons::kDeleteRecord, &TFormTapeBrowser::SBtnDeleteClick);
    add(up_, "SBtnUp", icons::kMoveUp, &TFormTapeBrowser::SBtnUpClick);
    add(down_, "SBtnDown", icons::kMoveDown, &TFormTapeBrowser::SBtnDownClick);
    up_->setProperty("tag", 0);
    down_->setProperty("tag", 1);

    menu_ = new QMenu(this);
    menu_->setObjectName("PopupMenuTape");
    auto item = [this](QAction*& action, const char* name, const char* caption,
                       void (TFormTapeBrowser::*click)()) {
        action = menu_->addAction(caption);
        action->setObjectName(name);
        connect(action, &QAction::triggered, this, click);
    };
    item(piAddFile_, "PiAddFileAsNewRecord", "Add file as new record...",
         &TFormTapeBrowser::PiAddFileAsNewRecordClick);
    item(piAddInfo_, "PriAddInfo", "Add info record...", &TFormTapeBrowser::PriAddInfoClick);
    item(piCreateFromTxt_, "PiCreateFromTxt", "Import BASIC listing...",
         &TFormTapeBrowser::PiCreateFromTxtClick);
    menu_->addSeparator();
    item(piEditRecord_, "PiEditRecord", "Edit record...", &TFormTapeBrowser::PiEditRecordClick);
    item(piDelSel_, "PiDelSel", "Delete selected records", &TFormTapeBrowser::SBtnDeleteClick);
    menu_->addSeparator();
    item(piSaveAsPta_, "PiSaveAsPTA", "Save selected records as tape...",
         &TFormTapeBrowser::PiSaveAsPTAClick);
    item(piSaveAsRaw_, "PiSaveAsRaw", "Save raw data...", &TFormTapeBrowser::PiSaveAsRawClick);
    item(piSaveAsTxt_, "PiSaveAsTxt", "Export BASIC listing...",
         &TFormTapeBrowser::PiSaveAsTxtClick);
    connect(menu_, &QMenu::aboutToShow, this, &TFormTapeBrowser::PopUpMenuOpen);
}

std::vector<int> TFormTapeBrowser::Selection() const {
    std::vector<int> selection;
    for (int i = 0; i < list_->topLevelItemCount(); ++i) {
        if (list_->topLevelItem(i)->isSelected()) selection.push_back(i);
    }
    return selection;
}

void TFormTapeBrowser::UpdateEditControls() {
    if (edit_ == nullptr || list_ == nullptr) return;
    const bool editing = EditMode();
    edit_->setIcon(icons::Icon(editing ? icons::kEditOn : icons::kEditOff));
    edit_->setProperty("image", editing ? 1 : 0);
    edit_->setEnabled(!deck_.Playing());
    insert_->setEnabled(!editing);
    newTape_->setEnabled(!editing);
    flash_->setEnabled(!editing);
    monit_->setEnabled(!editing);
    add_->setEnabled(editing);
    // Recordings held in no file can be saved in either mode.
    save_->setEnabled((editing && deck_.Changed()) || deck_.HeldRecordings() > 0);
    ListViewTapeClick();
}

void TFormTapeBrowser::ListViewTapeClick() {
    const std::vector<int> selection = Selection();
    const bool editing = EditMode();
    delete_->setEnabled(editing && !selection.empty());
    up_->setEnabled(editing && tape::CanMoveUp(selection));
    down_->setEnabled(editing && tape::CanMoveDown(selection, deck_.Records().size()));
}

void TFormTapeBrowser::PopUpMenuOpen() {
    const std::vector<int> selection = Selection();
    selectedRecord_ = selection.empty() ? -1 : selection.front();
    const tagTapeRecord* record = deck_.RecordAt(selectedRecord_);
    const bool editing = EditMode();
    const bool one = selection.size() == 1;
    piAddFile_->setEnabled(editing);
    piAddInfo_->setEnabled(editing);
    piCreateFromTxt_->setEnabled(editing);
    piDelSel_->setEnabled(editing && !selection.empty());
    piSaveAsPta_->setEnabled(!selection.empty());
    piEditRecord_->setEnabled(editing && one && record != nullptr && tape::CanEditRecord(*record));
    piSaveAsRaw_->setEnabled(one);
    piSaveAsTxt_->setEnabled(one && record != nullptr && record->recordType == tape::kTypeData &&
                             record->fileType == tape::kFileBasic);
}

void TFormTapeBrowser::SBtnPopUpClick() {
    menu_->popup(mapToGlobal(QPoint(0, 8)));
}

std::string TFormTapeBrowser::TapeFolder() const {
    const std::string& path = deck_.TapePath();
    if (path.empty()) return program::UserFilesFolder();
    return std::filesystem::path(path).parent_path().string() + "/";
}

bool TFormTapeBrowser::AskTapeSavePath(const std::string& start, std::string& path) {
    path = start;
    return SaveFileDialog(this, settings_, Text("text.SaveTapeDlg.Title"),
                          Text("text.SaveTapeDlg.Filter"), true, path, "pta");
}

bool TFormTapeBrowser::EditTape(bool byUser) {
    if (EditMode()) {
        if (!LetWorkGo(TapeDeck::Leaving::List)) return false;
        if (const TapeMessage failed = deck_.LeaveEditMode(nullptr)) {
            ShowTapeMessage(failed);
            return false;
        }
    } else {
        if (!byUser || deck_.Playing()) return false;
        deck_.EnterEditMode();
    }
    FillList();
    return true;
}

void TFormTapeBrowser::SBtnSaveTapeClick() {
    if (!(EditMode() && deck_.Changed()) && deck_.HeldRecordings() == 0) return;
    SaveList();
}

bool TFormTapeBrowser::SaveList() {
    const PausedMachine paused([this](bool on) { return PauseMachine(on); });
    std::string target;
    const std::string start = deck_.SaveStart();
    if (!AskTapeSavePath(start.empty() ? TapeFolder() : start, target)) return false;
    const TapeMessage failed = deck_.SaveTape(target);
    FillList();
    if (failed) ShowTapeMessage(failed);
    return !failed;
}

void TFormTapeBrowser::SBtnAddClick() {
    if (!EditMode()) return;
    const PausedMachine paused([this](bool on) { return PauseMachine(on); });
    std::string path = TapeFolder();
    if (!OpenFileDialog(this, settings_, Text("text.OpenTapeDlg.Title"),
                        Text("text.OpenTapeDlg.Filter"), path, "pta")) {
        return;
    }
    if (TapeMessage failed = deck_.AppendTape(path)) ShowTapeMessage(failed);
    FillList();
}

void TFormTapeBrowser::SBtnDeleteClick() {
    const std::vector<int> selection = Selection();
    if (!EditMode() || selection.empty()) return;
    deck_.DeleteRecords(selection);
    FillList();
}

void TFormTapeBrowser::MoveSelection(bool down) {
    if (!EditMode()) return;
    const std::vector<int> moved = deck_.MoveRecords(Selection(), down);
    if (moved.empty()) return;
    FillList();
    Reselect(moved);
}

// The moved block stays selected and in view: its first item when it is taller than the
// list, else centred.
void TFormTapeBrowser::Reselect(const std::vector<int>& indices) {
    for (int index : indices) {
        if (QTreeWidgetItem* item = list_->topLevelItem(index)) item->setSelected(true);
    }
    QTreeWidgetItem* first = list_->topLevelItem(indices.front());
    QTreeWidgetItem* last = list_->topLevelItem(indices.back());
    if (first == nullptr || last == nullptr) return;
    list_->setCurrentItem(first, 0, QItemSelectionModel::NoUpdate);
    const int rowHeight = std::max(1, list_->visualItemRect(first).height());
    const int visibleRows = list_->viewport()->height() / rowHeight;
    if (static_cast<int>(indices.size()) > visibleRows) {
        list_->scrollToItem(first, QAbstractItemView::PositionAtTop);
    } else {
        list_->scrollToItem(list_->topLevelItem((indices.front() + indices.back()) / 2),
                            QAbstractItemView::PositionAtCenter);
    }
    ListViewTapeClick();
}

void TFormTapeBrowser::PiAddFileAsNewRecordClick() {
    if (!EditMode()) return;
    std::string path = program::UserFilesFolder();
    {
        const PausedMachine paused([this](bool on) { return PauseMachine(on); });
        if (!OpenFileDialog(this, settings_, Text("text.AddFileDlg.Title"),
                            Text("text.AddFileDlg.Filter"), path, "")) {
            return;
        }
    }
    AddFileAsRecord(path, tape::kFileMonitor);
}

void TFormTapeBrowser::AddFileAsRecord(const std::string& path, uint8_t fileType) {
    // The size is checked before the header is asked for.
    tagTapeRecord probe;
    if (TapeMessage refused = tape::MakeFileRecord(path, 1, fileType, false, probe)) {
        ShowTapeMessage(refused);
        return;
    }
    tape::RecordHeader header;
    header.number = 0x01;
    header.fileType = fileType;
    const PausedMachine paused([this](bool on) { return PauseMachine(on); });
    TFormEditTapeHeader dialog(this);
    dialog.SetHeader(header);
    if (dialog.exec() != QDialog::Accepted) return;
    header = dialog.Header();
    header.fixCrcEnabled = false;
    if (TapeMessage failed = deck_.AddFile(path, header)) {
        ShowTapeMessage(failed);
        return;
    }
    FillList();
    list_->scrollToBottom();
}

void TFormTapeBrowser::PriAddInfoClick() {
    if (!EditMode()) return;
    const PausedMachine paused([this](bool on) { return PauseMachine(on); });
    TFormEditInfoRecord dialog(this);
    if (dialog.exec() != QDialog::Accepted || dialog.Text().isEmpty()) return;
    deck_.AddInfo(dialog.Text().toStdString());
    FillList();
    list_->scrollToBottom();
}

void TFormTapeBrowser::PiEditRecordClick() {
    const tagTapeRecord* record = deck_.RecordAt(selectedRecord_);
    if (!EditMode() || record == nullptr) return;
    const PausedMachine paused([this](bool on) { return PauseMachine(on); });
    bool changed = false;
    if (record->recordType == tape::kTypeData) {
        if (!tape::CanEditRecord(*record)) return;
        TFormEditTapeHeader dialog(this);
        dialog.SetHeader(tape::HeaderOf(*record));
        if (dialog.exec() != QDialog::Accepted) return;
        tape::RecordHeader header = dialog.Header();
        // A block with no good copy keeps its damaged bytes: a new checksum only hides that.
        if (header.fixCrcEnabled && header.fixCrc && !record->blocksWithoutGoodCopy.empty() &&
            Ask(QMessageBox::Warning, QText("err.RepairNoGoodCopy.Title"),
                QString::fromStdString(
                    lang::LangText1(kSection, "err.RepairNoGoodCopy.Message",
                                    tape::BlockNumbersText(record->blocksWithoutGoodCopy))),
                QMessageBox::Yes | QMessageBox::No) != QMessageBox::Yes) {
            header.fixCrc = false;
        }
        changed = deck_.EditRecord(selectedRecord_, header);
    } else if (record->recordType == tape::kTypeInfo) {
        TFormEditInfoRecord dialog(this);
        dialog.SetText(QString::fromStdString(record->infoText));
        if (dialog.exec() != QDialog::Accepted) return;
        changed = deck_.EditInfo(selectedRecord_, dialog.Text().toStdString());
    }
    if (changed) {
        const int index = selectedRecord_;
        FillList();
        Reselect({index});
    }
}

void TFormTapeBrowser::PiSaveAsPTAClick() {
    const std::vector<int> selection = Selection();
    if (selection.empty()) return;
    const PausedMachine paused([this](bool on) { return PauseMachine(on); });
    std::string target;
    if (!AskTapeSavePath(program::UserFilesFolder(), target)) return;
    if (TapeMessage failed = deck_.SaveSelection(selection, target)) ShowTapeMessage(failed);
}

void TFormTapeBrowser::PiSaveAsRawClick() {
    const std::vector<int> selection = Selection();
    if (selection.size() != 1) return;
    const PausedMachine paused([this](bool on) { return PauseMachine(on); });
    std::string target = program::UserFilesFolder();
    if (!SaveFileDialog(this, settings_, Text("text.SaveTapeDlg.Title"),
                        Text("text.SaveTapeDlg.Filter2"), true, target, "")) {
        return;
    }
    if (TapeMessage failed = deck_.SaveRaw(selection.front(), target)) ShowTapeMessage(failed);
}

void TFormTapeBrowser::PiSaveAsTxtClick() {
    const std::vector<int> selection = Selection();
    const tagTapeRecord* record =
        selection.size() == 1 ? deck_.RecordAt(selection.front()) : nullptr;
    if (record == nullptr || record->recordType != tape::kTypeData ||
        record->fileType != tape::kFileBasic) {
        return;
    }
    const PausedMachine paused([this](bool on) { return PauseMachine(on); });
    std::string target = program::UserFilesFolder() + "basic.txt";
    if (!SaveFileDialog(this, settings_, Text("text.SaveBasicDlg.Title"),
                        Text("text.SaveBasicDlg.Filter"), true, target, "")) {
        return;
    }
    const WaitCursor busy;
    std::string program;
    if (TapeMessage failed = deck_.RecordPayload(selection.front(), program)) {
        ShowTapeMessage(failed);
        return;
    }
    const auto* bytes = reinterpret_cast<const uint8_t*>(program.data());
    if (!files::WriteFileAtomically(target, basic::ExportListing(bytes, program.size()))) {
        ShowTapeMessage(TapeMessage::Make("CreateFile", {target}));
    }
}

void TFormTapeBrowser::PiCreateFromTxtClick() {
    if (!EditMode()) return;
    std::string textPath = program::UserFilesFolder();
    if (!OpenFileDialog(this, settings_, Text("text.OpenTextFileDlg.Title"),
                        Text("text.OpenTextFileDlg.Filter"), textPath, "")) {
        return;
    }
    const PausedMachine paused([this](bool on) { return PauseMachine(on); });
    basic::ImportResult result;
    {
        const WaitCursor busy;
        std::string text;
        if (files::ReadWholeFile(textPath, kMaxListingBytes, text) != files::ReadResult::Ok) {
            ShowTapeMessage(TapeMessage::Make("OpenTape", {textPath}, true));
            return;
        }
        result = basic::ImportListing(text);
    }
    if (!result.log.empty()) {
        const std::string logPath = textPath + ".log";
        const std::string log = basic::FormatLog(
            result.log, [](const std::string& key, const std::string& a, const std::string& b) {
                return lang::LangText2(kSection, key, a, b);
            });
        if (!files::WriteFileAtomically(logPath, log)) {
            ShowTapeMessage(TapeMessage::Make("CreateFile", {logPath}, true));
        }
        const QMessageBox::StandardButton answer =
            AskYesNoCancel(QMessageBox::Warning, QText("err.ImportBasic.Title"),
                           QString::fromStdString(lang::LangText2(
                               kSection, "err.ImportBasic.Message", textPath, logPath)));
        if (answer == QMessageBox::No) OpenDocument(QString::fromStdString(logPath));
        if (answer != QMessageBox::Yes) return;
    }
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                        std::chrono::steady_clock::now().time_since_epoch())
                        .count();
    basicTempPath_ = textPath + "-" + std::to_string(ms) + "-tmp.tmp";
    const std::string_view bytes(reinterpret_cast<const char*>(result.image.data()),
                                 result.image.size());
    if (!files::WriteFileAtomically(basicTempPath_, bytes)) {
        ShowTapeMessage(TapeMessage::Make("CreateFile", {basicTempPath_}));
        basicTempPath_.clear();
        return;
    }
    const size_t before = deck_.Records().size();
    AddFileAsRecord(basicTempPath_, tape::kFileBasic);
    // Cancelled: no record holds the program, so nothing else would remove its file.
    if (deck_.Records().size() == before) {
        std::error_code ignored;
        std::filesystem::remove(basicTempPath_, ignored);
    }
    basicTempPath_.clear();
}

QMessageBox::StandardButton TFormTapeBrowser::Ask(QMessageBox::Icon icon, const QString& title,
                                                  const QString& text,
                                                  QMessageBox::StandardButtons buttons) {
    QMessageBox box(icon, title, text, buttons, this);
    return static_cast<QMessageBox::StandardButton>(box.exec());
}

void TFormTapeBrowser::OpenDocument(const QString& path) {
    if (documentOpener_) {
        documentOpener_(path);
    } else {
        QDesktopServices::openUrl(QUrl::fromLocalFile(path));
    }
}
