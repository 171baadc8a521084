#pragma once

#include <QMessageBox>
#include <QWidget>
#include <string>
#include <vector>

#include "debugger/DisassemblyListing.h"
#include "frontend/NumberField.h"
#include "host/config/Settings.h"

class ChipMemory;
class QCheckBox;
namespace debugger {
class SymbolTable;
}
class QComboBox;
class QLineEdit;
class QRadioButton;
class QTreeWidget;

// Memory ranges written to a text file: assembler source with labels (tevrin-asm assembles it
// back) or an address listing with an optional hex dump. The window keeps the range list for
// the program's whole life and saves and loads it as the small file tevrin-disasm reads too.
// The debugger binds its memory and sets the radix and notation at each of its showings.
// Texts from the section "FormDisass".
class TFormDisass : public QWidget {
    Q_OBJECT

  public:
    TFormDisass(const config::Settings& settings, QWidget* parent = nullptr);

    void BindMemory(ChipMemory* memory) { memory_ = memory; }
    void SetRadix(bool decimal);
    void SetZ80Notation(bool z80) { z80_ = z80; }
    // The debugger's labels (nullptr for none): From and To then take a label or label+n.
    void SetSymbols(const debugger::SymbolTable* symbols);
    const std::vector<debugger::DisassRange>& Ranges() const { return ranges_; }

    void CbAsSelect();
    void BtnAddClick();
    void BtnDelClick();
    void RbAdrLabClick();
    void BtnSaveClick();
    void BtnLoadClick();
    void BtnDisassClick();

  protected:
    // Every message box of the window comes here.
    virtual void ShowMessage(QMessageBox::Icon icon, const QString& title, const QString& text);
    // The file dialogs; false when the user cancels. `path` starts in the program's folder.
    virtual bool AskFileName(bool save, std::string& path);

    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void Message(QMessageBox::Icon icon, const char* key, const QString& argument = {});
    void ApplyFieldMasks();
    // Rewrites the fields after a change of how they are read; a field that held no number
    // stays empty rather than show one nobody typed.
    template <typename Change>
    void KeepFields(Change change);
    void SetField(QLineEdit* field, int32_t value);
    // The field as typed, named by its label; To may not be below From.
    FieldReading Read(QLineEdit* field, const char* label, int32_t minimum) const;
    void Refuse(QLineEdit* field, const FieldReading& reading);
    void FillList();

    const config::Settings& settings_;
    ChipMemory* memory_ = nullptr;
    bool decimal_ = false;
    bool z80_ = false;
    const debugger::SymbolTable* symbols_ = nullptr;
    std::vector<debugger::DisassRange> ranges_;

    QTreeWidget* list_ = nullptr;
    QLineEdit* from_ = nullptr;
    QLineEdit* to_ = nullptr;
    QLineEdit* offset_ = nullptr;
    QComboBox* as_ = nullptr;
    QCheckBox* dwLabel_ = nullptr;
    QRadioButton* labels_ = nullptr;
    QRadioButton* addrs_ = nullptr;
    QCheckBox* hexDump_ = nullptr;
};
