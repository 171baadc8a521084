#include "host/files/FileFilter.h"

#include <gtest/gtest.h>

namespace {

TEST(FileFilter, PairsOfDescriptionAndPatterns) {
    std::vector<FileFilter> filters =
        ParseFileFilter("Tape images (*.pta)|*.pta|Memory|*.bin; *.rom;|All files|*.*");
    ASSERT_EQ(filters.size(), 3u);
    EXPECT_EQ(filters[0].description, "Tape images (*.pta)");
    EXPECT_EQ(filters[0].patterns, (std::vector<std::string>{"*.pta"}));
    EXPECT_EQ(filters[1].patterns, (std::vector<std::string>{"*.bin", "*.rom"}));
    EXPECT_EQ(filters[2].patterns, (std::vector<std::string>{"*"}));
}

TEST(FileFilter, IncompleteTextsStillGiveUsableFilters) {
    EXPECT_TRUE(ParseFileFilter("").empty());
    EXPECT_TRUE(ParseFileFilter("  ").empty());
    std::vector<FileFilter> lone = ParseFileFilter("Everything");
    ASSERT_EQ(lone.size(), 1u);
    EXPECT_EQ(lone[0].patterns, (std::vector<std::string>{"*"}));
    std::vector<FileFilter> unnamed = ParseFileFilter("|*.txt|Texts|*.txt|");
    ASSERT_EQ(unnamed.size(), 2u);
    EXPECT_EQ(unnamed[0].description, "*.txt");
    EXPECT_EQ(unnamed[1].description, "Texts");
}

}  // namespace
