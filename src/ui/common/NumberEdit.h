#pragma once

#include <QLineEdit>
#include <QSpinBox>

#include "frontend/NumberField.h"

class QKeyEvent;

// The input mask of a number field: one optional place for each digit its largest value needs,
// a fixed "#" before hexadecimal ones (unless the field shows none), and a blank that is no digit,
// so that an unfilled place shows as empty and reads as nothing: what the field shows is what
// ReadNumberField reads.
QString NumberFieldMask(const NumberField& field);

// Eight bytes four columns apart, as the dump editor and the search dialog show them:
// "000 000 ..." or "#hh #hh ...", with the same blank.
QString EightBytesMask(bool decimal);

// Whether a typed character may reach a number field at all (the mask then takes the digits
// of its notation).
bool IsNumberFieldKey(const QString& typed);

// A refusal of the field, told the one way outcomes are told (a message over `from`, its
// line on the status bar); the focus then goes back to the field with its digits selected.
void RefuseNumberField(QWidget* from, QLineEdit* edit, const QString& refusal);

// The line edit every dialog's number field is: its mask follows the field, keys that are no
// digit are dropped, and it reads through ReadNumberField.
class NumberEdit : public QLineEdit {
    Q_OBJECT

  public:
    explicit NumberEdit(QWidget* parent);

    // The name is read when the field is, so a language change reaches the message.
    void SetField(const NumberField& field);
    const NumberField& Field() const { return field_; }
    FieldReading Read(const std::string& name) const;
    // Reads; a refusal is told (RefuseNumberField) and gives false.
    bool Take(const std::string& name, int32_t& value);

  protected:
    void keyPressEvent(QKeyEvent* event) override;

  private:
    NumberField field_;
};

// The settings' spin boxes, read through the same parser. A keystroke that would leave a number
// outside the range is refused as Qt refuses one above the maximum (a 0 where the least is 1
// never shows, to be turned silently back into the old value on leaving the field); only an
// empty field is left to be filled in, and leaving it empty shows the old value again.
class NumberSpinBox : public QSpinBox {
    Q_OBJECT

  public:
    using QSpinBox::QSpinBox;

  protected:
    QValidator::State validate(QString& text, int& pos) const override;
    int valueFromText(const QString& text) const override;

  private:
    FieldReading Read(const QString& text) const;
};
