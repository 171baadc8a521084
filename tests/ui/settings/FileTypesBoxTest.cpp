#include "ui/settings/FileTypesBox.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QPushButton>
#include <QTest>
#include <filesystem>

#include "host/config/ConfigDocument.h"
#include "host/desktop/CurrentExecutable.h"
#include "host/desktop/FileTypes.h"
#include "host/files/ProgramPaths.h"
#include "support/TempFolder.h"
#include "ui/settings/TFormSettings.h"
#include "ui/support/DeliveredFiles.h"

namespace {

using desktop::FileType;
using testing_support::TempFolder;

// The General page's boxes against a scratch XDG home: what they show is what is registered,
// and the button changes only the registration that is ours.
TEST(FileTypesBoxTest, TheGeneralPageRegistersAndRemovesItsTypes) {
    TempFolder folder;
    const QByteArray oldData = qgetenv("XDG_DATA_HOME"), oldConfig = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_DATA_HOME", QByteArray::fromStdString(folder / "data"));
    qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString(folder / "config"));
    const std::string previousFolder = program::ProgramFolder();
    program::SetProgramFolder(folder.Path());
    config::ConfigDocument document;
    ASSERT_EQ(document.Load(testing_support::WriteDeliveredFiles(folder)),
              config::ConfigLoadResult::Usable);
    config::Settings settings(document);
    const desktop::FileTypeRegistration registration(desktop::XdgPlaces::FromEnvironment(),
                                                     desktop::CurrentExecutable());
    {
        // Registered before the dialog opens: the tape box shows it.
        desktop::FileTypeRegistration(desktop::XdgPlaces::FromEnvironment(), "/elsewhere/emu")
            .Register(FileType::Tape);
        settingspages::DeviceSource noAudio{
            [] { return false; }, [](SoundOutputType) { return std::vector<SoundDeviceInfo>{}; },
            [](SoundOutputType) { return -1; }, [](SoundOutputType) { return std::string(); }};
        TFormSettings dialog(settings, nullptr, noAudio);
        dialog.StartUp();
        auto* tape = dialog.findChild<QCheckBox*>("CheckRegtypePTA");
        auto* snapshot = dialog.findChild<QCheckBox*>("CheckRegtypeTVX");
        auto* apply = dialog.findChild<QPushButton*>("BtnRegtypeUpdate");
        ASSERT_TRUE(tape && snapshot && apply);
        EXPECT_TRUE(tape->isChecked());
        EXPECT_FALSE(snapshot->isChecked());
        EXPECT_FALSE(registration.State(FileType::Tape).pointsHere);

        snapshot->setChecked(true);
        apply->click();
        EXPECT_TRUE(registration.State(FileType::Snapshot).pointsHere);
        EXPECT_TRUE(registration.State(FileType::Tape).pointsHere) << "re-registered here";

        tape->setChecked(false);
        apply->click();
        EXPECT_FALSE(registration.State(FileType::Tape).registered);
        EXPECT_TRUE(registration.State(FileType::Snapshot).registered);
        apply->click();  // unchecked and already gone: nothing to do
        EXPECT_TRUE(registration.State(FileType::Snapshot).registered);
    }
    document.Close();
    program::SetProgramFolder(previousFolder);
    qputenv("XDG_DATA_HOME", oldData);
    qputenv("XDG_CONFIG_HOME", oldConfig);
    if (oldData.isEmpty()) qunsetenv("XDG_DATA_HOME");
    if (oldConfig.isEmpty()) qunsetenv("XDG_CONFIG_HOME");
}

}  // namespace
