#include "ui/common/NumberEdit.h"

#include <QKeyEvent>

#include "ui/common/OutcomeReport.h"

QString NumberFieldMask(const NumberField& field) {
    // "h" and "0" are optional places; the blank after ";" is the space, which neither takes.
    const QString places(FieldDigits(field), field.hexadecimal ? 'h' : '0');
    const char* lead = !field.hexadecimal ? "" : field.hashMark ? ">\\#" : ">";
    return lead + places + "; ";
}

QString EightBytesMask(bool decimal) {
    const QString byte = decimal ? "000" : "\\#hh";
    QString mask = decimal ? "" : ">";
    for (int i = 0; i < 8; ++i) mask += (i > 0 ? " " : "") + byte;
    return mask + "; ";
}

bool IsNumberFieldKey(const QString& typed) {
    if (typed.size() != 1 || !typed[0].isPrint()) return true;
    const QChar c = typed[0];
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
}

void RefuseNumberField(QWidget* from, QLineEdit* edit, const QString& refusal) {
    ReportOutcome(from, Outcome::Refused, refusal, QString::fromStdString(FieldRefusalTitle()));
    edit->setFocus();
    edit->selectAll();
}

NumberEdit::NumberEdit(QWidget* parent) : QLineEdit(parent) {
    SetField(field_);
}

void NumberEdit::SetField(const NumberField& field) {
    field_ = field;
    setInputMask(NumberFieldMask(field_));
}

FieldReading NumberEdit::Read(const std::string& name) const {
    NumberField named = field_;
    named.name = name;
    return ReadNumberField(named, displayText().toStdString());
}

bool NumberEdit::Take(const std::string& name, int32_t& value) {
    const FieldReading reading = Read(name);
    if (!reading.ok) {
        RefuseNumberField(this, this, QString::fromStdString(reading.refusal));
        return false;
    }
    value = reading.value;
    return true;
}

void NumberEdit::keyPressEvent(QKeyEvent* event) {
    if (!IsNumberFieldKey(event->text())) return event->accept();
    QLineEdit::keyPressEvent(event);
}

FieldReading NumberSpinBox::Read(const QString& text) const {
    return ReadNumberField({"", false, minimum(), maximum()}, text.trimmed().toStdString());
}

QValidator::State NumberSpinBox::validate(QString& text, int&) const {
    if (text.trimmed().isEmpty()) return QValidator::Intermediate;
    return Read(text).ok ? QValidator::Acceptable : QValidator::Invalid;
}

int NumberSpinBox::valueFromText(const QString& text) const {
    const FieldReading reading = Read(text);
    return reading.ok ? reading.value : value();
}
