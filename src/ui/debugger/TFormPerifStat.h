#pragma once

#include <QWidget>

class IfSerial;
class IfTimer;
class QLabel;

// The timer's and the serial chip's inner state while the machine is stopped in the debugger,
// read-only. The debugger binds the two interfaces when it opens, refreshes the window on each
// stop while it is shown and toggles it with its button; the tag keeps whether the window
// belongs on screen beside the debugger, so hiding the debugger for a run does not forget it.
// Its texts come from the section "FormPerifStat".
class TFormPerifStat : public QWidget {
    Q_OBJECT

  public:
    explicit TFormPerifStat(QWidget* parent = nullptr);

    // Either may be null: its group then keeps what it shows.
    void BindChips(const IfTimer* timer, const IfSerial* serial);
    void RefreshStatus();

    // The debugger's button: shows a hidden window (refreshed) or hides a shown one, and
    // remembers the choice in the tag. The debugger places the window before calling it.
    void ToggleShown();
    // The debugger's showing after a run: the window comes back when its tag says so.
    void ShowIfTagged();
    bool Tag() const { return tag_; }

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    QLabel* Value(const QString& name);

    const IfTimer* timer_ = nullptr;
    const IfSerial* serial_ = nullptr;
    bool tag_ = false;
};
