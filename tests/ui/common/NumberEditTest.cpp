#include "ui/common/NumberEdit.h"

#include <gtest/gtest.h>

#include <QTest>

namespace {

// A spin box holds only what it shows: a 0 where the least is 1 is refused as it is typed,
// rather than shown and then turned back into the old value when the field is left.
TEST(NumberSpinBox, RefusesKeysThatLeaveANumberOutOfRange) {
    NumberSpinBox depth;
    depth.setRange(1, 600);
    depth.setValue(30);
    depth.show();
    depth.selectAll();
    QTest::keyClicks(&depth, "0");
    EXPECT_EQ(depth.text(), "30") << "the 0 never shows";
    EXPECT_EQ(depth.value(), 30);
    depth.selectAll();
    QTest::keyClicks(&depth, "7x0");
    EXPECT_EQ(depth.text(), "70");
    EXPECT_EQ(depth.value(), 70);
    QTest::keyClicks(&depth, "0");
    EXPECT_EQ(depth.text(), "70") << "700 is past the most";
    QTest::keyClick(&depth, Qt::Key_Return);
    EXPECT_EQ(depth.value(), 70);
}

}  // namespace
