#include "springboard/testsupport/SpringBoardFixture.h"

#include "core/HLLog.h"

#include "platform/device/Device.h"
#include "platform/foundation/DarwinNotifyCenter.h"
#include "platform/foundation/NSBundle.h"
#include "platform/foundation/NSRunLoop.h"
#include "platform/foundation/NSUserDefaults.h"
#include "platform/foundation/PropertyList.h"
#include "platform/persistentconnection/WakeUpTimerQueue.h"
#include "platform/springboard/SpringBoard.h"
#include "springboard/HLSpringBoardStartup.h"

#include <sys/stat.h>
#include <unistd.h>

namespace {

class StartupTest : public SpringBoardFixture { };

PlistDictionary appliedProfile(int64_t identifier, const char* title)
{
    return { { "identifier", identifier }, { "title", title }, { "enabled", true }, { "applied", true }, { "allDay", true },
        { "ringerVolume", 0.0625 }, { "playAlert", true }, { "calendarIdentifiers", PlistArray {} } };
}

}

TEST_F(StartupTest, AFreshPhoneGetsTheSwitchOnAndTheDefaultProfile)
{
    load();
    EXPECT_TRUE(settingsFileExists());
    EXPECT_TRUE(HLProfilesManager::isHushlineEnabled());
    EXPECT_TRUE(storedProfiles().empty());
    SpringBoard::sharedApplication()->applicationDidFinishLaunching(nullptr);
    auto profiles = storedProfiles();
    ASSERT_EQ(profiles.size(), 1u);
    EXPECT_EQ(*profiles[0]["title"].asString(), "Profile");
}

TEST_F(StartupTest, TheLogFileIsTheOwnersOnlyAndNeverFollowsALink)
{
    load();
    struct stat info { };
    ASSERT_EQ(lstat(phonePath("/tmp/velloq.log").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    HLLogInfo("a line of the plug-in");
    EXPECT_EQ(pluginLogCount("a line of the plug-in"), 1u);

    auto log = phonePath("/tmp/velloq.log");
    std::filesystem::remove(log);
    auto elsewhere = m_root / "elsewhere.txt";
    std::filesystem::create_symlink(elsewhere, log);
    EXPECT_FALSE(HLSpringBoardStartup::reopenErrorStreamOnLogFile());
    EXPECT_FALSE(std::filesystem::exists(elsewhere));
}

TEST_F(StartupTest, AnotherHostGetsOnlyTheHooksEveryHostHas)
{
    NSBundle::setMainBundleIdentifier("com.apple.Preferences");
    load();
    EXPECT_FALSE(settingsFileExists());
    EXPECT_FALSE(std::filesystem::exists(phonePath("/tmp/velloq.log")));
    HLLogInfo("still on the test's error stream");
    EXPECT_EQ(logCount("still on the test's error stream"), 1u);
    DarwinNotifyCenter::current().post(kHLProfileAddedNotification);
    waitFor([] { return false; }, 0.3);
    EXPECT_TRUE(storedProfiles().empty());
}

TEST_F(StartupTest, AnExistingSwitchOffStaysOffAndNothingIsScheduled)
{
    writeSettings(false);
    auto profile = appliedProfile(1000, "Work");
    profile["applied"] = false;
    writeProfiles({ profile });
    launch();
    EXPECT_FALSE(HLProfilesManager::isHushlineEnabled());
    EXPECT_EQ(WakeUpTimerQueue::shared().pendingCount(), 0u);
    EXPECT_EQ(pluginLogCount("Trying to schedule events"), 0u);
}

TEST_F(StartupTest, ARestartQuietlyRevertsWhatWasLeftAppliedToTheUsersOwnState)
{
    writeProfiles({ appliedProfile(1000, "Work") });
    auto& defaults = NSUserDefaults::standardUserDefaults();
    defaults.setFloat(0.9f, "com.velloq.hushline-ringtone");
    defaults.setFloat(0.7f, "com.velloq.hushline-playBackVolume");
    Device::current().setRingerVolume(0.0625f, "the profile before the restart");
    launch();
    NSRunLoop::main().advanceBy(10);
    EXPECT_FALSE(storedProfiles()[0]["applied"].boolValue());
    // The volumes the user had before the profile come back, quietly.
    EXPECT_FLOAT_EQ(Device::current().ringerVolume(), 0.9f);
    EXPECT_FLOAT_EQ(Device::current().mediaVolume(), 0.7f);
    EXPECT_TRUE(Device::current().tones().empty());
    EXPECT_TRUE(defaults.objectForKey("com.velloq.hushline-ringtone").isNone());
}

// The profiles were reset (or the applied profile deleted) while it applied: the state saved
// before it is what the owner had, and the phone gets it back.
TEST_F(StartupTest, WithNoProfileLeftAppliedTheSavedStateIsGivenBackThenDropped)
{
    auto profile = appliedProfile(1000, "Work");
    profile["applied"] = false;
    writeProfiles({ profile });
    auto& defaults = NSUserDefaults::standardUserDefaults();
    for (const char* key : { "com.velloq.hushline-ringtone", "com.velloq.hushline-playBackVolume" })
        defaults.setFloat(0.9f, key);
    for (const char* key : { "com.velloq.hushline-ring-vibrate", "com.velloq.hushline-silent-vibrate", "com.velloq.hushline-do-not-disturb" })
        defaults.setBool(true, key);
    Device::current().setRingerVolume(0.0625f, "the profile before the reset");
    Device::current().setMediaVolume(0.0f, "the profile before the reset");
    launch();
    NSRunLoop::main().advanceBy(10);
    EXPECT_FLOAT_EQ(Device::current().ringerVolume(), 0.9f);
    EXPECT_FLOAT_EQ(Device::current().mediaVolume(), 0.9f);
    EXPECT_TRUE(Device::current().tones().empty());
    EXPECT_FALSE(storedProfiles()[0]["applied"].boolValue());
    for (const char* key : { "com.velloq.hushline-ringtone", "com.velloq.hushline-playBackVolume", "com.velloq.hushline-ring-vibrate",
             "com.velloq.hushline-silent-vibrate", "com.velloq.hushline-do-not-disturb" })
        EXPECT_TRUE(defaults.objectForKey(key).isNone()) << key;
}

TEST_F(StartupTest, ProductNotificationsRescheduleAndTheSwitchOffRevertsEverything)
{
    launch();
    auto profiles = storedProfiles();
    profiles.push_back(appliedProfile(1000, "Work"));
    writeProfiles(profiles);
    DarwinNotifyCenter::current().post(kHLProfileChangedNotification);
    ASSERT_TRUE(waitFor([&] { return pluginLogCount("***************** rescheduleProfilesCallBack ********************") == 1; }));
    EXPECT_EQ(pluginLogCount("**** Trying to schedule events for profile 'Work'"), 1u);

    writeSettings(false);
    DarwinNotifyCenter::current().post(kHLEnabledOrDisabledNotification);
    ASSERT_TRUE(waitFor([&] { return pluginLogCount("Seems Hushline is turned off, hence turnig off all the profiles...") == 1; }));
    EXPECT_FALSE(storedProfiles()[1]["applied"].boolValue());
}

TEST_F(StartupTest, MidnightAndNetworkChangesScheduleOnlyWhileTheSwitchIsOn)
{
    writeSettings(false);
    launch();
    SpringBoard::sharedApplication()->_midnightPassed();
    HLSpringBoardStartup::networkChangedCallBack();
    EXPECT_EQ(pluginLogCount("Trying to schedule events"), 0u);
    EXPECT_EQ(pluginLogCount("WiFi change detected"), 0u);

    writeSettings(true);
    SpringBoard::sharedApplication()->_midnightPassed();
    EXPECT_EQ(pluginLogCount("**** Trying to schedule events for profile 'Profile'"), 1u);
    HLSpringBoardStartup::networkChangedCallBack();
    EXPECT_EQ(pluginLogCount("WiFi change detected"), 1u);
}
