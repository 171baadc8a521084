#pragma once

#include <string>
#include <string_view>

// A name pattern of the SD-ROM module's listing and delete commands: a name part and an
// extension part, each with "*" for any run of characters and "?" for one, compared without
// regard to case. A file's name is split at its last "."; one without a "." matches only when
// the extension part is "*".
class SdRomPattern {
  public:
    // Everything.
    SdRomPattern() = default;
    // From the machine's text: runs of "*" count as one, the text is split at its last ".",
    // and an empty part means "*".
    explicit SdRomPattern(std::string_view text);

    bool Matches(std::string_view fileName) const;
    bool HasWildcards() const;

    const std::string& NamePart() const { return name_; }
    const std::string& ExtensionPart() const { return extension_; }

  private:
    static bool Glob(std::string_view pattern, std::string_view text);

    std::string name_ = "*";
    std::string extension_ = "*";
};
