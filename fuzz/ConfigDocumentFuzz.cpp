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

void ReadEverything(const Settings& s) {
    using namespace keys;
    s.Get(kLanguage);
    s.Get(kPauseOnFocusLost);
    s.Get(kShowPlaceBar);
    s.Get(kScreenSize);
    s.Get(kScreenBorder);
    s.Get(kFullScreenFit);
    s.Get(kResetPattern);
    s.GetAbsolute(kRomFile);
    s.GetAbsolute(kSdRomRootPath);
    s.Get(kSdRomCurrentFolder);
    s.Get(kVolumeTape);
    s.Get(kJoystickType);
    s.Get(kJoystickSensitivity);
    s.Get(kListSource);
    for (int n = 1; n <= 3; ++n) {
        s.Get(DebuggerMemType(n));
        s.Get(DebuggerMemAddress(n));
    }
    for (int n = 1; n <= 6; ++n) {
        s.Get(BreakpointActive(n));
        s.Get(BreakpointAddress(n));
    }
    s.GetAbsolute(kTapeFile);
    WindowPos pos = s.GetWindowPos(kScreenPos, 600, 600, {1024, 768});
    Check(pos.x >= 0 && pos.y >= 0);
    Check(s.Get(kVolumeSpeaker) >= 0 && s.Get(kVolumeSpeaker) <= 100);
}

void WriteSome(Settings& s) {
    using namespace keys;
    s.Set(kScreenBorder, 4);
    s.Set(kFullScreenFit, FullScreenFit::Fit);
    s.SetPath(kSdRomRootPath, "/srv/card");
    s.Set(BreakpointActive(3), true);
    s.Set(kJoystickGuid, "A<&\"'>");
    s.SetWindowPos(kTapeBrowserPos, {-5, 70000});
    Check(s.Get(kScreenBorder) == 4);
    Check(s.Get(kFullScreenFit) == FullScreenFit::Fit);
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
