#include "ui/main/MainFileCommands.h"

#include <QApplication>
#include <QClipboard>
#include <QImage>
#include <QLabel>
#include <QMenu>
#include <QStatusBar>
#include <QToolBar>
#include <QToolButton>
#include <algorithm>
#include <filesystem>

#include "debugger/DebuggerCore.h"
#include "debugger/SymbolFiles.h"
#include "frontend/OpenedFile.h"
#include "frontend/RecentMenu.h"
#include "host/config/ConfigKeys.h"
#include "host/config/RecentFiles.h"
#include "host/files/ProgramPaths.h"
#include "host/lang/Language.h"
#include "media/pictures/PngFile.h"
#include "media/pictures/VideoDump.h"
#include "ui/common/FileDialogs.h"
#include "ui/common/OutcomeReport.h"
#include "ui/common/ProgramIcons.h"
#include "ui/debugger/TFormDebugger.h"
#include "ui/main/TFormMain.h"
#include "ui/media/TFormMemReadWrite.h"
#include "ui/tape/TFormTapeBrowser.h"

namespace {

namespace keys = config::keys;

QString FormText(const char* key, const std::string& inserted = {}) {
    return QString::fromStdString(lang::LangText1("FormMain", key, inserted));
}

const char* RecentIcon(int image) {
    switch (image) {
        case kRecentImageTape: return icons::kTape;
        case kRecentImageSnapshot: return icons::kSnapshot;
        default: return icons::kMemoryFile;
    }
}

bool IsFile(const std::string& path) {
    std::error_code ec;
    return std::filesystem::is_regular_file(path, ec);
}

}  // namespace

MainFileCommands::MainFileCommands(TFormMain& form) : QObject(&form), form_(form) {
    memoryDialog_ = new TFormMemReadWrite(form.settings_, &form);
}

void MainFileCommands::AddFileItems(QMenu* file, QAction* before) {
    auto add = [&](QMenu* menu, const char* name, const QString& caption, const char* shortcut,
                   QAction* ahead) {
        auto* action = new QAction(caption, &form_);
        action->setObjectName(name);
        if (shortcut != nullptr) action->setShortcut(QKeySequence(shortcut));
        menu->insertAction(ahead, action);
        form_.addAction(action);
        form_.windowedOnly_.push_back(action);
        return action;
    };
    AddSnapshotItems(file, before);
    AddMovieItems(file, before);
    QAction* load = add(file, "MiLoadFileToMem", "&Load file to memory...", "Alt+F11", before);
    connect(load, &QAction::triggered, this, [this] { MiMemoryClick(0); });
    QAction* save =
        add(file, "MiSaveMemToFile", "Save &memory to file...", "Alt+Shift+F11", before);
    connect(save, &QAction::triggered, this, [this] { MiMemoryClick(1); });
    file->insertSeparator(before);
    auto* picture = new QMenu("&Picture", file);
    picture->setObjectName("MiPicture");
    file->insertMenu(before, picture);
    file->insertSeparator(before);
    QAction* clip = add(picture, "MiPictureClip", "&Copy to clipboard", "Alt+C", nullptr);
    connect(clip, &QAction::triggered, this, &MainFileCommands::MiPictureClipClick);
    QAction* bmp = add(picture, "MiPictureBmp", "Save as &bitmap...", nullptr, nullptr);
    connect(bmp, &QAction::triggered, this, &MainFileCommands::MiPictureBmpClick);
    QAction* raw = add(picture, "MiPictureVramRaw", "Save &video memory...", nullptr, nullptr);
    connect(raw, &QAction::triggered, this, &MainFileCommands::MiPictureVramRawClick);
    // The file menu shows the recent files as the open button's drop-down does.
    connect(file, &QMenu::aboutToShow, this, &MainFileCommands::MiFileClick);
}

void MainFileCommands::AddOpenButton(QToolBar* toolBar) {
    recentMenu_ = new QMenu(&form_);
    recentMenu_->setObjectName("RecentFilesDropdown");
    QAction* header = recentMenu_->addAction("Recent files");
    header->setObjectName("MiRecentFiles");
    header->setEnabled(false);
    recentMenu_->addSeparator();
    for (int n = 0; n < kRecentItems; ++n) {
        QAction* item = recentMenu_->addAction(QString());
        item->setObjectName(QString("MiRF%1").arg(n));
        item->setVisible(false);
        connect(item, &QAction::triggered, this, [this, n] { MiOpenRecentFileClick(n); });
        recentItems_[static_cast<size_t>(n)] = item;
    }
    connect(recentMenu_, &QMenu::aboutToShow, this, &MainFileCommands::MiFileClick);

    auto* open = new QAction(icons::Icon(icons::kOpen), "Open", &form_);
    open->setObjectName("TBtnOpen");
    open->setMenu(recentMenu_);
    connect(open, &QAction::triggered, this, [this] { TBtnOpenClick(0); });
    QAction* first = toolBar->actions().isEmpty() ? nullptr : toolBar->actions().first();
    toolBar->insertAction(first, open);
    AddSnapshotButton(toolBar);
    if (auto* button = qobject_cast<QToolButton*>(toolBar->widgetForAction(open))) {
        button->setPopupMode(QToolButton::MenuButtonPopup);
        button->setFocusPolicy(Qt::NoFocus);
    }
}

void MainFileCommands::AddStatusPictures(QStatusBar* panel) {
    imageRomModule_ = new QLabel(panel);
    imageRomModule_->setObjectName("ImageRomModule");
    imageRomModule_->installEventFilter(&form_);
    imageRomModule_->hide();
    panel->addWidget(imageRomModule_);
    labelSdRomBank_ = new QLabel(panel);
    labelSdRomBank_->setObjectName("LabelSDRomBank");
    labelSdRomBank_->setAlignment(Qt::AlignCenter);
    labelSdRomBank_->setMinimumWidth(labelSdRomBank_->fontMetrics().horizontalAdvance("MM"));
    labelSdRomBank_->hide();
    panel->addWidget(labelSdRomBank_);
    AddMovieStatus(panel);
}

SerialActivity MainFileCommands::Activity() const {
    Machine& machine = *form_.machine_;
    SerialActivity activity = machine.Tape().Activity();
    if (const IfSdRom* sdRom = machine.SdRom()) activity = std::max(activity, sdRom->Activity());
    return activity;
}

void MainFileCommands::UpdateStatus() {
    Machine& machine = *form_.machine_;
    UpdateMovieStatus();
    const IfSdRom* sdRom = machine.SdRom();
    const int module = sdRom != nullptr ? 4 : machine.RomModuleLoaded() ? 3 : 0;
    if (module != romModuleShown_) {
        romModuleShown_ = module;
        config::Settings& settings = form_.settings_;
        if (module == 4) {
            imageRomModule_->setPixmap(icons::Pixmap(icons::kSdRom, 20));
            imageRomModule_->setToolTip(
                FormText("image.ImageSdRom.Hint", settings.GetAbsolute(keys::kSdRomRootPath)));
        } else if (module == 3) {
            imageRomModule_->setPixmap(icons::Pixmap(icons::kRomModule, 20));
            const std::string name =
                std::filesystem::path(settings.GetAbsolute(keys::kRomModuleFile)).filename();
            imageRomModule_->setToolTip(FormText("image.ImageRomModule.Hint", name));
        }
        imageRomModule_->setVisible(module != 0);
        labelSdRomBank_->setVisible(module == 4);
        bankShown_ = 0;
    }
    if (sdRom != nullptr && sdRom->BankLetter() != bankShown_) {
        bankShown_ = sdRom->BankLetter();
        labelSdRomBank_->setText(QString(QChar(bankShown_)));
        labelSdRomBank_->setToolTip(FormText(bankShown_ == 'M' ? "label.LabelSDRomBank1.Hint"
                                                               : "label.LabelSDRomBank0.Hint"));
    }
}

void MainFileCommands::OpenFile(const std::string& path, bool pauseAround) {
    if (form_.closing_ || path.empty()) return;
    const bool wasRunning = form_.machine_->GetRunState() == Machine::kRunning;
    if (pauseAround) form_.SetPaused(true);
    TFormTapeBrowser* browser = form_.tapeBrowser_;
    switch (KindOfOpenedFile(path)) {
        case OpenedFile::Snapshot: break;
        case OpenedFile::MachineSnapshot: RestoreSnapshot(path); break;
        case OpenedFile::InputMovie: PlayInputs(path); break;
        case OpenedFile::Tape:
            if (!browser->EditMode()) {
                // Kept: the user holds on to a recording the browser has in no file.
                if (!browser->OpenTapeFile(path)) break;
                browser->show();
                // A tape handed over by a second start arrives after the main window came to
                // the front, over a browser that may already be open.
                browser->raise();
                form_.settings_.Document().AddRecentFile(path);
                break;
            }
            // A tape being edited stays; the file is offered to the memory dialog.
            [[fallthrough]];
        case OpenedFile::Memory: RunMemoryDialog(false, path); break;
    }
    if (pauseAround && wasRunning) form_.SetPaused(false);
}

void MainFileCommands::OpenFileFromText(const QString& text) {
    if (!text.isEmpty()) OpenFile(text.toStdString(), true);
}

bool MainFileCommands::RunMemoryDialog(bool saveMode, const std::string& presetFile) {
    form_.SetPaused(true);
    bool ok = false;
    std::string symbols;
    {
        // Already paused: the scope only hands out the memory to change.
        Machine::PausedScope paused(*form_.machine_);
        memoryDialog_->Prepare(paused.Memory(), saveMode);
        if (!presetFile.empty()) memoryDialog_->PresetFile(presetFile);
        ok = memoryDialog_->exec() == QDialog::Accepted;
        if (ok && !saveMode && memoryDialog_->RunRequested())
            form_.machine_->StartProgramAt(static_cast<uint16_t>(memoryDialog_->RunAddress()));
        if (ok && !saveMode) symbols = debugger::SymbolFileBeside(memoryDialog_->FilePath());
        memoryDialog_->Prepare(nullptr, saveMode);
    }
    form_.UpdateRunState();
    // The assembler writes a program's labels beside it: the debugger takes them at once and
    // the status line says so.
    if (!symbols.empty() && form_.Debugger() != nullptr)
        form_.Debugger()->LoadSymbols(symbols, &form_);
    return ok;
}

bool MainFileCommands::DebuggerHolds() const {
    const int32_t state = form_.machine_->Debugger().DebuggerState.load();
    return state == debugger::kStopped || state == debugger::kBreakRequested;
}

void MainFileCommands::MiMemoryClick(int tag) {
    if (form_.closing_) return;
    const bool wasRunning = form_.machine_->GetRunState() == Machine::kRunning;
    RunMemoryDialog(tag == 1, {});
    if (DebuggerHolds()) {
        if (enterDebugger_) enterDebugger_();
    } else if (wasRunning) {
        form_.SetPaused(false);
    }
}

void MainFileCommands::TBtnOpenClick(int tag) {
    if (form_.closing_) return;
    form_.SetPaused(true);
    config::Settings& settings = form_.settings_;
    std::string path = program::UserFilesFolder();
    if (tag == 1) {
        path = settings.GetAbsolute(keys::kTapeFile);
        std::error_code ec;
        if (!std::filesystem::is_directory(std::filesystem::path(path).parent_path(), ec))
            path = program::UserFilesFolder();
    }
    if (OpenFileDialog(
            &form_, settings, FormText("text.OpenFileDlg.Title").toStdString(),
            FormText(tag == 1 ? "text.OpenFileDlg.FilterTape" : "text.OpenFileDlg.FilterEmu")
                .toStdString(),
            path, "")) {
        OpenFile(path, false);
    }
    form_.SetPaused(false);
}

void MainFileCommands::MiFileClick() {
    pugi::xml_node recent = form_.settings_.Document().Section(config::kRecentSection);
    const std::vector<RecentMenuItem> items = BuildRecentMenu(recent, IsFile);
    for (int n = 0; n < kRecentItems; ++n) {
        QAction* action = recentItems_[static_cast<size_t>(n)];
        if (static_cast<size_t>(n) >= items.size()) {
            action->setVisible(false);
            continue;
        }
        const RecentMenuItem& item = items[static_cast<size_t>(n)];
        action->setText(QString::fromStdString(item.caption));
        action->setData(item.childIndex);
        action->setIcon(icons::Icon(RecentIcon(item.image)));
        action->setVisible(true);
    }
}

void MainFileCommands::MiOpenRecentFileClick(int item) {
    if (item < 0 || item >= kRecentItems || form_.closing_) return;
    QAction* action = recentItems_[static_cast<size_t>(item)];
    pugi::xml_node recent = form_.settings_.Document().Section(config::kRecentSection);
    const std::string stored = config::MoveRecentFileToTop(recent, action->data().toInt());
    if (stored.empty()) return;
    OpenFile(program::FromProgramRelative(stored), true);
}

std::string MainFileCommands::SavePath(const char* titleKey, const char* filterKey,
                                       const char* extension) {
    std::string path = program::UserFilesFolder();
    if (!SaveFileDialog(&form_, form_.settings_, FormText(titleKey).toStdString(),
                        FormText(filterKey).toStdString(), true, path, extension)) {
        return {};
    }
    return path;
}

void MainFileCommands::MiPictureClipClick() {
    if (form_.closing_ || !form_.machine_->Built()) return;
    form_.SetPaused(true);
    const ScreenPicture picture = form_.presenter_.Picture(*form_.machine_);
    QImage image(picture.pixels.data(), picture.width, picture.height, picture.width,
                 QImage::Format_Indexed8);
    QList<QRgb> colours;
    for (uint32_t rgb : picture.palette) colours.append(0xFF000000U | rgb);
    image.setColorTable(colours);
    QApplication::clipboard()->setImage(image.copy());
    form_.SetPaused(false);
}

void MainFileCommands::MiPictureBmpClick() {
    if (form_.closing_ || !form_.machine_->Built()) return;
    form_.SetPaused(true);
    const std::string path =
        SavePath("text.SavePictureDlg.Title", "text.SavePictureDlg.FilterBmp", "bmp");
    if (!path.empty()) {
        // PNG for a ".png" name, the bitmap otherwise.
        std::string error;
        if (media::SavePicture(form_.presenter_.Picture(*form_.machine_), path, &error)) {
            ReportOutcome(&form_, Outcome::Done, FormText("text.Picture.Saved", path));
        } else {
            ReportOutcome(&form_, Outcome::Failed, FormText("err.CreateFile.Message", path),
                          FormText("err.CreateFile.Title"));
        }
    }
    form_.SetPaused(false);
}

void MainFileCommands::MiPictureVramRawClick() {
    const ChipMemory* memory = form_.machine_->MemoryView();
    if (form_.closing_ || memory == nullptr) return;
    form_.SetPaused(true);
    const std::string path = SavePath("text.SaveVramRaw.Title", "text.SaveVramRaw.Filter", "");
    if (!path.empty()) {
        std::string error;
        if (media::SaveVideoPlanes(*memory, path, &error)) {
            form_.settings_.Document().AddRecentFile(path);
            ReportOutcome(&form_, Outcome::Done, FormText("text.Vram.Saved", path));
        } else {
            ReportOutcome(&form_, Outcome::Failed, FormText("err.CreateFile.Message", path),
                          FormText("err.CreateFile.Title"));
        }
    }
    form_.SetPaused(false);
}
