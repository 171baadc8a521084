#include "ui/tape/TFormEditInfoRecord.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "ui/common/LanguageApplier.h"

TFormEditInfoRecord::TFormEditInfoRecord(QWidget* parent) : QDialog(parent) {
    setObjectName("FormEditInfoRecord");
    setWindowTitle("Info record");
    auto* layout = new QVBoxLayout(this);
    auto* label = new QLabel("Text:", this);
    label->setObjectName("LblText");
    text_ = new QLineEdit(this);
    text_->setObjectName("EditText");
    text_->setMinimumWidth(320);
    ok_ = new QPushButton("OK", this);
    ok_->setObjectName("BtnOk");
    ok_->setDefault(true);
    auto* cancel = new QPushButton("Cancel", this);
    cancel->setObjectName("BtnCancel");
    layout->addWidget(label);
    layout->addWidget(text_);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(ok_);
    buttons->addWidget(cancel);
    layout->addLayout(buttons);
    // An info record without text would list as an empty row.
    connect(text_, &QLineEdit::textChanged, this,
            [this](const QString& text) { ok_->setEnabled(!text.isEmpty()); });
    connect(ok_, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    ApplyActiveLanguage(this);
    SetText({});
}

void TFormEditInfoRecord::SetText(const QString& text) {
    text_->setText(text);
    ok_->setEnabled(!text.isEmpty());
}

QString TFormEditInfoRecord::Text() const {
    return text_->text();
}
