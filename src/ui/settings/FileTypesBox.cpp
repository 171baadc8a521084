#include "ui/settings/FileTypesBox.h"

#include <QCheckBox>
#include <QPushButton>
#include <utility>

#include "host/desktop/CurrentExecutable.h"
#include "host/desktop/FileTypes.h"

namespace {
const char* const kFoundProperty = "registered";

desktop::FileTypeRegistration Registration() {
    return desktop::FileTypeRegistration(desktop::XdgPlaces::FromEnvironment(),
                                         desktop::CurrentExecutable());
}
}  // namespace

FileTypesBox::FileTypesBox(QWidget* dialog)
    : QObject(dialog),
      tape_(dialog->findChild<QCheckBox*>("CheckRegtypePTA")),
      snapshot_(dialog->findChild<QCheckBox*>("CheckRegtypeTVX")) {
    if (auto* button = dialog->findChild<QPushButton*>("BtnRegtypeUpdate")) {
        connect(button, &QPushButton::clicked, this, &FileTypesBox::BtnRegtypeUpdateClick);
    }
}

void FileTypesBox::TabGeneralShow() {
    const desktop::FileTypeRegistration registration = Registration();
    for (auto [box, type] : {std::pair{tape_, desktop::FileType::Tape},
                             std::pair{snapshot_, desktop::FileType::Snapshot}}) {
        if (box == nullptr) continue;
        const bool found = registration.State(type).registered;
        box->setChecked(found);
        box->setProperty(kFoundProperty, found);
    }
}

// Failures are quiet: the boxes show what is really there the next time the page loads.
void FileTypesBox::BtnRegtypeUpdateClick() {
    desktop::FileTypeRegistration registration = Registration();
    for (auto [box, type] : {std::pair{tape_, desktop::FileType::Tape},
                             std::pair{snapshot_, desktop::FileType::Snapshot}}) {
        if (box == nullptr) continue;
        if (box->isChecked()) {
            if (registration.Register(type)) box->setProperty(kFoundProperty, true);
        } else if (box->property(kFoundProperty).toBool()) {
            if (registration.Unregister(type)) box->setProperty(kFoundProperty, false);
        }
    }
    registration.UpdateDatabases();
}
