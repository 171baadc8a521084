#include "ui/debugger/TFormDebugger.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QFontDatabase>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMouseEvent>
#include <QScreen>
#include <QStatusBar>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>
#include <cstdio>

#include "asm/NumberFormat.h"
#include "debugger/Disassembler.h"
#include "debugger/InlineAssembler.h"
#include "emulator/Machine.h"
#include "host/config/ConfigKeys.h"
#include "host/lang/Language.h"
#include "machine/MemoryLayout.h"
#include "ui/common/LanguageApplier.h"
#include "ui/common/NumberEdit.h"
#include "ui/common/OutcomeReport.h"
#include "ui/common/ProgramIcons.h"

namespace {

constexpr const char* kSection = "FormDebugger";
constexpr const char* kLineKind = "lineKind";  // 0 instruction line, 1 listing line
constexpr const char* kLineIndex = "lineIndex";

QString Q(const std::string& text) {
    return QString::fromStdString(text);
}

}  // namespace

TFormDebugger::TFormDebugger(config::Settings& settings, Machine& machine, QWidget* parent)
    : QWidget(parent, Qt::Tool), settings_(settings), machine_(machine), core_(machine.Debugger()) {
    setObjectName("FormDebugger");
    setWindowTitle("Debugger");
    font_ = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    // The columns are counted in characters, so every character must be as wide as "0".
    font_.setStyleHint(QFont::Monospace);
    font_.setFixedPitch(true);
    setFont(font_);
    windowColour_ = palette().color(QPalette::Window);

    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(4, 4, 4, 4);
    outer->setSpacing(2);
    auto* tools = new QHBoxLayout;
    tools->setSpacing(1);
    outer->addLayout(tools);
    // A button without a picture shows its text: the radix and notation buttons name their
    // state that way.
    auto add = [&](const char* name, const char* text, const char* icon,
                   std::function<void()> click) {
        QToolButton* button = AddButton(name, text, std::move(click));
        if (icon != nullptr) button->setIcon(icons::Icon(icon));
        tools->addWidget(button);
        return button;
    };
    add("SbRun", "Run", icons::kRun, [this] { SbRunClick(); });
    sbBreak_ = add("SbBreak", "Break", icons::kPause, [this] { SbBreakClick(); });
    QToolButton* step = add("SbStep", "Step", icons::kDbgStep, [this] { SbStepClick(); });
    add("SbStepOver", "Over", icons::kDbgStepOver, [this] { SbStepOverClick(); });
    add("SbStepOut", "Out", icons::kDbgStepOut, [this] { SbStepOutClick(); });
    add("SbToNext", "Next", icons::kDbgToNext, [this] { SbToNextClick(); });
    add("SbStepBack", "Back", nullptr, [this] { SbStepBackClick(); });
    add("SbRunBack", "Run back", nullptr, [this] { SbRunBackClick(); });
    add("SbCopy", "Copy", icons::kDbgCopy,
        [this] { SbCopyClick(QApplication::keyboardModifiers() & Qt::ShiftModifier); });
    add("SbFill", "Fill", icons::kDbgFill,
        [this] { SbFillClick(QApplication::keyboardModifiers() & Qt::ShiftModifier); });
    add("SbFind", "Find", icons::kDbgFind, [this] {
        if (CanCommand(true, true) && OpenFind) OpenFind();
    });
    add("SbDisass", "Disass", icons::kDbgDisass, [this] {
        if (CanCommand(true, true) && OpenDisassembly) OpenDisassembly();
    });
    add("SbBreaks", "Breaks", nullptr, [this] { OpenBreaks(); });
    add("SbSymbols", "Symbols", nullptr, [this] { SbSymbolsClick(); });
    add("SbHexDec", "Hex/Dec", nullptr, [this] { SbHexDecClick(); });
    sbZ80_ = add("SbZ80", "8080", nullptr, [this] { SbZ80Click(); });
    add("SbPerifStat", "Chips", icons::kDbgChips, [this] {
        if (CanCommand(true, true) && OpenPeripheralStatus) OpenPeripheralStatus();
    });
    tools->addStretch();

    auto* top = new QHBoxLayout;
    outer->addLayout(top);
    auto* left = new QVBoxLayout;
    top->addLayout(left);
    QWidget* panelInstructions = new QWidget(this);
    panelInstructions->setObjectName("PanelInstructions");
    auto* instrLayout = new QVBoxLayout(panelInstructions);
    instrLayout->setContentsMargins(0, 0, 0, 0);
    instrLayout->setSpacing(0);
    for (int i = 0; i < 6; ++i) {
        QLabel* line = NewLabel(QString("i%1").arg(i + 1).toUtf8().constData(), panelInstructions);
        line->setMinimumWidth(fontMetrics().horizontalAdvance(QString(32, 'W')));
        line->setProperty(kLineKind, 0);
        line->setProperty(kLineIndex, i);
        if (i < 2) line->setStyleSheet("color: grey");
        instrLayout->addWidget(line);
        instructions_[static_cast<size_t>(i)] = line;
    }
    left->addWidget(panelInstructions);
    QWidget* panelMemOrg = new QWidget(this);
    panelMemOrg->setObjectName("PanelMemOrg");
    auto* orgLayout = new QVBoxLayout(panelMemOrg);
    orgLayout->setContentsMargins(0, 0, 0, 0);
    orgLayout->setSpacing(0);
    for (int i = 0; i < 2; ++i) {
        memOrg_[static_cast<size_t>(i)] =
            NewLabel(i == 0 ? "LblMemOrg1" : "LblMemOrg2", panelMemOrg);
        memOrg_[static_cast<size_t>(i)]->setMouseTracking(true);
        orgLayout->addWidget(memOrg_[static_cast<size_t>(i)]);
    }
    left->addWidget(panelMemOrg);
    auto* chips = new QHBoxLayout;
    lblRoll_ = NewLabel("LblRoll", this);
    lblColor_ = NewLabel("LblColor", this);
    lblIntr_ = NewLabel("LblIntr", this);
    lblTicks_ = NewLabel("LblTicks", this);
    for (QLabel* label : {lblRoll_, lblColor_, lblIntr_, lblTicks_}) chips->addWidget(label);
    left->addLayout(chips);

    // Registers, flags and stack side by side, each a panel of its own for its hint.
    auto panel = [&](const char* name, int columns) {
        auto* widget = new QWidget(this);
        widget->setObjectName(name);
        auto* grid = new QGridLayout(widget);
        // The highlight shows in the margin round the opaque labels.
        grid->setContentsMargins(2, 2, 2, 2);
        grid->setHorizontalSpacing(columns > 1 ? 8 : 0);
        grid->setVerticalSpacing(0);
        top->addWidget(widget, 0, Qt::AlignTop);
        return std::pair{widget, grid};
    };
    static constexpr const char* kRegNames[6] = {"RegAF", "RegBC", "RegDE",
                                                 "RegHL", "RegPC", "RegSP"};
    static constexpr const char* kFlagNames[6] = {"FlagSF", "FlagZF", "FlagAF",
                                                  "FlagPF", "FlagCF", "FlagIF"};
    auto [regsPanel, regsGrid] = panel("PanelRegs", 1);
    auto [flagsPanel, flagsGrid] = panel("PanelFlags", 1);
    auto [stackPanel, stackGrid] = panel("PanelSP", 2);
    for (int i = 0; i < 6; ++i) {
        registers_[static_cast<size_t>(i)] = NewLabel(kRegNames[i], regsPanel);
        flagLabels_[static_cast<size_t>(i)] = NewLabel(kFlagNames[i], flagsPanel);
        regsGrid->addWidget(registers_[static_cast<size_t>(i)], i, 0);
        flagsGrid->addWidget(flagLabels_[static_cast<size_t>(i)], i, 0);
    }
    for (int i = 0; i < 5; ++i) {
        stackAddresses_[static_cast<size_t>(i)] =
            NewLabel(QString("SPadr%1").arg(i + 1).toUtf8().constData(), stackPanel);
        stackValues_[static_cast<size_t>(i)] =
            NewLabel(QString("SP%1").arg(i + 1).toUtf8().constData(), stackPanel);
        stackGrid->addWidget(stackAddresses_[static_cast<size_t>(i)], i, 0);
        stackGrid->addWidget(stackValues_[static_cast<size_t>(i)], i, 1);
    }

    lblHalt_ = NewLabel("LblHalt", regsPanel);
    regsGrid->addWidget(lblHalt_, 6, 0);

    breakpoints_ = new QListWidget(this);
    breakpoints_->setObjectName("ClbBreakPoints");
    breakpoints_->setFlow(QListView::LeftToRight);
    breakpoints_->setMaximumHeight(fontMetrics().height() * 2 + 8);
    for (int i = 0; i < debugger::DebuggerCore::kUserSlots; ++i) {
        auto* item = new QListWidgetItem(breakpoints_);
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
        item->setCheckState(Qt::Unchecked);
    }
    connect(breakpoints_, &QListWidget::itemChanged, this, [this](QListWidgetItem* item) {
        const int slot = breakpoints_->row(item) + 1;
        const uint8_t active = item->checkState() == Qt::Checked ? 1 : 0;
        if (core_.Breakpoints[static_cast<size_t>(slot)].active == active) return;
        core_.Breakpoints[static_cast<size_t>(slot)].active = active;
        RefreshBreakpoints();
    });
    connect(breakpoints_, &QListWidget::itemDoubleClicked, this, [this](QListWidgetItem* item) {
        if (!CanCommand(true, true)) return;
        const int slot = breakpoints_->row(item) + 1;
        OpenValueEditor(core_.Breakpoints[static_cast<size_t>(slot)].address,
                        QString("BP%1:").arg(slot), EditTarget::Breakpoint, slot);
    });
    outer->addWidget(breakpoints_);

    // The value editor and its caption float over the label they edit.
    lblEditLabel_ = NewLabel("LblEditLabel", this);
    lblEditLabel_->setAutoFillBackground(true);
    meEditValue_ = NewEditor("MeEditValue", this);
    lblEditLabel_->hide();
    meEditValue_->hide();
    connect(meEditValue_, &QLineEdit::returnPressed, this, &TFormDebugger::ValueEntered);

    QWidget* panelDump = new QWidget(this);
    panelDump->setObjectName("PanelDump");
    auto* dumpLayout = new QVBoxLayout(panelDump);
    dumpLayout->setContentsMargins(2, 2, 2, 2);
    dumpLayout->setSpacing(0);
    for (int i = 0; i < debugger::DebuggerListing::kLines; ++i) {
        QLabel* line = NewLabel(QString("dump%1").arg(i + 1).toUtf8().constData(), panelDump);
        line->setMinimumWidth(fontMetrics().horizontalAdvance(QString(50, 'W')));
        line->setProperty(kLineKind, 1);
        line->setProperty(kLineIndex, i);
        dumpLayout->addWidget(line);
        dump_[static_cast<size_t>(i)] = line;
    }
    // The inline assembler floats over the listing's lower part when it opens.
    lblAsmAddress_ = NewLabel("LblAsmAddress", panelDump);
    lblAsmAddress_->setAutoFillBackground(true);
    meInlineAsm_ = new QLineEdit(panelDump);
    meInlineAsm_->setObjectName("MeInlineAsm");
    meInlineAsm_->setFont(font_);
    meEditDump_ = NewEditor("MeEditDump", panelDump);
    meEditAscii_ = NewEditor("MeEditAscii", panelDump);
    for (QWidget* w : {static_cast<QWidget*>(lblAsmAddress_), static_cast<QWidget*>(meInlineAsm_),
                       static_cast<QWidget*>(meEditDump_), static_cast<QWidget*>(meEditAscii_)})
        w->hide();
    connect(meInlineAsm_, &QLineEdit::returnPressed, this, &TFormDebugger::InlineAsmEntered);
    connect(meInlineAsm_, &QLineEdit::textEdited, this, [this](const QString& text) {
        const int caret = meInlineAsm_->cursorPosition();
        meInlineAsm_->setText(choices_.flags.Z80Notation ? text.toLower() : text.toUpper());
        meInlineAsm_->setCursorPosition(caret);
    });
    connect(meEditDump_, &QLineEdit::returnPressed, this, [this] {
        int bad = 0;
        const debugger::DumpEditResult result =
            debugger::ApplyDumpEdit(*core_.Memory(), lineEditAddress_,
                                    meEditDump_->displayText().toStdString(), choices_.flags, bad);
        if (result == debugger::DumpEditResult::OutOfRange) {
            meEditDump_->setSelection(bad * 4, 3);
            return;
        }
        if (result == debugger::DumpEditResult::Unreadable) QApplication::beep();
        meEditDump_->hide();
        FormShow();
    });
    connect(meEditAscii_, &QLineEdit::returnPressed, this, [this] {
        debugger::ApplyCharEdit(*core_.Memory(), lineEditAddress_,
                                meEditAscii_->displayText().toLatin1().toStdString(),
                                charEditCount_);
        meEditAscii_->hide();
        FormShow();
    });
    outer->addWidget(panelDump);

    auto* below = new QHBoxLayout;
    AddButton("SbTo0", "0", [this] { SbTo0Click(); })->setIcon(icons::Icon(icons::kDbgHome));
    below->addWidget(findChild<QToolButton*>("SbTo0"));
    auto* listAddrShape = new QWidget(this);
    listAddrShape->setObjectName("ShapeListAddr");
    auto* shapeLayout = new QHBoxLayout(listAddrShape);
    shapeLayout->setContentsMargins(2, 2, 2, 2);
    lblListAddr_ = NewLabel("LblListAddr", listAddrShape);
    shapeLayout->addWidget(lblListAddr_);
    below->addWidget(listAddrShape);
    highlightShapes_ = {regsPanel, stackPanel, panelDump, listAddrShape};
    cbListSrc_ = new QComboBox(this);
    cbListSrc_->setObjectName("CbListSrc");
    cbListSrc_->addItems(
        {"(MEM1)", "(MEM2)", "(MEM3)", "(AF)", "(BC)", "(DE)", "(HL)", "(PC)", "(SP)"});
    cbListType_ = new QComboBox(this);
    cbListType_->setObjectName("CbListType");
    cbListType_->addItems({"Dump", "Ascii", "Disassembling"});
    below->addWidget(cbListSrc_);
    below->addWidget(cbListType_);
    nestings_ = new QListWidget(this);
    nestings_->setObjectName("LbNestings");
    nestings_->setMaximumHeight(fontMetrics().height() * 4);
    below->addWidget(nestings_);
    AddCallStack(below);
    outer->addLayout(below);
    connect(cbListSrc_, qOverload<int>(&QComboBox::activated), this, [this](int index) {
        if (!CanCommand(true, true)) return;
        SelectSource(index);
        FormShow();
    });
    connect(cbListType_, qOverload<int>(&QComboBox::activated), this, [this](int index) {
        if (!CanCommand(true, true)) return;
        listing_.Current().type = index;
        listing_.shownType = index;
        FormShow();
    });
    connect(nestings_, &QListWidget::itemDoubleClicked, this, [this] {
        if (!CanCommand(true, true) || !listing_.Pop()) return;
        cbListSrc_->setCurrentIndex(listing_.current);
        cbListType_->setCurrentIndex(listing_.shownType);
        RefreshNestings();
        RefreshListing();
    });

    for (QLabel* label : registers_) label->setContextMenuPolicy(Qt::CustomContextMenu);
    for (QLabel* label : stackValues_) label->setContextMenuPolicy(Qt::CustomContextMenu);
    lblListAddr_->setContextMenuPolicy(Qt::CustomContextMenu);
    for (QLabel* label : findChildren<QLabel*>()) {
        if (label->contextMenuPolicy() != Qt::CustomContextMenu) continue;
        connect(label, &QWidget::customContextMenuRequested, this,
                [this, label](const QPoint& at) { ShowValueMenu(label, at); });
    }
    // What the machine is doing: a running machine is followed here, a stopped one waits.
    status_ = new QStatusBar(this);
    status_->setObjectName("StatusDebugger");
    status_->setSizeGripEnabled(false);
    lblRunState_ = new QLabel(status_);
    lblRunState_->setObjectName("LblRunState");
    status_->addWidget(lblRunState_, 1);
    outer->addWidget(status_);
    followTimer_ = new QTimer(this);
    // Often enough to watch a loop count, seldom enough to cost the run loop nothing.
    followTimer_->setInterval(100);
    connect(followTimer_, &QTimer::timeout, this, &TFormDebugger::FollowMachine);

    for (QWidget* child : findChildren<QWidget*>()) child->installEventFilter(this);
    // After the filters: the dialog's fields take every key typed into them.
    CreateBreaks();
    step->setFocus();
    ApplyActiveLanguage(this);
}

QLabel* TFormDebugger::NewLabel(const char* name, QWidget* parent) {
    auto* label = new QLabel(parent);
    label->setObjectName(name);
    label->setFont(font_);
    return label;
}

QLineEdit* TFormDebugger::NewEditor(const char* name, QWidget* parent) {
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(name);
    edit->setFont(font_);
    // Without a frame the text lies exactly where the label's text lay.
    edit->setFrame(false);
    edit->setTextMargins(0, 0, 0, 0);
    edit->hide();
    return edit;
}

QToolButton* TFormDebugger::AddButton(const char* name, const char* text,
                                      std::function<void()> click) {
    auto* button = new QToolButton(this);
    button->setObjectName(name);
    button->setText(text);
    button->setFocusPolicy(Qt::StrongFocus);
    buttons_.push_back(button);
    connect(button, &QToolButton::clicked, this, [click = std::move(click)] { click(); });
    return button;
}

QString TFormDebugger::Text(const char* key) const {
    return Q(lang::LangText(kSection, key));
}

bool TFormDebugger::EditorOpen() const {
    return meEditValue_->isVisible() || meEditDump_->isVisible() || meEditAscii_->isVisible();
}

bool TFormDebugger::CanCommand(bool checkInlineAssembler, bool beep) {
    if (EditorOpen() || (checkInlineAssembler && meInlineAsm_->isVisible())) {
        if (beep) QApplication::beep();
        return false;
    }
    return core_.Stopped();
}

void TFormDebugger::TakeFocus() {
    raise();
    activateWindow();
    QWidget* last = focusWidget();
    if (last == nullptr || !last->isVisible() || !last->isEnabled())
        last = findChild<QWidget*>("SbStep");
    last->setFocus(Qt::OtherFocusReason);
}

void TFormDebugger::ShowOutcomeLine(const QString& text) {
    status_->showMessage(text, kOutcomeShownMs);
}

void TFormDebugger::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    FormShow();
}

void TFormDebugger::FirstShow() {
    settingsPending_ = false;
    debugger::ReadDebuggerSettings(settings_, choices_, listing_, core_);
    const QRect desktop = screen()->availableGeometry();
    const config::WindowPos position = settings_.GetWindowPos(
        config::keys::kDebuggerPos, frameGeometry().width(), frameGeometry().height(),
        config::ScreenArea{desktop.x() + desktop.width(), desktop.y() + desktop.height()});
    move(position.x, position.y);
}

void TFormDebugger::FormShow() {
    if (settingsPending_) FirstShow();
    // The masks refuse every character that is no digit of the radix; an unfilled place shows
    // as a blank and reads as nothing.
    const bool decimal = choices_.flags.DecimalRadix;
    meEditValue_->setInputMask(Symbols() != nullptr ? QString() : NumberFieldMask({"", !decimal}));
    meEditDump_->setInputMask(EightBytesMask(decimal));
    ApplyHintSetting();
    ApplyHighlight();
    StartTracking();
    StopAndRefresh();
    RefreshBreakpoints();
    RefreshNestings();
}

void TFormDebugger::ApplyHintSetting() {
    showHints_ = settings_.Get(config::keys::kShowHintInDebugger);
    const std::string key = "panel.PanelDump.Hint" + std::to_string(listing_.shownType);
    findChild<QWidget*>("PanelDump")
        ->setToolTip(showHints_ ? Text(key.c_str()).replace('\\', '\n') : QString());
}

void TFormDebugger::ApplyHighlight() {
    // The stored colour is blue, green, red from the low byte up.
    const QColor colour(choices_.highlightColor & 0xFF, (choices_.highlightColor >> 8) & 0xFF,
                        (choices_.highlightColor >> 16) & 0xFF);
    for (QWidget* shape : highlightShapes_) {
        QPalette shapePalette = shape->palette();
        shapePalette.setColor(QPalette::Window, colour);
        shape->setPalette(shapePalette);
        shape->setAutoFillBackground(true);
        for (QLabel* label : shape->findChildren<QLabel*>())
            SetOpaque(label, label != editedLabel_);
    }
    QPalette linePalette = instructions_[2]->palette();
    linePalette.setColor(QPalette::Window, colour);
    instructions_[2]->setPalette(linePalette);
    instructions_[2]->setAutoFillBackground(true);
}

void TFormDebugger::SetOpaque(QLabel* label, bool opaque) {
    QPalette labelPalette = label->palette();
    labelPalette.setColor(QPalette::Window, windowColour_);
    label->setPalette(labelPalette);
    label->setAutoFillBackground(opaque);
}

void TFormDebugger::PlaceEditor(QWidget* editor, QWidget* anchor, QPoint origin, int column,
                                int characters) {
    const QFontMetrics metrics(font_);
    const int width = metrics.horizontalAdvance('0');
    // A frameless line edit still keeps two pixels before its text.
    constexpr int kTextMargin = 2;
    const QPoint at = anchor->mapTo(editor->parentWidget(), origin);
    const int height = std::max(anchor->height(), metrics.height()) + 6;
    editor->setGeometry(at.x() + column * width - kTextMargin,
                        at.y() + (anchor->height() - height) / 2,
                        (characters + 1) * width + 2 * kTextMargin, height);
    editor->raise();
}

void TFormDebugger::StopAndRefresh() {
    core_.Stop();
    RefreshAll();
    ShowRunState();
}

void TFormDebugger::RefreshAll() {
    if (core_.Cpu() == nullptr || core_.Memory() == nullptr) return;
    // Every step, edit and stop shows itself here: the history takes the machine as it is now
    // (an edit of a register or of memory is a change from outside).
    if (machine_.GetRunState() != Machine::kRunning) machine_.NoteOutsideChange();
    RefreshViews();
}

void TFormDebugger::RefreshViews() {
    ChipCpu8080* cpu = core_.Cpu();
    ChipMemory* memory = core_.Memory();
    if (cpu == nullptr || memory == nullptr) return;
    // The views read memory as the processor does; what they find unmapped must not stop the
    // program later as if it had faulted itself.
    const bool hadFault = memory->Fault();
    const debugger::DisplayFlags flags = choices_.flags;
    for (int i = 0; i < 2; ++i) {
        const int32_t history = i == 0 ? cpu->PrevPC : cpu->CurPC;
        uint16_t at = static_cast<uint16_t>(history);
        const uint16_t start = at;
        instructions_[static_cast<size_t>(i)]->setText(
            history < 0 ? QString()
                        : Marked(start, debugger::FormatCodeLine(*memory, at, flags, Symbols())));
    }
    uint16_t at = cpu->PC;
    for (int i = 2; i < 6; ++i) {
        const uint16_t start = at;
        instructions_[static_cast<size_t>(i)]->setText(
            Marked(start, debugger::FormatCodeLine(*memory, at, flags, Symbols())));
    }
    RefreshProcessorState();
    const debugger::RegisterTexts texts = debugger::FormatRegisters(*cpu, *memory, flags);
    for (size_t i = 0; i < 6; ++i) {
        registers_[i]->setText(Q(texts.registers[i]));
        flagLabels_[i]->setText(Q(texts.flags[i]));
    }
    for (size_t i = 0; i < 5; ++i) {
        stackAddresses_[i]->setText(Q(texts.stackAddresses[i]));
        stackValues_[i]->setText(Q(texts.stackValues[i]));
    }
    lblTicks_->setText(Q(texts.ticks));
    if (const MemoryOrganizer* organizer = machine_.Organizer()) {
        const auto map = debugger::FormatMemoryMap(*organizer, flags);
        memOrg_[0]->setText(Q(map[0]));
        memOrg_[1]->setText(Q(map[1]));
    }
    const Machine::VideoView video = machine_.Video();
    uint8_t lastWritten = 0, requests = 0;
    if (const IfInterrupt* interrupts = machine_.Interrupts()) {
        lastWritten = interrupts->GetState().LastWritten;
        requests = interrupts->Chip().GetState().Requests;
    }
    const auto chips = debugger::FormatChipLabels(video.scrollRegister, video.colourRegister,
                                                  lastWritten, requests, flags);
    lblRoll_->setText(Q(chips[0]));
    lblColor_->setText(Q(chips[1]));
    lblIntr_->setText(Q(chips[2]));
    RefreshListing();
    if (!hadFault) memory->ClearFault();
    if (Refreshed) Refreshed();
}

void TFormDebugger::RefreshListing() {
    ChipCpu8080* cpu = core_.Cpu();
    ChipMemory* memory = core_.Memory();
    if (cpu == nullptr || memory == nullptr) return;
    cbListSrc_->setCurrentIndex(listing_.current);
    cbListType_->setCurrentIndex(listing_.shownType);
    lblListAddr_->setText(Q(listing_.Caption(choices_.flags)));
    lblListAddr_->setToolTip(Q(debugger::FormatWord(listing_.Start(*cpu), choices_.flags)));
    const std::vector<std::string> lines = listing_.Lines(*cpu, *memory, choices_.flags, Symbols());
    const bool code = listing_.shownType == debugger::kDisassembly;
    for (size_t i = 0; i < dump_.size(); ++i) {
        dump_[i]->setText(
            code ? Marked(listing_.LineAddress(*cpu, *memory, static_cast<int>(i)), lines[i])
                 : Q(lines[i]));
    }
}

void TFormDebugger::RefreshBreakpoints() {
    const QSignalBlocker block(breakpoints_);
    for (int i = 0; i < debugger::DebuggerCore::kUserSlots; ++i) {
        const debugger::BreakpointSlot& slot = core_.Breakpoints[static_cast<size_t>(i + 1)];
        QListWidgetItem* item = breakpoints_->item(i);
        item->setText(Q(debugger::FormatWord(slot.address, choices_.flags)));
        item->setCheckState(slot.active != 0 ? Qt::Checked : Qt::Unchecked);
    }
    breakpoints_->clearSelection();
    breakpoints_->setCurrentRow(-1);
}

void TFormDebugger::RefreshNestings() {
    nestings_->clear();
    for (const debugger::NestingEntry& entry : listing_.nesting) {
        nestings_->addItem(Q(debugger::FormatWord(static_cast<uint16_t>(entry.base + entry.offset),
                                                  choices_.flags)));
    }
}

void TFormDebugger::SaveSettings() {
    if (settingsPending_) return;
    debugger::WriteDebuggerSettings(settings_, choices_, listing_, core_);
    settings_.SetWindowPos(config::keys::kDebuggerPos, config::WindowPos{x(), y()});
    std::string error;
    if (!settings_.Document().SaveIfModified(&error)) {
        std::fprintf(stderr, "tevrinemu: cannot write the settings to %s: %s\n",
                     settings_.Document().Path().c_str(), error.c_str());
    }
}

void TFormDebugger::SbHexDecClick() {
    if (!CanCommand(true, true)) return;
    choices_.flags.DecimalRadix = !choices_.flags.DecimalRadix;
    FormShow();
}

void TFormDebugger::SbZ80Click() {
    if (!CanCommand(true, true)) return;
    choices_.flags.Z80Notation = !choices_.flags.Z80Notation;
    sbZ80_->setText(choices_.flags.Z80Notation ? "Z80" : "8080");
    StopAndRefresh();
}

void TFormDebugger::SbTo0Click() {
    if (!CanCommand(true, true)) return;
    listing_.Current().offset = 0;
    RefreshListing();
}
