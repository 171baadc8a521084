#include "ui/main/HandedOverFile.h"

#include "ui/main/TFormMain.h"

void OpenHandedOverFile(TFormMain& form, const std::string& path) {
    if (!path.empty()) form.OpenFile(path, true);
}

void BringToFront(QWidget& window) {
    window.setWindowState((window.windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
    window.show();
    window.raise();
    window.activateWindow();
}
