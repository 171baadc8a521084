#pragma once

#include <QString>

class QStatusBar;
class QWidget;

// The one way the outcome of a user's command reaches the user. A command that finished says so
// on a status bar (it needs no answer and must not stop the user); a command that was refused or
// failed says why in a message box over the window it came from, and leaves the same line on the
// status bar so it can still be read after the box is gone. The status bar is the one of the
// window the command came from when that window has one, else the main window's.
enum class Outcome { Done, Refused, Failed };

// A window that shows its message boxes itself (so that its tests can read and answer them)
// shows the box of an outcome reported from inside it.
class OutcomeBoxes {
  public:
    virtual ~OutcomeBoxes() = default;
    virtual void ShowOutcomeBox(Outcome outcome, const QString& title, const QString& text) = 0;
};

void ReportOutcome(QWidget* from, Outcome outcome, const QString& text,
                   const QString& title = QString());

// The main window registers its status bar once (nullptr when it goes). A status bar that holds
// pictures gives the line a place of its own (a QLabel named "OutcomeLine", made by
// AddOutcomeLine) so a message does not hide them; otherwise the bar's temporary message is used.
void SetMainStatusBar(QStatusBar* bar);
void AddOutcomeLine(QStatusBar* bar);

// The line last reported on a status bar and still shown (empty when none): for tests and for
// windows that repeat it elsewhere.
QString ShownOutcome(const QStatusBar* bar);

// How long a line stays on the status bar.
inline constexpr int kOutcomeShownMs = 8000;
