#pragma once

#include <QDialog>
#include <QMessageBox>
#include <string>

#include "frontend/MemoryFields.h"
#include "host/config/Settings.h"

class ChipMemory;
class QCheckBox;
class QLabel;
class NumberEdit;
class QLineEdit;
class QPushButton;
class QRadioButton;

// Loads a host file into the machine's memory or saves a part of it to a file, through the
// processor's address space or by whole pages. Shown modally with the machine paused; its values
// live on between uses and in the configuration.
class TFormMemReadWrite : public QDialog {
    Q_OBJECT

  public:
    TFormMemReadWrite(config::Settings& settings, QWidget* parent);
    ~TFormMemReadWrite() override;

    // Before showing: the memory to work on (the caller keeps the machine paused while the
    // dialog is open) and the mode.
    void Prepare(ChipMemory* memory, bool saveMode);
    // The file-opening routine's way in: the file, its size as the length, checked silently.
    void PresetFile(const std::string& path);
    // The file the fields name, as an absolute path.
    std::string FilePath() const { return AbsoluteFile(); }
    bool RunRequested() const;
    int RunAddress() const { return values_.run; }
    bool SaveMode() const { return saveMode_; }
    const MemoryFieldValues& Values() const { return values_; }

    // OK: reads the fields as typed, then loads or saves; a field that cannot be used is refused
    // with a message naming it, and the dialog stays open with the focus on it.
    void BtnOKClick();
    void CheckHexClick();
    void BbSelectFileClick();
    // Writes the values to the configuration and saves it (after a first show only).
    void StoreSettings();

  protected:
    virtual void ShowMessage(QMessageBox::Icon icon, const QString& title, const QString& text);
    virtual bool AskYesNo(const QString& title, const QString& text);
    void showEvent(QShowEvent* event) override;
    void done(int result) override;

  private:
    void ApplySettings();
    // Reads the fields in use; a refusal is told (with the message) or not, and gives false.
    bool ReadFields(bool withMessage);
    MemoryFieldNames FieldNames() const;
    NumberEdit* FieldEdit(MemoryField field) const;
    void WriteFields();
    void SetMasks();
    void SourceChanged();
    void UpdateRunEnabled();
    std::string AbsoluteFile() const;
    // The bytes the chosen area holds.
    qint64 AreaBytes() const;
    void ShowFile(const std::string& path);
    void TakeFileLength(const std::string& path);
    bool Save(const std::string& path);
    bool Load(const std::string& path);
    QString Text(const char* key, const QString& inserted = {}) const;

    config::Settings& settings_;
    ChipMemory* memory_ = nullptr;
    bool saveMode_ = false;
    bool hex_ = false;
    bool firstShowPending_ = true;
    MemoryFieldValues values_;

    QLineEdit* editFile_ = nullptr;
    QPushButton* bbSelectFile_ = nullptr;
    QRadioButton* rbMem_ = nullptr;
    QRadioButton* rbBlocks_ = nullptr;
    QLabel* lblStart_ = nullptr;
    QLabel* lblLength_ = nullptr;
    QLabel* lblFrom_ = nullptr;
    QLabel* lblTo_ = nullptr;
    NumberEdit* meStart_ = nullptr;
    NumberEdit* meLength_ = nullptr;
    NumberEdit* meFrom_ = nullptr;
    NumberEdit* meTo_ = nullptr;
    NumberEdit* meRun_ = nullptr;
    QCheckBox* checkRun_ = nullptr;
    QCheckBox* checkHex_ = nullptr;
    QPushButton* btnOK_ = nullptr;
    QPushButton* btnCancel_ = nullptr;
};
