// Where the main window goes: the frame's corner as stored (or the middle of the screen at a
// first start), kept there once the window manager has framed the window.

#include <QScreen>
#include <algorithm>

#include "ui/main/TFormMain.h"

void TFormMain::PlaceFromSettings() {
    if (!settings_.HasWindowPos(config::keys::kScreenPos)) {
        // A first start: the middle of the screen, title bar and all.
        const QRect area = screen()->availableGeometry();
        QRect frame = frameGeometry();
        frame.moveCenter(area.center());
        PlaceFrame(QPoint(std::max(area.left(), frame.left()), std::max(area.top(), frame.top())));
    } else {
        const QRect desktop = screen()->virtualGeometry();
        const config::WindowPos position = settings_.GetWindowPos(
            config::keys::kScreenPos, frameGeometry().width(), frameGeometry().height(),
            config::ScreenArea{desktop.x() + desktop.width(), desktop.y() + desktop.height()});
        PlaceFrame(QPoint(position.x, position.y));
    }
}

void TFormMain::PlaceFrame(QPoint corner) {
    move(corner);
    framePlacement_ = corner;
    framePlacementChecks_ = kFramePlacementChecks;
}

void TFormMain::KeepFramePlaced() {
    if (framePlacementChecks_ <= 0) return;
    --framePlacementChecks_;
    // A window manager frames the window only after it is mapped, and until then Qt takes the
    // corner asked for as the client's: the title bar lands above it (off the screen at the
    // top, and higher at every start). Once the frame is known, the frame is put there.
    if (frameGeometry() == geometry()) return;
    framePlacementChecks_ = 0;
    if (frameGeometry().topLeft() != framePlacement_) move(framePlacement_);
}
