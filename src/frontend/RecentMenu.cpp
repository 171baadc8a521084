#include "frontend/RecentMenu.h"

#include "frontend/OpenedFile.h"
#include "host/config/RecentFiles.h"

int RecentFileImage(const std::string& path) {
    switch (KindOfOpenedFile(path)) {
        case OpenedFile::Tape: return kRecentImageTape;
        case OpenedFile::Snapshot:
        case OpenedFile::MachineSnapshot: return kRecentImageSnapshot;
        case OpenedFile::InputMovie:
        case OpenedFile::Memory: break;
    }
    return kRecentImageOther;
}

std::vector<RecentMenuItem> BuildRecentMenu(
    pugi::xml_node recent, const std::function<bool(const std::string& absolutePath)>& exists) {
    std::vector<RecentMenuItem> items;
    if (!recent) return items;
    config::PruneRecentFiles(recent, exists);
    int n = 0;
    for (const config::RecentFileEntry& entry : config::RecentFileEntries(recent)) {
        RecentMenuItem item;
        item.childIndex = entry.childIndex;
        item.storedPath = entry.storedPath;
        item.image = RecentFileImage(entry.storedPath);
        item.caption = n < 10 ? "&" + std::to_string((n + 1) % 10) + "  " : std::string(4, ' ');
        // A "&" in a folder name would otherwise underline the letter after it.
        for (char c : entry.storedPath)
            item.caption += c == '&' ? std::string("&&") : std::string(1, c);
        items.push_back(std::move(item));
        ++n;
    }
    return items;
}
