#pragma once

#include <QDialog>

class QLabel;

// The About box: a borderless window with the program's name, picture and version that any
// click closes. Its texts come from the language section "FormAbout".
class TFormAbout : public QDialog {
    Q_OBJECT

  public:
    explicit TFormAbout(QWidget* parent = nullptr);

    // "v" and the program version, marked when this is not a release build.
    static QString VersionText();

    // Centres the box over `owner`; a box larger than the owner keeps its left and top edges on
    // the screen's side of 0.
    void CentreOver(const QWidget& owner);

  protected:
    void mousePressEvent(QMouseEvent* event) override;
};
