#include "core/testsupport/SchedulerFixture.h"

#include "core/schedule/HLEventManager.h"
#include "platform/foundation/NSNotificationCenter.h"
#include "platform/foundation/NSRunLoop.h"
#include "platform/foundation/PropertyList.h"
#include "platform/mobilewifi/WiFiState.h"

#include <fstream>

namespace {

class SchedulerTest : public SchedulerFixture { };

}

TEST_F(SchedulerTest, TwoMeetingsInsideTheHoursApplyAndRevertAtTheirEdges)
{
    addEvent("Standup", "10:00", "11:00");
    addEvent("Review", "14:00", "15:00");
    auto work = addProfile("Work");
    store().schedulePowerEventsForProfiles(true);
    // Before the hours the wake-up waits for their start.
    EXPECT_EQ(armedWakeUps(), std::vector<NSDate> { today("09:00") });
    EXPECT_EQ(logCount("****** Profile's start ime is not crossed, hence scheduling power wakeup at: "), 1u);

    runUntil("09:00:01");
    EXPECT_EQ(armedWakeUps(), std::vector<NSDate> { today("10:00") });
    EXPECT_FALSE(appliedInFile(work->identifier()));

    runUntil("10:00:03");
    EXPECT_TRUE(appliedInFile(work->identifier()));
    EXPECT_FLOAT_EQ(ringer(), 0.0625f);
    EXPECT_EQ(tonesPlayed(), 1u);
    EXPECT_EQ(armedWakeUps(), std::vector<NSDate> { today("11:00") });

    runUntil("11:00:05");
    EXPECT_FALSE(appliedInFile(work->identifier()));
    EXPECT_FLOAT_EQ(ringer(), 0.5f);
    EXPECT_EQ(tonesPlayed(), 2u);
    EXPECT_EQ(armedWakeUps(), std::vector<NSDate> { today("14:00") });

    runUntil("14:00:03");
    EXPECT_TRUE(appliedInFile(work->identifier()));
    runUntil("15:00:05");
    EXPECT_FALSE(appliedInFile(work->identifier()));
    EXPECT_EQ(tonesPlayed(), 4u);
    EXPECT_EQ(logCount("No events found to be scheduled for Profile 'Work', between "), 1u);
    EXPECT_TRUE(armedWakeUps().empty());
}

TEST_F(SchedulerTest, AMeetingInAnUndefinedZoneSilencesThePhoneAtItsLocalTime)
{
    // As a server wrote it: a TZID that no zone database knows and the file does not define.
    auto folder = *calendarFolderForIdentifier("home/work");
    std::ofstream(folder / "exchange.ics", std::ios::binary)
        << "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//test//EN\r\nBEGIN:VEVENT\r\nUID:weekly\r\nSUMMARY:Team\r\n"
           "DTSTART;TZID=\"GMT-05.00/-04.00\":20261201T100000\r\nDTEND;TZID=\"GMT-05.00/-04.00\":20261201T110000\r\n"
           "RRULE:FREQ=WEEKLY\r\nEND:VEVENT\r\nEND:VCALENDAR\r\n";
    auto work = addProfile("Work");
    store().schedulePowerEventsForProfiles(true);
    runUntil("09:00:01");
    EXPECT_EQ(armedWakeUps(), std::vector<NSDate> { today("10:00") });

    runUntil("10:00:03");
    EXPECT_TRUE(appliedInFile(work->identifier()));
    EXPECT_FLOAT_EQ(ringer(), 0.0625f);
    EXPECT_EQ(armedWakeUps(), std::vector<NSDate> { today("11:00") });
    runUntil("11:00:05");
    EXPECT_FALSE(appliedInFile(work->identifier()));
    EXPECT_FLOAT_EQ(ringer(), 0.5f);
}

TEST_F(SchedulerTest, AnEventRunningPastTheHoursIsRevertedQuietlyWhenTheyEnd)
{
    addEvent("Workshop", "16:00", "18:00");
    auto work = addProfile("Work");
    setClock("2026-12-08T15:00:00");
    store().schedulePowerEventsForProfiles(true);
    runUntil("16:00:03");
    EXPECT_TRUE(appliedInFile(work->identifier()));
    EXPECT_EQ(armedWakeUps(), std::vector<NSDate> { today("17:00") });
    EXPECT_EQ(logCount("************* Scheduling power wakeup at: " + today("17:00").description() + " for reverting profile."), 1u);

    runUntil("17:00:05");
    EXPECT_FALSE(appliedInFile(work->identifier()));
    EXPECT_FLOAT_EQ(ringer(), 0.5f);
    // The start tone only: the end of the hours is no end alert.
    EXPECT_EQ(tonesPlayed(), 1u);
}

TEST_F(SchedulerTest, AnEventBeforeTheHoursIsNeverApplied)
{
    addEvent("Early", "07:00", "08:00");
    auto work = addProfile("Work");
    setClock("2026-12-08T06:00:00");
    store().schedulePowerEventsForProfiles(true);
    EXPECT_EQ(armedWakeUps(), std::vector<NSDate> { today("09:00") });
    runUntil("09:00:05");
    EXPECT_EQ(logCount("No events found to be scheduled for Profile 'Work'"), 1u);
    EXPECT_FALSE(appliedInFile(work->identifier()));
    EXPECT_EQ(tonesPlayed(), 0u);
}

TEST_F(SchedulerTest, ATimerThreeSecondsLateStillAppliesOneTwelveSecondsEarlyOnlyRearms)
{
    addEvent("Standup", "10:00", "11:00");
    auto work = addProfile("Work");
    setClock("2026-12-08T09:30:00");
    store().schedulePowerEventsForProfiles(true);
    EXPECT_EQ(armedWakeUps(), std::vector<NSDate> { today("10:00") });

    // The store's own record carries the armed timer (the pass reloaded the file).
    auto stored = store().profileByIdentifier(work->identifier());
    store().registerForPowerNotifications(today("09:59:48"), stored);
    runUntil("09:59:50");
    EXPECT_FALSE(appliedInFile(work->identifier()));
    EXPECT_EQ(armedWakeUps(), std::vector<NSDate> { today("10:00") });

    store().registerForPowerNotifications(today("10:00:03"), store().profileByIdentifier(work->identifier()));
    runUntil("10:00:06");
    EXPECT_TRUE(appliedInFile(work->identifier()));
    EXPECT_EQ(logCount("[currentEvent.startDate timeIntervalSinceNow]: -3.000000 & startTimeDiffInt: -3"), 1u);
}

TEST_F(SchedulerTest, AnAttendanceMismatchLeavesTheProfileOff)
{
    addEvent("Confirmed meeting", "10:00", "11:00", EKEventStatusConfirmed);
    auto work = addProfile("Work", "9:00 AM", "5:00 PM", [](HLProfile& p) { p.setApplyProfileEventStatus(2); });
    setClock("2026-12-08T10:30:00");
    store().schedulePowerEventsForProfiles(true);
    EXPECT_FALSE(appliedInFile(work->identifier()));
    EXPECT_EQ(logCount("********************* UNBALE TO TURN ON PROFILE, Profile Status: 2 & Event Status: 1 ******************"), 1u);
}

TEST_F(SchedulerTest, AnAllDayProfileFollowsTheRunningEventThenTheNextOne)
{
    addEvent("Lunch", "12:00", "13:00");
    addEvent("Dinner", "19:00", "20:00");
    auto day = addProfile("Day", "", "");
    setClock("2026-12-08T12:30:00");
    store().schedulePowerEventsForProfiles(true);
    EXPECT_TRUE(appliedInFile(day->identifier()));
    EXPECT_EQ(armedWakeUps(), std::vector<NSDate> { today("13:00") });
    runUntil("13:00:05");
    EXPECT_FALSE(appliedInFile(day->identifier()));
    EXPECT_EQ(armedWakeUps(), std::vector<NSDate> { today("19:00") });
    runUntil("19:00:05");
    EXPECT_TRUE(appliedInFile(day->identifier()));
}

TEST_F(SchedulerTest, AnAllDayEventThatTheProfileIgnoresIsNeverChosen)
{
    addAllDayEvent("Holiday");
    auto day = addProfile("Day", "", "");
    store().schedulePowerEventsForProfiles(true);
    EXPECT_FALSE(appliedInFile(day->identifier()));
    EXPECT_EQ(logCount("No events found to be scheduled for Profile 'Day'"), 1u);

    auto stored = store().profileByIdentifier(day->identifier());
    stored->setAllDayEventsIgnored(false);
    store().updateProfile(stored);
    store().schedulePowerEventsForProfiles(false);
    EXPECT_TRUE(appliedInFile(day->identifier()));
}

TEST_F(SchedulerTest, TenCalendarChangesGiveOnePassTwoAndAHalfSecondsAfterTheLast)
{
    addProfile("Work");
    auto& events = HLEventManager::sharedManager();
    (void)events;
    NSNotification change { "EKEventStoreChangedNotification", nullptr, {} };
    for (int i = 0; i < 10; ++i) {
        store().eventStoreChanged(change);
        NSRunLoop::main().advanceBy(0.2);
    }
    // The clock stands 0.2 s after the last change.
    clearLog();
    NSRunLoop::main().advanceBy(2.2);
    EXPECT_EQ(logCount("***************** Handling event store changes ********************"), 0u);
    NSRunLoop::main().advanceBy(0.1);
    EXPECT_EQ(logCount("***************** Handling event store changes ********************"), 1u);
    EXPECT_EQ(logCount("***************** schedulePowerEventsForProfiles is called ********************"), 1u);
    NSRunLoop::main().advanceBy(10);
    EXPECT_EQ(logCount("***************** Handling event store changes ********************"), 1u);
}

TEST_F(SchedulerTest, ADisabledProfileThatIsStillAppliedIsRevertedThenLeftAlone)
{
    addEvent("Standup", "10:00", "11:00");
    auto work = addProfile("Work");
    setClock("2026-12-08T10:30:00");
    store().schedulePowerEventsForProfiles(true);
    EXPECT_TRUE(appliedInFile(work->identifier()));
    auto stored = store().profileByIdentifier(work->identifier());
    stored->setEnabled(false);
    store().updateProfile(stored);
    store().schedulePowerEventsForProfiles(false);
    EXPECT_FALSE(appliedInFile(work->identifier()));
    EXPECT_EQ(logCount("Profile 'Work' not enabled. Hence returning from scheduling it..."), 1u);
    store().schedulePowerEventsForProfiles(false);
    EXPECT_EQ(logCount("Profile 'Work' not enabled. Hence returning from scheduling it..."), 1u);
}

TEST_F(SchedulerTest, AWallClockJumpOverTheStartAppliesOnTheNextTurn)
{
    addEvent("Standup", "10:00", "11:00");
    auto work = addProfile("Work");
    setClock("2026-12-08T09:30:00");
    store().schedulePowerEventsForProfiles(true);
    setClock("2026-12-08T10:20:00");
    NSRunLoop::main().runPending();
    NSRunLoop::main().advanceBy(3);
    EXPECT_TRUE(appliedInFile(work->identifier()));
    EXPECT_EQ(armedWakeUps(), std::vector<NSDate> { today("11:00") });
}

TEST_F(SchedulerTest, HomeNetworkAppliesByTheHoursAloneAndRevertsAfterThem)
{
    WiFiState::join("Home");
    auto home = addProfile("Home", "10:00 PM", "11:00 PM", [](HLProfile& p) { p.addToWiFiNetwork("Home"); });
    setClock("2026-12-08T22:30:00");
    store().schedulePowerEventsForProfiles(true);
    EXPECT_TRUE(appliedInFile(home->identifier()));
    EXPECT_EQ(armedWakeUps(), std::vector<NSDate> { today("23:00") });

    // The wake-up at the end of the hours reverts the profile; both edges are then past.
    runUntil("23:00:30");
    EXPECT_FALSE(appliedInFile(home->identifier()));
    EXPECT_FLOAT_EQ(ringer(), 0.5f);
    EXPECT_EQ(logCount("is past unable to schedule power wakeup for 'WiFi' for applying profile (Home)."), 1u);
}

TEST_F(SchedulerTest, AnotherNetworkLeavesTheCalendarInCharge)
{
    WiFiState::join("Cafe");
    addEvent("Standup", "10:00", "11:00");
    auto office = addProfile("Office", "9:00 AM", "5:00 PM", [](HLProfile& p) { p.addToWiFiNetwork("Office"); });
    setClock("2026-12-08T10:00:00");
    store().schedulePowerEventsForProfiles(true);
    EXPECT_TRUE(appliedInFile(office->identifier()));

    setClock("2026-12-08T18:00:00");
    clearLog();
    store().schedulePowerEventsForProfiles(true);
    EXPECT_EQ(logCount("SInce the schedule date "), 1u);
}

TEST_F(SchedulerTest, LeavingEveryNetworkReschedulesTheActiveProfiles)
{
    WiFiState::join("Home");
    auto home = addProfile("Home", "", "", [](HLProfile& p) { p.addToWiFiNetwork("Home"); });
    store().schedulePowerEventsForProfiles(true);
    EXPECT_TRUE(appliedInFile(home->identifier()));
    EXPECT_TRUE(armedWakeUps().empty());

    WiFiState::leave();
    store().scheduleProfilesOnWiFiChange();
    NSRunLoop::main().advanceBy(3);
    EXPECT_EQ(logCount("WiFi change detected (last connected ("), 1u);
    EXPECT_FALSE(appliedInFile(home->identifier()));
}

TEST_F(SchedulerTest, MovingStraightFromOneRememberedNetworkToAnotherIsAChange)
{
    auto home = addProfile("Home", "", "", [](HLProfile& p) { p.addToWiFiNetwork("Home"); });
    WiFiState::join("Office");
    store().schedulePowerEventsForProfiles(true);
    store().scheduleProfilesOnWiFiChange();
    EXPECT_FALSE(appliedInFile(home->identifier()));

    setClock("2026-12-08T08:01:00");
    WiFiState::join("Home");
    store().scheduleProfilesOnWiFiChange();
    NSRunLoop::main().advanceBy(3);
    EXPECT_TRUE(appliedInFile(home->identifier()));

    setClock("2026-12-08T08:05:00");
    WiFiState::join("Office");
    store().scheduleProfilesOnWiFiChange();
    NSRunLoop::main().advanceBy(3);
    EXPECT_FALSE(appliedInFile(home->identifier()));
    EXPECT_EQ(logCount("Last connected & new WiFi are same, hence returning..."), 0u);

    // A second notice for the same network is no change.
    store().scheduleProfilesOnWiFiChange();
    EXPECT_EQ(logCount("Last connected & new WiFi are same, hence returning..."), 1u);
}

TEST_F(SchedulerTest, AnEventFilteredOutByAttendanceDoesNotHideTheDaysLaterEvents)
{
    addEvent("Confirmed meeting", "09:00", "10:00", EKEventStatusConfirmed);
    addEvent("Maybe meeting", "11:00", "12:00", EKEventStatusTentative);
    auto work = addProfile("Work", "8:00 AM", "5:00 PM", [](HLProfile& p) { p.setApplyProfileEventStatus(2); });
    store().schedulePowerEventsForProfiles(true);
    EXPECT_EQ(armedWakeUps(), std::vector<NSDate> { today("11:00") });
    EXPECT_EQ(logCount("********************* UNBALE TO TURN ON PROFILE, Profile Status: 2 & Event Status: 1 ******************"), 1u);

    runUntil("09:30");
    EXPECT_FALSE(appliedInFile(work->identifier()));
    runUntil("11:00:02");
    EXPECT_TRUE(appliedInFile(work->identifier()));
    runUntil("12:00:05");
    EXPECT_FALSE(appliedInFile(work->identifier()));
}

TEST_F(SchedulerTest, SwitchedBackOnDuringTheMeetingTheProfileAppliesAgain)
{
    addEvent("Standup", "10:00", "11:00");
    auto work = addProfile("Work");
    setClock("2026-12-08T10:10:00");
    store().schedulePowerEventsForProfiles(true);
    NSRunLoop::main().advanceBy(3);
    ASSERT_TRUE(appliedInFile(work->identifier()));
    auto setSwitch = [](bool on) {
        PropertyList::write(HLProfilesManager::settingsFilePath(), PlistValue(PlistDictionary { { kHLEnabledKey, on } }));
    };

    setSwitch(false);
    store().handleHushlineEnabledOrDisabled();
    NSRunLoop::main().advanceBy(3);
    EXPECT_FALSE(appliedInFile(work->identifier()));
    EXPECT_FLOAT_EQ(ringer(), 0.5f);

    setSwitch(true);
    store().schedulePowerEventsForProfiles(true);
    NSRunLoop::main().advanceBy(3);
    EXPECT_TRUE(appliedInFile(work->identifier()));
    EXPECT_FLOAT_EQ(ringer(), 0.0625f);

    // The same for the profile itself switched off and on again.
    auto stored = store().profileByIdentifier(work->identifier());
    stored->setEnabled(false);
    store().updateProfile(stored);
    store().schedulePowerEventsForProfiles(true);
    NSRunLoop::main().advanceBy(3);
    EXPECT_FALSE(appliedInFile(work->identifier()));
    stored = store().profileByIdentifier(work->identifier());
    stored->setEnabled(true);
    store().updateProfile(stored);
    store().schedulePowerEventsForProfiles(true);
    NSRunLoop::main().advanceBy(3);
    EXPECT_TRUE(appliedInFile(work->identifier()));

    runUntil("11:00:05");
    EXPECT_FALSE(appliedInFile(work->identifier()));
    EXPECT_FLOAT_EQ(ringer(), 0.5f);
}

TEST_F(SchedulerTest, AnIgnoredAllDayEventDoesNotHideTheDaysMeetingsFromAPassAtMidnight)
{
    addAllDayEvent("Holiday");
    addEvent("Standup", "10:00", "11:00");
    auto work = addProfile("Work", "", "", [](HLProfile& p) { p.setAllDayEventsIgnored(true); });
    setClock("2026-12-08T00:00:00");
    store().schedulePowerEventsForProfiles(true);
    EXPECT_EQ(armedWakeUps(), std::vector<NSDate> { today("10:00") });
    runUntil("10:00:03");
    EXPECT_TRUE(appliedInFile(work->identifier()));
}
