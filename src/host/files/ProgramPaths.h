#pragma once

#include <string>

// Where the program lives and which release it is. Everything the program ships with (the
// configuration file, Lang/, the built-in ROM) sits in the executable's folder.
namespace program {

// The executable's folder with a trailing "/". Computed once; tests may set it.
const std::string& ProgramFolder();
void SetProgramFolder(const std::string& folder);

// "major.minor.patch.tweak" of this build.
const std::string& ProgramVersion();

// Stored-path form: a path inside the program folder is kept relative to it (compared
// case-sensitively, as Linux names are); any other path stays as it is.
std::string ToProgramRelative(const std::string& path);
// Absolute paths ("/...") are left alone; relative ones are taken from the program folder.
std::string FromProgramRelative(const std::string& path);

}  // namespace program
