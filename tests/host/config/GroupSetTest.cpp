#include "host/config/GroupSet.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using config::Group;
using config::GroupSet;

std::vector<int> Numbers(const GroupSet& set) {
    std::vector<int> numbers;
    for (Group group : set) numbers.push_back(static_cast<int>(group));
    return numbers;
}

TEST(GroupSet, VisitsEachGroupOnceInTheOrderTheMachineAppliesThem) {
    EXPECT_EQ(Numbers(GroupSet::All()),
              (std::vector<int>{8, 9, 1, 2, 3, 4, 12, 13, 14, 15, 5, 6, 7, 10, 11, 17, 16}));
    GroupSet some{Group::Muse, Group::MainRom, Group::SoundDevice, Group::MainRom};
    EXPECT_EQ(Numbers(some), (std::vector<int>{8, 1, 17}));
    some.Add(GroupSet{Group::DebuggerHints, Group::SoundDevice});
    EXPECT_EQ(Numbers(some), (std::vector<int>{8, 1, 17, 16}));
    EXPECT_TRUE(Numbers(GroupSet{}).empty());
}

TEST(GroupSet, AnswersForSingleGroupsAndForRanges) {
    const GroupSet hardware{Group::MainRom, Group::Multiplier, Group::Timers, Group::InteOnPb0};
    const GroupSet changed{Group::Timers, Group::Border};
    EXPECT_TRUE(changed.Has(Group::Timers));
    EXPECT_FALSE(changed.Has(Group::MainRom));
    EXPECT_FALSE(changed.Has(Group::Muse));
    EXPECT_TRUE(changed.HasAny(hardware));
    EXPECT_FALSE(GroupSet{Group::Muse}.HasAny(hardware));
    EXPECT_TRUE(GroupSet{}.Empty());
    EXPECT_FALSE(changed.Empty());
    EXPECT_EQ(changed, (GroupSet{Group::Border, Group::Timers, Group::Border}));
}

}  // namespace
