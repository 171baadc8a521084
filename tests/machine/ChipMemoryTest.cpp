#include <gtest/gtest.h>

#include "machine/ChipMemory.h"

TEST(ChipMemory, Placeholder) {
    SUCCEED();
}
