#pragma once

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

namespace testing_support {

// A fresh folder under the system's temporary folder, removed with everything in it when the
// object goes. Path() ends with "/", like the program folder.
class TempFolder {
  public:
    TempFolder() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "tevrin-test-XXXXXX").string();
        char* made = ::mkdtemp(pattern.data());
        made_ = made != nullptr;
        path_ = std::string(made != nullptr ? made : pattern.c_str()) + "/";
    }
    ~TempFolder() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::string& Path() const { return path_; }
    // The folder as a filesystem path, for code that builds paths with "/".
    std::filesystem::path Dir() const { return std::filesystem::path(path_).parent_path(); }
    bool Ok() const { return made_; }
    std::string operator/(std::string_view name) const { return path_ + std::string(name); }

    // Writes a file below the folder (creating folders on the way) and returns its path.
    std::string Write(std::string_view name, std::string_view contents) const {
        std::string path = *this / name;
        std::filesystem::create_directories(std::filesystem::path(path).parent_path());
        std::ofstream(path, std::ios::binary) << contents;
        return path;
    }
    std::string File(std::string_view name) const { return *this / name; }

    // The names in the folder, to catch temporary files left behind.
    std::vector<std::string> Names() const {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(path_)) {
            names.push_back(entry.path().filename().string());
        }
        return names;
    }

    static std::vector<uint8_t> Read(const std::string& file) {
        std::ifstream in(file, std::ios::binary);
        return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
    }

    std::string MakeFolder(std::string_view name) const {
        std::string path = *this / name;
        std::filesystem::create_directories(path);
        return path + "/";
    }

  private:
    std::string path_;
    bool made_ = false;
};

inline std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream contents;
    contents << in.rdbuf();
    return contents.str();
}

}  // namespace testing_support
