// tevrin-desktop-files: writes the desktop entry, the MIME package and the icons an installation
// puts in the freedesktop places, from the same texts the per-user file-type registration
// writes. Run by the build; not installed.

#include <filesystem>
#include <iostream>
#include <string>

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
    if (argc != 2) {
        std::cerr << "usage: tevrin-desktop-files SHARE-FOLDER\n"
                     "writes applications/, mime/packages/ and icons/hicolor/scalable/ below it\n";
        return 64;
    }
    const std::filesystem::path share(argv[1]);
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
