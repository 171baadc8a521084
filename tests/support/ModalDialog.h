#pragma once

#include <QApplication>
#include <QDialog>
#include <QTimer>
#include <QWidget>

#include <functional>

namespace testing_support {

// Acts on the next modal window as soon as it shows, then closes it if the action left it open.
// An assertion that fails inside the action returns from it early, before the click that would
// have closed the window; closing it here lets the test end and report instead of waiting for
// ever. Make it before the call that shows the window.
class WhenModal {
  public:
    explicit WhenModal(std::function<void(QWidget&)> action, int timeoutMs = 10000)
        : action_(std::move(action)), triesLeft_(timeoutMs / kPollMs) {
        QObject::connect(&timer_, &QTimer::timeout, [this] { Poll(); });
        timer_.start(kPollMs);
    }
    WhenModal(const WhenModal&) = delete;
    WhenModal& operator=(const WhenModal&) = delete;

    bool Ran() const { return ran_; }
    // The action did not close the window; the guard did.
    bool LeftOpen() const { return leftOpen_; }

  private:
    static constexpr int kPollMs = 10;

    void Poll() {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal == nullptr || !modal->isVisible()) {
            if (--triesLeft_ <= 0) timer_.stop();
            return;
        }
        timer_.stop();
        ran_ = true;
        action_(*modal);
        if (modal->isVisible()) {
            leftOpen_ = true;
            if (auto* dialog = qobject_cast<QDialog*>(modal)) {
                dialog->reject();
            } else {
                modal->close();
            }
        }
    }

    std::function<void(QWidget&)> action_;
    QTimer timer_;
    int triesLeft_;
    bool ran_ = false;
    bool leftOpen_ = false;
};

}  // namespace testing_support
