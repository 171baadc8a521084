#include "host/desktop/FileTypes.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <system_error>

#include "AppIconSvg.h"
#include "host/files/AtomicFile.h"

extern char** environ;

namespace desktop {

namespace fs = std::filesystem;

namespace {

constexpr const char* kDesktopId = "tevrinemu.desktop";
constexpr const char* kMarkerKey = "X-TevrinEmu-FileTypes";
constexpr const char* kPackageMarker = "<!-- tevrinemu file-type registration -->";
constexpr std::size_t kMaxRead = 1 << 20;
constexpr FileType kTypes[] = {FileType::Tape, FileType::Snapshot};

const char* Description(FileType type) {
    return type == FileType::Tape ? "Tevrin Emulator Tape File" : "Tevrin Emulator Snap File";
}

const char* PackageName(FileType type) {
    return type == FileType::Tape ? "tevrinemu-tape.xml" : "tevrinemu-snapshot.xml";
}

std::string IconSvg(const std::string& body) {
    return "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"64\" height=\"64\" "
           "viewBox=\"0 0 64 64\">\n"
           "<rect x=\"4\" y=\"8\" width=\"56\" height=\"48\" rx=\"6\" fill=\"#1d4f91\"/>\n" +
           body + "</svg>\n";
}

}  // namespace

std::string IconNameOf(FileType type) {
    std::string name = MimeTypeOf(type);
    name[name.find('/')] = '-';
    return name;
}

// A cassette for tapes, a memory chip for snapshots, on the program's blue.
std::string TypeIconSvg(FileType type) {
    if (type == FileType::Tape) {
        return IconSvg(
            "<rect x=\"12\" y=\"18\" width=\"40\" height=\"20\" rx=\"3\" fill=\"#f2f2f2\"/>\n"
            "<circle cx=\"22\" cy=\"28\" r=\"5\" fill=\"#1d4f91\"/>\n"
            "<circle cx=\"42\" cy=\"28\" r=\"5\" fill=\"#1d4f91\"/>\n"
            "<rect x=\"18\" y=\"42\" width=\"28\" height=\"8\" fill=\"#f2f2f2\"/>\n");
    }
    return IconSvg(
        "<rect x=\"18\" y=\"18\" width=\"28\" height=\"28\" fill=\"#f2f2f2\"/>\n"
        "<path d=\"M14 22h4M14 30h4M14 38h4M46 22h4M46 30h4M46 38h4\" stroke=\"#f2f2f2\" "
        "stroke-width=\"3\"/>\n");
}

// The picture the windows show (resources/icons/tevrinemu.svg), compiled in, so the desktop
// shows the program as the program shows itself.
std::string AppIconSvg() {
    return kAppIconSvg;
}

namespace {

std::string ReadText(const std::string& path) {
    std::string text;
    if (files::ReadWholeFile(path, kMaxRead, text) != files::ReadResult::Ok) text.clear();
    return text;
}

// One argument of an Exec line, quoted as the desktop entry format asks: inside double quotes
// the characters " ` $ \ are escaped, and the value's own escaping doubles the backslashes.
std::string ExecArgument(const std::string& path) {
    std::string quoted = "\"";
    for (char c : path) {
        if (c == '"' || c == '`' || c == '$' || c == '\\') quoted += '\\';
        if (c == '%') quoted += '%';
        quoted += c;
    }
    quoted += '"';
    std::string escaped;
    for (char c : quoted) {
        escaped += c;
        if (c == '\\') escaped += '\\';
    }
    return escaped;
}

std::string ExecLine(const std::string& executable) {
    return "Exec=" + ExecArgument(executable) + " %f";
}

// The value of `key=` in the text, or none.
bool FindValue(const std::string& text, const std::string& key, std::string& value) {
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        if (line.rfind(key + "=", 0) == 0) {
            value = line.substr(key.size() + 1);
            return true;
        }
    }
    return false;
}

bool Ours(const std::string& desktopEntry) {
    std::string marker;
    return FindValue(desktopEntry, kMarkerKey, marker) && marker == "true";
}

bool Write(const std::string& path, const std::string& contents, std::string* error) {
    std::error_code ec;
    fs::create_directories(fs::path(path).parent_path(), ec);
    std::string why;
    if (!files::WriteFileAtomically(path, contents, &why)) {
        if (error != nullptr) *error = path + ": " + why;
        return false;
    }
    return true;
}

void RemoveFile(const std::string& path) {
    std::error_code ec;
    fs::remove(path, ec);
}

std::string HomeBased(const char* variable, const char* underHome) {
    const char* value = std::getenv(variable);
    // The XDG base-directory rules ignore a relative value.
    if (value != nullptr && value[0] == '/') return value;
    const char* home = std::getenv("HOME");
    return std::string(home != nullptr ? home : "") + underHome;
}

std::string FindTool(const std::string& name) {
    const char* path = std::getenv("PATH");
    std::istringstream folders(path != nullptr ? path : "/usr/bin:/bin");
    std::string folder;
    while (std::getline(folders, folder, ':')) {
        if (folder.empty()) continue;
        const std::string candidate = folder + "/" + name;
        if (::access(candidate.c_str(), X_OK) == 0) return candidate;
    }
    return {};
}

bool RunTool(const std::string& tool, const std::string& argument) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    std::string toolCopy = tool, argumentCopy = argument;
    char* argv[] = {toolCopy.data(), argumentCopy.data(), nullptr};
    pid_t pid = 0;
    const int failed = posix_spawn(&pid, tool.c_str(), &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    if (failed != 0) return false;
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) return false;
    }
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace

const char* MimeTypeOf(FileType type) {
    return type == FileType::Tape ? "application/x-tevrin-tape" : "application/x-tevrin-snapshot";
}

const char* PatternOf(FileType type) {
    // The snapshots this program writes; a ".tvx" of the other program's making is recognised
    // when opened, but it cannot be restored, so the desktop is not told to send it here.
    return type == FileType::Tape ? "*.pta" : "*.tvs";
}

std::string MimePackageText(const std::vector<FileType>& types, bool marked) {
    std::string package = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
    if (marked) package += std::string(kPackageMarker) + "\n";
    package += "<mime-info xmlns=\"http://www.freedesktop.org/standards/shared-mime-info\">\n";
    for (FileType type : types) {
        package += std::string("  <mime-type type=\"") + MimeTypeOf(type) + "\">\n    <comment>" +
                   Description(type) + "</comment>\n    <icon name=\"" + IconNameOf(type) +
                   "\"/>\n    <glob pattern=\"" + PatternOf(type) + "\"/>\n  </mime-type>\n";
    }
    return package + "</mime-info>\n";
}

std::string DesktopEntryText(const std::vector<FileType>& types, const std::string& executable,
                             bool marked) {
    std::string mimeTypes;
    for (FileType type : types) mimeTypes += std::string(MimeTypeOf(type)) + ";";
    std::string entry = std::string("[Desktop Entry]\n") +
                        "Type=Application\n"
                        "Name=Tevrin Emulator\n"
                        "GenericName=Tevrin microcomputer emulator\n"
                        "Comment=Runs the Tevrin, an 8-bit microcomputer built round the "
                        "Intel 8080\n" +
                        ExecLine(executable) +
                        "\n"
                        "Icon=tevrinemu\n"
                        "Terminal=false\n"
                        "Categories=Game;Emulator;\n"
                        "Keywords=Tevrin;8080;emulator;\n"
                        "MimeType=" +
                        mimeTypes + "\n";
    if (marked) entry += std::string(kMarkerKey) + "=true\n";
    return entry;
}

std::vector<FileType> AllFileTypes() {
    return {std::begin(kTypes), std::end(kTypes)};
}

XdgPlaces XdgPlaces::FromEnvironment() {
    return {HomeBased("XDG_DATA_HOME", "/.local/share"), HomeBased("XDG_CONFIG_HOME", "/.config")};
}

FileTypeRegistration::FileTypeRegistration(XdgPlaces places, std::string executable)
    : places_(std::move(places)), executable_(std::move(executable)) {}

std::string FileTypeRegistration::PackagePath(FileType type) const {
    return places_.dataHome + "/mime/packages/" + PackageName(type);
}
std::string FileTypeRegistration::DesktopEntryPath() const {
    return places_.dataHome + "/applications/" + kDesktopId;
}
std::string FileTypeRegistration::IconPath(FileType type) const {
    return places_.dataHome + "/icons/hicolor/scalable/mimetypes/" + IconNameOf(type) + ".svg";
}
std::string FileTypeRegistration::AppIconPath() const {
    return places_.dataHome + "/icons/hicolor/scalable/apps/tevrinemu.svg";
}
std::string FileTypeRegistration::MimeAppsPath() const {
    return places_.configHome + "/mimeapps.list";
}

TypeState FileTypeRegistration::State(FileType type) const {
    TypeState state;
    const std::string package = ReadText(PackagePath(type));
    const std::string entry = ReadText(DesktopEntryPath());
    std::string mimeTypes;
    if (package.find(kPackageMarker) == std::string::npos ||
        package.find(std::string("type=\"") + MimeTypeOf(type) + "\"") == std::string::npos ||
        !Ours(entry) || !FindValue(entry, "MimeType", mimeTypes)) {
        return state;
    }
    std::istringstream names(mimeTypes);
    std::string name;
    while (std::getline(names, name, ';')) state.registered |= name == MimeTypeOf(type);
    std::string exec;
    state.pointsHere = state.registered && FindValue(entry, "Exec", exec) &&
                       "Exec=" + exec == ExecLine(executable_);
    return state;
}

bool FileTypeRegistration::WriteDesktopEntry(const std::vector<FileType>& types,
                                             std::string* error) const {
    return Write(DesktopEntryPath(), DesktopEntryText(types, executable_, true), error);
}

namespace {

// A default is a list of desktop ids, the first installed one wins. Registering puts ours in
// front of whatever the user had, so that unregistering can give that choice back unchanged.
std::string WithoutOurId(const std::string& value) {
    const std::string front = std::string(kDesktopId) + ";";
    if (value.rfind(front, 0) == 0) return value.substr(front.size());
    std::istringstream ids(value);
    std::string id, rest;
    while (std::getline(ids, id, ';')) {
        if (id.empty() || id == kDesktopId) continue;
        rest += id + ";";
    }
    if (!rest.empty() && value.back() != ';') rest.pop_back();
    return rest;
}

}  // namespace

bool FileTypeRegistration::SetDefault(FileType type, bool ours, std::string* error) const {
    const std::string path = MimeAppsPath();
    const std::string text = ReadText(path);
    const std::string key = std::string(MimeTypeOf(type)) + "=";
    std::istringstream lines(text);
    std::string line, result, section;
    bool placed = false;
    auto place = [&] {
        if (ours && !placed) {
            result += key + kDesktopId + ";\n";
            placed = true;
        }
    };
    while (std::getline(lines, line)) {
        if (!line.empty() && line[0] == '[') {
            if (section == "[Default Applications]") place();
            section = line;
        } else if (section == "[Default Applications]" && line.rfind(key, 0) == 0) {
            const std::string others = WithoutOurId(line.substr(key.size()));
            if (ours && !placed) {
                result += key + kDesktopId + ";" + others + "\n";
                placed = true;
            } else if (!others.empty()) {
                result += key + others + "\n";
            }
            continue;
        }
        result += line + "\n";
    }
    if (section == "[Default Applications]") place();
    if (ours && !placed) {
        if (!result.empty() && result.back() != '\n') result += "\n";
        result += "[Default Applications]\n" + key + kDesktopId + ";\n";
    }
    return result == text || Write(path, result, error);
}

bool FileTypeRegistration::Register(FileType type, std::string* error) {
    const std::string package = MimePackageText({type}, true);
    std::vector<FileType> types;
    for (FileType other : kTypes) {
        if (other == type || State(other).registered) types.push_back(other);
    }
    return Write(PackagePath(type), package, error) &&
           Write(IconPath(type), TypeIconSvg(type), error) &&
           Write(AppIconPath(), AppIconSvg(), error) && WriteDesktopEntry(types, error) &&
           SetDefault(type, true, error);
}

bool FileTypeRegistration::Unregister(FileType type, std::string* error) {
    if (!State(type).registered) return true;
    std::vector<FileType> remaining;
    for (FileType other : kTypes) {
        if (other != type && State(other).registered) remaining.push_back(other);
    }
    if (!SetDefault(type, false, error)) return false;
    RemoveFile(PackagePath(type));
    RemoveFile(IconPath(type));
    if (!remaining.empty()) return WriteDesktopEntry(remaining, error);
    RemoveFile(DesktopEntryPath());
    RemoveFile(AppIconPath());
    return true;
}

std::vector<std::string> FileTypeRegistration::UpdateDatabases() const {
    std::vector<std::string> ran;
    const std::pair<const char*, std::string> kTools[] = {
        {"update-mime-database", places_.dataHome + "/mime"},
        {"update-desktop-database", places_.dataHome + "/applications"}};
    for (const auto& [name, folder] : kTools) {
        const std::string tool = FindTool(name);
        std::error_code ec;
        if (tool.empty() || !fs::is_directory(folder, ec)) continue;
        if (RunTool(tool, folder)) ran.push_back(name);
    }
    return ran;
}

int RegisterFileTypesCommand(bool registering, const std::string& executable, std::string& out) {
    FileTypeRegistration registration(XdgPlaces::FromEnvironment(), executable);
    int status = 0;
    for (FileType type : kTypes) {
        std::string error;
        if (!registering && !registration.State(type).registered) {
            out += std::string("nothing of ours registered for ") + PatternOf(type) + "\n";
            continue;
        }
        const bool done = registering ? registration.Register(type, &error)
                                      : registration.Unregister(type, &error);
        if (!done) {
            out += std::string("tevrinemu: ") + MimeTypeOf(type) + ": " + error + "\n";
            status = 1;
            continue;
        }
        out += std::string(registering ? "registered " : "unregistered ") + PatternOf(type) + " (" +
               MimeTypeOf(type) + ")\n";
    }
    for (const std::string& tool : registration.UpdateDatabases()) out += "ran " + tool + "\n";
    return status;
}

}  // namespace desktop
