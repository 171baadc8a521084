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
#include "ui/common/NumberEdit.h"

namespace {

constexpr int kCustomItem = 3;

// The tape keeps bit 7 of the number for the mark of a record's first block.
const NumberField kNumberField{"", true, 0, 0x7F, false};
const NumberField kTypeField{"", true, 0, 0xFF, false};

std::string NameOf(const QString& caption) {
    return FieldNameOf(caption.toStdString());
}

}  // namespace

TFormEditTapeHeader::TFormEditTapeHeader(QWidget* parent) : QDialog(parent) {
    setObjectName("FormEditTapeHeader");
    setWindowTitle("Record header");
    auto* grid = new QGridLayout(this);
    auto* numberLabel = new QLabel("Number:", this);
    numberLabel->setObjectName("LblNumber");
    number_ = new NumberEdit(this);
    number_->setObjectName("MeNumber");
    number_->SetField(kNumberField);
    number_->setMaximumWidth(40);
    auto* typeLabel = new QLabel("File type:", this);
    typeLabel->setObjectName("LblType");
    type_ = new QComboBox(this);
    type_->setObjectName("CbType");
    type_->addItems({"BASIC", "DATA", "MONIT", "Custom"});
    typeValue_ = new NumberEdit(this);
    typeValue_->setObjectName("MeType");
    typeValue_->SetField(kTypeField);
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

    connect(type_, &QComboBox::currentIndexChanged, this, &TFormEditTapeHeader::CbTypeChange);
    connect(ok, &QPushButton::clicked, this, &TFormEditTapeHeader::BtnOkClick);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    ApplyActiveLanguage(this);
    SetHeader({});
}

void TFormEditTapeHeader::SetHeader(const tape::RecordHeader& header) {
    char text[3];
    takenNumber_ = header.number & 0x7F;
    takenType_ = header.fileType;
    std::snprintf(text, sizeof text, "%02X", takenNumber_);
    number_->setText(text);
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
    header.number = static_cast<uint8_t>(takenNumber_);
    header.fileType = static_cast<uint8_t>(takenType_);
    header.fixCrcEnabled = fixCrc_->isEnabled();
    header.fixCrc = fixCrc_->isChecked();
    header.singleBlocks = singleBlocks_->isChecked();
    return header;
}

void TFormEditTapeHeader::BtnOkClick() {
    int32_t number = 0;
    int32_t type = 0;
    if (!number_->Take(NameOf(findChild<QLabel*>("LblNumber")->text()), number)) return;
    if (!typeValue_->Take(NameOf(findChild<QLabel*>("LblType")->text()), type)) return;
    takenNumber_ = number;
    takenType_ = type;
    accept();
}

// The three named types fix the value; only a custom type is typed in.
void TFormEditTapeHeader::CbTypeChange(int item) {
    typeValue_->setText(QString::fromStdString(tape::TypeFieldOf(item)));
    typeValue_->setReadOnly(item != kCustomItem);
}
