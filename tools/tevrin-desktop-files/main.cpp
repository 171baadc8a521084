// tevrin-desktop-files: writes the desktop entry, the MIME package and the icons an installation
// puts in the freedesktop places, from the same texts the per-user file-type registration
// writes. Run by the build; not installed.

#include <filesystem>
#include <iostream>
#include <string>

#include "cli/ToolOptions.h"
#include "host/desktop/FileTypes.h"
#include "host/files/AtomicFile.h"

namespace {

bool Put(const std::filesystem::path& path, const std::string& contents) {
    std::error_code ec;
    std::filesystem::create_directories(path.parent_path(), ec);
    std::string error;
    if (files::WriteFileAtomically(path.string(), contents, &error)) return true;
    std::cerr << "tevrin-desktop-files: " << path.string() << ": " << error << "\n";
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    std::string folder;
    CLI::App app(
        "Writes applications/, mime/packages/ and icons/hicolor/scalable/ below\n"
        "SHARE-FOLDER.",
        "tevrin-desktop-files");
    cli::Style(app);
    app.add_option("SHARE-FOLDER", folder, "the share folder of an installation")->required();
    // 64, EX_USAGE of sysexits: a wrong call, told apart from 1, a file that could not be written.
    if (std::optional<int> ended = cli::Parse(app, std::vector<std::string>(argv, argv + argc),
                                              std::cout, std::cerr, 64)) {
        return *ended;
    }
    const std::filesystem::path share(folder);
    const std::vector<desktop::FileType> types = desktop::AllFileTypes();
    // Started by name: the package puts the program on every user's PATH.
    bool ok = Put(share / "applications/tevrinemu.desktop",
                  desktop::DesktopEntryText(types, "tevrinemu", false));
    ok = ok && Put(share / "mime/packages/tevrinemu.xml", desktop::MimePackageText(types, false));
    ok = ok && Put(share / "icons/hicolor/scalable/apps/tevrinemu.svg", desktop::AppIconSvg());
    for (desktop::FileType type : types) {
        ok = ok &&
             Put(share / "icons/hicolor/scalable/mimetypes" / (desktop::IconNameOf(type) + ".svg"),
                 desktop::TypeIconSvg(type));
    }
    return ok ? 0 : 1;
}
