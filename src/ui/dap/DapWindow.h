#pragma once

#include <QWidget>
#include <chrono>
#include <memory>
#include <string>

#include "frontend/HostKeyboard.h"
#include "frontend/ScreenPresenter.h"
#include "frontend/dap/DapSession.h"
#include "ui/main/QtKeyboardTracker.h"

class Machine;
class ScreenView;

namespace config {
class Settings;
}

// The debug adapter's window: the machine's screen, and the host keyboard as the main window
// maps it. The adapter runs the machine on the same thread between requests, so the window only
// looks and hands keys over at each Serve; stepping, breakpoints and the history stay the
// adapter's.
class DapWindow : public QWidget, public dap::SessionWindow {
  public:
    DapWindow(Machine& machine, const config::Settings& settings);
    ~DapWindow() override;

    // The toolkit's events; the machine's keys and picture at most every 20 ms (the keyboard's
    // scan). False once the user closed the window.
    bool Serve() override;
    // A window for `tevrinemu --dap`, the toolkit made at the first: no display, no window.
    static std::unique_ptr<dap::SessionWindow> Make(Machine& machine,
                                                    const config::Settings& settings,
                                                    std::string& error);

  protected:
    bool event(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

  private:
    Machine& machine_;
    ScreenPresenter presenter_;
    HostKeyboard hostKeyboard_;
    QtKeyboardTracker keyboard_{hostKeyboard_.Keys()};
    ScreenView* view_ = nullptr;
    std::chrono::steady_clock::time_point lastTick_;
    bool closed_ = false;
};
