#include "host/config/ConfigDocument.h"

#include "host/config/ConfigKeys.h"
#include "host/config/ConfigTree.h"
#include "host/config/RecentFiles.h"
#include "host/files/AtomicFile.h"

namespace config {
namespace {

// Whitespace nodes, comments, the declaration, processing instructions and a document type
// declaration are all kept as nodes so the file is written back as it was. pugixml treats a
// document type declaration as opaque text: nothing it declares or names is ever loaded.
constexpr unsigned kParseOptions = pugi::parse_full | pugi::parse_ws_pcdata;
// Whitespace is already in the document; a declaration is written only when the file had one.
constexpr unsigned kWriteOptions = pugi::format_raw | pugi::format_no_declaration;

class StringWriter : public pugi::xml_writer {
  public:
    explicit StringWriter(std::string& out) : out_(out) {}
    void write(const void* data, size_t size) override {
        out_.append(static_cast<const char*>(data), size);
    }

  private:
    std::string& out_;
};

}  // namespace

const StartupMessage* StartupMessageFor(ConfigLoadResult result) {
    switch (result) {
        case ConfigLoadResult::ConfigError: return &kConfigErrorMessage;
        case ConfigLoadResult::VersionError: return &kVersionErrorMessage;
        case ConfigLoadResult::Usable: break;
    }
    return nullptr;
}

ConfigDocument::~ConfigDocument() {
    Close();
}

ConfigLoadResult ConfigDocument::Load(const std::string& path, std::string_view expectedVersion) {
    Close();
    std::string contents;
    if (files::ReadWholeFile(path, kMaxFileSize, contents) != files::ReadResult::Ok) {
        return ConfigLoadResult::ConfigError;
    }
    ConfigLoadResult result = Parse(contents, expectedVersion);
    if (result == ConfigLoadResult::Usable) path_ = path;
    return result;
}

ConfigLoadResult ConfigDocument::LoadFromText(std::string_view text,
                                              std::string_view expectedVersion) {
    Close();
    if (text.size() > kMaxFileSize) return ConfigLoadResult::ConfigError;
    return Parse(text, expectedVersion);
}

ConfigLoadResult ConfigDocument::Parse(std::string_view text, std::string_view expectedVersion) {
    pugi::xml_parse_result parsed = document_.load_buffer(text.data(), text.size(), kParseOptions);
    ConfigLoadResult result = ConfigLoadResult::Usable;
    pugi::xml_node root = document_.document_element();
    if (!parsed || !root) {
        result = ConfigLoadResult::ConfigError;
    } else if (std::string_view(root.attribute("version").value()) != expectedVersion) {
        result = ConfigLoadResult::VersionError;
    }
    if (result != ConfigLoadResult::Usable) {
        document_.reset();
        return result;
    }
    open_ = true;
    savedText_ = ToText();
    return result;
}

pugi::xml_node ConfigDocument::Root() const {
    return document_.document_element();
}

pugi::xml_node ConfigDocument::Section(std::string_view name) const {
    if (!open_) return {};
    return Root().child(std::string(name).c_str());
}

pugi::xml_node ConfigDocument::EnsureSection(std::string_view name) {
    if (!open_) return {};
    return EnsureChildElement(Root(), name);
}

std::string ConfigDocument::ToText() const {
    // The parser keeps no whitespace outside the root element, so the top-level nodes (the
    // declaration, comments, the root) go on lines of their own, as files are written.
    std::string text;
    StringWriter writer(text);
    for (pugi::xml_node node = document_.first_child(); node; node = node.next_sibling()) {
        node.print(writer, "", kWriteOptions, pugi::encoding_utf8);
        text += '\n';
    }
    return text;
}

bool ConfigDocument::Modified() const {
    return open_ && ToText() != savedText_;
}

bool ConfigDocument::Save(std::string* error) {
    if (!open_ || path_.empty()) {
        if (error != nullptr) *error = "no settings file is open";
        return false;
    }
    std::string text = ToText();
    if (!files::WriteFileAtomically(path_, text, error)) return false;
    savedText_ = std::move(text);
    return true;
}

bool ConfigDocument::SaveIfModified(std::string* error) {
    if (!open_ && error != nullptr) *error = "no settings file is open";
    return Modified() ? Save(error) : open_;
}

void ConfigDocument::Close() {
    if (open_) SaveIfModified();
    document_.reset();
    path_.clear();
    savedText_.clear();
    open_ = false;
}

void ConfigDocument::AddRecentFile(const std::string& path) {
    config::AddRecentFile(EnsureSection(kRecentSection), path);
}

}  // namespace config
