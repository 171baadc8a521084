// The debugger window's input: keys, line clicks, the in-place editors and the inline assembler.
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMouseEvent>
#include <QScreen>
#include <QStatusBar>
#include <QWheelEvent>

#include "debugger/Disassembler.h"
#include "debugger/InlineAssembler.h"
#include "emulator/Machine.h"
#include "frontend/AddressField.h"
#include "host/config/ConfigKeys.h"
#include "machine/MemoryLayout.h"
#include "ui/common/NumberEdit.h"
#include "ui/debugger/TFormDebugger.h"

void TFormDebugger::closeEvent(QCloseEvent* event) {
    if (core_.Stopped() && !CanCommand(true, true)) {
        event->ignore();
        return;
    }
    if (meInlineAsm_->isVisible()) CloseInlineAssembler();
    SbRunClick(false);
    // Careful running costs speed; without the window nobody looks at the call stack.
    core_.SetTracking(false);
    event->accept();
}

void TFormDebugger::keyPressEvent(QKeyEvent* event) {
    if (!HandleKey(event)) QWidget::keyPressEvent(event);
}

bool TFormDebugger::HandleToolWindowKey(QKeyEvent* key) {
    const int k = key->key();
    const bool ctrl = key->modifiers() & Qt::ControlModifier;
    // Keys that type, edit or move the caret stay with the tool window's fields.
    const bool commandKey = k == Qt::Key_F3 || k == Qt::Key_F5 || k == Qt::Key_F7 ||
                            k == Qt::Key_F8 || k == Qt::Key_Pause ||
                            (ctrl && (k == Qt::Key_F || k == Qt::Key_H));
    return commandKey && HandleKey(key);
}

bool TFormDebugger::HandleKey(QKeyEvent* key) {
    if (key->modifiers() & Qt::AltModifier) return false;
    const bool shift = key->modifiers() & Qt::ShiftModifier;
    const bool ctrl = key->modifiers() & Qt::ControlModifier;
    const int k = key->key();
    if (!core_.Stopped() && isVisible()) {
        // The machine runs for the debugger: Break stops it, Run leaves it running alone.
        if (k == Qt::Key_Escape || k == Qt::Key_Pause) {
            SbBreakClick();
            return true;
        }
        if (k == Qt::Key_F5 && !shift && !ctrl) {
            SbRunClick();
            return true;
        }
        return false;
    }
    if (!CanCommand(false, false)) return false;
    ChipCpu8080* cpu = core_.Cpu();
    ChipMemory* memory = core_.Memory();
    if (k == Qt::Key_Up || k == Qt::Key_Down || k == Qt::Key_PageUp || k == Qt::Key_PageDown) {
        if (cpu == nullptr || memory == nullptr) return true;
        const bool up = k == Qt::Key_Up || k == Qt::Key_PageUp;
        const bool tenfold = ctrl || k == Qt::Key_PageUp || k == Qt::Key_PageDown;
        const bool hadFault = memory->Fault();
        if (listing_.Scroll(*cpu, *memory, up, tenfold, shift)) RefreshListing();
        if (!hadFault) memory->ClearFault();
        return true;
    }
    if (meInlineAsm_->isVisible()) return false;
    switch (k) {
        case Qt::Key_F5: SbRunClick(); return true;
        case Qt::Key_F7: shift ? SbToNextClick() : SbStepClick(); return true;
        case Qt::Key_F8: shift ? SbStepOutClick() : SbStepOverClick(); return true;
        case Qt::Key_F3:
            if (!(FindNext && FindNext()) && OpenFind) OpenFind();
            return true;
        case Qt::Key_Home: SbTo0Click(); return true;
        default: break;
    }
    if (ctrl) {
        switch (k) {
            case Qt::Key_F:
                if (OpenFind) OpenFind();
                return true;
            case Qt::Key_C: SbCopyClick(shift); return true;
            case Qt::Key_V: SbFillClick(shift); return true;
            case Qt::Key_H: SbHexDecClick(); return true;
            case Qt::Key_B: OpenBreaks(); return true;
            case Qt::Key_L: SbSymbolsClick(); return true;
            default: break;
        }
    }
    return false;
}

bool TFormDebugger::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    // The explanatory hints only on request; the page names of the memory map always.
    if (type == QEvent::ToolTip && watched != memOrg_[0] && watched != memOrg_[1] && !showHints_) {
        return true;
    }
    if (type == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (watched == meEditValue_ || watched == meEditDump_ || watched == meEditAscii_) {
            if (key->key() == Qt::Key_Escape) {
                if (watched == meEditValue_) {
                    CloseValueEditor(false);
                } else {
                    static_cast<QWidget*>(watched)->hide();
                }
                if (editTarget_ == EditTarget::Breakpoint) RefreshBreakpoints();
                return true;
            }
            // Only printable characters go into memory as typed; the caret keys carry no text.
            const QString typed = key->text();
            if (watched == meEditAscii_ && key->key() != Qt::Key_Return &&
                key->key() != Qt::Key_Enter && !typed.isEmpty() &&
                (typed.size() != 1 || typed[0].unicode() < 32 || typed[0].unicode() > 126)) {
                return true;
            }
            return false;
        }
        if (watched == meInlineAsm_ && key->key() == Qt::Key_Escape) {
            CloseInlineAssembler();
            return true;
        }
        return HandleKey(key);
    }
    auto* label = qobject_cast<QLabel*>(watched);
    if (label != nullptr &&
        (type == QEvent::MouseButtonDblClick || type == QEvent::MouseButtonPress)) {
        auto* mouse = static_cast<QMouseEvent*>(event);
        const QVariant kind = label->property("lineKind");
        const bool right = mouse->button() == Qt::RightButton;
        const bool left = mouse->button() == Qt::LeftButton;
        if (kind.isValid() && left &&
            MarkColumnClicked(
                label,
                mouse->position().x() / std::max(1, label->fontMetrics().horizontalAdvance('0')),
                type == QEvent::MouseButtonPress))
            return true;
        if (kind.isValid() && ((left && type == QEvent::MouseButtonDblClick) ||
                               (right && type == QEvent::MouseButtonPress))) {
            if (!CanCommand(true, false)) return true;
            const double column =
                mouse->position().x() / std::max(1, label->fontMetrics().horizontalAdvance('0'));
            LineClicked(label->property("lineIndex").toInt(), kind.toInt() == 0, right, column,
                        mouse->modifiers());
            return true;
        }
        if (type != QEvent::MouseButtonDblClick || !left) return false;
        const QString name = label->objectName();
        for (int i = 0; i < 6; ++i) {
            if (label == registers_[static_cast<size_t>(i)] && CanCommand(true, true)) {
                OpenValueEditor(debugger::RegisterValue(*core_.Cpu(), i), label->text().left(3),
                                EditTarget::Register, i);
                return true;
            }
            if (label == flagLabels_[static_cast<size_t>(i)] && CanCommand(true, true)) {
                debugger::ToggleFlag(*core_.Cpu(), i);
                StopAndRefresh();
                return true;
            }
        }
        for (int i = 0; i < 5; ++i) {
            if (label == stackValues_[static_cast<size_t>(i)] && CanCommand(true, true)) {
                const auto at = static_cast<uint16_t>(core_.Cpu()->SP + 2 * i);
                OpenValueEditor(core_.Memory()->ReadWord(at), QString("(SP+%1):").arg(2 * i),
                                EditTarget::Stack, i);
                return true;
            }
        }
        if (label == lblTicks_ && CanCommand(true, true)) {
            core_.Cpu()->ClockTicks = 0;
            RefreshAll();
            return true;
        }
        if (label == lblListAddr_ && !listing_.CurrentIsRegister() && CanCommand(true, true)) {
            OpenValueEditor(listing_.Current().base, QString("MEM%1:").arg(listing_.current + 1),
                            EditTarget::MemBase, listing_.current);
            return true;
        }
    }
    if (label != nullptr && type == QEvent::MouseMove &&
        (label == memOrg_[0] || label == memOrg_[1])) {
        const MemoryOrganizer* organizer = machine_.Organizer();
        if (organizer == nullptr) return false;
        const double column = static_cast<QMouseEvent*>(event)->position().x() /
                              std::max(1, label->fontMetrics().horizontalAdvance('0'));
        const int group =
            debugger::MemoryMapGroup(label == memOrg_[1] ? 1 : 0, static_cast<int>(column));
        label->setToolTip(QString::fromStdString(layout::PageName(organizer->PageRegister(group))));
        return false;
    }
    if (type == QEvent::Wheel && watched->objectName().startsWith("dump")) {
        auto* wheel = static_cast<QWheelEvent*>(event);
        if (EditorOpen() || meInlineAsm_->isVisible() || core_.Cpu() == nullptr) return true;
        const bool shift = wheel->modifiers() & Qt::ShiftModifier;
        const bool ctrl = wheel->modifiers() & Qt::ControlModifier;
        const bool up = wheel->angleDelta().y() > 0;
        const bool hadFault = core_.Memory()->Fault();
        if (listing_.Scroll(*core_.Cpu(), *core_.Memory(), up, ctrl, shift)) RefreshListing();
        if (!hadFault) core_.Memory()->ClearFault();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void TFormDebugger::LineClicked(int line, bool instructionLine, bool right, double column,
                                Qt::KeyboardModifiers modifiers) {
    ChipCpu8080& cpu = *core_.Cpu();
    ChipMemory& memory = *core_.Memory();
    const bool hadFault = memory.Fault();
    uint16_t address = 0;
    if (instructionLine) {
        address = line < 2 ? debugger::PreviousInstructionAddress(memory, cpu.PC, 2 - line)
                           : debugger::NextInstructionAddress(memory, cpu.PC, line - 2);
    } else {
        address = listing_.LineAddress(cpu, memory, line);
    }
    const debugger::LineClick click =
        debugger::ClassifyLineClick(right, instructionLine, listing_.shownType, column);
    uint16_t target = 0;
    switch (click.action) {
        case debugger::LineAction::None: break;
        case debugger::LineAction::Breakpoint: {
            const int selected = breakpoints_->currentRow();
            core_.SetBreakpointAt(address, selected >= 0 ? selected + 1 : 0);
            RefreshBreakpoints();
            break;
        }
        case debugger::LineAction::InlineAssembler:
            OpenInlineAssembler(address, modifiers & Qt::ControlModifier);
            break;
        case debugger::LineAction::DumpEditor:
            lineEditAddress_ = address;
            meEditDump_->setText(
                QString::fromStdString(debugger::DumpEditText(memory, address, choices_.flags)));
            PlaceEditor(meEditDump_, dump_[static_cast<size_t>(line)], QPoint(0, 0),
                        debugger::kDumpBytesColumn, 31);
            meEditDump_->show();
            meEditDump_->setFocus();
            // On the byte's first digit, past its "#".
            meEditDump_->setCursorPosition(click.index * 4 + (choices_.flags.DecimalRadix ? 0 : 1));
            break;
        case debugger::LineAction::CharEditor:
            lineEditAddress_ = address;
            charEditCount_ = listing_.shownType == debugger::kAscii ? 32 : 8;
            // Any character, none left out. Qt's masks refuse to type their blank, so it must not
            // be the space; every position is filled, so it never shows.
            meEditAscii_->setInputMask(QString(charEditCount_, 'X') + ";" + QChar(0x7F));
            meEditAscii_->setText(
                QString::fromLatin1(debugger::CharEditText(memory, address, charEditCount_)));
            PlaceEditor(
                meEditAscii_, dump_[static_cast<size_t>(line)], QPoint(0, 0),
                charEditCount_ == 8 ? debugger::kDumpCharsColumn : debugger::kAsciiCharsColumn,
                charEditCount_);
            meEditAscii_->show();
            meEditAscii_->setFocus();
            meEditAscii_->setCursorPosition(click.index);
            break;
        case debugger::LineAction::Jump:
            if (!debugger::OperandTarget(memory, address, target)) break;
            listing_.Jump(target, modifiers & Qt::ControlModifier ? debugger::kDump
                                  : modifiers & Qt::ShiftModifier ? debugger::kAscii
                                                                  : debugger::kDisassembly);
            RefreshListing();
            break;
        case debugger::LineAction::Nest:
            if (!debugger::OperandTarget(memory, address, target)) break;
            if (listing_.Push(cpu, target)) {
                RefreshNestings();
                RefreshListing();
            }
            break;
    }
    if (!hadFault) memory.ClearFault();
}

void TFormDebugger::OpenValueEditor(uint16_t value, const QString& caption, EditTarget target,
                                    int index) {
    editTarget_ = target;
    editIndex_ = index;
    breakpoints_->setEnabled(false);
    cbListSrc_->setEnabled(false);
    cbListType_->setEnabled(false);
    // Over the value it edits, its caption over the label's own; copy and fill ask over the
    // listing-address label, whose listing they change.
    QWidget* anchor = lblListAddr_;
    QPoint origin(0, 0);
    int column = 0;
    switch (target) {
        case EditTarget::Register:
            anchor = registers_[static_cast<size_t>(index)];
            column = 3;
            break;
        case EditTarget::Stack: anchor = stackValues_[static_cast<size_t>(index)]; break;
        case EditTarget::Breakpoint:
            anchor = breakpoints_->viewport();
            origin = breakpoints_->visualItemRect(breakpoints_->item(index - 1)).topLeft();
            // Past the check box, where the address is written.
            column = 3;
            break;
        default: break;
    }
    editedLabel_ = target == EditTarget::CopyFill ? nullptr : qobject_cast<QLabel*>(anchor);
    if (editedLabel_ != nullptr) SetOpaque(editedLabel_, false);
    meEditValue_->setText(QString::fromStdString(debugger::FormatWord(value, choices_.flags)));
    // A label takes more room than a number.
    PlaceEditor(meEditValue_, anchor, origin, column, Symbols() != nullptr ? 14 : 5);
    lblEditLabel_->setText(caption);
    lblEditLabel_->adjustSize();
    // The caption stands before the field, never over it: a field too near the window's left
    // edge for its caption moves right.
    int captionX = meEditValue_->x() - 1 - lblEditLabel_->width();
    if (captionX < 0) {
        meEditValue_->move(meEditValue_->x() - captionX, meEditValue_->y());
        captionX = 0;
    }
    lblEditLabel_->move(captionX,
                        meEditValue_->y() + (meEditValue_->height() - lblEditLabel_->height()) / 2);
    lblEditLabel_->show();
    lblEditLabel_->raise();
    meEditValue_->show();
    meEditValue_->setFocus();
    meEditValue_->setSelection(choices_.flags.DecimalRadix ? 0 : 1, 1);
}

void TFormDebugger::CloseValueEditor(bool refresh) {
    meEditValue_->hide();
    lblEditLabel_->hide();
    if (editedLabel_ != nullptr) SetOpaque(editedLabel_, true);
    editedLabel_ = nullptr;
    breakpoints_->setEnabled(true);
    cbListSrc_->setEnabled(true);
    cbListType_->setEnabled(true);
    if (refresh) FormShow();
}

void TFormDebugger::ValueEntered() {
    // The caption names the field; an end is not below its start, a fill value is one byte.
    NumberField field{FieldNameOf(lblEditLabel_->text().toStdString()),
                      !choices_.flags.DecimalRadix};
    if (editTarget_ == EditTarget::CopyFill && copyFill_.step == 1 && copyFill_.askEnd)
        field.minimum = copyFill_.start;
    if (editTarget_ == EditTarget::CopyFill && copyFill_.step == 2 && copyFill_.fill)
        field.maximum = 0xFF;
    // A fill value is a byte, never an address.
    const bool address =
        !(editTarget_ == EditTarget::CopyFill && copyFill_.step == 2 && copyFill_.fill);
    const std::string typed = meEditValue_->displayText().toStdString();
    const FieldReading reading =
        address ? ReadAddressField(field, typed, Symbols()) : ReadNumberField(field, typed);
    if (!reading.ok) {
        RefuseNumberField(this, meEditValue_, QString::fromStdString(reading.refusal));
        return;
    }
    const auto value = static_cast<uint16_t>(reading.value);
    ChipCpu8080& cpu = *core_.Cpu();
    switch (editTarget_) {
        case EditTarget::Register: debugger::SetRegisterValue(cpu, editIndex_, value); break;
        case EditTarget::Stack:
            core_.Memory()->WriteWord(static_cast<uint16_t>(cpu.SP + 2 * editIndex_), value);
            break;
        case EditTarget::MemBase:
            listing_.sources[static_cast<size_t>(editIndex_)].base = value;
            break;
        case EditTarget::Breakpoint:
            core_.Breakpoints[static_cast<size_t>(editIndex_)] = {value, 1};
            break;
        case EditTarget::CopyFill: CopyFillStep(value); return;
        case EditTarget::None: break;
    }
    editTarget_ = EditTarget::None;
    CloseValueEditor(true);
}

void TFormDebugger::SbCopyClick(bool askEnd) {
    if (!CanCommand(true, true)) return;
    copyFill_ = {false, askEnd, 0, 0, 0};
    OpenValueEditor(0, Text("text.FillCopy.Start"), EditTarget::CopyFill, 0);
}

void TFormDebugger::SbFillClick(bool askEnd) {
    if (!CanCommand(true, true)) return;
    copyFill_ = {true, askEnd, 0, 0, 0};
    OpenValueEditor(0, Text("text.FillCopy.Start"), EditTarget::CopyFill, 0);
}

void TFormDebugger::CopyFillStep(uint16_t value) {
    ChipMemory& memory = *core_.Memory();
    switch (copyFill_.step) {
        case 0:
            copyFill_.start = value;
            copyFill_.step = 1;
            OpenValueEditor(0, Text(copyFill_.askEnd ? "text.FillCopy.End" : "text.FillCopy.Count"),
                            EditTarget::CopyFill, 0);
            return;
        case 1:
            if (copyFill_.askEnd) {
                copyFill_.count = value - copyFill_.start + 1;
            } else {
                // A count of 0 wraps round to the whole 64 KB, as start + count - 1 does.
                copyFill_.count = value == 0 ? 0x10000 : value;
            }
            copyFill_.step = 2;
            OpenValueEditor(0, Text(copyFill_.fill ? "text.Fill.With" : "text.Copy.To"),
                            EditTarget::CopyFill, 0);
            return;
        default:
            if (copyFill_.fill) {
                debugger::FillMemory(memory, copyFill_.start, copyFill_.count,
                                     static_cast<uint8_t>(value));
            } else {
                debugger::CopyMemory(memory, copyFill_.start, copyFill_.count, value);
            }
            editTarget_ = EditTarget::None;
            CloseValueEditor(true);
    }
}

void TFormDebugger::SelectSource(int source) {
    listing_.current = source;
    listing_.shownType = listing_.Current().type;
}

void TFormDebugger::OpenInlineAssembler(uint16_t address, bool prefill) {
    asmAddress_ = address;
    asmPrefill_ = prefill;
    breakpoints_->setEnabled(false);
    cbListSrc_->setEnabled(false);
    cbListType_->setEnabled(false);
    const debugger::DisplayFlags flags = choices_.flags;
    lblAsmAddress_->setText(
        QString::fromStdString(debugger::InlineAsmAddressText(address, flags) + "  "));
    meInlineAsm_->setMaxLength(flags.Z80Notation ? debugger::kInlineAsmWidthZ80
                                                 : debugger::kInlineAsmWidth8080);
    const bool hadFault = core_.Memory()->Fault();
    meInlineAsm_->setText(prefill ? QString::fromStdString(
                                        debugger::InlineAsmPrefill(*core_.Memory(), address, flags))
                                        .trimmed()
                                  : QString());
    if (!hadFault) core_.Memory()->ClearFault();
    // Over the listing's last line, outside the layout: the window keeps its size.
    QLabel* lastLine = dump_.back();
    lblAsmAddress_->adjustSize();
    const QFontMetrics metrics(font_);
    const int fieldWidth = (meInlineAsm_->maxLength() + 2) * metrics.horizontalAdvance('0') + 8;
    const int height = std::max(meInlineAsm_->sizeHint().height(), lastLine->height());
    const QPoint at = lastLine->mapTo(lblAsmAddress_->parentWidget(), QPoint(0, 0));
    const int top = at.y() + lastLine->height() - height;
    lblAsmAddress_->setGeometry(at.x(), top, lblAsmAddress_->width(), height);
    meInlineAsm_->setGeometry(at.x() + lblAsmAddress_->width(), top, fieldWidth, height);
    lblAsmAddress_->show();
    lblAsmAddress_->raise();
    meInlineAsm_->show();
    meInlineAsm_->raise();
    meInlineAsm_->setFocus();
    if (prefill) {
        meInlineAsm_->selectAll();
    } else {
        meInlineAsm_->setCursorPosition(0);
    }
}

void TFormDebugger::InlineAsmEntered() {
    const std::string text = meInlineAsm_->text().toStdString();
    const debugger::InlineAsmOutcome outcome =
        debugger::InlineAsmEnter(*core_.Memory(), asmAddress_, text, choices_.flags.Z80Notation);
    if (outcome.FailurePosition >= 0) {
        QApplication::beep();
        meInlineAsm_->setSelection(outcome.FailurePosition, 1);
        ShowOutcomeLine(Text("err.InlineAsm.Failed"));
        return;
    }
    status_->clearMessage();
    RefreshAll();
    OpenInlineAssembler(outcome.NextAddress, asmPrefill_);
}

void TFormDebugger::CloseInlineAssembler() {
    meInlineAsm_->hide();
    lblAsmAddress_->hide();
    breakpoints_->setEnabled(true);
    cbListSrc_->setEnabled(true);
    cbListType_->setEnabled(true);
    FormShow();
}

void TFormDebugger::PlaceToolWindow(QWidget& tool) const {
    const QRect frame = frameGeometry();
    const int height = tool.frameGeometry().height();
    const QRect screenArea = screen()->availableGeometry();
    if (frame.top() - screenArea.top() >= height) {
        tool.move(frame.left(), frame.top() - height);
    } else if (frame.bottom() + 1 + height <= screenArea.bottom() + 1) {
        tool.move(frame.left(), frame.bottom() + 1);
    }
}

void TFormDebugger::ShowValueMenu(QLabel* label, const QPoint& at) {
    if (!CanCommand(true, true) || core_.Cpu() == nullptr) return;
    uint16_t value = 0;
    bool fromListingAddress = false;
    if (label == lblListAddr_) {
        if (!listing_.CurrentIsRegister()) return;
        value = listing_.Base(*core_.Cpu(), listing_.current);
        fromListingAddress = true;
    } else {
        bool found = false;
        for (int i = 0; i < 6 && !found; ++i) {
            if (label == registers_[static_cast<size_t>(i)]) {
                value = debugger::RegisterValue(*core_.Cpu(), i);
                found = true;
            }
        }
        for (int i = 0; i < 5 && !found; ++i) {
            if (label == stackValues_[static_cast<size_t>(i)]) {
                const bool hadFault = core_.Memory()->Fault();
                value = core_.Memory()->ReadWord(static_cast<uint16_t>(core_.Cpu()->SP + 2 * i));
                if (!hadFault) core_.Memory()->ClearFault();
                found = true;
            }
        }
        if (!found) return;
    }
    QMenu menu(this);
    menu.setObjectName(fromListingAddress ? "PopupValToMem" : "PopupValToMem2");
    static constexpr const char* kItems[9] = {
        "MEM1 <- X",          "MEM2 <- X",          "MEM3 <- X",
        "MEM1 <- X + Offset", "MEM2 <- X + Offset", "MEM3 <- X + Offset",
        "MEM1 <- X | Offset", "MEM2 <- X | Offset", "MEM3 <- X | Offset"};
    for (int item = 0; item < (fromListingAddress ? 9 : 3); ++item) {
        menu.addAction(kItems[item], this, [this, item, value, fromListingAddress] {
            listing_.ValueToMem(item, value, fromListingAddress);
            FormShow();
        });
    }
    menu.exec(label->mapToGlobal(at));
}
