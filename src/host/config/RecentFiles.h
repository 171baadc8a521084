#pragma once

#include <pugixml.hpp>

#include <functional>
#include <string>
#include <vector>

// The recent-files list: `RecentFile` elements of the `Recent` section holding stored paths,
// newest first, no duplicates, at most kMaxRecentFiles.
namespace config {

// Stores the path in stored form at the top of the list. An entry equal to it (compared
// case-sensitively) is removed first; otherwise the 20th entry makes room. Empty paths are
// ignored.
void AddRecentFile(pugi::xml_node recent, const std::string& path);

struct RecentFileEntry {
    int childIndex;          // position in the section's child list (for RemoveChildAt)
    std::string storedPath;  // as stored; FromProgramRelative makes it absolute
};

// The first kMaxRecentFiles entries, in list order.
std::vector<RecentFileEntry> RecentFileEntries(pugi::xml_node recent);

// Removes every entry whose file (made absolute) the predicate does not accept, walking from
// the last entry to the first.
void PruneRecentFiles(pugi::xml_node recent,
                      const std::function<bool(const std::string& absolutePath)>& keep);

// Moves the entry at that child position to the top and returns its stored path (empty, and
// nothing moved, when no entry is there): opening a file from the list.
std::string MoveRecentFileToTop(pugi::xml_node recent, int childIndex);

}  // namespace config
