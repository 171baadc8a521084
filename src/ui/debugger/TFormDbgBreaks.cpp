#include "ui/debugger/TFormDbgBreaks.h"

#include <QApplication>
#include <QCheckBox>
#include <QFontDatabase>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "debugger/SymbolTable.h"
#include "host/lang/Language.h"
#include "ui/common/LanguageApplier.h"

namespace {

constexpr const char* kSection = "FormDebugger";

QString Text(const std::string& key) {
    return QString::fromStdString(lang::LangText(kSection, key));
}

}  // namespace

TFormDbgBreaks::TFormDbgBreaks(debugger::DebuggerCore& core, debugger::BreakpointNotes& notes,
                               QWidget* parent)
    : QWidget(parent, Qt::Tool), core_(core), notes_(notes) {
    setObjectName("FormDbgBreaks");
    setWindowTitle("Breakpoints and watches");
    const QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(6, 6, 6, 6);

    list_ = new QTreeWidget(this);
    list_->setObjectName("LvBreaks");
    list_->setRootIsDecorated(false);
    list_->setColumnCount(4);
    list_->setHeaderLabels({"Kind", "Where", "Condition", "Hits"});
    list_->setFont(fixed);
    list_->setMinimumWidth(fontMetrics().horizontalAdvance(QString(60, '0')));
    // Short enough that the dialog fits below the debugger on a small screen.
    list_->setFixedHeight(fontMetrics().height() * 7);
    list_->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    outer->addWidget(list_);
    auto* bottom = new QHBoxLayout;
    message_ = new QLabel(this);
    message_->setObjectName("LblMessage");
    message_->setWordWrap(true);
    bottom->addWidget(message_, 1);
    auto* remove = new QPushButton("Remove", this);
    remove->setObjectName("BtnRemove");
    bottom->addWidget(remove);
    outer->addLayout(bottom);

    auto field = [&](const char* name) {
        auto* edit = new QLineEdit(this);
        edit->setObjectName(name);
        edit->setFont(fixed);
        return edit;
    };
    auto* breakBox = new QGroupBox("Breakpoint", this);
    breakBox->setObjectName("GbBreak");
    auto* breakGrid = new QGridLayout(breakBox);
    address_ = field("EdAddress");
    condition_ = field("EdCondition");
    hits_ = field("EdHits");
    auto label = [&](const char* name, const char* text, QWidget* parent) {
        auto* caption = new QLabel(text, parent);
        caption->setObjectName(name);
        return caption;
    };
    breakGrid->addWidget(label("LblAddress", "Address:", breakBox), 0, 0);
    breakGrid->addWidget(address_, 0, 1);
    breakGrid->addWidget(label("LblCondition", "Condition:", breakBox), 0, 2);
    breakGrid->addWidget(condition_, 0, 3);
    breakGrid->addWidget(label("LblHits", "Hits:", breakBox), 0, 4);
    breakGrid->addWidget(hits_, 0, 5);
    auto* addBreak = new QPushButton("Add", breakBox);
    addBreak->setObjectName("BtnAddBreak");
    breakGrid->addWidget(addBreak, 0, 6);
    outer->addWidget(breakBox);

    auto* watchBox = new QGroupBox("Watch", this);
    watchBox->setObjectName("GbWatch");
    auto* watchGrid = new QGridLayout(watchBox);
    from_ = field("EdFrom");
    to_ = field("EdTo");
    memory_ = new QRadioButton("Memory", watchBox);
    memory_->setObjectName("RadioMemory");
    memory_->setChecked(true);
    port_ = new QRadioButton("Port", watchBox);
    port_->setObjectName("RadioPort");
    read_ = new QCheckBox("Read", watchBox);
    read_->setObjectName("CheckRead");
    write_ = new QCheckBox("Write", watchBox);
    write_->setObjectName("CheckWrite");
    write_->setChecked(true);
    watchGrid->addWidget(memory_, 0, 0);
    watchGrid->addWidget(port_, 1, 0);
    watchGrid->addWidget(label("LblFrom", "From:", watchBox), 0, 1);
    watchGrid->addWidget(from_, 0, 2);
    watchGrid->addWidget(label("LblTo", "To:", watchBox), 0, 3);
    watchGrid->addWidget(to_, 0, 4);
    watchGrid->addWidget(read_, 1, 2);
    watchGrid->addWidget(write_, 1, 4);
    auto* addWatch = new QPushButton("Add", watchBox);
    addWatch->setObjectName("BtnAddWatch");
    watchGrid->addWidget(addWatch, 0, 5);
    outer->addWidget(watchBox);

    connect(addBreak, &QPushButton::clicked, this, &TFormDbgBreaks::BtnAddBreakClick);
    connect(addWatch, &QPushButton::clicked, this, &TFormDbgBreaks::BtnAddWatchClick);
    connect(remove, &QPushButton::clicked, this, &TFormDbgBreaks::BtnRemoveClick);
    for (QLineEdit* edit : {address_, condition_, hits_})
        connect(edit, &QLineEdit::returnPressed, this, &TFormDbgBreaks::BtnAddBreakClick);
    for (QLineEdit* edit : {from_, to_})
        connect(edit, &QLineEdit::returnPressed, this, &TFormDbgBreaks::BtnAddWatchClick);
    // A port is one number: the range's end means nothing for it.
    connect(port_, &QRadioButton::toggled, this, [this](bool on) { to_->setEnabled(!on); });
    // A part of the debugger: its texts are in the debugger's section, which the debugger's own
    // language switch reaches through its children.
    if (const IniFile::Section* section = lang::ActiveLanguage().File().FindSection("FormDebugger"))
        ApplyLanguageSection(this, *section);
    const QString caption =
        QString::fromStdString(lang::LangText("FormDebugger", "text.Breaks.Caption"));
    if (!caption.isEmpty()) setWindowTitle(caption);
}

void TFormDbgBreaks::SetView(debugger::DisplayFlags flags, const debugger::SymbolTable* symbols) {
    flags_ = flags;
    symbols_ = symbols;
    Refresh();
}

void TFormDbgBreaks::FocusEntry() {
    address_->setFocus(Qt::OtherFocusReason);
    address_->selectAll();
}

void TFormDbgBreaks::Refresh() {
    rows_ = debugger::BreakpointRows(core_, notes_, flags_, symbols_);
    list_->clear();
    for (const debugger::BreakpointRow& row : rows_) {
        QString kind;
        switch (row.kind) {
            case debugger::BreakpointRow::Kind::Slot:
                kind = Text(row.active ? "text.Kind.Slot" : "text.Kind.SlotOff")
                           .arg(QString::number(row.key));
                break;
            case debugger::BreakpointRow::Kind::Breakpoint: kind = Text("text.Kind.Listed"); break;
            case debugger::BreakpointRow::Kind::Watch:
                kind = Text(row.port ? "text.Kind.PortWatch" : "text.Kind.Watch")
                           .arg(Text(row.onRead && row.onWrite ? "text.Access.Both"
                                     : row.onRead              ? "text.Access.Read"
                                                               : "text.Access.Write"));
                break;
        }
        auto* item = new QTreeWidgetItem(list_);
        item->setText(0, kind);
        item->setText(1, QString::fromStdString(row.where));
        item->setText(2, QString::fromStdString(row.condition));
        if (row.kind == debugger::BreakpointRow::Kind::Breakpoint) {
            QString hits = QString::number(row.hits);
            if (!row.hitRule.empty()) hits += " (" + QString::fromStdString(row.hitRule) + ")";
            item->setText(3, hits);
        }
    }
}

void TFormDbgBreaks::Refuse(const debugger::EditRefusal& refusal, QLineEdit* field) {
    QString text = Text("err.Refused." + refusal.field);
    if (!refusal.message.empty()) text += " " + QString::fromStdString(refusal.message);
    message_->setText(text);
    QApplication::beep();
    if (field != nullptr) {
        field->setFocus();
        field->selectAll();
    }
}

void TFormDbgBreaks::Done() {
    message_->clear();
    Refresh();
    if (Changed) Changed();
}

void TFormDbgBreaks::BtnAddBreakClick() {
    if (CanEdit && !CanEdit()) return;
    const debugger::SymbolTable none;
    const std::optional<debugger::EditRefusal> refusal = debugger::AddListedBreakpoint(
        core_, notes_, address_->text().toStdString(), condition_->text().toStdString(),
        hits_->text().toStdString(), symbols_ != nullptr ? *symbols_ : none);
    if (refusal) {
        Refuse(*refusal, refusal->field == "Condition" ? condition_
                         : refusal->field == "Hits"    ? hits_
                                                       : address_);
        return;
    }
    Done();
}

void TFormDbgBreaks::BtnAddWatchClick() {
    if (CanEdit && !CanEdit()) return;
    const debugger::SymbolTable none;
    const std::optional<debugger::EditRefusal> refusal = debugger::AddWatch(
        core_, from_->text().toStdString(), to_->text().toStdString(), port_->isChecked(),
        read_->isChecked(), write_->isChecked(), symbols_ != nullptr ? *symbols_ : none);
    if (refusal) {
        Refuse(*refusal, refusal->field == "Access" ? nullptr : from_);
        return;
    }
    Done();
}

void TFormDbgBreaks::BtnRemoveClick() {
    if (CanEdit && !CanEdit()) return;
    const int row = list_->indexOfTopLevelItem(list_->currentItem());
    if (row < 0 || static_cast<size_t>(row) >= rows_.size()) {
        QApplication::beep();
        return;
    }
    debugger::RemoveRow(core_, notes_, rows_[static_cast<size_t>(row)]);
    Done();
}
