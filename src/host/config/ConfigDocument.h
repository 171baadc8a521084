#pragma once

#include <pugixml.hpp>

#include <string>
#include <string_view>

#include "host/files/ProgramPaths.h"

namespace config {

enum class ConfigLoadResult { Usable, ConfigError, VersionError };

// The two texts shown before any language is loaded, so they are fixed here.
struct StartupMessage {
    std::string_view title;
    std::string_view text;
};
inline constexpr StartupMessage kConfigErrorMessage{"Error in config file",
                                                    "Config file is incorrect or corrupted!"};
inline constexpr StartupMessage kVersionErrorMessage{
    "Bad config file version", "Config file version mismatch to application version!"};

// The message for a load result; nullptr for a usable file.
const StartupMessage* StartupMessageFor(ConfigLoadResult result);

// The settings file: loaded once, kept open as a document for the whole run, read and written
// in place, saved at the save points and, when anything changed, when it is closed.
//
// The parser keeps the file's whitespace, comments and declaration, so a saved file differs from
// the loaded one only where settings changed. It never fetches anything a document type
// declaration names and expands no entity but the five predefined ones: the file cannot pull
// other host files into the settings.
class ConfigDocument {
  public:
    static constexpr std::string_view kFileName = "TevrinEmu.xml";
    // Anything larger is not a settings file (the delivered one is a few kilobytes).
    static constexpr std::size_t kMaxFileSize = 4 * 1024 * 1024;

    ConfigDocument() = default;
    ~ConfigDocument();
    ConfigDocument(const ConfigDocument&) = delete;
    ConfigDocument& operator=(const ConfigDocument&) = delete;

    // Closes any open document first. Missing, unreadable, oversized or not well-formed files
    // and documents without a root element give ConfigError; a root `version` attribute that
    // differs in any character from expectedVersion gives VersionError. Either way the
    // document stays closed.
    ConfigLoadResult Load(const std::string& path,
                          std::string_view expectedVersion = program::ProgramVersion());
    // The same from text in memory; such a document has no file, so saving it fails.
    ConfigLoadResult LoadFromText(std::string_view text,
                                  std::string_view expectedVersion = program::ProgramVersion());

    bool IsOpen() const { return open_; }
    const std::string& Path() const { return path_; }

    pugi::xml_node Root() const;
    // The first child element of the root with this name; a null node when missing (reads on it
    // give defaults).
    pugi::xml_node Section(std::string_view name) const;
    // The section, created (indented like the others) when the file lacks it, so that a setting
    // written to it is not lost.
    pugi::xml_node EnsureSection(std::string_view name);

    // The document as it would be written.
    std::string ToText() const;
    // True when the document differs from the file as last loaded or saved.
    bool Modified() const;

    // Writes the document to its file through a temporary file (see files::WriteFileAtomically).
    // False, with the file left as it was, when the document is closed or the write fails; the
    // reason then goes to `error` when given.
    bool Save(std::string* error = nullptr);
    bool SaveIfModified(std::string* error = nullptr);
    // Saves when modified, then closes the document.
    void Close();

    // Puts a file at the top of the `Recent` section (see config::AddRecentFile).
    void AddRecentFile(const std::string& path);

  private:
    ConfigLoadResult Parse(std::string_view text, std::string_view expectedVersion);

    pugi::xml_document document_;
    std::string path_;
    std::string savedText_;
    bool open_ = false;
};

}  // namespace config
