#include "ui/main/HomePage.h"

#include <QDesktopServices>

#include "host/files/ProgramPaths.h"

QUrl HomePageUrl() {
    return QUrl::fromLocalFile(QString::fromStdString(program::ProgramFolder() + "README.md"));
}

bool OpenHomePage() {
    return QDesktopServices::openUrl(HomePageUrl());
}
