#include "host/config/ConfigDocument.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "host/config/ConfigAccessors.h"
#include "host/config/ConfigKeys.h"
#include "support/TempFolder.h"

namespace {

using config::ConfigDocument;
using config::ConfigLoadResult;
using testing_support::ReadFile;
using testing_support::TempFolder;

constexpr const char* kVersion = "1.2.3.4";

std::string Document(std::string_view version, std::string_view body = "\n  <General/>\n") {
    return "<?xml version=\"1.0\"?>\n<TevrinEmu version=\"" + std::string(version) + "\">" +
           std::string(body) + "</TevrinEmu>\n";
}

TEST(ConfigDocument, DeliveredFileMatchesTheProgramVersionAndHoldsEverySection) {
    ConfigDocument doc;
    ASSERT_EQ(doc.Load(TEVRIN_DELIVERED_CONFIG), ConfigLoadResult::Usable);
    for (std::string_view section : config::kSections) {
        EXPECT_TRUE(doc.Section(section)) << section;
    }
    EXPECT_FALSE(doc.Modified());
}

struct BadFile {
    const char* name;
    const char* contents;  // nullptr: no file at all
    ConfigLoadResult expected;
};

void PrintTo(const BadFile& file, std::ostream* out) {
    *out << file.name;
}

class ConfigDocumentRefuses : public ::testing::TestWithParam<BadFile> {};

TEST_P(ConfigDocumentRefuses, WithTheFixedMessageAndWithoutTouchingTheFile) {
    TempFolder folder;
    std::string path = folder / "TevrinEmu.xml";
    if (GetParam().contents != nullptr) folder.Write("TevrinEmu.xml", GetParam().contents);
    {
        ConfigDocument doc;
        ConfigLoadResult result = doc.Load(path, kVersion);
        EXPECT_EQ(result, GetParam().expected);
        EXPECT_FALSE(doc.IsOpen());
        EXPECT_FALSE(doc.Section("General"));
        EXPECT_FALSE(doc.Save());
        const config::StartupMessage* message = config::StartupMessageFor(result);
        ASSERT_NE(message, nullptr);
        if (result == ConfigLoadResult::ConfigError) {
            EXPECT_EQ(message->text, "Config file is incorrect or corrupted!");
            EXPECT_EQ(message->title, "Error in config file");
        } else {
            EXPECT_EQ(message->text, "Config file version mismatch to application version!");
            EXPECT_EQ(message->title, "Bad config file version");
        }
    }
    // A refused file is never rewritten (that would lose what the user might still repair).
    if (GetParam().contents != nullptr)
        EXPECT_EQ(ReadFile(path), GetParam().contents);
    else
        EXPECT_FALSE(std::filesystem::exists(path));
}

INSTANTIATE_TEST_SUITE_P(
    BadFiles, ConfigDocumentRefuses,
    ::testing::Values(BadFile{"Missing", nullptr, ConfigLoadResult::ConfigError},
                      BadFile{"Empty", "", ConfigLoadResult::ConfigError},
                      BadFile{"Truncated",
                              "<?xml version=\"1.0\"?>\n<TevrinEmu version=\"1.2.3.4\">\n  <Gen",
                              ConfigLoadResult::ConfigError},
                      BadFile{"NoRootElement", "<?xml version=\"1.0\"?>\n<!-- nothing -->\n",
                              ConfigLoadResult::ConfigError},
                      BadFile{"NotXml", "\x89PNG\r\n\x1a\n binary", ConfigLoadResult::ConfigError},
                      BadFile{"VersionWithBlank", "<T version=\"1.2.3.4 \"><General/></T>",
                              ConfigLoadResult::VersionError},
                      BadFile{"OtherVersion", "<T version=\"1.2.3.5\"><General/></T>",
                              ConfigLoadResult::VersionError},
                      BadFile{"NoVersion", "<T><General/></T>", ConfigLoadResult::VersionError}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ConfigDocument, RefusesAFileTooLargeToBeSettings) {
    TempFolder folder;
    std::string huge =
        Document(kVersion, "\n  <General/>\n  <!--" +
                               std::string(ConfigDocument::kMaxFileSize, 'x') + "-->\n");
    ConfigDocument doc;
    EXPECT_EQ(doc.Load(folder.Write("big.xml", huge), kVersion), ConfigLoadResult::ConfigError);
    EXPECT_EQ(doc.LoadFromText(huge, kVersion), ConfigLoadResult::ConfigError);
}

TEST(ConfigDocument, RefusesWhatIsNotAPlainFile) {
    TempFolder folder;
    std::string pipe = folder / "pipe.xml";
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    ConfigDocument doc;
    EXPECT_EQ(doc.Load(pipe, kVersion), ConfigLoadResult::ConfigError);  // and does not hang
    EXPECT_EQ(doc.Load(folder.Path(), kVersion), ConfigLoadResult::ConfigError);
}

TEST(ConfigDocument, NeverReadsWhatADocumentTypeDeclarationPointsAt) {
    TempFolder folder;
    folder.Write("secret.txt", "host-secret");
    std::string text =
        "<?xml version=\"1.0\"?>\n"
        "<!DOCTYPE T [\n"
        "  <!ENTITY xxe SYSTEM \"file://" +
        folder.Path() +
        "secret.txt\">\n"
        "  <!ENTITY lol \"lol\"><!ENTITY lol2 \"&lol;&lol;&lol;&lol;&lol;\">\n"
        "]>\n"
        "<T version=\"1.2.3.4\">\n"
        "  <General language=\"&xxe;\" pause-on-focus-lost=\"&lol2;\"/>\n"
        "  <Hardware><RomFile>&xxe;</RomFile></Hardware>\n"
        "</T>\n";
    ConfigDocument doc;
    ASSERT_EQ(doc.Load(folder.Write("TevrinEmu.xml", text), kVersion), ConfigLoadResult::Usable);
    std::string everything = doc.ToText();
    EXPECT_EQ(everything.find("host-secret"), std::string::npos);
    EXPECT_EQ(config::GetStrAttr(doc.Section("General"), "language").find("host-secret"),
              std::string::npos);
    EXPECT_EQ(config::GetStrAttr(doc.Section("General"), "pause-on-focus-lost").find("lollol"),
              std::string::npos);
    // The declaration itself is kept, untouched, so saving does not damage the file.
    EXPECT_NE(everything.find("<!DOCTYPE T ["), std::string::npos);
}

TEST(ConfigDocument, KeepsWhitespaceCommentsAndDeclarationExactly) {
    const std::string text =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<!-- my settings -->\n"
        "<TevrinEmu version=\"1.2.3.4\">\n"
        "\t<General language=\"english\"/>\n"
        "\n"
        "      <Screen border=\"4\"/><!-- odd indent -->\n"
        "  <Recent>\n"
        "    <RecentFile>a.pta</RecentFile>\n"
        "  </Recent>\n"
        "</TevrinEmu>\n";
    ConfigDocument doc;
    ASSERT_EQ(doc.LoadFromText(text, kVersion), ConfigLoadResult::Usable);
    EXPECT_EQ(doc.ToText(), text);
    EXPECT_FALSE(doc.Modified());
    config::SetIntAttr(doc.Section("Screen"), "border", 5);
    EXPECT_TRUE(doc.Modified());
    config::SetIntAttr(doc.Section("Screen"), "border", 4);
    EXPECT_FALSE(doc.Modified());
}

TEST(ConfigDocument, SaveReplacesTheFileWholeAndKeepsItsPermissions) {
    TempFolder folder;
    std::string path = folder.Write("TevrinEmu.xml", Document(kVersion));
    ::chmod(path.c_str(), 0600);
    ConfigDocument doc;
    ASSERT_EQ(doc.Load(path, kVersion), ConfigLoadResult::Usable);
    config::SetBoolAttr(doc.Section("General"), "pause-on-focus-lost", true);
    ASSERT_TRUE(doc.Save());
    EXPECT_EQ(ReadFile(path), doc.ToText());
    EXPECT_NE(ReadFile(path).find("pause-on-focus-lost=\"true\""), std::string::npos);
    EXPECT_FALSE(doc.Modified());
    struct stat info {};
    ASSERT_EQ(::stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    // Nothing is left behind beside it.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.Path()),
                            std::filesystem::directory_iterator()),
              1);
}

TEST(ConfigDocument, AFailedSaveLeavesWhatIsThereAndReportsIt) {
    TempFolder folder;
    std::string path = folder.Write("TevrinEmu.xml", Document(kVersion));
    ConfigDocument doc;
    ASSERT_EQ(doc.Load(path, kVersion), ConfigLoadResult::Usable);
    config::SetIntAttr(doc.Section("General"), "x", 1);
    // The target became a folder: the rename cannot replace it.
    std::filesystem::remove(path);
    std::filesystem::create_directory(path);
    EXPECT_FALSE(doc.Save());
    EXPECT_TRUE(std::filesystem::is_directory(path));
    EXPECT_TRUE(doc.Modified());
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.Path()),
                            std::filesystem::directory_iterator()),
              1);
}

TEST(ConfigDocument, SavingThroughASymbolicLinkUpdatesTheFileItPointsTo) {
    TempFolder folder;
    std::string real = folder.Write("real/TevrinEmu.xml", Document(kVersion));
    std::string link = folder / "TevrinEmu.xml";
    std::filesystem::create_symlink(real, link);
    ConfigDocument doc;
    ASSERT_EQ(doc.Load(link, kVersion), ConfigLoadResult::Usable);
    config::SetIntAttr(doc.Section("General"), "x", 7);
    ASSERT_TRUE(doc.Save());
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    EXPECT_NE(ReadFile(real).find("x=\"7\""), std::string::npos);
}

TEST(ConfigDocument, ClosingSavesOnlyWhenSomethingChanged) {
    TempFolder folder;
    // Written in a form the writer would change, so any rewrite would show.
    const std::string text = "<T version=\"1.2.3.4\"><General></General><Screen/></T>";
    std::string path = folder.Write("TevrinEmu.xml", text);
    {
        ConfigDocument doc;
        ASSERT_EQ(doc.Load(path, kVersion), ConfigLoadResult::Usable);
    }
    EXPECT_EQ(ReadFile(path), text);
    {
        ConfigDocument doc;
        ASSERT_EQ(doc.Load(path, kVersion), ConfigLoadResult::Usable);
        config::SetStrAttr(doc.Section("General"), "language", "german");
    }
    EXPECT_NE(ReadFile(path).find("language=\"german\""), std::string::npos);
}

TEST(ConfigDocument, TextDocumentsHaveNoFileToSaveTo) {
    ConfigDocument doc;
    ASSERT_EQ(doc.LoadFromText(Document(kVersion), kVersion), ConfigLoadResult::Usable);
    config::SetIntAttr(doc.Section("General"), "x", 3);
    EXPECT_FALSE(doc.Save());
}

TEST(ConfigDocument, AMissingSectionIsCreatedOnlyWhenWrittenTo) {
    ConfigDocument doc;
    ASSERT_EQ(doc.LoadFromText(Document(kVersion), kVersion), ConfigLoadResult::Usable);
    EXPECT_FALSE(doc.Section("Sound"));
    EXPECT_EQ(config::GetIntAttr(doc.Section("Sound"), "device-index", -1), -1);
    config::SetIntAttr(doc.EnsureSection("Sound"), "device-index", 2);
    EXPECT_EQ(doc.ToText(), Document(kVersion, "\n  <General/>\n  <Sound device-index=\"2\"/>\n"));
}

}  // namespace
