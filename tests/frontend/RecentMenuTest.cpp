#include "frontend/RecentMenu.h"

#include <gtest/gtest.h>

#include <set>

#include "host/config/RecentFiles.h"

namespace {

TEST(RecentMenu, CaptionsCarryDigitsForTheFirstTenAndDropMissingFiles) {
    pugi::xml_document document;
    pugi::xml_node recent = document.append_child("Recent");
    std::set<std::string> missing = {"/m/gone.bin"};
    // Added oldest first: the list ends newest first.
    for (int i = 21; i >= 1; --i) {
        config::AddRecentFile(recent, "/m/file" + std::to_string(i) + (i % 2 ? ".PTA" : ".bin"));
        if (i == 5) config::AddRecentFile(recent, "/m/gone.bin");
    }
    config::AddRecentFile(recent, "/m/R&D.tvx");
    const std::vector<RecentMenuItem> items =
        BuildRecentMenu(recent, [&](const std::string& path) { return missing.count(path) == 0; });
    ASSERT_EQ(items.size(), 19u);  // twenty kept, one of them gone
    EXPECT_EQ(items[0].caption, "&1  /m/R&&D.tvx");
    EXPECT_EQ(items[0].image, kRecentImageSnapshot);
    EXPECT_EQ(items[1].caption, "&2  /m/file1.PTA");
    EXPECT_EQ(items[1].image, kRecentImageTape);
    EXPECT_EQ(items[2].image, kRecentImageOther);
    EXPECT_EQ(items[9].caption, "&0  /m/file9.PTA");
    EXPECT_EQ(items[10].caption, "    /m/file10.bin");
    for (const RecentMenuItem& item : items) EXPECT_NE(item.storedPath, "/m/gone.bin");
    // The missing file is gone from the configuration, not only from the menu.
    EXPECT_EQ(config::RecentFileEntries(recent).size(), 19u);
    // Each item's position leads back to its entry.
    EXPECT_EQ(config::MoveRecentFileToTop(recent, items[10].childIndex), "/m/file10.bin");
}

}  // namespace
