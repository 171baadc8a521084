// Any bytes as the configuration file: loading must not crash, every setting must read, the
// writers must keep the document well-formed, and what is written must load again unchanged.
#include <pugixml.hpp>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "host/config/ConfigDocument.h"
#include "host/config/RecentFiles.h"
#include "host/config/Settings.h"

namespace {

using namespace config;

void Check(bool condition) {
    if (!condition) std::abort();
}

// The root's version, so that most inputs get past the version check to the code behind it.
std::string RootVersion(std::string_view bytes) {
    pugi::xml_document probe;
    if (!probe.load_buffer(bytes.data(), bytes.size())) return {};
    return probe.document_element().attribute("version").value();
}

template <typename Key>
void Read(const Settings& s, const Key& key) {
    s.Get(key);
}
void Read(const Settings& s, const PathKey& key) {
    s.GetAbsolute(key);
}
void Read(const Settings& s, const WindowPosKey& key) {
    WindowPos pos = s.GetWindowPos(key, 600, 600, {1024, 768});
    Check(pos.x >= 0 && pos.y >= 0);
}

void ReadEverything(const Settings& s) {
#define TEVRIN_READ_KEY(name, ...) Read(s, keys::name);
    TEVRIN_CONFIG_KEYS(TEVRIN_READ_KEY)
#undef TEVRIN_READ_KEY
    for (int n = 1; n <= static_cast<int>(keys::kMemViewElements.size()); ++n) {
        s.Get(keys::DebuggerMemType(n));
        s.Get(keys::DebuggerMemAddress(n));
    }
    for (int n = 1; n <= static_cast<int>(keys::kBreakpointElements.size()); ++n) {
        s.Get(keys::BreakpointActive(n));
        s.Get(keys::BreakpointAddress(n));
    }
    Check(s.Get(keys::kVolumeSpeaker) >= 0 && s.Get(keys::kVolumeSpeaker) <= 100);
}

void WriteSome(Settings& s) {
    using namespace keys;
    s.Set(kScreenBorder, 4);
    s.Set(kFullScreenFit, screen::kFitFit);
    s.SetPath(kSdRomRootPath, "/srv/card");
    s.Set(BreakpointActive(3), true);
    s.Set(kJoystickGuid, "A<&\"'>");
    s.SetWindowPos(kTapeBrowserPos, {-5, 70000});
    Check(s.Get(kScreenBorder) == 4);
    Check(s.Get(kFullScreenFit) == screen::kFitFit);
    Check(s.Get(kJoystickGuid) == "A<&\"'>");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view bytes(reinterpret_cast<const char*>(data), size);
    ConfigDocument doc;
    if (doc.LoadFromText(bytes, RootVersion(bytes)) != ConfigLoadResult::Usable) return 0;
    Settings settings(doc);
    ReadEverything(settings);

    // What the program writes back loads again and is written the same way.
    const std::string first = doc.ToText();
    ConfigDocument again;
    Check(again.LoadFromText(first, RootVersion(first)) == ConfigLoadResult::Usable);
    Check(again.ToText() == first);

    WriteSome(settings);
    pugi::xml_node recent = doc.EnsureSection(kRecentSection);
    for (int i = 0; i < 23; ++i) AddRecentFile(recent, "/t/" + std::to_string(i % 21));
    Check(RecentFileEntries(recent).size() <= static_cast<size_t>(kMaxRecentFiles));
    if (!RecentFileEntries(recent).empty()) {
        MoveRecentFileToTop(recent, RecentFileEntries(recent).back().childIndex);
    }
    PruneRecentFiles(recent, [](const std::string& path) { return path.size() % 2 == 0; });
    RemoveChildAt(doc.Root(), static_cast<int>(size % 7));

    const std::string second = doc.ToText();
    ConfigDocument third;
    Check(third.LoadFromText(second, RootVersion(second)) == ConfigLoadResult::Usable);
    Check(third.ToText() == second);
    return 0;
}
