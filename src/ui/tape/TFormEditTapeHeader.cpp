#include "ui/tape/TFormEditTapeHeader.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>

#include "ui/common/LanguageApplier.h"

namespace {

constexpr int kCustomItem = 3;

// Upper-case hex digits only, at most two: every other key press is dropped.
QString HexDigits(const QString& typed) {
    QString out;
    for (QChar c : typed.toUpper()) {
        if (out.size() < 2 && (c.isDigit() || (c >= 'A' && c <= 'F'))) out += c;
    }
    return out;
}

void Replace(QLineEdit* edit, const QString& text) {
    if (edit->text() == text) return;
    const int cursor = edit->cursorPosition();
    const QSignalBlocker quiet(edit);
    edit->setText(text);
    edit->setCursorPosition(std::min<int>(cursor, text.size()));
}

}  // namespace

TFormEditTapeHeader::TFormEditTapeHeader(QWidget* parent) : QDialog(parent) {
    setObjectName("FormEditTapeHeader");
    setWindowTitle("Record header");
    auto* grid = new QGridLayout(this);
    auto* numberLabel = new QLabel("Number:", this);
    numberLabel->setObjectName("LblNumber");
    number_ = new QLineEdit(this);
    number_->setObjectName("MeNumber");
    number_->setInputMask("");
    number_->setMaximumWidth(40);
    auto* typeLabel = new QLabel("File type:", this);
    typeLabel->setObjectName("LblType");
    type_ = new QComboBox(this);
    type_->setObjectName("CbType");
    type_->addItems({"BASIC", "DATA", "MONIT", "Custom"});
    typeValue_ = new QLineEdit(this);
    typeValue_->setObjectName("MeType");
    typeValue_->setMaximumWidth(40);
    fixCrc_ = new QCheckBox("Repair checksums", this);
    fixCrc_->setObjectName("CheckFixCrc");
    singleBlocks_ = new QCheckBox("Single blocks", this);
    singleBlocks_->setObjectName("CheckSingleBlocks");
    auto* ok = new QPushButton("OK", this);
    ok->setObjectName("BtnOk");
    ok->setDefault(true);
    auto* cancel = new QPushButton("Cancel", this);
    cancel->setObjectName("BtnCancel");

    grid->addWidget(numberLabel, 0, 0);
    grid->addWidget(number_, 0, 1);
    grid->addWidget(typeLabel, 1, 0);
    grid->addWidget(type_, 1, 1);
    grid->addWidget(typeValue_, 1, 2);
    grid->addWidget(fixCrc_, 2, 0, 1, 3);
    grid->addWidget(singleBlocks_, 3, 0, 1, 3);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    grid->addLayout(buttons, 4, 0, 1, 3);

    connect(number_, &QLineEdit::textChanged, this, &TFormEditTapeHeader::MeNumberChange);
    connect(typeValue_, &QLineEdit::textChanged, this, &TFormEditTapeHeader::MeTypeChange);
    connect(type_, &QComboBox::currentIndexChanged, this, &TFormEditTapeHeader::CbTypeChange);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    ApplyActiveLanguage(this);
    SetHeader({});
}

void TFormEditTapeHeader::SetHeader(const tape::RecordHeader& header) {
    char text[3];
    std::snprintf(text, sizeof text, "%02X", header.number & 0x7F);
    Replace(number_, text);
    const int item = tape::TypeItemOf(header.fileType);
    {
        const QSignalBlocker quiet(type_);
        type_->setCurrentIndex(item);
    }
    CbTypeChange(item);
    fixCrc_->setEnabled(header.fixCrcEnabled);
    fixCrc_->setChecked(header.fixCrcEnabled && header.fixCrc);
    singleBlocks_->setChecked(header.singleBlocks);
}

tape::RecordHeader TFormEditTapeHeader::Header() const {
    tape::RecordHeader header;
    header.number = tape::ParseHexField(number_->text().toStdString());
    header.fileType = tape::ParseHexField(typeValue_->text().toStdString());
    header.fixCrcEnabled = fixCrc_->isEnabled();
    header.fixCrc = fixCrc_->isChecked();
    header.singleBlocks = singleBlocks_->isChecked();
    return header;
}

void TFormEditTapeHeader::MeNumberChange(const QString& typed) {
    Replace(number_, QString::fromStdString(tape::FilterNumberText(typed.toStdString())));
}

void TFormEditTapeHeader::MeTypeChange(const QString& typed) {
    Replace(typeValue_, HexDigits(typed));
}

// The three named types fix the value; only a custom type is typed in.
void TFormEditTapeHeader::CbTypeChange(int item) {
    Replace(typeValue_, QString::fromStdString(tape::TypeFieldOf(item)));
    typeValue_->setReadOnly(item != kCustomItem);
}
