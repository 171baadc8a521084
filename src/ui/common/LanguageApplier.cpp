#include "ui/common/LanguageApplier.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QHash>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QRadioButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>
#include <QWidget>

#include "host/lang/AsciiText.h"
#include "host/lang/Language.h"

namespace {

using ElementsByName = QHash<QString, QObject*>;

struct KeyParts {
    std::string_view kind;
    std::string_view name;
    std::string_view property;
};

bool SplitKey(std::string_view key, KeyParts& parts) {
    size_t first = key.find('.');
    if (first == std::string_view::npos) return false;
    size_t second = key.find('.', first + 1);
    if (second == std::string_view::npos) return false;
    parts = {key.substr(0, first), key.substr(first + 1, second - first - 1),
             key.substr(second + 1)};
    return true;
}

// "Column7" with prefix "column" gives 7; false for anything that is not the prefix followed
// by a number from 1 on.
bool NumberedProperty(std::string_view property, std::string_view prefix, int& number) {
    if (!text::StartsWithIgnoreCase(property, prefix)) return false;
    std::string_view digits = property.substr(prefix.size());
    if (digits.empty() || digits.size() > 6) return false;
    int value = 0;
    for (char c : digits) {
        if (c < '0' || c > '9') return false;
        value = value * 10 + (c - '0');
    }
    if (value < 1) return false;
    number = value;
    return true;
}

ElementsByName Elements(QWidget* window) {
    ElementsByName elements;
    for (QObject* object : window->findChildren<QObject*>()) {
        QString name = object->objectName().toLower();
        if (!name.isEmpty() && !elements.contains(name)) elements.insert(name, object);
    }
    return elements;
}

bool SetHint(QObject* target, const QString& hint) {
    if (auto* action = qobject_cast<QAction*>(target)) {
        action->setToolTip(hint);
        action->setStatusTip(hint);
        return true;
    }
    if (auto* widget = qobject_cast<QWidget*>(target)) {
        widget->setToolTip(hint);
        return true;
    }
    return false;
}

bool SetTabSheetCaption(QWidget* page, const QString& caption) {
    page->setWindowTitle(caption);
    for (QWidget* parent = page->parentWidget(); parent != nullptr;
         parent = parent->parentWidget()) {
        if (auto* tabs = qobject_cast<QTabWidget*>(parent)) {
            int index = tabs->indexOf(page);
            if (index >= 0) tabs->setTabText(index, caption);
            break;
        }
    }
    return true;
}

bool SetCaption(QWidget* window, QObject* target, std::string_view kind, const QString& caption) {
    auto is = [&](std::string_view k) { return text::EqualsIgnoreCase(kind, k); };
    if (is("form")) {
        window->setWindowTitle(caption);
        return true;
    }
    if (is("label") || is("static")) {
        auto* label = qobject_cast<QLabel*>(target);
        if (label != nullptr) label->setText(caption);
        return label != nullptr;
    }
    if (is("button")) {
        auto* button = qobject_cast<QAbstractButton*>(target);
        if (button != nullptr) button->setText(caption);
        return button != nullptr;
    }
    if (is("check")) {
        auto* check = qobject_cast<QCheckBox*>(target);
        if (check != nullptr) check->setText(caption);
        return check != nullptr;
    }
    if (is("radio")) {
        auto* radio = qobject_cast<QRadioButton*>(target);
        if (radio != nullptr) radio->setText(caption);
        return radio != nullptr;
    }
    if (is("groupBox")) {
        auto* group = qobject_cast<QGroupBox*>(target);
        if (group != nullptr) group->setTitle(caption);
        return group != nullptr;
    }
    if (is("tabSheet")) {
        auto* page = qobject_cast<QWidget*>(target);
        return page != nullptr && SetTabSheetCaption(page, caption);
    }
    if (is("menuItem")) {
        if (auto* menu = qobject_cast<QMenu*>(target)) {
            menu->setTitle(caption);
            return true;
        }
        auto* action = qobject_cast<QAction*>(target);
        if (action != nullptr) action->setText(caption);
        return action != nullptr;
    }
    return false;
}

bool SetColumn(QObject* target, int column, const QString& caption) {
    if (auto* tree = qobject_cast<QTreeWidget*>(target)) {
        if (column >= tree->columnCount()) return false;
        tree->headerItem()->setText(column, caption);
        return true;
    }
    if (auto* table = qobject_cast<QTableWidget*>(target)) {
        if (column >= table->columnCount()) return false;
        if (table->horizontalHeaderItem(column) == nullptr) {
            table->setHorizontalHeaderItem(column, new QTableWidgetItem);
        }
        table->horizontalHeaderItem(column)->setText(caption);
        return true;
    }
    auto* view = qobject_cast<QAbstractItemView*>(target);
    if (view == nullptr || view->model() == nullptr || column >= view->model()->columnCount()) {
        return false;
    }
    return view->model()->setHeaderData(column, Qt::Horizontal, caption);
}

bool SetGridCell(QObject* target, int column, const QString& caption) {
    auto* grid = qobject_cast<QTableWidget*>(target);
    if (grid == nullptr || column >= grid->columnCount()) return false;
    if (!grid->horizontalHeader()->isHidden()) return SetColumn(grid, column, caption);
    if (grid->rowCount() == 0) return false;
    if (grid->item(0, column) == nullptr) grid->setItem(0, column, new QTableWidgetItem);
    grid->item(0, column)->setText(caption);
    return true;
}

bool SetTreeItem(QObject* target, int index, const QString& caption) {
    auto* tree = qobject_cast<QTreeWidget*>(target);
    if (tree == nullptr) return false;
    for (QTreeWidgetItemIterator it(tree); *it != nullptr; ++it, --index) {
        if (index == 0) {
            (*it)->setText(0, caption);
            return true;
        }
    }
    return false;
}

bool SetComboItem(QObject* target, int index, const QString& caption) {
    auto* combo = qobject_cast<QComboBox*>(target);
    if (combo == nullptr || index >= combo->count()) return false;
    combo->setItemText(index, caption);
    return true;
}

bool ApplyEntry(QWidget* window, const ElementsByName& elements, const IniFile::Entry& entry) {
    KeyParts parts;
    if (!SplitKey(entry.key, parts)) return false;
    const bool isForm = text::EqualsIgnoreCase(parts.kind, "form");
    QObject* target =
        isForm ? window
               : elements.value(
                     QString::fromUtf8(parts.name.data(), int(parts.name.size())).toLower());
    if (target == nullptr) return false;
    const QString value = QString::fromStdString(entry.value);
    auto kindIs = [&](std::string_view k) { return text::EqualsIgnoreCase(parts.kind, k); };
    int n = 0;
    if (text::EqualsIgnoreCase(parts.property, "Hint")) {
        return SetHint(target, QString::fromStdString(lang::WithLineBreaks(entry.value)));
    }
    if (text::EqualsIgnoreCase(parts.property, "Caption")) {
        return SetCaption(window, target, parts.kind, value);
    }
    if (NumberedProperty(parts.property, "Column", n)) {
        if (kindIs("listView")) return SetColumn(target, n - 1, value);
        if (kindIs("stringGrid")) return SetGridCell(target, n - 1, value);
        return false;
    }
    if (NumberedProperty(parts.property, "TreeItem", n) && kindIs("treeItems")) {
        return SetTreeItem(target, n - 1, value);
    }
    if (NumberedProperty(parts.property, "ComboItem", n) && kindIs("comboBox")) {
        return SetComboItem(target, n - 1, value);
    }
    return false;
}

}  // namespace

std::vector<std::string> ApplyLanguageSection(QWidget* window, const IniFile::Section& section) {
    std::vector<std::string> unused;
    if (window == nullptr) return unused;
    const ElementsByName elements = Elements(window);
    for (const IniFile::Entry& entry : section.entries) {
        if (!ApplyEntry(window, elements, entry)) unused.push_back(entry.key);
    }
    return unused;
}

bool LoadLanguage(std::string_view name) {
    const bool found = lang::LoadLanguageFile(name);
    const QWidgetList windows = QApplication::topLevelWidgets();
    for (const IniFile::Section& section : lang::ActiveLanguage().File().Sections()) {
        for (QWidget* window : windows) {
            if (text::EqualsIgnoreCase(window->objectName().toStdString(), section.name)) {
                ApplyLanguageSection(window, section);
            }
        }
    }
    return found;
}

void ApplyActiveLanguage(QWidget* window) {
    if (window == nullptr) return;
    const IniFile::Section* section =
        lang::ActiveLanguage().File().FindSection(window->objectName().toStdString());
    if (section != nullptr) ApplyLanguageSection(window, *section);
}
