#pragma once

#include <QDialog>

#include "media/tape/TapeEdit.h"

class QCheckBox;
class QComboBox;
class QLineEdit;
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

    void MeNumberChange(const QString& typed);
    void CbTypeChange(int item);
    void MeTypeChange(const QString& typed);

  private:
    QLineEdit* number_ = nullptr;
    QComboBox* type_ = nullptr;
    QLineEdit* typeValue_ = nullptr;
    QCheckBox* fixCrc_ = nullptr;
    QCheckBox* singleBlocks_ = nullptr;
};
