#include "ui/settings/FileTypesBox.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QPushButton>
#include <QTest>
#include <filesystem>

#include "host/desktop/CurrentExecutable.h"
#include "host/desktop/FileTypes.h"
#include "ui/settings/TFormSettings.h"
#include "ui/support/ProgramFolderTest.h"

namespace {

using desktop::FileType;

// The program folder's test, with the desktop's XDG folders in it while the test runs.
class FileTypesBoxTest : public ProgramFolderTest {
  protected:
    void SetUp() override {
        oldData_ = qgetenv("XDG_DATA_HOME");
        oldConfig_ = qgetenv("XDG_CONFIG_HOME");
        qputenv("XDG_DATA_HOME", QByteArray::fromStdString(folder_ / "data"));
        qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString(folder_ / "config"));
        ProgramFolderTest::SetUp();
    }
    void TearDown() override {
        ProgramFolderTest::TearDown();
        qputenv("XDG_DATA_HOME", oldData_);
        qputenv("XDG_CONFIG_HOME", oldConfig_);
        if (oldData_.isEmpty()) qunsetenv("XDG_DATA_HOME");
        if (oldConfig_.isEmpty()) qunsetenv("XDG_CONFIG_HOME");
    }

  private:
    QByteArray oldData_, oldConfig_;
};

// The General page's boxes against a scratch XDG home: what they show is what is registered,
// and the button changes only the registration that is ours.
TEST_F(FileTypesBoxTest, TheGeneralPageRegistersAndRemovesItsTypes) {
    const desktop::FileTypeRegistration registration(desktop::XdgPlaces::FromEnvironment(),
                                                     desktop::CurrentExecutable());
    {
        // Registered before the dialog opens: the tape box shows it.
        desktop::FileTypeRegistration(desktop::XdgPlaces::FromEnvironment(), "/elsewhere/emu")
            .Register(FileType::Tape);
        settingspages::DeviceSource noAudio{
            [] { return false; }, [](SoundOutputType) { return std::vector<SoundDeviceInfo>{}; },
            [](SoundOutputType) { return -1; }, [](SoundOutputType) { return std::string(); }};
        TFormSettings dialog(settings_, nullptr, noAudio);
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
}

}  // namespace
