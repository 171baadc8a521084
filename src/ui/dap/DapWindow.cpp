#include "ui/dap/DapWindow.h"

#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QVBoxLayout>

#include "emulator/Machine.h"
#include "host/config/Settings.h"
#include "host/lang/Language.h"
#include "ui/main/ScreenView.h"

DapWindow::DapWindow(Machine& machine, const config::Settings& settings) : machine_(machine) {
    setObjectName("DapWindow");
    setWindowTitle("Tevrin Emulator (debugged)");
    const std::string caption = lang::LangText("FormMain", "text.Dap.Caption");
    if (!caption.empty()) setWindowTitle(QString::fromStdString(caption));
    presenter_.ApplySettings(settings, config::GroupSet::All());
    presenter_.SetBitmapMode(ScreenMode::Normal);
    hostKeyboard_.ApplySettings(settings, config::GroupSet::All());
    view_ = new ScreenView(this);
    view_->SetPresenter(&presenter_);
    view_->setFocusPolicy(Qt::NoFocus);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(view_);
    setFocusPolicy(Qt::StrongFocus);
}

DapWindow::~DapWindow() {
    view_->SetPresenter(nullptr);
}

std::unique_ptr<dap::SessionWindow> DapWindow::Make(Machine& machine,
                                                    const config::Settings& settings,
                                                    std::string& error) {
    if (QApplication::instance() == nullptr) {
        if (qEnvironmentVariableIsEmpty("DISPLAY") &&
            qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") &&
            qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
            error = "there is no display for the window";
            return nullptr;
        }
        // Made once for the process; the toolkit outlives every window.
        static int argc = 1;
        static char name[] = "tevrinemu";
        static char* argv[] = {name, nullptr};
        new QApplication(argc, argv);
    }
    auto window = std::make_unique<DapWindow>(machine, settings);
    window->show();
    return window;
}

bool DapWindow::Serve() {
    QApplication::processEvents();
    if (closed_) return false;
    const auto now = std::chrono::steady_clock::now();
    if (now - lastTick_ < std::chrono::milliseconds(20)) return true;
    lastTick_ = now;
    hostKeyboard_.ScanInto(machine_);
    presenter_.Render(machine_);
    view_->update();
    return true;
}

bool DapWindow::event(QEvent* event) {
    switch (event->type()) {
        // Tab and the function keys are the machine's, not the focus chain's.
        case QEvent::KeyPress:
        case QEvent::KeyRelease: {
            const auto& key = static_cast<const QKeyEvent&>(*event);
            const bool known = event->type() == QEvent::KeyPress ? keyboard_.KeyPressed(key)
                                                                 : keyboard_.KeyReleased(key);
            if (known) return true;
            break;
        }
        case QEvent::WindowDeactivate:
        case QEvent::FocusOut:
            // No releases reach a window without the keyboard.
            keyboard_.ReleaseAll();
            break;
        default: break;
    }
    return QWidget::event(event);
}

void DapWindow::closeEvent(QCloseEvent* event) {
    event->accept();
    closed_ = true;
}
