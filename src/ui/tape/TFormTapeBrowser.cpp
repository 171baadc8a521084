#include "ui/tape/TFormTapeBrowser.h"

#include <QApplication>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMenu>
#include <QProgressBar>
#include <QScreen>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <cstdio>
#include <filesystem>

#include "emulator/Machine.h"
#include "frontend/TapeListText.h"
#include "host/lang/Language.h"
#include "ui/common/FileDialogs.h"
#include "ui/common/OutcomeReport.h"
#include "ui/common/ProgramIcons.h"

namespace {

constexpr const char* kSection = "FormTapeBrowser";
constexpr int kMinWidth = 346, kMinHeight = 260;
constexpr int kIconSize = 16;
// The current record stands this many rows below the top of the list.
constexpr int kRowsAboveCurrent = 3;

std::string Text(const char* key) {
    return lang::LangText(kSection, key);
}

// The buttons keep their state in their tag, as the user's view of the deck.
void SetTag(QToolButton* button, int tag) {
    button->setProperty("tag", tag);
}
int Tag(const QToolButton* button) {
    return button->property("tag").toInt();
}

const char* MarkIcon(tapelist::Mark mark) {
    switch (mark) {
        case tapelist::Mark::Incomplete: return icons::kIncomplete;
        case tapelist::Mark::BadSize: return icons::kBadSize;
        case tapelist::Mark::NoGoodCopy: return icons::kNoGoodCopy;
        case tapelist::Mark::CrcError: return icons::kCrcError;
        case tapelist::Mark::None: break;
    }
    return nullptr;
}

}  // namespace

TFormTapeBrowser::TFormTapeBrowser(config::Settings& settings, Machine& machine, QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::WindowStaysOnTopHint),
      settings_(settings),
      machine_(machine),
      handOver_(deck_, *this) {
    setObjectName("FormTapeBrowser");
    setWindowTitle("Tape browser");
    setMinimumSize(kMinWidth, kMinHeight);
    resize(kMinWidth, kMinHeight);
    deck_.AttachTape(&machine_.Tape());
    deck_.SetCommands(TapeDeck::Commands::Bind<&Machine::CommandTape>(&machine_));

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->setSpacing(4);
    auto* buttons = new QHBoxLayout;
    buttons->setSpacing(2);
    layout->addLayout(buttons);
    insert_ = AddButton("SBtnInsertTape", icons::kEject, &TFormTapeBrowser::SBtnInsertTapeClick);
    newTape_ = AddButton("SBtnNewTape", icons::kNewTape, &TFormTapeBrowser::SBtnNewTapeClick);
    buttons->addWidget(insert_);
    buttons->addWidget(newTape_);
    buttons->addSpacing(10);
    play_ = AddButton("SBtnPlay", icons::kPlay, &TFormTapeBrowser::SBtnPlayClick);
    stop_ = AddButton("SBtnStop", icons::kStop, &TFormTapeBrowser::SBtnStopClick);
    buttons->addWidget(play_);
    buttons->addWidget(stop_);
    buttons->addSpacing(10);
    flash_ = AddButton("SBtnFlashLoad", icons::kFlashOff, &TFormTapeBrowser::SBtnFlashLoadClick);
    monit_ = AddButton("SBtnMonit", icons::kMonitorOff, &TFormTapeBrowser::SBtnMonitClick);
    buttons->addWidget(flash_);
    buttons->addWidget(monit_);
    buttons->addSpacing(10);
    BuildEditControls(buttons);
    buttons->addStretch(1);

    list_ = new QTreeWidget(this);
    list_->setObjectName("ListViewTape");
    list_->setColumnCount(3);
    list_->setHeaderLabels({"Record", "Type", "Blocks"});
    list_->setRootIsDecorated(false);
    list_->setUniformRowHeights(true);
    list_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    list_->setSelectionBehavior(QAbstractItemView::SelectRows);
    list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list_->setIconSize(QSize(kIconSize, kIconSize));
    list_->header()->setStretchLastSection(true);
    list_->setColumnWidth(0, 150);
    list_->setColumnWidth(1, 100);
    connect(list_, &QTreeWidget::itemDoubleClicked, this, [this](QTreeWidgetItem* item, int) {
        ListViewTapeDblClick(list_->indexOfTopLevelItem(item));
    });
    connect(list_, &QTreeWidget::itemSelectionChanged, this, &TFormTapeBrowser::ListViewTapeClick);
    list_->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(list_, &QTreeWidget::customContextMenuRequested, this,
            [this](const QPoint& at) { menu_->popup(list_->viewport()->mapToGlobal(at)); });
    list_->installEventFilter(this);
    installEventFilter(this);
    layout->addWidget(list_, 1);

    progress_ = new QProgressBar(this);
    progress_->setObjectName("ProgressBar");
    progress_->setTextVisible(false);
    progress_->setRange(0, 1);
    progress_->setValue(0);
    layout->addWidget(progress_);

    ShowPlaying(false);
    UpdateToggleImages();
    FillList();
}

TFormTapeBrowser::~TFormTapeBrowser() {
    StoreSettings();
}

QToolButton* TFormTapeBrowser::AddButton(const char* name, const char* icon,
                                         void (TFormTapeBrowser::*click)()) {
    auto* button = new QToolButton(this);
    button->setObjectName(name);
    button->setIcon(icons::Icon(icon));
    button->setIconSize(QSize(22, 22));
    button->setAutoRaise(true);
    // The list keeps the keyboard, so that the window's keys always reach its handler.
    button->setFocusPolicy(Qt::NoFocus);
    SetTag(button, 0);
    connect(button, &QToolButton::clicked, this, click);
    return button;
}

void TFormTapeBrowser::showEvent(QShowEvent* event) {
    if (firstShowPending_) FirstShow();
    QWidget::showEvent(event);
}

void TFormTapeBrowser::FirstShow() {
    firstShowPending_ = false;
    const int height = std::max(settings_.Get(config::keys::kTapeBrowserHeight), minimumHeight());
    resize(width(), height);
    const QRect desktop = screen()->virtualGeometry();
    const config::WindowPos position = settings_.GetWindowPos(
        config::keys::kTapeBrowserPos, frameGeometry().width(), frameGeometry().height(),
        config::ScreenArea{desktop.x() + desktop.width(), desktop.y() + desktop.height()});
    move(position.x, position.y);
    deck_.SetMonitoring(settings_.Get(config::keys::kTapeMonitoring));
    deck_.SetFast(settings_.Get(config::keys::kTapeFlash));
    UpdateToggleImages();
    // A tape opened before the window was first shown wins over the stored one.
    if (deck_.TapePath().empty()) {
        const std::string stored = settings_.GetAbsolute(config::keys::kTapeFile);
        std::error_code ec;
        if (!stored.empty() && std::filesystem::is_regular_file(stored, ec)) {
            deck_.OpenTapeFile(stored);
        }
    }
    LoadTape();
}

void TFormTapeBrowser::StoreSettings() {
    if (firstShowPending_) return;
    settings_.SetPath(config::keys::kTapeFile, deck_.TapePath());
    settings_.SetWindowPos(config::keys::kTapeBrowserPos, config::WindowPos{x(), y()});
    settings_.Set(config::keys::kTapeBrowserHeight, height());
    settings_.Set(config::keys::kTapeMonitoring, deck_.Monitoring());
    settings_.Set(config::keys::kTapeFlash, deck_.Fast());
    std::string error;
    if (!settings_.Document().SaveIfModified(&error)) {
        std::fprintf(stderr, "tevrinemu: cannot write the settings to %s: %s\n",
                     settings_.Document().Path().c_str(), error.c_str());
    }
}

void TFormTapeBrowser::closeEvent(QCloseEvent* event) {
    // As outside edit mode: edit mode ends with the window, and what is in no file is asked
    // about first.
    const bool released = EditMode() ? EditTape(false) : LetWorkGo(TapeDeck::Leaving::List);
    if (!released) {
        event->ignore();
        return;
    }
    StoreSettings();
    event->accept();
}

bool TFormTapeBrowser::OpenTapeFile(const std::string& path) {
    if (!LetWorkGo(TapeDeck::Leaving::List)) return false;
    deck_.OpenTapeFile(path);
    FillList();
    // The first show loads the tape again and tells it then.
    if (!firstShowPending_) ReportLoadProblem();
    return true;
}

bool TFormTapeBrowser::MayEndProgram() {
    if (EditMode() && !EditTape(false)) return false;
    return LetWorkGo(TapeDeck::Leaving::Program);
}

void TFormTapeBrowser::LoadTape() {
    if (!deck_.TapePath().empty()) deck_.Load();
    FillList();
    ReportLoadProblem();
}

void TFormTapeBrowser::ReportLoadProblem() {
    if (const TapeMessage& problem = deck_.LoadProblem()) ShowTapeMessage(problem);
}

bool TFormTapeBrowser::LetWorkGo(TapeDeck::Leaving leaving) {
    TapeDeck::Unsaved work = deck_.UnsavedWork(leaving);
    if (work.recordingUnderWay) {
        const TapeMessage question = TapeDeck::QuestionFor(work);
        if (Ask(QMessageBox::Warning, QString::fromStdString(Text(question.titleKey.c_str())),
                QString::fromStdString(MessageText(question)),
                QMessageBox::Yes | QMessageBox::No) != QMessageBox::Yes) {
            return false;
        }
    }
    // Asked again: a recording may have finished while the question was open.
    work = deck_.UnsavedWork(TapeDeck::Leaving::List);
    if (!work) return true;
    const TapeMessage question = TapeDeck::QuestionFor(work);
    const QMessageBox::StandardButton answer = AskYesNoCancel(
        QMessageBox::Question, QString::fromStdString(Text(question.titleKey.c_str())),
        QString::fromStdString(MessageText(question)));
    if (answer == QMessageBox::No) {
        deck_.DropUnsaved();
        FillList();
        return true;
    }
    return answer == QMessageBox::Yes && SaveList();
}

void TFormTapeBrowser::FillList() {
    list_->clear();
    for (const tagTapeRecord& record : deck_.Records()) {
        const tapelist::Row row = tapelist::RowOf(record, deck_.IsHeld(record));
        auto* item = new QTreeWidgetItem({QString::fromStdString(row.record),
                                          QString::fromStdString(row.type),
                                          QString::fromStdString(row.blocks)});
        if (const char* icon = MarkIcon(row.mark)) item->setIcon(2, icons::Icon(icon));
        const std::string tip = row.tipKey.empty() ? row.tipText : Text(row.tipKey.c_str());
        for (int column = 0; column < 3; ++column)
            item->setToolTip(column, QString::fromStdString(tip));
        list_->addTopLevelItem(item);
    }
    shownCurrent_ = -1;
    ShowCurrent();
    std::string base = Text("form.FormTapeBrowser.Caption");
    if (base.empty()) base = "Tape browser";
    setWindowTitle(QString::fromStdString(tapelist::Caption(
        base, deck_.TapePath(), deck_.HeldRecordings() > 0, Text("text.Unsaved.Caption"))));
    const bool canPlay = list_->topLevelItemCount() > 0 && !EditMode();
    play_->setEnabled(canPlay);
    stop_->setEnabled(canPlay);
    listChanges_ = handOver_.ListChanges();
    UpdateEditControls();
}

void TFormTapeBrowser::ShowCurrent() {
    if (QTreeWidgetItem* old = list_->topLevelItem(shownCurrent_)) old->setIcon(0, QIcon());
    shownCurrent_ = deck_.CurrentIndex();
    QTreeWidgetItem* current = list_->topLevelItem(shownCurrent_);
    if (current == nullptr) return;
    current->setIcon(0, icons::Icon(icons::kCurrentRecord));
    if (QTreeWidgetItem* top =
            list_->topLevelItem(std::max(0, shownCurrent_ - kRowsAboveCurrent))) {
        list_->scrollToItem(top, QAbstractItemView::PositionAtTop);
    }
}

void TFormTapeBrowser::ShowPlaying(bool playing) {
    SetTag(play_, playing ? 1 : 0);
    SetTag(stop_, playing ? 0 : 1);
    if (edit_ != nullptr) edit_->setEnabled(!playing);
    if (!playing) progress_->setValue(0);
}

void TFormTapeBrowser::UpdateToggleImages() {
    SetTag(flash_, deck_.Fast() ? 1 : 0);
    flash_->setIcon(icons::Icon(deck_.Fast() ? icons::kFlashOn : icons::kFlashOff));
    SetTag(monit_, deck_.Monitoring() ? 1 : 0);
    monit_->setIcon(icons::Icon(deck_.Monitoring() ? icons::kMonitorOn : icons::kMonitorOff));
}

void TFormTapeBrowser::UpdateProgress() {
    if (handOver_.ListChanges() != listChanges_) FillList();
    if (deck_.CurrentIndex() != shownCurrent_) ShowCurrent();
    const bool playing = deck_.Playing();
    if (playing != (Tag(play_) == 1)) ShowPlaying(playing);
    if (playing) progress_->setValue(deck_.Progress());
}

void TFormTapeBrowser::ToggleShown() {
    if (!isVisible()) {
        show();
        raise();
        activateWindow();
    } else {
        HideWindow();
    }
}

void TFormTapeBrowser::HideWindow() {
    if (EditMode() && !EditTape(false)) return;
    hide();
}

void TFormTapeBrowser::TogglePlayback() {
    if (Tag(play_) == 1) {
        SBtnStopClick();
    } else {
        SBtnPlayClick();
    }
}

bool TFormTapeBrowser::PauseMachine(bool pause) {
    TapeHandOver::MachineCall call(handOver_);
    if (!call) return false;
    const bool running = machine_.GetRunState() == Machine::kRunning;
    if (pause == running) machine_.SetPaused(pause);
    return pause == running;
}

void TFormTapeBrowser::SBtnInsertTapeClick() {
    SBtnStopClick();
    std::string path = deck_.TapePath();
    const bool paused = PauseMachine(true);
    const bool chosen = OpenFileDialog(this, settings_, Text("text.OpenTapeDlg.Title"),
                                       Text("text.OpenTapeDlg.Filter"), path, "pta");
    if (chosen && LetWorkGo(TapeDeck::Leaving::List)) {
        deck_.OpenTapeFile(path);
        settings_.Document().AddRecentFile(path);
        FillList();
        ReportLoadProblem();
    }
    if (paused) PauseMachine(false);
}

void TFormTapeBrowser::SBtnNewTapeClick() {
    if (!LetWorkGo(TapeDeck::Leaving::List)) return;
    deck_.Stop();
    deck_.NewTape();
    ShowPlaying(false);
    FillList();
}

void TFormTapeBrowser::SBtnPlayClick() {
    if (firstShowPending_) FirstShow();
    if (!play_->isEnabled()) return;
    if (const TapeMessage failed = deck_.Play()) {
        ShowPlaying(false);
        ShowTapeMessage(failed);
        return;
    }
    progress_->setRange(0, std::max(deck_.PlayLength(), 1));
    progress_->setValue(0);
    ShowPlaying(deck_.Playing());
}

void TFormTapeBrowser::SBtnStopClick() {
    if (!stop_->isEnabled()) return;
    deck_.Stop();
    ShowPlaying(false);
}

void TFormTapeBrowser::SBtnFlashLoadClick() {
    deck_.SetFast(!deck_.Fast());
    UpdateToggleImages();
}

void TFormTapeBrowser::SBtnMonitClick() {
    deck_.SetMonitoring(!deck_.Monitoring());
    UpdateToggleImages();
}

void TFormTapeBrowser::ListViewTapeDblClick(int index) {
    if (index < 0) return;
    deck_.Stop();
    ShowPlaying(false);
    deck_.MakeCurrent(index);
    ShowCurrent();
}

bool TFormTapeBrowser::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress && HandleKey(static_cast<const QKeyEvent&>(*event))) {
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

bool TFormTapeBrowser::HandleKey(const QKeyEvent& key) {
    const int code = key.key();
    if (code == Qt::Key_T && (key.modifiers() & Qt::AltModifier)) {
        HideWindow();
        return true;
    }
    if (code == Qt::Key_Space) {
        QTreeWidgetItem* item = list_->currentItem();
        if (item == nullptr || !item->isSelected()) return false;
        ListViewTapeDblClick(list_->indexOfTopLevelItem(item));
        return true;
    }
    const bool letterOrDigit =
        (code >= Qt::Key_A && code <= Qt::Key_Z) || (code >= Qt::Key_0 && code <= Qt::Key_9);
    if (letterOrDigit && parentWidget() != nullptr) {
        // Typing is meant for the machine, whose keyboard is the main window's.
        QWidget* main = parentWidget()->window();
        main->activateWindow();
        main->setFocus(Qt::OtherFocusReason);
        return true;
    }
    return false;
}

bool TFormTapeBrowser::AskNewTapePath(std::string& path) {
    return SaveFileDialog(this, settings_, Text("text.SaveTapeDlg.Title"),
                          Text("text.SaveTapeDlg.Filter"), false, path, "pta");
}

std::string TFormTapeBrowser::MessageText(const TapeMessage& message) const {
    const std::vector<std::string>& values = message.inserted;
    if (values.size() >= 2) {
        return lang::LangText2(kSection, message.messageKey, values[0], values[1]);
    }
    return lang::LangText1(kSection, message.messageKey, values.empty() ? "" : values[0]);
}

void TFormTapeBrowser::ShowTapeMessage(const TapeMessage& message) {
    const Outcome outcome = message.done      ? Outcome::Done
                            : message.warning ? Outcome::Refused
                                              : Outcome::Failed;
    const QString title = message.titleKey.empty()
                              ? QString()
                              : QString::fromStdString(lang::LangText(kSection, message.titleKey));
    ReportOutcome(this, outcome, QString::fromStdString(MessageText(message)), title);
}
