#include "platform/foundation/NSLog.h"

#include "platform/testsupport/DeviceFixture.h"

namespace {

class NSLogTest : public DeviceFixture {
protected:
    void TearDown() override
    {
        NSLogSetEnabled(true);
        DeviceFixture::TearDown();
    }
};

TEST_F(NSLogTest, ADisabledLogWritesNothingUntilEnabledAgain)
{
    NSLog("first %d", 1);
    NSLogSetEnabled(false);
    NSLog("second %d", 2);
    NSLogSetEnabled(true);
    NSLog("third %d", 3);
    EXPECT_EQ(logCount("first 1"), 1u);
    EXPECT_EQ(logCount("second 2"), 0u);
    EXPECT_EQ(logCount("third 3"), 1u);
}

}
