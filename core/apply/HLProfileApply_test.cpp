#include "core/testsupport/ApplyFixture.h"
#include "platform/uikit/UIAlertView.h"

#include "core/apply/NSObject+Hushline.h"
#include "platform/celestial/AVSystemController.h"
#include "platform/foundation/DarwinNotifyCenter.h"
#include "platform/foundation/PropertyList.h"

#include <algorithm>
#include <gmock/gmock.h>

using ::testing::ElementsAre;
using ::testing::IsEmpty;

namespace {

constexpr const char* kSavedRinger = "com.velloq.hushline-ringtone";
constexpr const char* kSavedPlayback = "com.velloq.hushline-playBackVolume";
constexpr const char* kAppliedChanged = "com.velloq.ProfileAppliedStateChangedNotification";

class ApplyTest : public ApplyFixture {
protected:
    std::shared_ptr<HLProfile> toneProfile()
    {
        return storedProfile("Meeting", [](HLProfile& p) {
            p.setPlayAlert(true);
            p.setAlertToneIdentifier(std::string("Chime"));
        });
    }

    // The applied flag as the profiles file has it.
    bool appliedOnDisk(int64_t identifier) const
    {
        auto entries = PropertyList::read(HLProfilesManager::profilesFilePath());
        if (!entries || !entries->isArray())
            return false;
        for (const auto& entry : *entries->asArray())
            if (entry["identifier"].longLongValue() == identifier)
                return entry["applied"].boolValue();
        return false;
    }

    size_t appliedAnnouncements() const
    {
        const auto& names = DarwinNotifyCenter::current().postedNames();
        return static_cast<size_t>(std::count(names.begin(), names.end(), kAppliedChanged));
    }

    void setVibrateSettings(bool ring, bool silent)
    {
        auto domain = defaults().persistentDomainForName("com.apple.springboard").value_or(PlistDictionary());
        domain["ring-vibrate"] = ring;
        domain["silent-vibrate"] = silent;
        defaults().setPersistentDomain(domain, "com.apple.springboard");
    }
};

MATCHER_P(At, seconds, "") { return std::abs(arg - seconds) < 1e-6; }

}

TEST_F(ApplyTest, ApplyPlaysTheToneAtTheUsersVolumeAndQuietensThePhoneAfterIt)
{
    auto profile = toneProfile();
    profile->apply();

    EXPECT_TRUE(profile->isApplied());
    EXPECT_TRUE(appliedOnDisk(profile->identifier()));
    EXPECT_EQ(appliedAnnouncements(), 1u);
    EXPECT_EQ(logCount("********* applying profile ************"), 1u);
    EXPECT_FLOAT_EQ(defaults().floatForKey(kSavedRinger), 0.75f);
    EXPECT_FLOAT_EQ(defaults().floatForKey(kSavedPlayback), 0.5f);

    auto tones = phone().tones();
    ASSERT_EQ(tones.size(), 1u);
    EXPECT_EQ(tones[0].identifier, "Chime");
    EXPECT_EQ(tones[0].type, 1);
    EXPECT_EQ(tones[0].via, "startPlayingRepeatedly");
    EXPECT_FLOAT_EQ(tones[0].ringerVolume, 0.75f) << "the start tone sounds before the phone goes quiet";
    EXPECT_FALSE(phone().isVolumeDisplayEnabled());

    loop().advanceBy(1.7);
    EXPECT_FLOAT_EQ(phone().ringerVolume(), 0.75f);
    ASSERT_TRUE(phone().tones()[0].stopped);
    EXPECT_THAT(secondsSinceStart(*phone().tones()[0].stopped), At(1.0));

    loop().advanceBy(0.2);
    EXPECT_FLOAT_EQ(phone().ringerVolume(), 0.125f);
    EXPECT_FLOAT_EQ(phone().mediaVolume(), 0.25f);
    EXPECT_THAT(timesOf(DeviceChange::RingerVolume), ElementsAre(At(1.8)));
    EXPECT_THAT(timesOf(DeviceChange::MediaVolume), ElementsAre(At(1.8)));
    EXPECT_THAT(timesOf(DeviceChange::VolumeDisplayShown), IsEmpty()) << "the volume display stays hidden while volumes change";

    loop().advanceBy(5);
    EXPECT_TRUE(phone().isVolumeDisplayEnabled());
    EXPECT_THAT(timesOf(DeviceChange::VolumeDisplayEnabled), ElementsAre(At(0.0), At(3.8)));
}

TEST_F(ApplyTest, OnALockedPhoneTheVolumesChangeOneSecondAfterTheTone)
{
    phone().setLocked(true);
    phone().clearChanges();
    toneProfile()->apply();
    loop().advanceBy(10);
    EXPECT_THAT(timesOf(DeviceChange::RingerVolume), ElementsAre(At(1.0)));
    EXPECT_THAT(timesOf(DeviceChange::MediaVolume), ElementsAre(At(1.0)));
    EXPECT_THAT(timesOf(DeviceChange::VolumeDisplayEnabled), ElementsAre(At(0.0), At(3.0)));
}

TEST_F(ApplyTest, RevertRestoresTheRingerAtOnceAndThePlaybackVolumeAfterTheTone)
{
    auto profile = toneProfile();
    profile->apply();
    loop().advanceBy(10);
    markTime();
    phone().clearChanges();

    profile->revert();
    EXPECT_FALSE(profile->isApplied());
    EXPECT_FALSE(appliedOnDisk(profile->identifier()));
    EXPECT_EQ(appliedAnnouncements(), 2u);
    EXPECT_FLOAT_EQ(phone().ringerVolume(), 0.75f) << "restored before the end tone";
    ASSERT_EQ(phone().tones().size(), 2u);
    EXPECT_FLOAT_EQ(phone().tones()[1].ringerVolume, 0.75f);
    EXPECT_FALSE(hasDefault(kSavedRinger));
    EXPECT_FALSE(hasDefault(kSavedPlayback));

    loop().advanceBy(1.7);
    EXPECT_FLOAT_EQ(phone().mediaVolume(), 0.25f);
    loop().advanceBy(5);
    EXPECT_FLOAT_EQ(phone().mediaVolume(), 0.5f) << "the saved playback volume comes back although its key is gone";
    EXPECT_THAT(timesOf(DeviceChange::MediaVolume), ElementsAre(At(1.8)));
    EXPECT_THAT(timesOf(DeviceChange::VolumeDisplayEnabled), ElementsAre(At(0.0), At(3.8)));
}

TEST_F(ApplyTest, QuietRevertPlaysNoToneAndLeavesTheScreenAlone)
{
    writeSystemVersion("12.4");
    auto profile = storedProfile("Night", [](HLProfile& p) {
        p.setPlayAlert(true);
        p.setWakeUpScreen(true);
    });
    profile->apply();
    loop().advanceBy(10);
    phone().setBacklightFactor(0.0, "test");
    markTime();
    phone().clearChanges();

    profile->revert(true);
    loop().runPending();
    EXPECT_EQ(phone().tones().size(), 1u) << "only the start tone";
    EXPECT_FLOAT_EQ(phone().ringerVolume(), 0.75f);
    EXPECT_FLOAT_EQ(phone().mediaVolume(), 0.5f);
    EXPECT_THAT(timesOf(DeviceChange::MediaVolume), ElementsAre(At(0.0)));
    EXPECT_TRUE(profile->isSilent()) << "the caller clears the quiet flag";
    loop().advanceBy(10);
    EXPECT_FALSE(phone().isScreenOn());
    EXPECT_THAT(timesOf(DeviceChange::BacklightFactor), IsEmpty());
}

TEST_F(ApplyTest, OverlappingProfilesKeepThePhoneQuietUntilTheLastGivesTheUsersStateBack)
{
    auto first = storedProfile("First", [](HLProfile& p) { p.setVibrate(true); });
    auto second = storedProfile("Second", [](HLProfile& p) {
        p.setRingerVolume(0.375);
        p.setPlayBackVolume(0.625);
        p.setDnDEnabled(true);
    });
    first->apply();
    second->apply();
    loop().advanceBy(3);
    EXPECT_FLOAT_EQ(phone().ringerVolume(), 0.375f);
    EXPECT_FLOAT_EQ(defaults().floatForKey(kSavedRinger), 0.75f);
    EXPECT_FLOAT_EQ(defaults().floatForKey(kSavedPlayback), 0.5f);

    first->revert();
    loop().runPending();
    EXPECT_FLOAT_EQ(phone().ringerVolume(), 0.75f) << "the revert itself gives the user's volumes back";
    EXPECT_FALSE(phone().ringVibrate());
    EXPECT_TRUE(second->isApplied());

    // Once the revert's steps are done, the profile still applied takes the phone again.
    loop().advanceBy(3);
    EXPECT_FLOAT_EQ(phone().ringerVolume(), 0.375f);
    EXPECT_FLOAT_EQ(phone().mediaVolume(), 0.625f);
    EXPECT_TRUE(phone().isDoNotDisturbEnabled());
    EXPECT_FALSE(phone().ringVibrate()) << "the second profile does not vibrate";
    EXPECT_FLOAT_EQ(defaults().floatForKey(kSavedRinger), 0.75f);
    EXPECT_FALSE(UIAlertView::visibleAlertView()) << "the refresh is the system's change, not the user's";

    second->revert();
    loop().advanceBy(3);
    EXPECT_FLOAT_EQ(phone().ringerVolume(), 0.75f);
    EXPECT_FLOAT_EQ(phone().mediaVolume(), 0.5f);
    EXPECT_FALSE(phone().isDoNotDisturbEnabled());
    EXPECT_FALSE(hasDefault(kSavedRinger));
}

TEST_F(ApplyTest, AVibratingProfileGivesBackVibrationOffAsTheUserHadIt)
{
    auto profile = storedProfile("Buzz", [](HLProfile& p) { p.setVibrate(true); });
    DarwinNotifyCenter::current().clearPostedNames();
    profile->apply();
    loop().advanceBy(3);

    EXPECT_TRUE(phone().ringVibrate());
    EXPECT_TRUE(phone().silentVibrate());
    EXPECT_TRUE(hasDefault("com.velloq.hushline-ring-vibrate"));
    EXPECT_FALSE(defaults().boolForKey("com.velloq.hushline-ring-vibrate"));
    EXPECT_TRUE(phone().vibrations().empty()) << "with vibration off the start is not felt";
    EXPECT_THAT(DarwinNotifyCenter::current().postedNames(),
        testing::IsSupersetOf({ "com.apple.springboard.ring-vibrate.changed", "com.apple.springboard.silent-vibrate.changed" }));
    EXPECT_EQ(logCount("oldRingVibrateState: 0"), 1u);

    profile->revert();
    loop().advanceBy(3);
    EXPECT_FALSE(phone().ringVibrate());
    EXPECT_FALSE(phone().silentVibrate());
    EXPECT_FALSE(hasDefault("com.velloq.hushline-ring-vibrate"));
    EXPECT_FALSE(hasDefault("com.velloq.hushline-silent-vibrate"));
}

TEST_F(ApplyTest, RevertOfAVibratingProfileGivesBackTheVibrateStatesFoundAtOnce)
{
    setVibrateSettings(true, false);
    auto profile = storedProfile("Buzz", [](HLProfile& p) { p.setVibrate(true); });
    profile->apply();
    loop().advanceBy(3);
    ASSERT_EQ(phone().vibrations().size(), 1u) << "the start is announced by one vibration";
    EXPECT_TRUE(phone().silentVibrate()) << "the profile vibrates on silent too";
    markTime();
    phone().clearChanges();

    profile->revert();
    ASSERT_EQ(phone().vibrations().size(), 2u) << "and the end by another";
    EXPECT_EQ(phone().vibrations()[1].systemSound, 4095u);
    EXPECT_EQ(phone().vibrations()[1].pattern,
        (PlistDictionary { { "VibePattern", PlistArray { true, 300.0 } }, { "Intensity", 1.0f } }));
    EXPECT_TRUE(phone().ringVibrate());
    EXPECT_FALSE(phone().silentVibrate());
    EXPECT_THAT(timesOf(DeviceChange::SilentVibrate), ElementsAre(At(0.0)));

    // Restoring writes SpringBoard's domain, which also holds the saved state: what the revert
    // removed stays removed.
    loop().advanceBy(3);
    EXPECT_FALSE(hasDefault(kSavedRinger));
    EXPECT_FALSE(hasDefault(kSavedPlayback));
    EXPECT_FALSE(hasDefault("com.velloq.hushline-ring-vibrate"));
}

TEST_F(ApplyTest, AProfileThatDoesNotVibrateLeavesTheUsersVibrationAlone)
{
    setVibrateSettings(true, true);
    auto profile = storedProfile("Still");
    profile->apply();
    loop().advanceBy(3);
    profile->refreshSoundSettingsIfRequired();
    profile->revert();
    loop().advanceBy(3);
    EXPECT_TRUE(phone().vibrations().empty());
    EXPECT_TRUE(phone().ringVibrate());
    EXPECT_TRUE(phone().silentVibrate());
    EXPECT_TRUE(timesOf(DeviceChange::RingVibrate).empty());
}

TEST_F(ApplyTest, ScreenWakeUpAndDimmingOnBothSidesOfVersion10)
{
    struct Case {
        const char* version;
        bool screenOn;
        bool locked;
        const char* lightVia;
        const char* dimVia;
    };
    const Case cases[] = {
        { "12.4", false, false, "turnOnScreenFullyWithBacklightSource:", "_setBacklightFactorToZeroForProx" },
        { "12.4", true, false, nullptr, nullptr },
        { "10.3", false, true, "turnOnScreenFullyWithBacklightSource:", "_startFadeOutAnimationFromLockSource:" },
        { "13.3", false, false, "setBacklightFactor:source:", nullptr },
        { "9.3", false, true, "_undimFromSource:", "_lockScreenDimTimerFired" },
        { "9.3", false, false, "_undimFromSource:", nullptr },
    };
    auto profile = storedProfile("Wake", [](HLProfile& p) { p.setWakeUpScreen(true); });
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.version) + (c.screenOn ? " screen on" : " screen off") + (c.locked ? " locked" : ""));
        writeSystemVersion(c.version);
        phone().setLocked(c.locked);
        phone().setBacklightFactor(c.screenOn ? 1.0 : 0.0, "test");
        markTime();
        phone().clearChanges();

        profile->wakeUpScreenIfRequired();
        EXPECT_TRUE(phone().isScreenOn());
        loop().advanceBy(4.9);
        EXPECT_TRUE(phone().isScreenOn());
        loop().advanceBy(1);

        auto changes = phone().changesOf(DeviceChange::BacklightFactor);
        std::vector<std::string> via;
        for (const auto& change : changes)
            via.push_back(change.detail);
        std::vector<std::string> expected;
        if (c.lightVia)
            expected.push_back(c.lightVia);
        if (c.dimVia)
            expected.push_back(c.dimVia);
        EXPECT_EQ(via, expected);
        EXPECT_EQ(phone().isScreenOn(), c.dimVia == nullptr);
        if (c.dimVia) {
            EXPECT_THAT(timesOf(DeviceChange::ScreenOn), ElementsAre(At(0.0), At(5.0)));
        }
    }
}

TEST_F(ApplyTest, WithoutAnyToneMethodTheVolumesStillChangeAfterThePauses)
{
    writeSystemVersion("7.1");
    toneProfile()->apply();
    loop().advanceBy(10);
    EXPECT_TRUE(phone().tones().empty());
    EXPECT_THAT(timesOf(DeviceChange::RingerVolume), ElementsAre(At(1.8)));
    EXPECT_FLOAT_EQ(phone().mediaVolume(), 0.25f);
}

TEST_F(ApplyTest, OlderVersionsPlayTheToneThroughTheClassMethods)
{
    writeSystemVersion("9.3");
    toneProfile()->apply();
    writeSystemVersion("8.4");
    storedProfile("Old", [](HLProfile& p) { p.setPlayAlert(true); })->apply();
    loop().advanceBy(10);
    auto tones = phone().tones();
    ASSERT_EQ(tones.size(), 2u);
    EXPECT_EQ(tones[0].via, "playToneAndVibrationForType:toneIdentifier:vibrationIdentifier:");
    EXPECT_EQ(tones[0].type, 0);
    EXPECT_EQ(tones[0].identifier, "Chime");
    EXPECT_EQ(tones[1].via, "_playToneAndVibrationForType:toneIdentifier:vibrationIdentifier:shouldOverrideMasterSwitches:");
}

TEST_F(ApplyTest, RefreshLeavesAProfileThatIsNotAppliedAlone)
{
    auto profile = storedProfile("Idle");
    profile->refreshSoundSettingsIfRequired();
    loop().advanceBy(3);
    EXPECT_EQ(logCount("com.velloq.Hushline: Error => HLProfile::refreshSoundSettingsIfRequired, [Line "), 1u);
    EXPECT_EQ(logCount("******* Profile is not applied, hence not checking on Sound related settings."), 1u);
    EXPECT_THAT(phone().changes(), IsEmpty());
}

TEST_F(ApplyTest, RefreshWithMatchingVolumesOnlyRefreshesVibrationIconAndDoNotDisturb)
{
    auto profile = storedProfile("Focus", [](HLProfile& p) {
        p.setPlayAlert(true);
        p.setDnDEnabled(true);
        p.setRingerVolume(0.3);
    });
    profile->apply();
    loop().advanceBy(10);
    ASSERT_TRUE(phone().isDoNotDisturbEnabled());
    phone().clearChanges();
    clearLog();

    profile->refreshSoundSettingsIfRequired();
    loop().advanceBy(10);
    EXPECT_THAT(timesOf(DeviceChange::RingerVolume), IsEmpty()) << "0.3 set as the phone's float still matches";
    EXPECT_THAT(timesOf(DeviceChange::VolumeDisplayEnabled), IsEmpty());
    EXPECT_EQ(phone().tones().size(), 1u);
    EXPECT_EQ(logCount("oldRingVibrateState: 0"), 1u);
    EXPECT_EQ(logCount("Since both are same, I'm not doing anything!!"), 1u);
    EXPECT_TRUE(phone().isDoNotDisturbEnabled());
    EXPECT_FALSE(profile->isSilent());
}

TEST_F(ApplyTest, RefreshWithChangedVolumesReappliesThemQuietly)
{
    auto profile = storedProfile("Focus", [](HLProfile& p) { p.setPlayAlert(true); });
    profile->apply();
    loop().advanceBy(10);
    phone().setRingerVolume(0.9f, "user");
    markTime();
    phone().clearChanges();

    profile->refreshSoundSettingsIfRequired();
    loop().runPending();
    EXPECT_FLOAT_EQ(phone().ringerVolume(), 0.125f);
    EXPECT_THAT(timesOf(DeviceChange::RingerVolume), ElementsAre(At(0.0)));
    EXPECT_EQ(phone().tones().size(), 1u) << "no second tone";
    EXPECT_FLOAT_EQ(defaults().floatForKey(kSavedRinger), 0.75f) << "the user's volume from before the profile is kept";
    loop().advanceBy(3);
    EXPECT_THAT(timesOf(DeviceChange::VolumeDisplayEnabled), ElementsAre(At(0.0), At(2.0)));
    EXPECT_FALSE(profile->isSilent());
}

TEST_F(ApplyTest, ApplyingClearsTheVolumeButtonsMark)
{
    auto audio = AVSystemController::sharedAVSystemController();
    hl_setChangedViaHWButtons(*audio, true);
    storedProfile("Plain")->apply();
    EXPECT_FALSE(hl_ChangedViaHWButtons(*audio));
}
