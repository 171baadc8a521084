#pragma once

#include <QDialog>

#include <vector>

#include "frontend/SettingsPages.h"
#include "host/config/Settings.h"
#include "ui/settings/WidgetPageControls.h"

class JoystickDialogLink;
class QLabel;
class QStackedWidget;
class QTreeWidget;

// The settings dialog: a tree of five pages (General, Hardware, Display, Sound, Controls), each
// showing its settings from the configuration. OK writes what changed and keeps the change list
// for the main window to apply. Made once with the main window and kept until exit; the
// bindings and rules are the core's (settingspages::SettingsPages), this holds the widgets.
class TFormSettings : public QDialog {
    Q_OBJECT

  public:
    explicit TFormSettings(
        config::Settings& settings, QWidget* parent = nullptr,
        settingspages::DeviceSource devices = settingspages::DeviceSource::Host());
    ~TFormSettings() override;

    // Shows the dialog modally on that page (one beyond the tree keeps the page shown last);
    // true when the user confirmed it.
    bool Open(int page = -1);
    // The start-up use, without showing: every page loaded and confirmed once (which normalises
    // the file), the dialog placed where it was and on its page.
    void StartUp();
    // At exit: the dialog's position and page.
    void StoreSettings();

    // The groups the last confirmation changed, in the order it found them.
    const std::vector<config::Group>& ChangeList() const { return changeList_; }
    config::GroupSet Changes() const { return settingspages::ToGroupSet(changeList_); }

    int CurrentPage() const;
    void SetJoystickDialog(JoystickDialogLink* dialog);

    // Handlers, by their names in the window's design.
    void TreeItemsClick(int page);
    void TabShow(settingspages::Page page);
    void BtnOkClick();
    void CbLangChange(int index);
    void BtnMainRomOpenClick();
    void BtnRomModuleOpenClick();
    void BtnSdRomRootPathClick();
    void BtnJoyClick();

  protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void CreatePages();
    void ConnectControls();
    void FillLanguageList();
    void ShowSoundApis();
    void ShowJoystickType();
    // Without a joystick dialog there is nothing the Joystick button could open.
    void LimitJoystickButton();
    void RefreshHeading();
    void OpenFileInto(const char* edit, const std::string& title, const std::string& filter,
                      const char* extension);

    config::Settings& settings_;
    WidgetPageControls controls_;
    settingspages::SettingsPages pages_;
    settingspages::DeviceSource devices_;
    std::vector<config::Group> changeList_;
    JoystickDialogLink* joystick_ = nullptr;

    QTreeWidget* tree_ = nullptr;
    QStackedWidget* stack_ = nullptr;
    QLabel* imgTop_ = nullptr;
    QLabel* lblCaption_ = nullptr;
    QLabel* lblDesc_ = nullptr;
};
