#pragma once

#include "frontend/ScreenMode.h"
#include "host/config/ConfigKeys.h"

// The View menu's picture sizes: the mode the screen is in, the item that shows checked, and the
// windowed size that full screen returns to. The main window asks it what a click means and
// tells it when a mode has been entered.
class ScreenModeState {
  public:
    // What a click asks for.
    struct Change {
        bool change = false;                   // false: the click changes nothing on the screen
        ScreenMode mode = ScreenMode::Normal;  // the mode to set
        bool entersFullScreen = false;  // remember the window's place, maybe say how to leave
        bool operator==(const Change&) const = default;
    };

    // Before the first mode is set: the stored size says which windowed size it will be.
    explicit ScreenModeState(config::ScreenSize stored);

    // A click on MiSize100 (tag 0), MiSize200 (1) or MiSizeFull (2): the tags are the modes.
    // Choosing full screen again while in it goes back to the size it came from; a click on the
    // size already shown does nothing. Tags outside 0-2 do nothing.
    Change Select(int tag);
    // The mode has been set on the screen.
    void Entered(ScreenMode mode);

    ScreenMode Mode() const { return mode_; }
    // 100 % or 200 %: the size shown, or the size full screen returns to.
    ScreenMode WindowedMode() const { return windowedMode_; }
    ScreenMode CheckedItem() const { return checked_; }
    bool InFullScreen() const { return mode_ == ScreenMode::FullScreen; }

    // What Screen/size stores at exit: "double" only for 200 %; full screen stores "normal".
    config::ScreenSize StoredSize() const;

  private:
    ScreenMode mode_;
    ScreenMode windowedMode_;
    ScreenMode checked_;
};
