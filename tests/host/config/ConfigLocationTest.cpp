#include "host/config/ConfigLocation.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "host/files/ProgramPaths.h"
#include "support/TempFolder.h"

namespace {

using testing_support::ReadFile;
using testing_support::TempFolder;

constexpr const char* kDelivered = "<TevrinEmu version=\"1.0.0.0\"/>\n";

// An installation in a scratch prefix: the executable's folder without Lang/, the resources in
// share/tevrinemu, and a user's configuration home beside them.
struct Installation {
    TempFolder root;
    std::string bin = root.MakeFolder("prefix/bin");
    std::string data = root.MakeFolder("prefix/share/tevrinemu");
    std::string configHome = root / "home/.config";
    Installation() {
        root.Write("prefix/share/tevrinemu/TevrinEmu.xml", kDelivered);
        root.MakeFolder("prefix/share/tevrinemu/Lang");
    }
};

TEST(ProgramPathsTest, ResourcesAreBesideTheExecutableOrInTheInstalledDataFolder) {
    Installation install;
    EXPECT_EQ(program::ResolveProgramFolder(install.bin), install.data);
    // A portable copy, or the build tree: Lang/ beside the executable decides.
    install.root.MakeFolder("prefix/bin/Lang");
    EXPECT_EQ(program::ResolveProgramFolder(install.bin), install.bin);
    // Nothing anywhere: the executable's folder, where a user would look for what is missing.
    TempFolder bare;
    EXPECT_EQ(program::ResolveProgramFolder(bare.Path()), bare.Path());
}

TEST(ProgramPathsTest, UserFilesStartInTheHomeFolderOfAnInstalledProgram) {
    const std::string previous = program::ProgramFolder();
    const bool wasInstalled = program::IsInstalled();
    TempFolder data;
    program::SetProgramFolder(data.Path(), true);
    const char* home = std::getenv("HOME");
    if (home != nullptr && home[0] == '/') {
        EXPECT_EQ(program::UserFilesFolder(), (std::filesystem::path(home) / "").string());
    }
    // Resources keep the stored-path form relative to where they were found.
    EXPECT_EQ(program::ToProgramRelative(data / "tevrin.rom"), "tevrin.rom");
    EXPECT_EQ(program::FromProgramRelative("Lang/english.ini"), data / "Lang/english.ini");
    program::SetProgramFolder(data.Path());
    EXPECT_EQ(program::UserFilesFolder(), data.Path());
    program::SetProgramFolder(previous, wasInstalled);
}

TEST(ConfigLocationTest, TheFileBesideTheExecutableWinsElseTheUsersIsMadeOnce) {
    Installation install;
    config::ConfigPlace place =
        config::ChooseConfigPlace(install.bin, install.data, install.configHome);
    EXPECT_EQ(place.path, install.configHome + "/tevrinemu/TevrinEmu.xml");
    EXPECT_EQ(place.delivered, install.data + "TevrinEmu.xml");

    std::string error;
    ASSERT_TRUE(config::PrepareConfigFile(place, error)) << error;
    EXPECT_EQ(ReadFile(place.path), kDelivered);
    struct stat folder {};
    ASSERT_EQ(::stat((install.configHome + "/tevrinemu").c_str(), &folder), 0);
    EXPECT_EQ(folder.st_mode & 0777, 0700u);

    // The user's settings, even damaged, are never replaced by the delivered file.
    install.root.Write("home/.config/tevrinemu/TevrinEmu.xml", "<TevrinEmu version=");
    ASSERT_TRUE(config::PrepareConfigFile(place, error)) << error;
    EXPECT_EQ(ReadFile(place.path), "<TevrinEmu version=");

    // Portable use: a file beside the executable, even one that cannot be read, is the one.
    install.root.Write("prefix/bin/TevrinEmu.xml", "");
    ::chmod((install.bin + "TevrinEmu.xml").c_str(), 0);
    place = config::ChooseConfigPlace(install.bin, install.data, install.configHome);
    EXPECT_EQ(place.path, install.bin + "TevrinEmu.xml");
    EXPECT_TRUE(place.delivered.empty());
    EXPECT_TRUE(config::PrepareConfigFile(place, error));
    std::filesystem::remove(install.bin + "TevrinEmu.xml");
    // So is a link beside it that leads nowhere.
    std::filesystem::create_symlink(install.root / "elsewhere.xml", install.bin + "TevrinEmu.xml");
    EXPECT_EQ(config::ChooseConfigPlace(install.bin, install.data, install.configHome).path,
              install.bin + "TevrinEmu.xml");
}

TEST(ConfigLocationTest, AConfigurationThatCannotBeMadeSaysWhereAndWhy) {
    Installation install;
    // The configuration home is a file: no folder can be made in it, not even by root.
    install.root.Write("home/.config", "not a folder");
    const config::ConfigPlace place =
        config::ChooseConfigPlace(install.bin, install.data, install.configHome);
    std::string error;
    EXPECT_FALSE(config::PrepareConfigFile(place, error));
    EXPECT_NE(error.find(place.path), std::string::npos) << error;
    EXPECT_EQ(ReadFile(install.configHome), "not a folder");

    // A delivered file that is gone is named too, and nothing is made.
    TempFolder home;
    const config::ConfigPlace missing{home / "tevrinemu/TevrinEmu.xml", home / "none.xml"};
    EXPECT_FALSE(config::PrepareConfigFile(missing, error));
    EXPECT_NE(error.find(home / "none.xml"), std::string::npos) << error;
    EXPECT_FALSE(std::filesystem::exists(home / "tevrinemu"));
}

}  // namespace
