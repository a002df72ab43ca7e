#include "core/UIImage+HLAdditions.h"

#include "platform/uikit/UIColor.h"
#include "platform/uikit/UIGraphics.h"
#include "platform/uikit/UIImage.h"

#include <gtest/gtest.h>

TEST(UIImageHLAdditionsTest, AColourImageIsAFiveByFivePointSquareAtScaleOneNotOpaque)
{
    auto red = UIColor::colorWithRed(1, 0, 0, 1);
    auto image = hl_imageWithColor(red);
    ASSERT_TRUE(image && image->drawing());
    EXPECT_EQ(image->size().width, 5);
    EXPECT_EQ(image->size().height, 5);
    EXPECT_EQ(image->scale(), 1.0);
    EXPECT_FALSE(image->drawing()->opaque);
    EXPECT_TRUE(image->drawing()->fillColor->isEqual(red));
    EXPECT_EQ(image->drawing()->clipCornerRadius, 0);
    // The image context is closed again.
    EXPECT_EQ(UIGraphicsGetImageFromCurrentImageContext(), nullptr);
}

TEST(UIImageHLAdditionsTest, ARoundedCopyKeepsSizeAndColourAndClipsToTheRadius)
{
    auto blue = UIColor::colorWithRed(0, 0, 1, 1);
    UIGraphicsBeginImageContextWithOptions(CGSize { 12, 8 }, true, 3.0);
    blue->setFill();
    UIRectFill(CGRect { 0, 0, 12, 8 });
    auto wide = UIGraphicsGetImageFromCurrentImageContext();
    UIGraphicsEndImageContext();

    auto rounded = hl_imageWithRoundedCornersSize(10, wide);
    ASSERT_TRUE(rounded && rounded->drawing());
    EXPECT_EQ(rounded->size().width, 12);
    EXPECT_EQ(rounded->size().height, 8);
    EXPECT_EQ(rounded->scale(), 1.0);
    EXPECT_FALSE(rounded->drawing()->opaque);
    EXPECT_EQ(rounded->drawing()->clipCornerRadius, 10);
    EXPECT_TRUE(rounded->drawing()->fillColor->isEqual(blue));
    EXPECT_FALSE(rounded->isEqual(wide));
    EXPECT_EQ(hl_imageWithRoundedCornersSize(10, nullptr), nullptr);
}
