#include "ui/settings/WidgetPageControls.h"

#include <QAbstractButton>
#include <QAbstractSlider>
#include <QComboBox>
#include <QLineEdit>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QWidget>

namespace {

QString ToQString(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

QWidget* WidgetPageControls::Find(std::string_view control) const {
    return root_->findChild<QWidget*>(ToQString(control));
}

bool WidgetPageControls::Checked(std::string_view control) const {
    auto* button = qobject_cast<QAbstractButton*>(Find(control));
    return button != nullptr && button->isChecked();
}

void WidgetPageControls::SetChecked(std::string_view control, bool checked) {
    if (auto* button = qobject_cast<QAbstractButton*>(Find(control))) button->setChecked(checked);
}

int WidgetPageControls::Value(std::string_view control) const {
    QWidget* widget = Find(control);
    if (auto* combo = qobject_cast<QComboBox*>(widget)) {
        if (control != kDeviceList) return combo->currentIndex();
        return combo->currentIndex() < 0 ? -1 : combo->currentData().toInt();
    }
    if (auto* spin = qobject_cast<QSpinBox*>(widget)) return spin->value();
    if (auto* slider = qobject_cast<QAbstractSlider*>(widget)) return slider->value();
    return -1;
}

void WidgetPageControls::SetValue(std::string_view control, int value) {
    QWidget* widget = Find(control);
    if (auto* combo = qobject_cast<QComboBox*>(widget)) combo->setCurrentIndex(value);
    if (auto* spin = qobject_cast<QSpinBox*>(widget)) spin->setValue(value);
    if (auto* slider = qobject_cast<QAbstractSlider*>(widget)) slider->setValue(value);
}

std::string WidgetPageControls::Text(std::string_view control) const {
    auto* edit = qobject_cast<QLineEdit*>(Find(control));
    return edit != nullptr ? edit->text().toStdString() : std::string();
}

void WidgetPageControls::SetText(std::string_view control, std::string_view text) {
    if (auto* edit = qobject_cast<QLineEdit*>(Find(control))) edit->setText(ToQString(text));
}

void WidgetPageControls::SetEnabled(std::string_view control, bool enabled) {
    if (QWidget* widget = Find(control)) widget->setEnabled(enabled);
}

void WidgetPageControls::SetDevices(const std::vector<SoundDeviceInfo>& devices, int selected) {
    auto* combo = qobject_cast<QComboBox*>(Find(kDeviceList));
    if (combo == nullptr) return;
    const QSignalBlocker quiet(combo);
    combo->clear();
    for (const SoundDeviceInfo& device : devices) {
        combo->addItem(QString::fromStdString(device.name), device.index);
    }
    combo->setCurrentIndex(combo->findData(selected));
}
