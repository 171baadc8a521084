#pragma once

#include <string>

// Where the program lives and which release it is.
//
// The executable's folder and the program folder are the same folder in the build tree and in a
// portable copy (the configuration, Lang/ and the built-in ROM beside the executable). An
// installed program keeps them apart: the executable in <prefix>/bin, everything it ships with
// in <prefix>/share/tevrinemu. The program folder is where those resources were found, and the
// stored-path form is relative to it.
namespace program {

// The executable's folder with a trailing "/". Computed once.
const std::string& ExecutableFolder();

// The folder the program's resources were found in, with a trailing "/". Computed once; tests
// may set it, as a portable copy's or (installed) an installed program's.
const std::string& ProgramFolder();
void SetProgramFolder(const std::string& folder, bool installed = false);

// The name of the folder below <prefix>/share that an installed program's resources are in.
inline constexpr const char* kInstalledDataFolder = "tevrinemu";

// Where a program whose executable lies in `executableFolder` (ending with "/") finds its
// resources: that folder itself when Lang/ is there, else
// ../share/tevrinemu/ beside it when that holds them, else (nothing anywhere) the executable's
// folder again, so the messages name the place a user would look first.
std::string ResolveProgramFolder(const std::string& executableFolder);

// True when the resources are not beside the executable: the program was installed.
bool IsInstalled();

// Where the user's own files start when nothing was chosen yet: the program folder of a portable
// copy, the home folder of an installed program (whose program folder is read-only).
std::string UserFilesFolder();

// "major.minor.patch.tweak" of this build.
const std::string& ProgramVersion();

// Stored-path form: a path inside the program folder is kept relative to it (compared
// case-sensitively, as Linux names are); any other path stays as it is.
std::string ToProgramRelative(const std::string& path);
// Absolute paths ("/...") are left alone; relative ones are taken from the program folder.
std::string FromProgramRelative(const std::string& path);

}  // namespace program
