#include "ui/common/FlagPicture.h"

#include <gtest/gtest.h>

#include <QImage>

#include "support/TempFolder.h"

namespace {

TEST(FlagPicture, MagentaBecomesTransparentAndEverythingElseStays) {
    testing_support::TempFolder folder;
    QImage drawn(4, 2, QImage::Format_RGB888);
    drawn.fill(QColor(0, 0, 255));
    drawn.setPixelColor(0, 0, QColor(255, 0, 255));
    drawn.setPixelColor(1, 0, QColor(254, 0, 255));  // close is not the same
    const std::string path = folder / "flag.bmp";
    ASSERT_TRUE(drawn.save(QString::fromStdString(path), "BMP"));

    QImage flag = LoadFlagPicture(path).toImage();
    ASSERT_EQ(flag.size(), QSize(4, 2));
    EXPECT_EQ(qAlpha(flag.pixel(0, 0)), 0);
    EXPECT_EQ(qAlpha(flag.pixel(1, 0)), 255);
    EXPECT_EQ(flag.pixelColor(3, 1), QColor(0, 0, 255));
}

TEST(FlagPicture, TheDeliveredFlagsHaveRoundedCorners) {
    for (const char* name : {"english.bmp", "german.bmp"}) {
        QImage flag =
            LoadFlagPicture(std::string(TEVRIN_SOURCE_DIR) + "/resources/Lang/" + name).toImage();
        ASSERT_FALSE(flag.isNull()) << name;
        EXPECT_EQ(qAlpha(flag.pixel(0, 0)), 0) << name;
        EXPECT_EQ(qAlpha(flag.pixel(flag.width() / 2, flag.height() / 2)), 255) << name;
    }
}

TEST(FlagPicture, AMissingOrBrokenFileGivesNoFlag) {
    testing_support::TempFolder folder;
    EXPECT_TRUE(LoadFlagPicture(folder / "none.bmp").isNull());
    EXPECT_TRUE(LoadFlagPicture(folder.Write("bad.bmp", "BM garbage")).isNull());
}

}  // namespace
