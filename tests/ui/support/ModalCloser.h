#pragma once

#include <QElapsedTimer>
#include <QPointer>
#include <QStringList>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <vector>

// Answers the modal windows a test opens and closes any that stay open, so that a step that
// failed, returned early or never matched cannot leave a modal loop waiting for ever. Make it
// before the code under test opens its window; it works until it goes.
//
// Each step is offered the active modal window and says whether it is done with it. Apart from
// the steps, a guard closes (rejects) whatever modal window or popup has stayed active for the
// patience time, again and again. The guard has a timer of its own: a step that opens a nested
// modal loop blocks its own timer, which Qt does not fire again while its handler runs.
class ModalCloser {
  public:
    using Step = std::function<bool(QWidget*)>;
    explicit ModalCloser(std::vector<Step> steps = {}, int patienceMs = 3000);
    ModalCloser(const ModalCloser&) = delete;
    ModalCloser& operator=(const ModalCloser&) = delete;

    // Every step took its window and the guard had none to close.
    bool AllDone() const { return next_ == steps_.size() && closed_.isEmpty(); }
    // The windows the guard had to close, as "class 'title'": empty when the steps answered
    // every window the test opened.
    const QStringList& Closed() const { return closed_; }

  private:
    void OfferToStep();
    void CloseOverdue();

    std::vector<Step> steps_;
    size_t next_ = 0;
    int patienceMs_;
    QTimer stepTimer_;
    QTimer guardTimer_;
    QPointer<QWidget> watched_;
    QElapsedTimer watchedFor_;
    QStringList closed_;
};
