#pragma once

#include <QObject>

class QCheckBox;
class QWidget;

// The General page's file types: each box shows whether our registration for its type is
// present (and remembers that), the button applies the boxes; unchecking removes only a
// registration that was found to be ours.
class FileTypesBox : public QObject {
    Q_OBJECT

  public:
    // Finds CheckRegtypePTA, CheckRegtypeTVX and BtnRegtypeUpdate below `dialog`.
    explicit FileTypesBox(QWidget* dialog);

    void TabGeneralShow();
    void BtnRegtypeUpdateClick();

  private:
    QCheckBox* tape_;
    QCheckBox* snapshot_;
};
