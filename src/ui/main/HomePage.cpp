#include "ui/main/HomePage.h"

#include <QDesktopServices>

#include "host/files/ProgramPaths.h"

QUrl HomePageUrl() {
    return QUrl::fromLocalFile(QString::fromStdString(program::ProgramFolder() + "README.md"));
}

void OpenHomePage() {
    QDesktopServices::openUrl(HomePageUrl());
}
