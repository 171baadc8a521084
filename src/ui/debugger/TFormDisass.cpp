#include "ui/debugger/TFormDisass.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFontDatabase>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>

#include "asm/NumberFormat.h"
#include "debugger/DisassRangeList.h"
#include "frontend/AddressField.h"
#include "host/files/AtomicFile.h"
#include "host/files/ProgramPaths.h"
#include "host/lang/Language.h"
#include "ui/common/FileDialogs.h"
#include "ui/common/NumberEdit.h"

namespace {

constexpr const char* kSection = "FormDisass";
constexpr std::size_t kMaxListBytes = 1u << 20;  // a list of every possible range is far less

std::string Text(const char* key) {
    return lang::LangText(kSection, key);
}

QString QText(const char* key) {
    return QString::fromStdString(Text(key));
}

}  // namespace

TFormDisass::TFormDisass(const config::Settings& settings, QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::WindowStaysOnTopHint), settings_(settings) {
    setObjectName("FormDisass");
    setWindowTitle("Disassemble to file");
    const QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 6, 6, 6);

    list_ = new QTreeWidget(this);
    list_->setObjectName("LvList");
    list_->setHeaderLabels({"From", "To", "Offset", "Type", "Labels"});
    list_->setRootIsDecorated(false);
    list_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    list_->setFont(fixed);
    list_->setMinimumHeight(140);
    layout->addWidget(list_, 1);

    auto* grid = new QGridLayout;
    layout->addLayout(grid);
    auto addField = [&](const char* label, const char* caption, const char* name, int column) {
        auto* l = new QLabel(caption, this);
        l->setObjectName(label);
        auto* edit = new QLineEdit(this);
        edit->setObjectName(name);
        edit->setFont(fixed);
        edit->installEventFilter(this);
        grid->addWidget(l, 0, column);
        grid->addWidget(edit, 1, column);
        return edit;
    };
    from_ = addField("LblFrom", "From:", "MeFrom", 0);
    to_ = addField("LblTo", "To:", "MeTo", 1);
    offset_ = addField("LblOffset", "Offset:", "MeOffset", 2);
    auto* asLabel = new QLabel("As:", this);
    asLabel->setObjectName("LblAs");
    as_ = new QComboBox(this);
    as_->setObjectName("CbAs");
    as_->addItems({"", "DB n8", "DB 'text'", "DW n16", "DS n16"});
    grid->addWidget(asLabel, 0, 3);
    grid->addWidget(as_, 1, 3);
    dwLabel_ = new QCheckBox("Words are addresses", this);
    dwLabel_->setObjectName("CheckDwLabel");
    dwLabel_->setEnabled(false);
    grid->addWidget(dwLabel_, 2, 0, 1, 3);
    auto* add = new QPushButton("&Add", this);
    add->setObjectName("BtnAdd");
    auto* del = new QPushButton("&Delete", this);
    del->setObjectName("BtnDel");
    grid->addWidget(add, 1, 4);
    grid->addWidget(del, 2, 4);

    auto* output = new QGroupBox("Output", this);
    output->setObjectName("GbOutput");
    auto* outLayout = new QGridLayout(output);
    labels_ = new QRadioButton("Source with labels", output);
    labels_->setObjectName("RbLabels");
    labels_->setChecked(true);
    addrs_ = new QRadioButton("Listing with addresses", output);
    addrs_->setObjectName("RbAddrs");
    hexDump_ = new QCheckBox("With hex dump", output);
    hexDump_->setObjectName("CheckHexDump");
    hexDump_->setEnabled(false);
    outLayout->addWidget(labels_, 0, 0);
    outLayout->addWidget(addrs_, 1, 0);
    outLayout->addWidget(hexDump_, 1, 1);
    layout->addWidget(output);

    auto* buttons = new QHBoxLayout;
    layout->addLayout(buttons);
    auto* save = new QPushButton("&Save list...", this);
    save->setObjectName("BtnSave");
    auto* load = new QPushButton("&Load list...", this);
    load->setObjectName("BtnLoad");
    auto* disass = new QPushButton("Disassemble...", this);
    disass->setObjectName("BtnDisass");
    buttons->addWidget(save);
    buttons->addWidget(load);
    buttons->addStretch(1);
    buttons->addWidget(disass);

    connect(as_, &QComboBox::activated, this, &TFormDisass::CbAsSelect);
    connect(add, &QPushButton::clicked, this, &TFormDisass::BtnAddClick);
    connect(del, &QPushButton::clicked, this, &TFormDisass::BtnDelClick);
    connect(labels_, &QRadioButton::clicked, this, &TFormDisass::RbAdrLabClick);
    connect(addrs_, &QRadioButton::clicked, this, &TFormDisass::RbAdrLabClick);
    connect(save, &QPushButton::clicked, this, &TFormDisass::BtnSaveClick);
    connect(load, &QPushButton::clicked, this, &TFormDisass::BtnLoadClick);
    connect(disass, &QPushButton::clicked, this, &TFormDisass::BtnDisassClick);

    ApplyFieldMasks();
    for (QLineEdit* field : {from_, to_, offset_}) SetField(field, 0);
}

void TFormDisass::ApplyFieldMasks() {
    // A label does not fit a mask of digits; the offset is a distance, never a label.
    for (QLineEdit* field : {from_, to_}) {
        field->setInputMask(symbols_ != nullptr ? QString() : NumberFieldMask({"", !decimal_}));
    }
    offset_->setInputMask(NumberFieldMask({"", !decimal_}));
}

void TFormDisass::SetField(QLineEdit* field, int32_t value) {
    field->setText(QString::fromStdString(assembler::FormatNumber(
        value, {.Word = true, .FixedWidth = true, .Hexadecimal = !decimal_, .HashPrefix = true})));
}

FieldReading TFormDisass::Read(QLineEdit* field, const char* label, int32_t minimum) const {
    const NumberField number{FieldNameOf(findChild<QLabel*>(label)->text().toStdString()),
                             !decimal_, minimum, 0xFFFF};
    const std::string typed = field->displayText().toStdString();
    if (field == offset_) return ReadNumberField(number, typed);
    return ReadAddressField(number, typed, symbols_);
}

void TFormDisass::Refuse(QLineEdit* field, const FieldReading& reading) {
    ShowMessage(QMessageBox::Warning, QString::fromStdString(FieldRefusalTitle()),
                QString::fromStdString(reading.refusal));
    field->setFocus();
    field->selectAll();
}

template <typename Change>
void TFormDisass::KeepFields(Change change) {
    const FieldReading readings[] = {Read(from_, "LblFrom", 0), Read(to_, "LblTo", 0),
                                     Read(offset_, "LblOffset", 0)};
    change();
    ApplyFieldMasks();
    QLineEdit* fields[] = {from_, to_, offset_};
    for (int i = 0; i < 3; ++i) {
        if (readings[i].ok) {
            SetField(fields[i], readings[i].value);
        } else {
            fields[i]->clear();
        }
    }
}

void TFormDisass::SetRadix(bool decimal) {
    KeepFields([&] { decimal_ = decimal; });
    if (isVisible()) FillList();
}

void TFormDisass::SetSymbols(const debugger::SymbolTable* symbols) {
    if (symbols == symbols_) return;
    KeepFields([&] { symbols_ = symbols; });
}

void TFormDisass::FillList() {
    list_->clear();
    auto number = [this](int32_t value) {
        return QString::fromStdString(assembler::FormatNumber(
            value,
            {.Word = true, .FixedWidth = true, .Hexadecimal = !decimal_, .HashPrefix = true}));
    };
    for (const debugger::DisassRange& r : ranges_) {
        QString flag;
        if (r.Type == debugger::kRangeWords) {
            flag = QText(r.DwLabels ? "text.LvList.Yes" : "text.LvList.No");
        }
        auto* item = new QTreeWidgetItem(
            {number(r.From), number(r.To), number(r.Offset), as_->itemText(r.Type), flag});
        list_->addTopLevelItem(item);
    }
}

void TFormDisass::showEvent(QShowEvent* event) {
    const std::string type1 = Text("text.CbAs.type1");
    if (!type1.empty()) as_->setItemText(0, QString::fromStdString(type1));
    if (list_->topLevelItemCount() == 0) FillList();
    QWidget::showEvent(event);
}

void TFormDisass::CbAsSelect() {
    dwLabel_->setEnabled(as_->currentIndex() == debugger::kRangeWords);
}

void TFormDisass::RbAdrLabClick() {
    hexDump_->setEnabled(addrs_->isChecked());
}

void TFormDisass::BtnAddClick() {
    const FieldReading from = Read(from_, "LblFrom", 0);
    if (!from.ok) return Refuse(from_, from);
    const FieldReading to = Read(to_, "LblTo", from.value);
    if (!to.ok) return Refuse(to_, to);
    const FieldReading offset = Read(offset_, "LblOffset", 0);
    if (!offset.ok) return Refuse(offset_, offset);
    debugger::DisassRange range;
    range.From = from.value;
    range.To = to.value;
    range.Offset = offset.value;
    range.Type = as_->currentIndex();
    range.DwLabels = range.Type == debugger::kRangeWords && dwLabel_->isChecked();
    const size_t row = debugger::InsertRangeSorted(ranges_, range);
    FillList();
    list_->scrollToItem(list_->topLevelItem(static_cast<int>(row)));
    const uint16_t next = debugger::NextRangeAddress(range);
    SetField(from_, next);
    SetField(to_, next);
}

void TFormDisass::BtnDelClick() {
    std::vector<int> rows;
    for (QTreeWidgetItem* item : list_->selectedItems()) {
        rows.push_back(list_->indexOfTopLevelItem(item));
    }
    std::sort(rows.rbegin(), rows.rend());
    for (int row : rows) ranges_.erase(ranges_.begin() + row);
    FillList();
}

void TFormDisass::BtnSaveClick() {
    if (ranges_.empty()) return Message(QMessageBox::Warning, "err.Disass1");
    std::string path = program::UserFilesFolder();
    if (!AskFileName(true, path)) return;
    if (!files::WriteFileAtomically(path, debugger::FormatRangeList(ranges_))) {
        Message(QMessageBox::Warning, "err.Disass2");
    }
}

void TFormDisass::BtnLoadClick() {
    std::string path = program::UserFilesFolder();
    if (!AskFileName(false, path)) return;
    std::string text;
    if (files::ReadWholeFile(path, kMaxListBytes, text) != files::ReadResult::Ok) {
        Message(QMessageBox::Warning, "err.OpenList1");
        return;
    }
    ranges_.clear();
    const debugger::RangeListError error = debugger::ParseRangeList(text, ranges_);
    FillList();
    if (error.Line != 0) {
        Message(QMessageBox::Warning, "err.OpenList2", QString::number(error.Line));
    }
}

void TFormDisass::BtnDisassClick() {
    if (ranges_.empty()) return Message(QMessageBox::Warning, "err.Disass1");
    if (memory_ == nullptr) return;
    std::string path = program::UserFilesFolder();
    if (!AskFileName(true, path)) return;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    debugger::DisassListingOptions options;
    options.Labels = labels_->isChecked();
    options.HexDump = !options.Labels && hexDump_->isChecked();
    options.Flags.DecimalRadix = decimal_;
    options.Flags.Z80Notation = z80_;
    const std::string text = debugger::WriteDisassemblyListing(*memory_, ranges_, options);
    const bool written = files::WriteFileAtomically(path, text);
    QApplication::restoreOverrideCursor();
    if (!written) return Message(QMessageBox::Warning, "err.Disass2");
    Message(QMessageBox::Information, "err.Disass3");
}

void TFormDisass::Message(QMessageBox::Icon icon, const char* key, const QString& argument) {
    const std::string base(key);
    std::string text = Text((base + ".Message").c_str());
    if (!argument.isEmpty()) {
        text = lang::LangText1(kSection, base + ".Message", argument.toStdString());
    }
    ShowMessage(icon, QText((base + ".Title").c_str()), QString::fromStdString(text));
}

void TFormDisass::ShowMessage(QMessageBox::Icon icon, const QString& title, const QString& text) {
    QMessageBox box(icon, title, text, QMessageBox::Ok, this);
    box.exec();
}

bool TFormDisass::AskFileName(bool save, std::string& path) {
    if (save) {
        return SaveFileDialog(this, settings_, Text("text.SaveDlg.Title"),
                              Text("text.SaveDlg.Filter"), true, path, "");
    }
    return OpenFileDialog(this, settings_, Text("text.OpenDlg.Title"), Text("text.OpenDlg.Filter"),
                          path, "");
}

bool TFormDisass::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress) {
        const QString text = static_cast<QKeyEvent*>(event)->text();
        const bool addressField = watched == from_ || watched == to_;
        if (text.size() == 1 && text[0].unicode() >= 32 && !(addressField && symbols_)) {
            const QChar c = text[0];
            const bool digit =
                (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
            if (!digit) return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}
