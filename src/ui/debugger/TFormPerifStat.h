#pragma once

#include <QWidget>

#include "machine/RegisterView.h"

class ChipICU3214;
class ChipPIO8255;
class IfSerial;
class IfTimer;
class QGroupBox;
class QLabel;

// The timer's, the serial chip's, the two parallel ports' and the interrupt unit's inner state
// while the machine is stopped in the debugger, read-only. The debugger binds the two interfaces
// when it opens, refreshes the window on each stop while it is shown and toggles it with its
// button; the tag keeps whether the window belongs on screen beside the debugger, so hiding the
// debugger for a run does not forget it. Its texts come from the section "FormPerifStat".
class TFormPerifStat : public QWidget {
    Q_OBJECT

  public:
    explicit TFormPerifStat(QWidget* parent = nullptr);

    // Either may be null: its group then keeps what it shows.
    void BindChips(const IfTimer* timer, const IfSerial* serial);
    // The system PIO (C0-C3), the general-purpose PIO (C4-C7) and the interrupt unit (D4-D7),
    // each shown from the list of registers it gives; any may be null.
    void BindParallel(const ChipPIO8255* system, const ChipPIO8255* general,
                      const ChipICU3214* interrupts);
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
    // One caption and value per register, two registers to a row, under an optional summary.
    void ShowRegisters(QGroupBox* box, const RegisterList& registers, const std::string& summary);

    const IfTimer* timer_ = nullptr;
    const IfSerial* serial_ = nullptr;
    const ChipPIO8255* systemPio_ = nullptr;
    const ChipPIO8255* generalPio_ = nullptr;
    const ChipICU3214* interrupts_ = nullptr;
    QGroupBox* gbSystemPio_ = nullptr;
    QGroupBox* gbGeneralPio_ = nullptr;
    QGroupBox* gbInterrupts_ = nullptr;
    bool tag_ = false;
};
