#pragma once

#include <pugixml.hpp>

#include <functional>
#include <string>
#include <vector>

// The recent-files drop-down of the open button, built from the configuration's `Recent`
// section each time it opens.
struct RecentMenuItem {
    int childIndex = 0;  // the entry's position in the section, for MoveRecentFileToTop
    std::string caption;
    int image = 0;  // the menu image by extension
    std::string storedPath;
};

inline constexpr int kRecentImageTape = 11, kRecentImageSnapshot = 1, kRecentImageOther = 21;

// Drops the entries whose files the predicate says are gone (from the configuration too),
// then gives the items: "&1  path" .. "&0  path" for the first ten, four blanks and no
// accelerator for the others, at most 20.
std::vector<RecentMenuItem> BuildRecentMenu(
    pugi::xml_node recent, const std::function<bool(const std::string& absolutePath)>& exists);

int RecentFileImage(const std::string& path);
