#include "host/config/RecentFiles.h"

#include <string_view>

#include "host/config/ConfigAccessors.h"
#include "host/config/ConfigKeys.h"
#include "host/config/ConfigTree.h"
#include "host/files/ProgramPaths.h"

namespace config {
namespace {

bool IsRecentFile(pugi::xml_node node) {
    return node.type() == pugi::node_element && std::string_view(node.name()) == kRecentFileElement;
}

void InsertAtTop(pugi::xml_node recent, const std::string& storedPath) {
    SetElementText(InsertChildElementAtTop(recent, kRecentFileElement), storedPath);
}

}  // namespace

void AddRecentFile(pugi::xml_node recent, const std::string& path) {
    if (!recent || path.empty()) return;
    const std::string stored = program::ToProgramRelative(path);
    int index = 0;
    int entries = 0;
    for (pugi::xml_node child = recent.first_child(); child;
         child = child.next_sibling(), ++index) {
        if (!IsRecentFile(child)) continue;
        ++entries;
        if (GetElementText(child) == stored || entries == kMaxRecentFiles) {
            RemoveChildAt(recent, index);
            break;
        }
    }
    InsertAtTop(recent, stored);
}

std::vector<RecentFileEntry> RecentFileEntries(pugi::xml_node recent) {
    std::vector<RecentFileEntry> entries;
    int index = 0;
    for (pugi::xml_node child = recent.first_child();
         child && entries.size() < static_cast<size_t>(kMaxRecentFiles);
         child = child.next_sibling(), ++index) {
        if (IsRecentFile(child)) entries.push_back({index, GetElementText(child)});
    }
    return entries;
}

void PruneRecentFiles(pugi::xml_node recent,
                      const std::function<bool(const std::string& absolutePath)>& keep) {
    std::vector<int> doomed;
    int index = 0;
    for (pugi::xml_node child = recent.first_child(); child;
         child = child.next_sibling(), ++index) {
        if (IsRecentFile(child) && !keep(program::FromProgramRelative(GetElementText(child)))) {
            doomed.push_back(index);
        }
    }
    // From the last to the first: removing an entry (and the whitespace before it) leaves the
    // positions of the entries before it unchanged.
    for (auto it = doomed.rbegin(); it != doomed.rend(); ++it) RemoveChildAt(recent, *it);
}

std::string MoveRecentFileToTop(pugi::xml_node recent, int childIndex) {
    pugi::xml_node child = recent.first_child();
    for (int i = 0; child && i < childIndex; ++i) child = child.next_sibling();
    if (childIndex < 0 || !IsRecentFile(child)) return {};
    std::string stored = RemoveChildAt(recent, childIndex);
    InsertAtTop(recent, stored);
    return stored;
}

}  // namespace config
