#include "ui/debugger/TFormPerifStat.h"

#include <QCloseEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

#include "debugger/PeripheralStatus.h"
#include "machine/ChipICU3214.h"
#include "machine/ChipPIO8255.h"
#include "machine/IfSerial.h"
#include "machine/IfTimer.h"

namespace {

QLabel* AddLabel(QWidget* parent, QGridLayout* grid, int row, int column, const QString& name,
                 const QString& caption) {
    auto* label = new QLabel(caption, parent);
    label->setObjectName(name);
    grid->addWidget(label, row, column);
    return label;
}

// A caption ("Mode:") and the label beside it that shows the value ("LblC0Mv").
void AddRow(QWidget* parent, QGridLayout* grid, int row, const QString& name,
            const QString& caption) {
    AddLabel(parent, grid, row, 0, name, caption);
    QLabel* value = AddLabel(parent, grid, row, 1, name + "v", "-");
    value->setMinimumWidth(90);
}

void Set(QLabel* label, const std::string& text) {
    label->setText(QString::fromStdString(text));
}

}  // namespace

TFormPerifStat::TFormPerifStat(QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::WindowStaysOnTopHint) {
    setObjectName("FormPerifStat");
    setWindowTitle("Peripheral status");
    auto* rows = new QVBoxLayout(this);
    rows->setContentsMargins(4, 4, 4, 4);
    auto* layout = new QHBoxLayout;
    rows->addLayout(layout);

    auto* pit = new QGroupBox("PIT 8253", this);
    pit->setObjectName("GbPit");
    auto* pitLayout = new QVBoxLayout(pit);
    for (int i = 0; i < 3; ++i) {
        auto* ctc = new QGroupBox(QString("CTC%1").arg(i), pit);
        ctc->setObjectName(QString("GbCtc%1").arg(i));
        auto* grid = new QGridLayout(ctc);
        const QString base = QString("LblC%1").arg(i);
        AddRow(ctc, grid, 0, base + "M", "Mode:");
        AddRow(ctc, grid, 1, base + "C", "Count:");
        AddRow(ctc, grid, 2, base + "P", "Preset:");
        AddRow(ctc, grid, 3, base + "X", "G/C/O:");
        pitLayout->addWidget(ctc);
    }
    layout->addWidget(pit);

    auto* usart = new QGroupBox("USART 8251", this);
    usart->setObjectName("GbUsart");
    auto* grid = new QGridLayout(usart);
    int row = 0;
    AddRow(usart, grid, row++, "LblUMode", "Mode:");
    AddRow(usart, grid, row++, "LblUFormat", "Format:");
    AddRow(usart, grid, row++, "LblUFactor", "Clock factor:");
    AddRow(usart, grid, row++, "LblUSync", "Sync:");
    AddRow(usart, grid, row++, "LblUSyncChars", "Sync characters:");
    AddRow(usart, grid, row++, "LblURx", "Receiver:");
    AddRow(usart, grid, row++, "LblUTx", "Transmitter:");
    // The signal lines are whole texts ("/RTS=0  /CTS=1"), one label each across both columns.
    for (const char* name :
         {"LblURtsCts", "LblUDtrDsr", "LblUErrors", "LblURxR", "LblUTxR", "LblUSynBrk"}) {
        QLabel* label = AddLabel(usart, grid, row++, 0, name, "-");
        grid->addWidget(label, row - 1, 0, 1, 2);
    }
    AddRow(usart, grid, row++, "LblURxChar", "Received:");
    AddRow(usart, grid, row++, "LblURxShift", "Receive shift:");
    AddRow(usart, grid, row++, "LblUTxChar", "To send:");
    AddRow(usart, grid, row++, "LblUTxShift", "Send shift:");
    grid->setRowStretch(row, 1);
    layout->addWidget(usart);

    auto* parallel = new QHBoxLayout;
    rows->addLayout(parallel);
    auto group = [&](const char* name, const char* title) {
        auto* box = new QGroupBox(title, this);
        box->setObjectName(name);
        auto* boxGrid = new QGridLayout(box);
        boxGrid->setHorizontalSpacing(8);
        parallel->addWidget(box, 0, Qt::AlignTop);
        return box;
    };
    gbSystemPio_ = group("GbPioSystem", "PIO 8255 (C0-C3)");
    gbGeneralPio_ = group("GbPioGeneral", "PIO 8255 (C4-C7)");
    gbInterrupts_ = group("GbIcu", "ICU 3214 (D4-D7)");
}

void TFormPerifStat::BindParallel(const ChipPIO8255* system, const ChipPIO8255* general,
                                  const ChipICU3214* interrupts) {
    systemPio_ = system;
    generalPio_ = general;
    interrupts_ = interrupts;
}

void TFormPerifStat::ShowRegisters(QGroupBox* box, const RegisterList& registers,
                                   const std::string& summary) {
    auto* grid = static_cast<QGridLayout*>(box->layout());
    const QString base = box->objectName();
    const std::vector<debugger::RegisterLine> lines = debugger::FormatRegisterList(registers);
    const int first = summary.empty() ? 0 : 1;
    if (!summary.empty()) {
        QLabel* mode = findChild<QLabel*>(base + "Mode");
        if (mode == nullptr) {
            mode = new QLabel(box);
            mode->setObjectName(base + "Mode");
            grid->addWidget(mode, 0, 0, 1, 4);
            mode->show();
        }
        Set(mode, summary);
    }
    for (size_t i = 0; i < lines.size(); ++i) {
        const QString name = base + QString("R%1").arg(i);
        QLabel* value = findChild<QLabel*>(name + "v");
        if (value == nullptr) {
            const int row = first + static_cast<int>(i) / 2;
            const int column = 2 * (static_cast<int>(i) % 2);
            // Made at the first showing, when the window may already be on screen.
            AddLabel(box, grid, row, column, name, QString())->show();
            value = AddLabel(box, grid, row, column + 1, name + "v", QString());
            value->show();
        }
        Set(findChild<QLabel*>(name), lines[i].Name);
        Set(value, lines[i].Value);
    }
}

QLabel* TFormPerifStat::Value(const QString& name) {
    return findChild<QLabel*>(name);
}

void TFormPerifStat::BindChips(const IfTimer* timer, const IfSerial* serial) {
    timer_ = timer;
    serial_ = serial;
}

void TFormPerifStat::RefreshStatus() {
    if (timer_ != nullptr) {
        // Chip() brings the counters up to date: quiet stretches are applied only when looked at.
        const ChipPIT8253& chip = timer_->Chip();
        const auto counters = debugger::DecodeTimerStatus(
            {chip.GetCounter(0), chip.GetCounter(1), chip.GetCounter(2)});
        for (int i = 0; i < 3; ++i) {
            const QString base = QString("LblC%1").arg(i);
            Set(Value(base + "Mv"), counters[i].Mode);
            Set(Value(base + "Cv"), counters[i].Count);
            Set(Value(base + "Pv"), counters[i].Preset);
            Set(Value(base + "Xv"), counters[i].Signals);
        }
    }
    if (systemPio_ != nullptr) {
        ShowRegisters(gbSystemPio_, systemPio_->Registers(),
                      debugger::DescribePioControl(systemPio_->GetState().Mode));
    }
    if (generalPio_ != nullptr) {
        ShowRegisters(gbGeneralPio_, generalPio_->Registers(),
                      debugger::DescribePioControl(generalPio_->GetState().Mode));
    }
    if (interrupts_ != nullptr) ShowRegisters(gbInterrupts_, interrupts_->Registers(), {});
    if (serial_ == nullptr) return;
    const debugger::UsartStatus s = debugger::DecodeUsartStatus(serial_->Chip().GetState());
    Set(Value("LblUModev"), s.Mode);
    Set(Value("LblUFormatv"), s.Format);
    Set(Value("LblUFactorv"), s.Factor);
    Set(Value("LblUSyncv"), s.SyncMode);
    Set(Value("LblUSyncCharsv"), s.SyncChars);
    for (const char* name : {"LblUFactor", "LblUFactorv"}) Value(name)->setVisible(!s.Synchronous);
    for (const char* name : {"LblUSync", "LblUSyncv", "LblUSyncChars", "LblUSyncCharsv"}) {
        Value(name)->setVisible(s.Synchronous);
    }
    Set(Value("LblURxv"), s.Receiver);
    Set(Value("LblUTxv"), s.Transmitter);
    Set(Value("LblURtsCts"), s.RtsCts);
    Set(Value("LblUDtrDsr"), s.DtrDsr);
    Set(Value("LblUErrors"), s.Errors);
    Set(Value("LblURxR"), s.RxReady);
    Set(Value("LblUTxR"), s.TxReady);
    Set(Value("LblUSynBrk"), s.SynBrk);
    Set(Value("LblURxCharv"), s.RxChar);
    Set(Value("LblURxShiftv"), s.RxShift);
    Set(Value("LblUTxCharv"), s.TxChar);
    Set(Value("LblUTxShiftv"), s.TxShift);
    for (const char* name :
         {"LblURxChar", "LblURxCharv", "LblURxShift", "LblURxShiftv", "LblURxR", "LblUErrors"}) {
        Value(name)->setEnabled(s.ReceiverEnabled);
    }
    for (const char* name :
         {"LblUTxChar", "LblUTxCharv", "LblUTxShift", "LblUTxShiftv", "LblUTxR", "LblURtsCts"}) {
        Value(name)->setEnabled(s.TransmitterEnabled);
    }
}

void TFormPerifStat::ToggleShown() {
    tag_ = !isVisible();
    setVisible(tag_);
    if (tag_) RefreshStatus();
}

void TFormPerifStat::ShowIfTagged() {
    if (!tag_) return;
    show();
    RefreshStatus();
}

void TFormPerifStat::closeEvent(QCloseEvent* event) {
    tag_ = false;
    QWidget::closeEvent(event);
}
