#include "core/HLUtils.h"

#include "platform/foundation/NSUserDefaults.h"
#include "platform/testsupport/DeviceFixture.h"

class HLUtilsTest : public DeviceFixture { };

TEST_F(HLUtilsTest, VersionTestsReadTheVersionAsADecimalNumber)
{
    writeSystemVersion("12.4.1");
    EXPECT_TRUE(HLUtils::isIOS9());
    EXPECT_TRUE(HLUtils::isIOS11());
    EXPECT_TRUE(HLUtils::isIOS12());
    EXPECT_FALSE(HLUtils::isIOS13());
    writeSystemVersion("9.0");
    EXPECT_TRUE(HLUtils::isIOS9());
    EXPECT_FALSE(HLUtils::isIOS10());
    writeSystemVersion("8.4");
    EXPECT_FALSE(HLUtils::isIOS9());
    writeSystemVersion("13.0");
    EXPECT_TRUE(HLUtils::isIOS13());
}

TEST_F(HLUtilsTest, DarkModeNeedsAnInterfaceStyleAndTheDarkChoice)
{
    NSUserDefaults::standardUserDefaults().setPersistentDomain({ { "UserInterfaceStyle", 2 } }, "com.apple.UIKit");
    writeSystemVersion("11.4");
    EXPECT_FALSE(HLUtils::isDarkModeEnabled());
    writeSystemVersion("13.3");
    EXPECT_TRUE(HLUtils::isDarkModeEnabled());
    NSUserDefaults::standardUserDefaults().setPersistentDomain({ { "UserInterfaceStyle", 1 } }, "com.apple.UIKit");
    EXPECT_FALSE(HLUtils::isDarkModeEnabled());
}

TEST_F(HLUtilsTest, TheDateFormatterIsOneObjectPerProcess)
{
    EXPECT_EQ(HLUtils::dateFormatter(), HLUtils::dateFormatter());
    HLUtils::dateFormatter()->setDateFormat("h:mm a");
    EXPECT_EQ(HLUtils::dateFormatter()->stringFromDate(NSDate(localTime("2026-12-08T17:05:00"))), "5:05 PM");
}
