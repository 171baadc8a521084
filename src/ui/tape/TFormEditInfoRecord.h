#pragma once

#include <QDialog>

class QLineEdit;
class QPushButton;

// The text of an info record. Texts from the section "FormEditInfoRecord".
class TFormEditInfoRecord : public QDialog {
    Q_OBJECT

  public:
    explicit TFormEditInfoRecord(QWidget* parent);

    void SetText(const QString& text);
    QString Text() const;

  private:
    QLineEdit* text_ = nullptr;
    QPushButton* ok_ = nullptr;
};
