#include "ui/debugger/TFormDbgFind.h"

#include <QApplication>
#include <QCheckBox>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <algorithm>

#include "ui/common/NumberEdit.h"

namespace {

constexpr const char* kAsciiMask = " x   x   x   x   x   x   x   x;.";

bool IsNumberKey(QChar c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
}

}  // namespace

TFormDbgFind::TFormDbgFind(QWidget* parent) : QWidget(parent, Qt::Tool | Qt::WindowStaysOnTopHint) {
    setObjectName("FormDbgFind");
    setWindowTitle("Find in memory");
    const QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(6, 6, 6, 6);

    auto* checks = new QHBoxLayout;
    checks->setSpacing(0);
    for (int i = 0; i < 8; ++i) {
        checks_[i] = new QCheckBox(this);
        checks_[i]->setObjectName(QString("CheckVal%1").arg(i + 1));
        connect(checks_[i], &QCheckBox::clicked, this, [this, i] { CheckValClick(i); });
        checks->addWidget(checks_[i]);
    }
    grid->addLayout(checks, 0, 1);

    auto field = [&](const char* name) {
        auto* edit = new QLineEdit(this);
        edit->setObjectName(name);
        edit->setFont(fixed);
        edit->installEventFilter(this);
        return edit;
    };
    radioValues_ = new QRadioButton("Values:", this);
    radioValues_->setObjectName("RadioValues");
    radioValues_->setChecked(true);
    values_ = field("MeEditValues");
    grid->addWidget(radioValues_, 1, 0);
    grid->addWidget(values_, 1, 1);

    checkMask_ = new QCheckBox("Mask:", this);
    checkMask_->setObjectName("CheckMask");
    masks_ = field("MeEditMask");
    masks_->setEnabled(false);
    grid->addWidget(checkMask_, 2, 0);
    grid->addWidget(masks_, 2, 1);

    radioAscii_ = new QRadioButton("Text:", this);
    radioAscii_->setObjectName("RadioAscii");
    ascii_ = field("MeEditAscii");
    ascii_->setInputMask(kAsciiMask);
    ascii_->setEnabled(false);
    grid->addWidget(radioAscii_, 3, 0);
    grid->addWidget(ascii_, 3, 1);

    // The fields hold eight numbers (or characters) four columns apart: each is wide enough for
    // all of them, and each check box stands above its number.
    const QFontMetrics metrics(fixed);
    const int column = metrics.horizontalAdvance(QLatin1Char('0'));
    // 32 columns of text, and room for the frame and the text margins.
    for (QLineEdit* edit : {values_, masks_, ascii_}) {
        edit->setMinimumWidth(metrics.horizontalAdvance(QString(33, QLatin1Char('0'))) + 12);
    }
    checks->setContentsMargins(column / 2 + 4, 0, 0, 0);
    checks->setSpacing(
        std::max(0, metrics.horizontalAdvance("0000") - checks_[0]->sizeHint().width()));
    checks->addStretch();

    find_ = new QPushButton("&Find", this);
    find_->setObjectName("BtnFind");
    find_->setEnabled(false);
    grid->addWidget(find_, 4, 1, Qt::AlignRight);

    connect(values_, &QLineEdit::textEdited, this, &TFormDbgFind::MeEditValuesChange);
    connect(masks_, &QLineEdit::textEdited, this, &TFormDbgFind::MeEditMaskChange);
    connect(ascii_, &QLineEdit::textEdited, this, &TFormDbgFind::MeEditAsciiChange);
    // Leaving a number field takes what it holds, as a change would.
    connect(values_, &QLineEdit::editingFinished, this, &TFormDbgFind::MeEditValuesChange);
    connect(masks_, &QLineEdit::editingFinished, this, &TFormDbgFind::MeEditMaskChange);
    connect(checkMask_, &QCheckBox::clicked, this, &TFormDbgFind::CheckMaskClick);
    connect(radioValues_, &QRadioButton::clicked, this, &TFormDbgFind::RadioValuesClick);
    connect(radioAscii_, &QRadioButton::clicked, this, &TFormDbgFind::RadioValuesClick);
    connect(find_, &QPushButton::clicked, this, &TFormDbgFind::BtnFindClick);
    ApplyMasks();
}

void TFormDbgFind::SetRadix(bool decimal) {
    decimal_ = decimal;
    ApplyMasks();
}

void TFormDbgFind::ApplyMasks() {
    updating_ = true;
    for (QLineEdit* edit : {values_, masks_}) {
        edit->clear();
        edit->setInputMask(EightBytesMask(decimal_));
    }
    ascii_->clear();
    updating_ = false;
    ShowValues();
    ShowMasks();
    ShowChars();
    ShowChecks();
}

void TFormDbgFind::ShowValues() {
    updating_ = true;
    values_->setText(QString::fromStdString(editor_.ValuesText(decimal_)));
    updating_ = false;
}

void TFormDbgFind::ShowMasks() {
    updating_ = true;
    masks_->setText(QString::fromStdString(editor_.MasksText(decimal_)));
    updating_ = false;
}

void TFormDbgFind::ShowChars() {
    updating_ = true;
    const int cursor = ascii_->cursorPosition();
    ascii_->setText(QString::fromStdString(editor_.CharsText()));
    ascii_->setCursorPosition(cursor);
    updating_ = false;
}

void TFormDbgFind::ShowChecks() {
    for (int i = 0; i < 8; ++i) checks_[i]->setChecked(editor_.Used(i));
    find_->setEnabled(editor_.FindEnabled());
}

void TFormDbgFind::Refused(QLineEdit* field, int badColumn) {
    Beep();
    if (badColumn >= 0) field->setSelection(badColumn, 1);
}

void TFormDbgFind::MeEditValuesChange() {
    if (updating_) return;
    auto change = editor_.ValuesChanged(values_->displayText().toStdString(), decimal_);
    if (!change.Ok) return Refused(values_, change.BadColumn);
    ShowChars();
    ShowChecks();
}

void TFormDbgFind::MeEditMaskChange() {
    if (updating_) return;
    auto change = editor_.MasksChanged(masks_->displayText().toStdString(), decimal_);
    if (!change.Ok) return Refused(masks_, change.BadColumn);
    ShowChecks();
}

void TFormDbgFind::MeEditAsciiChange() {
    if (updating_) return;
    auto change = editor_.CharsChanged(ascii_->displayText().toLatin1().toStdString());
    if (change.Position < 0) return;
    const int cursor = values_->cursorPosition();
    ShowValues();
    values_->setCursorPosition(cursor);
    ShowChecks();
}

void TFormDbgFind::CheckValClick(int index) {
    editor_.SetUsed(index, checks_[index]->isChecked());
    ShowValues();
    ShowMasks();
    ShowChars();
    ShowChecks();
}

void TFormDbgFind::CheckMaskClick() {
    const bool on = checkMask_->isChecked();
    editor_.SetMaskEditing(on);
    masks_->setEnabled(on);
    ShowMasks();
    ShowChecks();
    if (on) {
        masks_->setFocus();
        masks_->setCursorPosition(decimal_ ? 0 : 1);
    }
}

void TFormDbgFind::RadioValuesClick() {
    const bool values = radioValues_->isChecked();
    values_->setEnabled(values);
    ascii_->setEnabled(!values);
    QLineEdit* field = values ? values_ : ascii_;
    field->setFocus();
    field->setCursorPosition(values && decimal_ ? 0 : 1);
}

void TFormDbgFind::BtnFindClick() {
    if (!editor_.FindEnabled()) return;
    hide();
    if (findHandler_) findHandler_();
}

void TFormDbgFind::Beep() {
    QApplication::beep();
}

bool TFormDbgFind::eventFilter(QObject* watched, QEvent* event) {
    auto* field = qobject_cast<QLineEdit*>(watched);
    if (field == nullptr) return QWidget::eventFilter(watched, event);
    if (event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            // Leaving the field takes what it holds; then the search starts.
            BtnFindClick();
            return true;
        }
        const QString text = key->text();
        if (text.size() == 1 && text[0].unicode() >= 32) {
            const QChar c = text[0];
            const bool allowed = field == ascii_ ? c.unicode() <= 126 : IsNumberKey(c);
            if (!allowed) return true;
        }
    }
    if (event->type() == QEvent::MouseButtonRelease) {
        // The caret snaps to the first digit of the number clicked, or onto the character.
        const int position = field->cursorPosition();
        const int item = std::min(position / 4, 7);
        const bool number = field != ascii_;
        field->setCursorPosition(4 * item + (number && decimal_ ? 0 : 1));
    }
    return QWidget::eventFilter(watched, event);
}
