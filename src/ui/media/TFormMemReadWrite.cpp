#include "ui/media/TFormMemReadWrite.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QStyle>
#include <algorithm>
#include <cstdio>
#include <filesystem>

#include "host/files/ProgramPaths.h"
#include "host/lang/Language.h"
#include "media/memory/MemoryTransfer.h"
#include "ui/common/FileDialogs.h"
#include "ui/common/LanguageApplier.h"
#include "ui/common/NumberEdit.h"
#include "ui/common/OutcomeReport.h"

namespace {

namespace keys = config::keys;

QString Q(const std::string& text) {
    return QString::fromStdString(text);
}

}  // namespace

TFormMemReadWrite::TFormMemReadWrite(config::Settings& settings, QWidget* parent)
    : QDialog(parent), settings_(settings) {
    setObjectName("FormMemReadWrite");
    setWindowTitle("Memory");
    setModal(true);

    auto* grid = new QGridLayout(this);
    auto* lblFile = new QLabel("File:", this);
    lblFile->setObjectName("LblFile");
    editFile_ = new QLineEdit(this);
    editFile_->setObjectName("EditFile");
    editFile_->setMinimumWidth(280);
    bbSelectFile_ = new QPushButton(this);
    bbSelectFile_->setObjectName("BbSelectFile");
    bbSelectFile_->setIcon(style()->standardIcon(QStyle::SP_DirOpenIcon));
    auto* fileRow = new QHBoxLayout;
    fileRow->addWidget(lblFile);
    fileRow->addWidget(editFile_, 1);
    fileRow->addWidget(bbSelectFile_);
    grid->addLayout(fileRow, 0, 0, 1, 2);

    auto* gbSource = new QGroupBox("Memory", this);
    gbSource->setObjectName("GbSource");
    auto* source = new QGridLayout(gbSource);
    rbMem_ = new QRadioButton("Address space", gbSource);
    rbMem_->setObjectName("RbMem");
    rbBlocks_ = new QRadioButton("Memory pages", gbSource);
    rbBlocks_->setObjectName("RbBlocks");
    auto field = [&](const char* labelName, const char* caption, const char* name, QLabel*& label,
                     NumberEdit*& edit) {
        label = new QLabel(caption, gbSource);
        label->setObjectName(labelName);
        edit = new NumberEdit(gbSource);
        edit->setObjectName(name);
        edit->setMaximumWidth(edit->fontMetrics().horizontalAdvance("#FFFFFF") + 16);
    };
    field("LblStart", "Start:", "MeStart", lblStart_, meStart_);
    field("LblLength", "Length:", "MeLength", lblLength_, meLength_);
    field("LblFrom", "From page:", "MeFrom", lblFrom_, meFrom_);
    field("LblTo", "To page:", "MeTo", lblTo_, meTo_);
    source->addWidget(rbMem_, 0, 0, 1, 2);
    source->addWidget(lblStart_, 1, 0);
    source->addWidget(meStart_, 1, 1);
    source->addWidget(lblLength_, 2, 0);
    source->addWidget(meLength_, 2, 1);
    source->addWidget(rbBlocks_, 0, 2, 1, 2);
    source->addWidget(lblFrom_, 1, 2);
    source->addWidget(meFrom_, 1, 3);
    source->addWidget(lblTo_, 2, 2);
    source->addWidget(meTo_, 2, 3);
    grid->addWidget(gbSource, 1, 0, 1, 2);

    checkRun_ = new QCheckBox("Run from:", this);
    checkRun_->setObjectName("CheckRun");
    meRun_ = new NumberEdit(this);
    meRun_->setObjectName("MeRun");
    meRun_->setMaximumWidth(meStart_->maximumWidth());
    checkHex_ = new QCheckBox("Hexadecimal", this);
    checkHex_->setObjectName("CheckHex");
    auto* options = new QHBoxLayout;
    options->addWidget(checkRun_);
    options->addWidget(meRun_);
    options->addStretch(1);
    options->addWidget(checkHex_);
    grid->addLayout(options, 2, 0, 1, 2);

    btnOK_ = new QPushButton("OK", this);
    btnOK_->setObjectName("BtnOK");
    btnOK_->setDefault(true);
    btnCancel_ = new QPushButton("Cancel", this);
    btnCancel_->setObjectName("BtnCancel");
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(btnOK_);
    buttons->addWidget(btnCancel_);
    grid->addLayout(buttons, 3, 0, 1, 2);

    connect(btnOK_, &QPushButton::clicked, this, &TFormMemReadWrite::BtnOKClick);
    connect(btnCancel_, &QPushButton::clicked, this, &QDialog::reject);
    connect(bbSelectFile_, &QPushButton::clicked, this, &TFormMemReadWrite::BbSelectFileClick);
    connect(checkHex_, &QCheckBox::clicked, this, &TFormMemReadWrite::CheckHexClick);
    connect(checkRun_, &QCheckBox::toggled, this, &TFormMemReadWrite::UpdateRunEnabled);
    connect(rbMem_, &QRadioButton::toggled, this, &TFormMemReadWrite::SourceChanged);
    connect(editFile_, &QLineEdit::textEdited, this,
            [this](const QString& text) { btnOK_->setEnabled(!text.isEmpty()); });
    rbMem_->setChecked(true);
    SetMasks();
    WriteFields();
    SourceChanged();
}

TFormMemReadWrite::~TFormMemReadWrite() {
    StoreSettings();
}

QString TFormMemReadWrite::Text(const char* key, const QString& inserted) const {
    return Q(lang::LangText1("FormMemReadWrite", key, inserted.toStdString()));
}

void TFormMemReadWrite::Prepare(ChipMemory* memory, bool saveMode) {
    memory_ = memory;
    saveMode_ = saveMode;
}

void TFormMemReadWrite::PresetFile(const std::string& path) {
    if (firstShowPending_) ApplySettings();
    ShowFile(path);
    TakeFileLength(path);
}

bool TFormMemReadWrite::RunRequested() const {
    return checkRun_->isChecked();
}

void TFormMemReadWrite::ApplySettings() {
    firstShowPending_ = false;
    ApplyActiveLanguage(this);
    const QRect desktop = screen()->virtualGeometry();
    const config::WindowPos position = settings_.GetWindowPos(
        keys::kMemReadWritePos, sizeHint().width(), sizeHint().height(),
        config::ScreenArea{desktop.x() + desktop.width(), desktop.y() + desktop.height()});
    move(position.x, position.y);
    editFile_->setText(Q(settings_.GetStored(keys::kMemReadWriteFile)));
    values_ = UsableStoredFields(
        {settings_.Get(keys::kMemReadWriteStart), settings_.Get(keys::kMemReadWriteLength),
         settings_.Get(keys::kMemReadWriteFrom), settings_.Get(keys::kMemReadWriteTo),
         settings_.Get(keys::kMemReadWriteRunAddress)});
    checkRun_->setChecked(settings_.Get(keys::kMemReadWriteRun));
    hex_ = settings_.Get(keys::kMemReadWriteRadix) == config::NumberBase::Hexadecimal;
    checkHex_->setChecked(hex_);
    (settings_.Get(keys::kMemReadWriteSource) == config::MemorySource::Blocks ? rbBlocks_ : rbMem_)
        ->setChecked(true);
    SetMasks();
    WriteFields();
}

void TFormMemReadWrite::StoreSettings() {
    if (firstShowPending_) return;
    // What the fields hold when it can be used; otherwise the values last taken.
    ReadFields(false);
    settings_.SetWindowPos(keys::kMemReadWritePos, config::WindowPos{x(), y()});
    settings_.SetPath(keys::kMemReadWriteFile, AbsoluteFile());
    settings_.Set(keys::kMemReadWriteStart, values_.start);
    settings_.Set(keys::kMemReadWriteLength, values_.length);
    settings_.Set(keys::kMemReadWriteFrom, values_.from);
    settings_.Set(keys::kMemReadWriteTo, values_.to);
    settings_.Set(keys::kMemReadWriteRunAddress, values_.run);
    settings_.Set(keys::kMemReadWriteRun, checkRun_->isChecked());
    settings_.Set(keys::kMemReadWriteRadix,
                  hex_ ? config::NumberBase::Hexadecimal : config::NumberBase::Decimal);
    settings_.Set(keys::kMemReadWriteSource, rbBlocks_->isChecked() ? config::MemorySource::Blocks
                                                                    : config::MemorySource::Memory);
    std::string error;
    if (!settings_.Document().SaveIfModified(&error)) {
        std::fprintf(stderr, "tevrinemu: cannot write the settings to %s: %s\n",
                     settings_.Document().Path().c_str(), error.c_str());
    }
}

void TFormMemReadWrite::showEvent(QShowEvent* event) {
    if (firstShowPending_) ApplySettings();
    setWindowTitle(Text(saveMode_ ? "text.SaveMemToFile.Caption" : "text.LoadFileToMem.Caption"));
    if (saveMode_) {
        btnOK_->setEnabled(!editFile_->text().isEmpty());
    } else {
        const std::string path = AbsoluteFile();
        const bool exists = !editFile_->text().isEmpty() && media::RegularFileSize(path) >= 0;
        btnOK_->setEnabled(exists);
        if (exists) {
            TakeFileLength(path);
        } else {
            editFile_->clear();
        }
    }
    checkRun_->setEnabled(!saveMode_);
    UpdateRunEnabled();
    SetMasks();
    WriteFields();
    QDialog::showEvent(event);
}

void TFormMemReadWrite::done(int result) {
    StoreSettings();
    QDialog::done(result);
}

MemoryFieldNames TFormMemReadWrite::FieldNames() const {
    auto name = [](const QString& caption) { return FieldNameOf(caption.toStdString()); };
    // The run address's caption is a check box's ("Run from:"), which reads badly as a name.
    const QString run = Text("text.RunAddress.Name");
    return {name(lblStart_->text()), name(lblLength_->text()), name(lblFrom_->text()),
            name(lblTo_->text()), name(run.isEmpty() ? checkRun_->text() : run)};
}

NumberEdit* TFormMemReadWrite::FieldEdit(MemoryField field) const {
    switch (field) {
        case MemoryField::Start: return meStart_;
        case MemoryField::Length: return meLength_;
        case MemoryField::From: return meFrom_;
        case MemoryField::To: return meTo_;
        case MemoryField::Run: break;
    }
    return meRun_;
}

bool TFormMemReadWrite::ReadFields(bool withMessage) {
    const MemoryFieldTexts texts{
        meStart_->displayText().toStdString(), meLength_->displayText().toStdString(),
        meFrom_->displayText().toStdString(), meTo_->displayText().toStdString(),
        meRun_->displayText().toStdString()};
    const MemoryFieldCheck check =
        ReadMemoryFields(texts, FieldNames(), hex_,
                         {rbBlocks_->isChecked(), !saveMode_ && checkRun_->isChecked()}, values_);
    if (!check.ok && withMessage) {
        ShowMessage(QMessageBox::Information, Text("err.Values.Title"),
                    QString::fromStdString(check.refusal));
        NumberEdit* edit = FieldEdit(check.field);
        edit->setFocus();
        edit->selectAll();
    }
    return check.ok;
}

void TFormMemReadWrite::SetMasks() {
    // The names are the captions when the fields are read.
    for (MemoryField field : {MemoryField::Start, MemoryField::Length, MemoryField::From,
                              MemoryField::To, MemoryField::Run}) {
        FieldEdit(field)->SetField(MemoryNumberField(field, {}, hex_));
    }
}

void TFormMemReadWrite::WriteFields() {
    const MemoryFieldTexts texts = FormatMemoryFields(values_, hex_);
    meStart_->setText(Q(texts.start));
    meLength_->setText(Q(texts.length));
    meFrom_->setText(Q(texts.from));
    meTo_->setText(Q(texts.to));
    meRun_->setText(Q(texts.run));
}

void TFormMemReadWrite::CheckHexClick() {
    // The fields are rewritten in the other notation from what they hold: a number that cannot
    // be used keeps the notation it was typed in.
    if (!ReadFields(true)) {
        checkHex_->setChecked(hex_);
        return;
    }
    hex_ = checkHex_->isChecked();
    SetMasks();
    WriteFields();
}

void TFormMemReadWrite::SourceChanged() {
    const bool pages = rbBlocks_->isChecked();
    for (QWidget* widget : {static_cast<QWidget*>(lblFrom_), static_cast<QWidget*>(meFrom_),
                            static_cast<QWidget*>(lblTo_), static_cast<QWidget*>(meTo_)})
        widget->setEnabled(pages);
    for (QWidget* widget : {static_cast<QWidget*>(lblStart_), static_cast<QWidget*>(meStart_),
                            static_cast<QWidget*>(lblLength_), static_cast<QWidget*>(meLength_)})
        widget->setEnabled(!pages);
}

void TFormMemReadWrite::UpdateRunEnabled() {
    meRun_->setEnabled(!saveMode_ && checkRun_->isChecked());
}

std::string TFormMemReadWrite::AbsoluteFile() const {
    const std::string text = editFile_->text().toStdString();
    return text.empty() ? text : program::FromProgramRelative(text);
}

void TFormMemReadWrite::ShowFile(const std::string& path) {
    editFile_->setText(Q(program::ToProgramRelative(path)));
}

void TFormMemReadWrite::TakeFileLength(const std::string& path) {
    const int64_t size = media::RegularFileSize(path);
    if (size < 0) return;
    // A load reads at most the whole address space from the file's start; a length that reaches
    // past the end from the start given is refused on OK, not cut.
    values_.length = static_cast<int>(std::min<int64_t>(size, 0x10000));
    // Only the length: the other fields may hold what the user typed and has not confirmed.
    meLength_->setText(Q(FormatMemoryFields(values_, hex_).length));
}

void TFormMemReadWrite::BbSelectFileClick() {
    std::string path = AbsoluteFile();
    if (saveMode_) {
        if (!SaveFileDialog(this, settings_, Text("text.SaveDlg.Title").toStdString(),
                            Text("text.SaveDlg.Filter").toStdString(), false, path, "")) {
            return;
        }
        ShowFile(path);
    } else {
        if (!OpenFileDialog(this, settings_, Text("text.OpenDlg.Title").toStdString(),
                            Text("text.OpenDlg.Filter").toStdString(), path, "")) {
            return;
        }
        TakeFileLength(path);
        ShowFile(path);
    }
    btnOK_->setEnabled(true);
}

void TFormMemReadWrite::BtnOKClick() {
    if (!ReadFields(true)) return;
    const std::string path = AbsoluteFile();
    if (path.empty() || memory_ == nullptr) return;
    if (saveMode_ ? Save(path) : Load(path)) accept();
}

bool TFormMemReadWrite::Save(const std::string& path) {
    std::error_code ec;
    if (std::filesystem::exists(path, ec)) {
        if (!AskYesNo(Text("err.ExistsFile.Title"), Text("err.ExistsFile.Message", Q(path))))
            return false;
    }
    // The old file stays until the new one is complete.
    std::string error;
    if (!media::SaveMemoryToFile(*memory_, values_.Area(rbBlocks_->isChecked()), path, &error)) {
        ShowMessage(QMessageBox::Warning, Text("err.CreateFile.Title"),
                    Text("err.CreateFile.Message", Q(path)));
        return false;
    }
    settings_.Document().AddRecentFile(path);
    ReportOutcome(this, Outcome::Done,
                  Text("text.Memory.Saved", Q(path)).replace("%2", QString::number(AreaBytes())));
    return true;
}

bool TFormMemReadWrite::Load(const std::string& path) {
    if (!media::LoadFileIntoMemory(*memory_, values_.Area(rbBlocks_->isChecked()), path)) {
        ShowMessage(QMessageBox::Warning, Text("err.OpenFile.Title"),
                    Text("err.OpenFile.Message", Q(path)));
        return false;
    }
    settings_.Document().AddRecentFile(path);
    std::error_code ec;
    const auto size = std::filesystem::file_size(path, ec);
    const qint64 loaded = ec ? 0 : std::min<qint64>(static_cast<qint64>(size), AreaBytes());
    ReportOutcome(this, Outcome::Done,
                  Text("text.Memory.Loaded", Q(path)).replace("%2", QString::number(loaded)));
    return true;
}

qint64 TFormMemReadWrite::AreaBytes() const {
    return static_cast<qint64>(values_.Area(rbBlocks_->isChecked()).Size());
}

void TFormMemReadWrite::ShowMessage(QMessageBox::Icon icon, const QString& title,
                                    const QString& text) {
    ReportOutcome(this, icon == QMessageBox::Information ? Outcome::Refused : Outcome::Failed, text,
                  title);
}

bool TFormMemReadWrite::AskYesNo(const QString& title, const QString& text) {
    QMessageBox box(QMessageBox::Question, title, text, QMessageBox::Yes | QMessageBox::No, this);
    return box.exec() == QMessageBox::Yes;
}
