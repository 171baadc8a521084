#pragma once

#include <QObject>

class QSocketNotifier;
class QWidget;

// Closes a window, as its close box would, when the process gets SIGINT or SIGTERM: the window
// then stores its settings and stops the machine the usual way. The signal handler only writes a
// byte to a socket pair; the event loop reads it and does the closing.
class SignalCloser : public QObject {
    Q_OBJECT

  public:
    explicit SignalCloser(QWidget& window);
    ~SignalCloser() override;

  private:
    static void OnSignal(int signal);
    void Close();

    QWidget& window_;
    QSocketNotifier* notifier_ = nullptr;
};
