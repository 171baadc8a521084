#pragma once

#include <string>

// Which configuration file the program uses, and where it comes from on the first start.
//
// A configuration beside the executable wins (the build tree, a portable copy): that one is used
// and written in place, as it always was. Without one, the configuration is the user's own, in
// $XDG_CONFIG_HOME/tevrinemu/ (~/.config/tevrinemu/ by default), made from the delivered file in
// the program folder on the first start. So an installed program writes nothing below its
// prefix, and two users of one installation keep their own settings.
namespace config {

struct ConfigPlace {
    std::string path;       // the file loaded and saved
    std::string delivered;  // the file `path` is made from when missing; empty: never made
};

// The choice, from the folders alone. `configHome` is the XDG configuration home; when empty,
// the file stays beside the executable, where a missing file is reported.
ConfigPlace ChooseConfigPlace(const std::string& executableFolder, const std::string& programFolder,
                              const std::string& configHome);

// The same for this program and this user's environment.
ConfigPlace DefaultConfigPlace();

// The file named on the command line (relative to the working folder): it must exist, nothing
// is made from a delivered file.
ConfigPlace GivenConfigPlace(const std::string& path);

// Makes sure the place's file exists: when it is missing and a delivered file is named, the
// folder is made and the delivered file copied there. An existing file is never touched, be it
// unreadable, damaged or of another version: loading it reports that, and the user's settings
// stay as they are. False with `error` set when the file could not be made.
bool PrepareConfigFile(const ConfigPlace& place, std::string& error);

}  // namespace config
