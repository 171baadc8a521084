// The debugger window's view of breakpoints and of how the machine got where it stopped: the
// mark column of the code lines, the halt indicator, the call stack and the stop reason.
#include <QLabel>
#include <QLayout>
#include <QListWidget>
#include <QStatusBar>

#include "debugger/BreakpointEdits.h"
#include "debugger/Disassembler.h"
#include "debugger/StopReport.h"
#include "emulator/Machine.h"
#include "host/lang/Language.h"
#include "ui/debugger/TFormDebugger.h"

namespace {

constexpr const char* kSection = "FormDebugger";

QString LangQ(const char* key) {
    return QString::fromStdString(lang::LangText(kSection, key));
}

}  // namespace

QString TFormDebugger::Marked(uint16_t address, const std::string& line) const {
    QString text = QString::fromStdString(line);
    if (text.isEmpty() || !debugger::BreakpointMarked(core_, address)) return text;
    // The line's first column is a blank kept for the mark. A glyph from a fallback font could
    // be wider and move the columns the clicks are counted in.
    const QFontMetrics metrics(font_);
    text[0] = metrics.inFontUcs4(0x25CF) ? QChar(0x25CF) : QChar('*');
    return text;
}

bool TFormDebugger::MarkColumnClicked(QLabel* line, double column, bool press) {
    if (column >= 1.0) return false;
    if (!press) return true;
    if (!CanCommand(true, false)) return true;
    ChipCpu8080& cpu = *core_.Cpu();
    ChipMemory& memory = *core_.Memory();
    const int index = line->property("lineIndex").toInt();
    const bool instructionLine = line->property("lineKind").toInt() == 0;
    if (!instructionLine && listing_.shownType != debugger::kDisassembly) return false;
    const bool hadFault = memory.Fault();
    uint16_t address = 0;
    if (instructionLine && index < 2) {
        // The two lines of what ran last show their own addresses, not a guess backwards.
        const int32_t history = index == 0 ? cpu.PrevPC : cpu.CurPC;
        if (history < 0) return true;
        address = static_cast<uint16_t>(history);
    } else if (instructionLine) {
        address = debugger::NextInstructionAddress(memory, cpu.PC, index - 2);
    } else {
        address = listing_.LineAddress(cpu, memory, index);
    }
    if (!hadFault) memory.ClearFault();
    debugger::ToggleBreakpointAt(core_, address);
    RefreshBreakpoints();
    RefreshViews();
    return true;
}

void TFormDebugger::AddCallStack(QLayout* row) {
    callStack_ = new QListWidget(this);
    callStack_->setObjectName("LbCallStack");
    callStack_->setMaximumHeight(fontMetrics().height() * 4);
    callStack_->setMinimumWidth(fontMetrics().horizontalAdvance(QString(24, '0')));
    row->addWidget(callStack_);
    connect(callStack_, &QListWidget::itemDoubleClicked, this, [this](QListWidgetItem* item) {
        if (!CanCommand(true, true)) return;
        const std::vector<debugger::CallFrame>& frames = core_.CallStack();
        const int row = callStack_->row(item);
        if (row < 0 || static_cast<size_t>(row) >= frames.size()) return;
        // Innermost first: the list's first line is the stack's last frame.
        const debugger::CallFrame& frame = frames[frames.size() - 1 - static_cast<size_t>(row)];
        listing_.Jump(frame.callAt, debugger::kDisassembly);
        RefreshNestings();
        RefreshListing();
    });
}

void TFormDebugger::StartTracking() {
    if (core_.Tracking()) return;
    // Calls made before the window came are not known; the stack starts from here.
    core_.ClearCallStack();
    core_.SetTracking(true);
}

void TFormDebugger::RefreshProcessorState() {
    const ChipCpu8080* cpu = core_.Cpu();
    lblHalt_->setText(cpu != nullptr && cpu->Halted ? LangQ("text.Cpu.Halted") : QString());
    callStack_->clear();
    const std::vector<std::string> lines =
        debugger::CallStackLines(core_.CallStack(), choices_.flags, Symbols(),
                                 lang::LangText(kSection, "text.Stack.Interrupt"));
    for (const std::string& line : lines) callStack_->addItem(QString::fromStdString(line));
}

void TFormDebugger::ShowStopReason() {
    const QString text = StopReasonText();
    if (!text.isEmpty()) ShowOutcomeLine(text);
}

QString TFormDebugger::StopReasonText() const {
    const debugger::StopInfo& stop = core_.LastStop();
    const debugger::DisplayFlags flags = choices_.flags;
    const auto word = [flags, symbols = Symbols()](uint16_t value) {
        return QString::fromStdString(debugger::AddressText(value, flags, symbols));
    };
    ChipCpu8080* cpu = core_.Cpu();
    if (cpu == nullptr || core_.Memory() == nullptr) return {};
    switch (stop.reason) {
        case debugger::StopInfo::Reason::Breakpoint: {
            const auto& list = core_.BreakpointList();
            const auto entry = std::find_if(list.begin(), list.end(), [&](const auto& b) {
                return stop.breakpointId != 0 && b.id == stop.breakpointId;
            });
            if (entry == list.end()) return LangQ("text.Stop.Breakpoint").arg(word(cpu->PC));
            const QString hits = QString::number(entry->hits);
            const std::string condition = breakNotes_.Condition(entry->id);
            if (condition.empty()) return LangQ("text.Stop.Listed").arg(word(cpu->PC), hits);
            return LangQ("text.Stop.Conditional")
                .arg(word(cpu->PC), QString::fromStdString(condition), hits);
        }
        case debugger::StopInfo::Reason::Watch: {
            const QString instruction = QString::fromStdString(
                debugger::InstructionText(*core_.Memory(), stop.instructionAt, flags, Symbols()));
            const QString value = QString::fromStdString(debugger::FormatByte(stop.value, flags));
            const QString address = stop.port ? QString::fromStdString(debugger::FormatByte(
                                                    static_cast<uint8_t>(stop.address), flags))
                                              : word(stop.address);
            const char* key = stop.port
                                  ? (stop.write ? "text.Stop.PortWrite" : "text.Stop.PortRead")
                                  : (stop.write ? "text.Stop.Write" : "text.Stop.Read");
            return LangQ(key).arg(instruction, word(stop.instructionAt), value, address);
        }
        default: return {};
    }
}
