#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "host/audio/SoundDevices.h"
#include "host/config/GroupSet.h"
#include "host/config/Settings.h"

// What the settings dialog's five pages do, without the widgets: every control is bound to its
// key in one table per page, so loading a page, confirming the dialog and "which groups changed"
// are one loop over the tables. The dialog reaches its widgets through PageControls, by the
// controls' object names; tests use a table of values instead.
namespace settingspages {

enum class Page : int { General = 0, Hardware = 1, Display = 2, Sound = 3, Controls = 4 };
inline constexpr int kPageCount = 5;

// The state of the pages' controls, by object name. Setting a control's state must not run the
// page rules (only the user's clicks do, through SettingsPages::Clicked).
class PageControls {
  public:
    virtual ~PageControls() = default;
    virtual bool Checked(std::string_view control) const = 0;
    virtual void SetChecked(std::string_view control, bool checked) = 0;
    // A list's selected item (-1: none), a spin box's or a track bar's position; for the audio
    // device list the selected item's device index (-1: none).
    virtual int Value(std::string_view control) const = 0;
    virtual void SetValue(std::string_view control, int value) = 0;
    virtual std::string Text(std::string_view control) const = 0;
    virtual void SetText(std::string_view control, std::string_view text) = 0;
    virtual void SetEnabled(std::string_view control, bool enabled) = 0;
    // Replaces the audio device list and selects the item of that device index (-1: none).
    virtual void SetDevices(const std::vector<SoundDeviceInfo>& devices, int selected) = 0;
};

// The host's audio devices as the Sound page lists them; tests give their own.
struct DeviceSource {
    // False without a working audio system: the page then keeps the stored device.
    std::function<bool()> available;
    std::function<std::vector<SoundDeviceInfo>(SoundOutputType)> list;
    std::function<int(SoundOutputType)> defaultDevice;
    // The host API's own name ("ALSA", "JACK Audio Connection Kit"); empty when there is none.
    std::function<std::string(SoundOutputType)> apiName;
    static DeviceSource Host();
};

// What a file edit shows for a file that does not exist: the stored name is then kept.
inline constexpr std::string_view kNoFile = "...";

class SettingsPages {
  public:
    SettingsPages(config::Settings& settings, PageControls& controls,
                  DeviceSource devices = DeviceSource::Host());

    // Fills one page's controls from the configuration (the Sound page may store the device it
    // selects at once, as a fresh installation has none).
    void LoadPage(Page page);
    void LoadAllPages();

    // The output type's radio buttons: lists that host API's devices, selecting the device the
    // Sound page loaded, else the API's default output device.
    void ListDevices();

    // The user clicked a check box: the rules that tie the controls together (a ROM module and
    // the SD-ROM module exclude each other, the timer options, the Muse clocking counter 1),
    // then the enabling.
    void Clicked(std::string_view control);
    void UpdateEnabling();

    // Writes every control that differs from the configuration and returns the change list:
    // the groups those keys trigger, in the order the pages confirm them (a group may appear
    // more than once). `joystickChanged` is the joystick dialog's flag: it was confirmed or its
    // calibration opened, which always rebuilds the game controller.
    std::vector<config::Group> Confirm(bool joystickChanged = false);

    // What OK must refuse before Confirm writes anything: the control to take the focus and why
    // (a main ROM file chosen that cannot be read keeps the machine's ROM). An empty control
    // when there is none.
    struct Refusal {
        std::string control;
        std::string text;
    };
    Refusal CheckBeforeConfirm() const;

  private:
    void LoadSoundPage();

    config::Settings& settings_;
    PageControls& controls_;
    DeviceSource devices_;
    int rememberedDevice_ = -1;
    bool devicesListed_ = false;
};

// The change list as a set, for applying it.
config::GroupSet ToGroupSet(const std::vector<config::Group>& changes);

}  // namespace settingspages
