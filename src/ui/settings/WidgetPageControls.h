#pragma once

#include "frontend/SettingsPages.h"

class QWidget;

// The settings pages' controls as the core sees them: the dialog's widgets, found by object
// name. A name the dialog does not have reads as unchecked, -1 or empty and ignores writes.
class WidgetPageControls : public settingspages::PageControls {
  public:
    static constexpr const char* kDeviceList = "CbAudioDevice";

    explicit WidgetPageControls(QWidget* root) : root_(root) {}

    bool Checked(std::string_view control) const override;
    void SetChecked(std::string_view control, bool checked) override;
    int Value(std::string_view control) const override;
    void SetValue(std::string_view control, int value) override;
    std::string Text(std::string_view control) const override;
    void SetText(std::string_view control, std::string_view text) override;
    void SetEnabled(std::string_view control, bool enabled) override;
    void SetDevices(const std::vector<SoundDeviceInfo>& devices, int selected) override;

  private:
    QWidget* Find(std::string_view control) const;

    QWidget* root_;
};
