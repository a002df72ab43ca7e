#include "platform/mobiletimer/AlarmManager.h"

#include "platform/device/Device.h"
#include "platform/foundation/NSRunLoop.h"
#include "platform/foundation/PropertyList.h"
#include "platform/persistentconnection/PCSimpleTimer.h"
#include "platform/persistentconnection/WakeUpTimerQueue.h"
#include "platform/springboard/SBStatusBarStateAggregator.h"
#include "platform/testsupport/DeviceFixture.h"

#include <gmock/gmock.h>

namespace {

class AlarmManagerTest : public DeviceFixture {
protected:
    void SetUp() override
    {
        DeviceFixture::SetUp();
        NSRunLoop::main().reset();
        // What the clock creates and invalidates, seen through the same slots a plug-in hooks.
        MSHookMessageEx(
            PCSimpleTimer::initWithAbsoluteTimeMethod,
            [this](double time, std::string service, std::shared_ptr<NSObject> target, std::string selector, PCSimpleTimer::Action action,
                PlistDictionary info, bool gmt) {
                auto timer = m_create(time, service, std::move(target), std::move(selector), std::move(action), std::move(info), gmt);
                created.push_back(timer);
                return timer;
            },
            &m_create);
        MSHookMessageEx(
            PCSimpleTimer::invalidateMethod,
            [this](PCSimpleTimer& timer) {
                invalidatedServices.push_back(timer.loggingIdentifier());
                m_invalidate(timer);
            },
            &m_invalidate);
        MSHookMessageEx(
            SBStatusBarStateAggregator::setAlarmEnabledMethod,
            [this](SBStatusBarStateAggregator& self, bool enabled) {
                alarmEnabledCalls.push_back(enabled);
                m_setAlarmEnabled(self, enabled);
            },
            &m_setAlarmEnabled);
    }

    void TearDown() override
    {
        PCSimpleTimer::initWithAbsoluteTimeMethod.replace(m_create);
        PCSimpleTimer::invalidateMethod.replace(m_invalidate);
        SBStatusBarStateAggregator::setAlarmEnabledMethod.replace(m_setAlarmEnabled);
        DeviceFixture::TearDown();
    }

    void writeAlarms(const PlistArray& alarms)
    {
        auto path = phonePath(AlarmManager::kPreferencesPath);
        std::filesystem::create_directories(path.parent_path());
        ASSERT_TRUE(PropertyList::write(path, PlistValue(PlistDictionary { { "Alarms", alarms } })));
    }

    PlistArray storedAlarms() const
    {
        auto stored = PropertyList::read(phonePath(AlarmManager::kPreferencesPath));
        return stored && (*stored)["Alarms"].asArray() ? *(*stored)["Alarms"].asArray() : PlistArray {};
    }

    std::vector<std::shared_ptr<PCSimpleTimer>> created;
    std::vector<std::string> invalidatedServices;
    std::vector<bool> alarmEnabledCalls;

private:
    decltype(PCSimpleTimer::initWithAbsoluteTimeMethod)::Implementation m_create;
    decltype(PCSimpleTimer::invalidateMethod)::Implementation m_invalidate;
    decltype(SBStatusBarStateAggregator::setAlarmEnabledMethod)::Implementation m_setAlarmEnabled;
};

}

TEST_F(AlarmManagerTest, AnActiveAlarmArmsAClockTimerAtItsNextTimeAndShowsTheIcon)
{
    auto clock = AlarmManager::sharedManager();
    auto alarm = std::make_shared<Alarm>("A1", 7, 30, "Wake up");
    clock->addAlarm(alarm, true);

    ASSERT_EQ(created.size(), 1u);
    EXPECT_EQ(created[0]->loggingIdentifier(), "com.apple.mobiletimer");
    // 08:00 now: 07:30 has passed today, so the alarm rings tomorrow.
    EXPECT_EQ(created[0]->fireDate().timeIntervalSince1970(), localTime("2026-12-09T07:30:00"));
    EXPECT_TRUE(created[0]->isScheduled());
    EXPECT_THAT(alarmEnabledCalls, testing::ElementsAre(true));
    EXPECT_TRUE(Device::current().isAlarmIconShown());
    ASSERT_EQ(storedAlarms().size(), 1u);
    EXPECT_EQ(storedAlarms()[0]["alarmId"], PlistValue("A1"));
    EXPECT_TRUE(storedAlarms()[0]["active"].boolValue());
}

TEST_F(AlarmManagerTest, SwitchingOffOrRemovingAnAlarmInvalidatesItsTimer)
{
    auto clock = AlarmManager::sharedManager();
    auto first = std::make_shared<Alarm>("A1", 9, 0, "One");
    auto second = std::make_shared<Alarm>("A2", 10, 0, "Two");
    clock->addAlarm(first, true);
    clock->addAlarm(second, true);
    EXPECT_EQ(WakeUpTimerQueue::shared().pendingCount(), 2u);

    clock->setAlarm(first, false);
    EXPECT_THAT(invalidatedServices, testing::ElementsAre("com.apple.mobiletimer"));
    EXPECT_FALSE(created[0]->isValid());
    EXPECT_TRUE(Device::current().isAlarmIconShown());

    clock->removeAlarm(second);
    EXPECT_EQ(invalidatedServices.size(), 2u);
    EXPECT_EQ(WakeUpTimerQueue::shared().pendingCount(), 0u);
    EXPECT_EQ(alarmEnabledCalls.back(), false);
    EXPECT_FALSE(Device::current().isAlarmIconShown());
    ASSERT_EQ(storedAlarms().size(), 1u);
    EXPECT_FALSE(storedAlarms()[0]["active"].boolValue());
}

TEST_F(AlarmManagerTest, AnAlarmRingsOnceAtItsTimeAndThenSwitchesItselfOff)
{
    auto clock = AlarmManager::sharedManager();
    clock->addAlarm(std::make_shared<Alarm>("A1", 8, 15, "Coffee"), true);
    NSRunLoop::main().advanceBy(15 * 60 - 1);
    EXPECT_TRUE(Device::current().tones().empty());
    NSRunLoop::main().advanceBy(1);
    ASSERT_EQ(Device::current().tones().size(), 1u);
    EXPECT_EQ(Device::current().tones()[0].date.timeIntervalSince1970(), localTime("2026-12-08T08:15:00"));
    EXPECT_FALSE(clock->alarmWithId("A1")->isActive());
    EXPECT_THAT(invalidatedServices, testing::ElementsAre("com.apple.mobiletimer"));
    EXPECT_FALSE(Device::current().isAlarmIconShown());
    NSRunLoop::main().advanceBy(2 * 86400);
    EXPECT_EQ(Device::current().tones().size(), 1u);
}

TEST_F(AlarmManagerTest, LoadingKeepsTheAlarmsItHoldsSkipsMalformedOnesAndDisarmsVanishedOnes)
{
    writeAlarms({ PlistDictionary { { "alarmId", "A1" }, { "hour", 6 }, { "minute", 0 }, { "title", "HushlineMe 1" }, { "active", true } },
        PlistDictionary { { "alarmId", "A2" }, { "hour", 25 }, { "minute", 0 } }, PlistValue("not an alarm"),
        PlistDictionary { { "alarmId", "A3" }, { "hour", 7 }, { "minute", 5 }, { "active", true } } });
    auto clock = AlarmManager::sharedManager();
    ASSERT_EQ(clock->alarms().size(), 2u);
    auto kept = clock->alarmWithId("A1");
    EXPECT_EQ(clock->alarmWithId(PlistValue(int64_t(1))), nullptr);
    EXPECT_EQ(clock->alarmWithId("A2"), nullptr);
    EXPECT_EQ(logCount("is malformed and skipped"), 2u);

    clock->loadScheduledNotifications();
    EXPECT_EQ(created.size(), 2u);
    EXPECT_THAT(alarmEnabledCalls, testing::ElementsAre(true));

    writeAlarms({ PlistDictionary { { "alarmId", "A1" }, { "hour", 6 }, { "minute", 30 }, { "title", "Renamed" }, { "active", true } } });
    clock->loadAlarms();
    ASSERT_EQ(clock->alarms().size(), 1u);
    EXPECT_EQ(clock->alarms()[0], kept);
    EXPECT_EQ(kept->minute(), 30);
    // A3 went away with its timer.
    EXPECT_EQ(invalidatedServices.size(), 1u);
}

TEST_F(AlarmManagerTest, SetAlarmIgnoresANullOrForeignAlarm)
{
    auto clock = AlarmManager::sharedManager();
    clock->setAlarm(nullptr, true);
    clock->setAlarm(std::make_shared<Alarm>("elsewhere", 1, 2, "x"), true);
    EXPECT_TRUE(created.empty());
    EXPECT_TRUE(alarmEnabledCalls.empty());
}

TEST_F(AlarmManagerTest, TheTitleMethodsFollowTheOSVersion)
{
    struct Case {
        const char* version;
        bool title, rawTitle, uiTitle;
    };
    for (const Case& c : { Case { "7.1", false, false, true }, Case { "9.3", false, false, true }, Case { "10.2", false, true, true },
             Case { "11.4", false, true, true }, Case { "12.0", true, false, false }, Case { "13.5", true, false, false } }) {
        writeSystemVersion(c.version);
        Alarm alarm("A", 1, 0, "HushlineMe x");
        EXPECT_EQ(alarm.respondsToSelector("title"), c.title) << c.version;
        EXPECT_EQ(alarm.respondsToSelector("rawTitle"), c.rawTitle) << c.version;
        EXPECT_EQ(alarm.respondsToSelector("uiTitle"), c.uiTitle) << c.version;
        if (c.title)
            EXPECT_EQ(alarm.title(), "HushlineMe x");
        else
            EXPECT_THROW(alarm.title(), std::logic_error) << c.version;
    }
}
