#include "ui/support/ModalCloser.h"

#include <QApplication>
#include <QDialog>
#include <QMessageBox>

ModalCloser::ModalCloser(std::vector<Step> steps, int patienceMs)
    : steps_(std::move(steps)), patienceMs_(patienceMs) {
    QObject::connect(&stepTimer_, &QTimer::timeout, [this] { OfferToStep(); });
    QObject::connect(&guardTimer_, &QTimer::timeout, [this] { CloseOverdue(); });
    stepTimer_.start(5);
    guardTimer_.start(50);
}

void ModalCloser::OfferToStep() {
    QWidget* modal = QApplication::activeModalWidget();
    if (modal == nullptr || next_ >= steps_.size()) return;
    if (steps_[next_](modal)) ++next_;
}

void ModalCloser::CloseOverdue() {
    // A popup menu runs a loop of its own too, in front of any modal window.
    QWidget* top = QApplication::activePopupWidget();
    if (top == nullptr) top = QApplication::activeModalWidget();
    if (top == nullptr) {
        watched_.clear();
        return;
    }
    if (top != watched_) {
        watched_ = top;
        watchedFor_.start();
        return;
    }
    if (watchedFor_.elapsed() < patienceMs_) return;
    QString entry = QString("%1 '%2'").arg(top->metaObject()->className(), top->windowTitle());
    // A message nobody expected says more by its text than by its title.
    if (auto* box = qobject_cast<QMessageBox*>(top)) entry += QString(": %1").arg(box->text());
    closed_ << entry;
    watchedFor_.start();  // one that refuses to go is tried again after another wait
    if (auto* dialog = qobject_cast<QDialog*>(top)) {
        dialog->reject();
    } else {
        top->close();
    }
}
