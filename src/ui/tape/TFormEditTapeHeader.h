#pragma once

#include <QDialog>

#include "media/tape/TapeEdit.h"

class QCheckBox;
class QComboBox;
class NumberEdit;
class QPushButton;

// The header of a data record: its number (two hex digits, 00..7F), its file type (BASIC,
// DATA, MONIT or a custom hex value), checksum repair and single blocks. Texts from the section
// "FormEditTapeHeader".
class TFormEditTapeHeader : public QDialog {
    Q_OBJECT

  public:
    explicit TFormEditTapeHeader(QWidget* parent);

    void SetHeader(const tape::RecordHeader& header);
    tape::RecordHeader Header() const;

    void CbTypeChange(int item);
    // Takes the two numbers as typed and closes; a number out of its range is refused and the
    // dialog stays open.
    void BtnOkClick();

  private:
    NumberEdit* number_ = nullptr;
    QComboBox* type_ = nullptr;
    NumberEdit* typeValue_ = nullptr;
    int32_t takenNumber_ = 0;
    int32_t takenType_ = 0;
    QCheckBox* fixCrc_ = nullptr;
    QCheckBox* singleBlocks_ = nullptr;
};
