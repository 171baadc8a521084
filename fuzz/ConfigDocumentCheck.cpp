#include "fuzz/ConfigDocumentCheck.h"

#include <pugixml.hpp>

#include <cstddef>
#include <string>

#include "host/config/ConfigDocument.h"
#include "host/config/RecentFiles.h"
#include "host/config/Settings.h"

namespace fuzzcheck {

namespace {

using namespace config;

// The root's version, so that most inputs get past the version check to the code behind it.
std::string RootVersion(std::string_view bytes) {
    pugi::xml_document probe;
    if (!probe.load_buffer(bytes.data(), bytes.size())) return {};
    return probe.document_element().attribute("version").value();
}

template <typename Key>
const char* Read(const Settings& s, const Key& key) {
    s.Get(key);
    return nullptr;
}
const char* Read(const Settings& s, const PathKey& key) {
    s.GetAbsolute(key);
    return nullptr;
}
const char* Read(const Settings& s, const WindowPosKey& key) {
    WindowPos pos = s.GetWindowPos(key, 600, 600, {1024, 768});
    return pos.x < 0 || pos.y < 0 ? "a window place lies off the desktop" : nullptr;
}

// Every key of the one key table, so a new key is read here without a second list.
const char* ReadEverything(const Settings& s) {
    const char* broken = nullptr;
#define TEVRIN_READ_KEY(name, ...) \
    if (const char* why = Read(s, keys::name); why != nullptr && broken == nullptr) broken = why;
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
    if (broken != nullptr) return broken;
    if (s.Get(keys::kVolumeSpeaker) < 0 || s.Get(keys::kVolumeSpeaker) > 100) {
        return "a volume outside 0..100";
    }
    return nullptr;
}

const char* WriteSome(Settings& s) {
    using namespace keys;
    s.Set(kScreenBorder, 4);
    s.Set(kFullScreenFit, screen::kFitFit);
    s.SetPath(kSdRomRootPath, "/srv/card");
    s.Set(BreakpointActive(3), true);
    s.Set(kJoystickGuid, "A<&\"'>");
    s.SetWindowPos(kTapeBrowserPos, {-5, 70000});
    if (s.Get(kScreenBorder) != 4) return "a number written does not read back";
    if (s.Get(kFullScreenFit) != screen::kFitFit) return "a choice written does not read back";
    if (s.Get(kJoystickGuid) != "A<&\"'>") return "a text written does not read back";
    return nullptr;
}

// What the program writes loads again and is written the same way.
const char* LoadsAgainAsWritten(const ConfigDocument& doc) {
    const std::string text = doc.ToText();
    ConfigDocument again;
    if (again.LoadFromText(text, RootVersion(text)) != ConfigLoadResult::Usable) {
        return "the written document does not load";
    }
    if (again.ToText() != text) return "the written document does not write back the same";
    return nullptr;
}

}  // namespace

const char* CheckConfigDocument(std::string_view bytes) {
    ConfigDocument doc;
    if (doc.LoadFromText(bytes, RootVersion(bytes)) != ConfigLoadResult::Usable) return nullptr;
    Settings settings(doc);
    if (const char* broken = ReadEverything(settings)) return broken;
    if (const char* broken = LoadsAgainAsWritten(doc)) return broken;

    if (const char* broken = WriteSome(settings)) return broken;
    pugi::xml_node recent = doc.EnsureSection(kRecentSection);
    for (int i = 0; i < 23; ++i) AddRecentFile(recent, "/t/" + std::to_string(i % 21));
    if (RecentFileEntries(recent).size() > static_cast<size_t>(kMaxRecentFiles)) {
        return "the recent-file list outgrew its limit";
    }
    if (!RecentFileEntries(recent).empty()) {
        MoveRecentFileToTop(recent, RecentFileEntries(recent).back().childIndex);
    }
    PruneRecentFiles(recent, [](const std::string& path) { return path.size() % 2 == 0; });
    RemoveChildAt(doc.Root(), static_cast<int>(bytes.size() % 7));
    return LoadsAgainAsWritten(doc);
}

}  // namespace fuzzcheck
