#include "springboard/testsupport/SpringBoardFixture.h"

#include "platform/appsupport/CPDistributedMessagingCenter.h"
#include "platform/foundation/DarwinNotifyCenter.h"
#include "platform/foundation/PropertyList.h"
#include "platform/mobiletimer/AlarmManager.h"
#include "platform/testsupport/PeerProcess.h"

namespace {

class MessageHandlerTest : public SpringBoardFixture {
protected:
    void SetUp() override
    {
        SpringBoardFixture::SetUp();
        writeProfiles({ PlistDictionary { { "identifier", 1000 }, { "title", "Work" }, { "enabled", true }, { "allDay", true },
            { "ringerVolume", 0.0625 }, { "calendarIdentifiers", PlistArray {} } } });
        launch();
    }

    // Another process of the phone sends a message to the home screen's server.
    void sendFromAnotherProcess(const std::string& message, const PlistDictionary& userInfo)
    {
        auto file = m_root / "message.plist";
        ASSERT_TRUE(PropertyList::write(file, PlistValue(userInfo)));
        PeerProcess peer(peerProgram(), { "send", "com.velloq.hushline", message, file.string() });
        ASSERT_TRUE(peer.waitForExit());
        ASSERT_EQ(peer.exitStatus(), 0);
    }

    PlistDictionary storedWork() const
    {
        for (const auto& entry : storedProfiles())
            if (entry["identifier"].longLongValue() == 1000)
                return *entry.asDictionary();
        return {};
    }
};

}

TEST_F(MessageHandlerTest, AnUpdateFromAnotherProcessChangesTheProfileWhichIsRescheduled)
{
    sendFromAnotherProcess("com.velloq.HushlineProfileUpdateMessageKey",
        { { "ProfileIdentifier", 1000 }, { "ChangedData", PlistDictionary { { "title", "Focus" }, { "ringerVolume", 0.25 } } } });
    ASSERT_TRUE(waitFor([&] { return pluginLogCount("**** Trying to schedule events for profile 'Focus'") == 1; }));
    EXPECT_EQ(*storedWork()["title"].asString(), "Focus");
    EXPECT_EQ(storedWork()["ringerVolume"].doubleValue(), 0.25);
}

TEST_F(MessageHandlerTest, UnknownKeysAndWrongTypesAreLeftOutAndTheRestIsSaved)
{
    sendFromAnotherProcess("com.velloq.HushlineProfileUpdateMessageKey",
        { { "ProfileIdentifier", 1000 },
            { "ChangedData", PlistDictionary { { "colour", "red" }, { "title", PlistArray { "x" } }, { "vibrate", false } } } });
    ASSERT_TRUE(waitFor([&] { return pluginLogCount("***************** rescheduleProfilesCallBack ********************") == 1; }));
    EXPECT_EQ(pluginLogCount("Ignoring changed data \"colour\""), 1u);
    EXPECT_EQ(pluginLogCount("Ignoring changed data \"title\""), 1u);
    EXPECT_EQ(*storedWork()["title"].asString(), "Work");
    EXPECT_FALSE(storedWork()["vibrate"].boolValue());
}

TEST_F(MessageHandlerTest, AnEmptyChangeStillSavesAndAnUnknownProfileChangesNothing)
{
    DarwinNotifyCenter::current().clearPostedNames();
    sendFromAnotherProcess("com.velloq.HushlineProfileUpdateMessageKey", { { "ProfileIdentifier", 4242 }, { "ChangedData", PlistDictionary {} } });
    sendFromAnotherProcess("com.velloq.HushlineProfileInsertMessageKey", { { "ProfileIdentifier", 1000 } });
    sendFromAnotherProcess("com.velloq.HushlineProfileUpdateMessageKey", { { "ProfileIdentifier", 1000 }, { "ChangedData", PlistDictionary {} } });
    ASSERT_TRUE(waitFor([&] { return pluginLogCount("***************** rescheduleProfilesCallBack ********************") == 1; }));
    EXPECT_EQ(DarwinNotifyCenter::current().postedNames(), std::vector<std::string> { kHLProfileChangedNotification });
    EXPECT_TRUE(storedWork()["updatedDate"].isDate());
}

TEST_F(MessageHandlerTest, AnAlarmIsSwitchedByItsIdentifierAndAnUnknownOneIsIgnored)
{
    auto clock = AlarmManager::sharedManager();
    auto wakeUp = std::make_shared<Alarm>("ALARM-1", 7, 0, "Wake up");
    clock->addAlarm(wakeUp, true);
    sendFromAnotherProcess("com.apple.mobiletimer.hushline.alarmStatusChanged", { { "alarmId", "ALARM-1" }, { "ative", false } });
    ASSERT_TRUE(waitFor([&] { return !clock->alarmWithId(std::string("ALARM-1"))->isActive(); }));

    sendFromAnotherProcess("com.apple.mobiletimer.hushline.alarmStatusChanged", { { "alarmId", "NO-SUCH-ALARM" }, { "ative", true } });
    ASSERT_TRUE(waitFor([&] { return pluginLogCount("No clock alarm with id \"NO-SUCH-ALARM\", hence ignoring the alarm status change") == 1; }));
    EXPECT_FALSE(clock->alarmWithId(std::string("ALARM-1"))->isActive());
}

TEST_F(MessageHandlerTest, ATextThatIsNoNumberIsRefusedForNumbersAndFlagsWhileNumericTextsStillCount)
{
    sendFromAnotherProcess("com.velloq.HushlineProfileUpdateMessageKey",
        { { "ProfileIdentifier", 1000 },
            { "ChangedData", PlistDictionary { { "ringerVolume", "loud" }, { "vibrate", "yes" }, { "playBackVolume", "0.25" }, { "alertSound", " 7" } } } });
    ASSERT_TRUE(waitFor([&] { return pluginLogCount("***************** rescheduleProfilesCallBack ********************") == 1; }));
    EXPECT_EQ(pluginLogCount("Ignoring changed data \"ringerVolume\" = loud"), 1u);
    EXPECT_EQ(pluginLogCount("Ignoring changed data \"vibrate\""), 1u);
    EXPECT_EQ(storedWork()["ringerVolume"].doubleValue(), 0.0625) << "the ringer is not silenced by a word";
    EXPECT_EQ(storedWork()["playBackVolume"].doubleValue(), 0.25);
    EXPECT_EQ(storedWork()["alertSound"].longLongValue(), 7);
}
