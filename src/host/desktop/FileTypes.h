#pragma once

#include <string>
#include <vector>

// Registration of the program as the handler of tape images (.pta) and snapshots (.tvs) for the
// current user on a freedesktop desktop: a shared-mime-info package per type, one desktop entry
// whose Exec is this executable, icons, and the default application for the types. Everything
// written carries our marker, so reading the state and removing look only at what we wrote.
namespace desktop {

enum class FileType { Tape, Snapshot };

struct XdgPlaces {
    std::string dataHome;    // $XDG_DATA_HOME or ~/.local/share
    std::string configHome;  // $XDG_CONFIG_HOME or ~/.config
    static XdgPlaces FromEnvironment();
};

struct TypeState {
    bool registered = false;  // our package and our desktop entry name the type
    bool pointsHere = false;  // ... and the entry starts this executable
};

// The MIME type name and the file name pattern of a type.
const char* MimeTypeOf(FileType type);
const char* PatternOf(FileType type);

// What registration writes, shared with the files an installation puts in the system's places
// (which carry no marker: they belong to the package, not to a user's registration).
std::vector<FileType> AllFileTypes();
// A shared-mime-info package declaring the types.
std::string MimePackageText(const std::vector<FileType>& types, bool marked);
// The desktop entry that opens the types with `executable` (a path, or a name found on PATH).
std::string DesktopEntryText(const std::vector<FileType>& types, const std::string& executable,
                             bool marked);
// The icons, SVG: a type's is named IconNameOf(type), the program's "tevrinemu".
std::string IconNameOf(FileType type);
std::string TypeIconSvg(FileType type);
std::string AppIconSvg();

class FileTypeRegistration {
  public:
    FileTypeRegistration(XdgPlaces places, std::string executable);

    TypeState State(FileType type) const;
    // Writes the type's package, icon, the desktop entry (naming every type registered now) and
    // puts us first in the type's default (a default the user had stays behind us, and comes
    // back when we are removed); rewriting an existing registration repairs a moved executable.
    bool Register(FileType type, std::string* error = nullptr);
    // Removes what Register wrote for the type, and the desktop entry once no type is left;
    // what other programs wrote is left alone. Nothing registered: nothing to do.
    bool Unregister(FileType type, std::string* error = nullptr);
    // Lets the desktop see the change: update-mime-database and update-desktop-database, each
    // when it is installed. Returns the tools that ran.
    std::vector<std::string> UpdateDatabases() const;

    std::string PackagePath(FileType type) const;
    std::string DesktopEntryPath() const;
    std::string IconPath(FileType type) const;
    std::string AppIconPath() const;
    std::string MimeAppsPath() const;

  private:
    bool WriteDesktopEntry(const std::vector<FileType>& types, std::string* error) const;
    bool SetDefault(FileType type, bool ours, std::string* error) const;

    XdgPlaces places_;
    std::string executable_;
};

// The command line's --register-file-types / --unregister-file-types: both types, then the
// databases; a report line per step on `out`. Returns the exit status.
int RegisterFileTypesCommand(bool registering, const std::string& executable, std::string& out);

}  // namespace desktop
