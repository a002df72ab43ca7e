#include "springboard/testsupport/SpringBoardFixture.h"

#include "core/apply/NSObject+Hushline.h"
#include "platform/celestial/AVSystemController.h"
#include "platform/device/Device.h"
#include "platform/foundation/NSRunLoop.h"
#include "platform/mobiletimer/AlarmManager.h"
#include "platform/persistentconnection/PCSimpleTimer.h"
#include "platform/springboard/SBStatusBarStateAggregator.h"
#include "platform/springboard/SBVolumeHardwareButton.h"
#include "springboard/HLSystemHooks.h"

namespace {

class SystemHooksTest : public SpringBoardFixture {
protected:
    bool alarmIconShown() const
    {
        auto icon = Device::current().changesOf(DeviceChange::AlarmIcon);
        return !icon.empty() && icon.back().value.boolValue();
    }
};

}

TEST_F(SystemHooksTest, AVolumeButtonPressIsMarkedAfterTheSystemMovedTheRinger)
{
    load();
    Device::current().setRingerVolume(0.5f, "test");
    auto audio = AVSystemController::sharedAVSystemController();
    EXPECT_FALSE(hl_ChangedViaHWButtons(*audio));
    SBVolumeHardwareButton::sharedInstance()->volumeIncreasePress(nullptr);
    EXPECT_FLOAT_EQ(Device::current().ringerVolume(), 0.5625f);
    EXPECT_TRUE(hl_ChangedViaHWButtons(*audio));
}

TEST_F(SystemHooksTest, TheAlarmIconShowsOnlyWhileAClockAlarmTimerLives)
{
    launch();
    auto aggregator = SBStatusBarStateAggregator::sharedInstance();
    aggregator->setAlarmEnabled(true);
    EXPECT_FALSE(alarmIconShown());

    // The system's own wake-up timers never count.
    auto own = PCSimpleTimer::initWithAbsoluteTime(NSDate::date().timeIntervalSince1970() - 978307200.0 + 3600, "com.velloq.hushline",
        nullptr, "fired:", nullptr, {}, false);
    aggregator->setAlarmEnabled(true);
    EXPECT_FALSE(alarmIconShown());

    auto clock = AlarmManager::sharedManager();
    auto alarm = std::make_shared<Alarm>("ALARM-1", 7, 0, "Wake up");
    clock->addAlarm(alarm, true);
    EXPECT_EQ(HLSystemHooks::alarmTimers().size(), 1u);
    aggregator->setAlarmEnabled(true);
    EXPECT_TRUE(alarmIconShown());

    aggregator->setAlarmEnabled(false);
    EXPECT_FALSE(alarmIconShown());

    clock->setAlarm(alarm, false);
    EXPECT_TRUE(HLSystemHooks::alarmTimers().empty());
    aggregator->setAlarmEnabled(true);
    EXPECT_FALSE(alarmIconShown());
}

TEST_F(SystemHooksTest, OneSecondAfterLaunchTheIconFollowsTheClocksAlarms)
{
    auto clock = AlarmManager::sharedManager();
    clock->addAlarm(std::make_shared<Alarm>("ALARM-1", 7, 0, "Wake up"), true);
    launch();
    NSRunLoop::main().advanceBy(1.0);
    EXPECT_TRUE(alarmIconShown());
}

TEST_F(SystemHooksTest, TheSystemsOwnAlarmsAreRemovedAtLaunchAndOthersStay)
{
    auto clock = AlarmManager::sharedManager();
    clock->addAlarm(std::make_shared<Alarm>("A", 7, 0, "HushlineMe-42"), true);
    clock->addAlarm(std::make_shared<Alarm>("B", 8, 0, "HushlineMe"), false);
    clock->addAlarm(std::make_shared<Alarm>("C", 9, 0, "Wake up HushlineMe"), true);
    clock->addAlarm(std::make_shared<Alarm>("D", 10, 0, ""), true);
    launch();
    std::vector<std::string> left;
    for (const auto& alarm : clock->alarms())
        left.push_back(alarm->alarmId());
    EXPECT_EQ(left, (std::vector<std::string> { "C", "D" }));
    EXPECT_EQ(pluginLogCount("Removing alarm: "), 2u);
}

TEST_F(SystemHooksTest, TimersOfOlderVersionsAreKnownByTheirServiceVariable)
{
    writeSystemVersion("8.4");
    launch();
    auto clock = AlarmManager::sharedManager();
    auto alarm = std::make_shared<Alarm>("ALARM-1", 7, 0, "Wake up");
    clock->addAlarm(alarm, true);
    ASSERT_EQ(HLSystemHooks::alarmTimers().size(), 1u);
    EXPECT_EQ(HLSystemHooks::serviceIdentifierOf(*HLSystemHooks::alarmTimers()[0]), "com.apple.mobiletimer");
    clock->removeAlarm(alarm);
    EXPECT_TRUE(HLSystemHooks::alarmTimers().empty());
}
