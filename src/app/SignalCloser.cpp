#include "app/SignalCloser.h"

#include <sys/socket.h>
#include <unistd.h>
#include <QSocketNotifier>
#include <QWidget>
#include <csignal>

namespace {

int signalSockets[2] = {-1, -1};

}  // namespace

SignalCloser::SignalCloser(QWidget& window) : window_(window) {
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, signalSockets) != 0) return;
    notifier_ = new QSocketNotifier(signalSockets[1], QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &SignalCloser::Close);
    struct sigaction action {};
    action.sa_handler = &SignalCloser::OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

SignalCloser::~SignalCloser() {
    std::signal(SIGINT, SIG_DFL);
    std::signal(SIGTERM, SIG_DFL);
    if (signalSockets[0] >= 0) ::close(signalSockets[0]);
    if (signalSockets[1] >= 0) ::close(signalSockets[1]);
    signalSockets[0] = signalSockets[1] = -1;
}

void SignalCloser::OnSignal(int) {
    const char byte = 1;
    // Only async-signal-safe calls here; a full socket means a close is on its way anyway.
    [[maybe_unused]] ssize_t written = ::write(signalSockets[0], &byte, 1);
}

void SignalCloser::Close() {
    char byte = 0;
    [[maybe_unused]] ssize_t read = ::read(signalSockets[1], &byte, 1);
    window_.close();
}
