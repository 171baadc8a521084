#pragma once

#include <QString>
#include <QWidget>

class QTextBrowser;

// The user's manual in a window of its own, read from the program folder, so it is there with
// no network and no browser: the whole manual, or the keyboard map alone. Its texts come from
// the language section "FormManual", which also names the manual's translation.
class TFormManual : public QWidget {
    Q_OBJECT

  public:
    explicit TFormManual(QWidget* parent = nullptr);

    // Show the whole manual or its keyboard map and bring the window to the front. False when
    // the manual is not in the program folder (the caller says so): the window stays hidden.
    bool ShowManual();
    bool ShowKeyboard();

    // The file the window would read in the active language (empty when there is none).
    static QString ManualFile();
    QTextBrowser* Browser() const { return browser_; }

  private:
    bool Show(bool keyboardOnly);

    QTextBrowser* browser_;
};
