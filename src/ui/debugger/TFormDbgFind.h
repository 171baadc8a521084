#pragma once

#include <QWidget>
#include <array>
#include <functional>

#include "debugger/SearchPatternEditor.h"

class QCheckBox;
class QLineEdit;
class QPushButton;
class QRadioButton;

// The search dialog: up to eight bytes to find, each with its own mask, typed as numbers or as
// characters. The debugger owns the search (debugger::MemorySearch); it reads the pattern from
// here, sets the radix at each of its showings and gives the handler that Find calls (its
// FindNext from the listing's base). Texts from the section "FormDbgFind".
class TFormDbgFind : public QWidget {
    Q_OBJECT

  public:
    explicit TFormDbgFind(QWidget* parent = nullptr);

    void SetRadix(bool decimal);
    bool DecimalRadix() const { return decimal_; }
    const debugger::SearchPattern& Pattern() const { return editor_.Pattern(); }
    // F3 in the debugger searches on while this holds, else opens the dialog.
    bool FindEnabled() const { return editor_.FindEnabled(); }
    // Called by Find (and Enter) after the dialog has hidden itself.
    void SetFindHandler(std::function<void()> handler) { findHandler_ = std::move(handler); }

    void CheckValClick(int index);
    void CheckMaskClick();
    void RadioValuesClick();
    void MeEditValuesChange();
    void MeEditMaskChange();
    void MeEditAsciiChange();
    void BtnFindClick();

  protected:
    // The information beep of a number that cannot be taken; tests count them.
    virtual void Beep();
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void ApplyMasks();
    void ShowValues();
    void ShowMasks();
    void ShowChars();
    void ShowChecks();
    void Refused(QLineEdit* field, int badColumn);

    debugger::SearchPatternEditor editor_;
    bool decimal_ = false;
    bool updating_ = false;  // the dialog is rewriting its own fields
    std::function<void()> findHandler_;

    std::array<QCheckBox*, 8> checks_{};
    QCheckBox* checkMask_ = nullptr;
    QRadioButton* radioValues_ = nullptr;
    QRadioButton* radioAscii_ = nullptr;
    QLineEdit* values_ = nullptr;
    QLineEdit* masks_ = nullptr;
    QLineEdit* ascii_ = nullptr;
    QPushButton* find_ = nullptr;
};
