// Emulation > Rewind: the machine's history taken back a second of emulated time per press.
// While the key is held (its repeats keep coming) the machine stays paused, so each repeat goes
// a whole second further back and the picture shows each moment; letting go resumes it.

#include <QApplication>
#include <QMessageBox>
#include <chrono>

#include "emulator/Machine.h"
#include "frontend/TapeHandOver.h"
#include "host/lang/Language.h"
#include "ui/common/OutcomeReport.h"
#include "ui/main/TFormMain.h"
#include "ui/tape/TFormTapeBrowser.h"

namespace {
// The key's repeats come faster than a second's worth of replay is worth showing.
constexpr int kRepeatMs = 250;
// No repeat for this long: the key was let go.
constexpr int kReleaseMs = 600;

QString Text(const char* key) {
    return QString::fromStdString(lang::LangText("FormMain", key));
}
}  // namespace

void TFormMain::MiRewindClick() {
    if (closing_ || !firstShown_) return;
    if (machine_->Debugger().Holding()) {
        // The debugger has its own way back, and its views would not follow this one.
        QApplication::beep();
        return;
    }
    using Clock = std::chrono::steady_clock;
    static Clock::time_point last;
    const Clock::time_point now = Clock::now();
    if (rewindHold_ != nullptr && rewindHold_->isActive() &&
        now - last < std::chrono::milliseconds(kRepeatMs)) {
        rewindHold_->start();
        return;
    }
    last = now;
    if (rewindHold_ == nullptr) {
        rewindHold_ = new QTimer(this);
        rewindHold_->setSingleShot(true);
        rewindHold_->setInterval(kReleaseMs);
        connect(rewindHold_, &QTimer::timeout, this, [this] {
            if (rewindResume_ && !closing_) machine_->SetPaused(false);
            rewindResume_ = false;
            UpdateRunState();
        });
    }
    MachineHistory::Restored restored;
    int64_t ticksBefore = 0;
    {
        TapeHandOver::MachineCall call(tapeBrowser_->HandOver());
        if (!call) return;
        if (!rewindHold_->isActive()) {
            rewindResume_ = machine_->GetRunState() == Machine::kRunning;
        }
        machine_->SetPaused(true);
        ticksBefore = machine_->EmulatedTicks();
        restored = machine_->History().RewindTicks(MachineHistory::kTicksPerSecond);
        if (restored.outcome == MachineHistory::Outcome::Done) tapeBrowser_->Deck().FollowTape();
    }
    rewindHold_->start();
    UpdateRunState();
    if (restored.outcome == MachineHistory::Outcome::Unreachable) {
        QApplication::beep();
        ReportOutcome(this, Outcome::Done, Text("text.Rewind.Start"));
    } else if (restored.outcome == MachineHistory::Outcome::Failed) {
        ReportOutcome(this, Outcome::Failed, Text("err.Rewind.Failed"), Text("err.Rewind.Title"));
    } else {
        const double now = static_cast<double>(machine_->EmulatedTicks()) /
                           static_cast<double>(MachineHistory::kTicksPerSecond);
        const double back = static_cast<double>(ticksBefore - machine_->EmulatedTicks()) /
                            static_cast<double>(MachineHistory::kTicksPerSecond);
        ReportOutcome(this, Outcome::Done,
                      Text("text.Rewind.Done")
                          .replace("%1", QString::number(back, 'f', 1))
                          .replace("%2", QString::number(now, 'f', 1)));
    }
    if (restored.outcome == MachineHistory::Outcome::Done && !restored.passed.empty()) {
        QString written = Text("text.Rewind.Written");
        for (const MachineHistory::Note& note : restored.passed) {
            written += "\n" + Text(note.what == "tape" ? "text.Rewind.Tape" : "text.Rewind.SdRom");
            if (!note.path.empty()) written += " " + QString::fromStdString(note.path);
        }
        QMessageBox::information(this, Text("err.Rewind.Title"), written);
    }
}
