#include "platform/springboard/SBVolumeHardwareButton.h"

#include "platform/celestial/AVSystemController.h"
#include "platform/device/Device.h"
#include "platform/foundation/NSNotificationCenter.h"
#include "platform/foundation/NSRunLoop.h"
#include "platform/testsupport/DeviceFixture.h"

#include <gmock/gmock.h>

namespace {

class SBVolumeHardwareButtonTest : public DeviceFixture {
protected:
    void SetUp() override
    {
        DeviceFixture::SetUp();
        NSRunLoop::main().reset();
        NSNotificationCenter::defaultCenter().addObserver(this, AVSystemController_SystemVolumeDidChangeNotification, nullptr,
            [this](const NSNotification& notification) {
                announced.push_back(notification.userInfo.at(AVSystemController_AudioVolumeNotificationParameter).floatValue());
            });
    }
    void TearDown() override
    {
        NSNotificationCenter::defaultCenter().removeObserver(this);
        DeviceFixture::TearDown();
    }

    std::vector<float> announced;
};

}

TEST_F(SBVolumeHardwareButtonTest, APressMovesTheRingerOneSixteenthAndAnnouncesItOnTheNextTurn)
{
    auto buttons = SBVolumeHardwareButton::sharedInstance();
    buttons->volumeIncreasePress(nullptr);
    EXPECT_FLOAT_EQ(Device::current().ringerVolume(), 0.5625f);
    EXPECT_TRUE(announced.empty());
    NSRunLoop::main().runPending();
    EXPECT_THAT(announced, testing::ElementsAre(0.5625f));

    buttons->volumeDecreasePress(nullptr);
    buttons->volumeDecreasePress(nullptr);
    NSRunLoop::main().runPending();
    EXPECT_FLOAT_EQ(Device::current().ringerVolume(), 0.4375f);
    EXPECT_EQ(announced.size(), 3u);
}

TEST_F(SBVolumeHardwareButtonTest, TheRingerStopsAtTheEndsAndAPressThereAnnouncesNothing)
{
    auto buttons = SBVolumeHardwareButton::sharedInstance();
    Device::current().setRingerVolume(0.97f, "test");
    buttons->volumeIncreasePress(nullptr);
    EXPECT_FLOAT_EQ(Device::current().ringerVolume(), 1.0f);
    buttons->volumeIncreasePress(nullptr);
    NSRunLoop::main().runPending();
    EXPECT_THAT(announced, testing::ElementsAre(1.0f));

    Device::current().setRingerVolume(0.02f, "test");
    buttons->volumeDecreasePress(nullptr);
    EXPECT_FLOAT_EQ(Device::current().ringerVolume(), 0.0f);
}

TEST_F(SBVolumeHardwareButtonTest, AHookRunsAfterTheSystemsHandling)
{
    decltype(SBVolumeHardwareButton::volumeIncreasePressMethod)::Implementation original;
    std::vector<float> seenByHook;
    MSHookMessageEx(
        SBVolumeHardwareButton::volumeIncreasePressMethod,
        [&](SBVolumeHardwareButton& self, const std::shared_ptr<NSObject>& event) {
            original(self, event);
            seenByHook.push_back(Device::current().ringerVolume());
        },
        &original);
    SBVolumeHardwareButton::sharedInstance()->volumeIncreasePress(nullptr);
    SBVolumeHardwareButton::volumeIncreasePressMethod.replace(original);
    EXPECT_THAT(seenByHook, testing::ElementsAre(0.5625f));
}
