#include "platform/device/Device.h"

#include "platform/celestial/AVSystemController.h"
#include "platform/testsupport/PhoneFixture.h"
#include "platform/foundation/DarwinNotifyCenter.h"
#include "platform/foundation/NSNotificationCenter.h"
#include "platform/foundation/NSUserDefaults.h"
#include "platform/foundation/ObjCRuntime.h"
#include "platform/foundation/PropertyList.h"
#include "platform/libstatusbar/LSStatusBarItem.h"
#include "platform/foundation/VQInstanceVariables.h"
#include "platform/springboard/CCUIModuleInstanceManager.h"
#include "platform/springboard/CCUIToggleModule.h"
#include "platform/springboard/SBBacklightController.h"
#include "platform/springboard/SBControlCenterController.h"
#include "platform/springboard/VolumeControl.h"
#include "platform/tonelibrary/TLAlert.h"

#include <dlfcn.h>
#include <stdexcept>

namespace {

class DeviceTest : public PhoneFixture { };

struct Announcement {
    std::string category;
    float volume;
};

void observeVolumeChanges(std::vector<Announcement>& seen)
{
    NSNotificationCenter::defaultCenter().addObserver(&seen, AVSystemController_SystemVolumeDidChangeNotification, nullptr,
        [&seen](const NSNotification& n) {
            EXPECT_EQ(n.object, AVSystemController::sharedAVSystemController());
            seen.push_back({ *n.userInfo.at(AVSystemController_AudioCategoryNotificationParameter).asString(),
                n.userInfo.at(AVSystemController_AudioVolumeNotificationParameter).floatValue() });
        });
}

}

TEST_F(DeviceTest, VolumeChangesAreAnnouncedOnALaterTurnOfTheRunLoop)
{
    std::vector<Announcement> seen;
    observeVolumeChanges(seen);
    auto audio = AVSystemController::sharedAVSystemController();

    EXPECT_TRUE(audio->setVolumeTo(0.25f, "Ringtone"));
    VolumeControl::sharedVolumeControl()->setMediaVolume(0.125f);
    EXPECT_TRUE(seen.empty()) << "the media server answers later, not inside the call";
    loop().runPending();
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0].category, "Ringtone");
    EXPECT_FLOAT_EQ(seen[0].volume, 0.25f);
    EXPECT_EQ(seen[1].category, "Audio/Video");
    EXPECT_FLOAT_EQ(seen[1].volume, 0.125f);

    audio->setVolumeTo(0.25f, "Ringtone");
    loop().runPending();
    EXPECT_EQ(seen.size(), 2u) << "no change, no announcement";

    float volume = 0;
    EXPECT_TRUE(audio->getVolume(volume, "Volume"));
    EXPECT_FLOAT_EQ(volume, 0.25f) << "the system volume follows the ringer while nothing plays";
    EXPECT_FALSE(audio->setVolumeTo(0.9f, "Volume"));
    EXPECT_FALSE(audio->getVolume(volume, "Bogus"));
    EXPECT_EQ(VolumeControl::sharedVolumeControl()->getMediaVolume(), 0.125f);
    NSNotificationCenter::defaultCenter().removeObserver(&seen);
}

TEST_F(DeviceTest, VolumeDisplayShowsOnlyWhileEnabledAndVolumesSurviveTheProcess)
{
    auto audio = AVSystemController::sharedAVSystemController();
    audio->setVolumeTo(0.3f, "Ringtone");
    phone().setVolumeDisplayEnabled(false);
    audio->setVolumeTo(0.4f, "Ringtone");
    audio->setVolumeTo(7.0f, "Ringtone");
    EXPECT_EQ(phone().changesOf(DeviceChange::VolumeDisplayShown).size(), 1u);
    EXPECT_EQ(phone().ringerVolume(), 1.0f) << "volumes are clamped";

    auto stored = PropertyList::read(phonePath("/var/mobile/Library/Preferences/com.apple.celestial.plist"));
    ASSERT_TRUE(stored);
    EXPECT_FLOAT_EQ((*stored)["RingerVolume"].floatValue(), 1.0f);
    Device another(m_root.string());
    EXPECT_EQ(another.ringerVolume(), 1.0f) << "another process of the phone sees the same volume";
    EXPECT_EQ(another.mediaVolume(), 0.5f);
}

TEST_F(DeviceTest, ClassesExistPerOSGeneration)
{
    struct Case {
        const char* version;
        const char* cls;
        bool exists;
    };
    const Case cases[] = {
        { "7.1", "SBCCDoNotDisturbSetting", true },
        { "9.3", "SBControlCenterViewController", true },
        { "10.2", "SBCCDoNotDisturbSetting", false },
        { "10.2", "CCUIDoNotDisturbSetting", true },
        { "10.2", "CCUIModuleInstanceManager", false },
        { "11.4", "CCUIModuleInstanceManager", true },
        { "11.4", "CCUISettingsSectionController", false },
        { "12.1", "CCUIButtonModuleView", true },
        { "13.5", "CCUIButtonModuleView", false },
        { "8.4", "AVController", true },
        { "9.0", "AVController", false },
        { "13.5", "SBControlCenterController", true },
    };
    for (const auto& c : cases) {
        writeSystemVersion(c.version);
        EXPECT_EQ(NSClassFromString(c.cls) != nullptr, c.exists) << c.cls << " on " << c.version;
    }
    EXPECT_EQ(NSClassFromString("NoSuchClass"), nullptr);
}

TEST_F(DeviceTest, LibstatusbarClassExistsOnlyOnceTheLibraryIsLoaded)
{
    EXPECT_EQ(NSClassFromString("LSStatusBarItem"), nullptr);
    installLibStatusbar();
    auto path = phonePath("/Library/MobileSubstrate/DynamicLibraries/libstatusbar.dylib");
    ASSERT_NE(dlopen(path.c_str(), RTLD_NOW), nullptr) << dlerror();
    Class itemClass = NSClassFromString("LSStatusBarItem");
    ASSERT_NE(itemClass, nullptr);

    auto item = std::dynamic_pointer_cast<LSStatusBarItem>(itemClass->alloc());
    ASSERT_NE(item, nullptr);
    item->initWithIdentifier("com.example.item", 2);
    item->setImageName("Example");
    EXPECT_TRUE(phone().visibleStatusBarItems().empty()) << "a new item is hidden";
    item->setVisible(true);
    EXPECT_EQ(phone().visibleStatusBarItems(), std::vector<std::string> { "com.example.item" });
    EXPECT_EQ(phone().statusBarItem("com.example.item")->imageName, "Example");
    EXPECT_TRUE(isKindOfClass(item, itemClass));
}

TEST_F(DeviceTest, ToneLibraryPlaysPerOSVersion)
{
    auto alert = TLAlert::initWithType(1, std::string("Chime"), std::nullopt);
    writeSystemVersion("7.1.2");
    EXPECT_FALSE(alert->respondsToSelector("startPlayingRepeatedly"));
    EXPECT_FALSE(TLAlert::classRespondsToSelector("_playToneAndVibrationForType:toneIdentifier:vibrationIdentifier:shouldOverrideMasterSwitches:"));
    EXPECT_THROW(alert->startPlayingRepeatedly(), std::logic_error);

    writeSystemVersion("8.4");
    TLAlert::_playToneAndVibrationForType(0, std::string("Old"), std::nullopt, false);
    EXPECT_FALSE(TLAlert::classRespondsToSelector("playToneAndVibrationForType:toneIdentifier:vibrationIdentifier:"));

    writeSystemVersion("10.3");
    alert->startPlayingRepeatedly();
    m_clock->advance(1.0);
    alert->stop();

    auto tones = phone().tones();
    ASSERT_EQ(tones.size(), 2u);
    EXPECT_EQ(tones[0].identifier, "Old");
    EXPECT_FALSE(tones[0].repeating);
    EXPECT_EQ(tones[1].via, "startPlayingRepeatedly");
    EXPECT_EQ(tones[1].type, 1);
    EXPECT_FLOAT_EQ(tones[1].ringerVolume, 0.5f);
    ASSERT_TRUE(tones[1].stopped);
    EXPECT_DOUBLE_EQ(secondsSinceStart(*tones[1].stopped), 1.0);
}

TEST_F(DeviceTest, BacklightMethodsPerOSVersionAndTheLockScreenDimTimer)
{
    auto backlight = SBBacklightController::sharedInstance();
    writeSystemVersion("9.3");
    EXPECT_FALSE(backlight->respondsToSelector("screenIsOn"));
    backlight->_lockScreenDimTimerFired();
    EXPECT_TRUE(phone().isScreenOn()) << "an unlocked phone keeps its screen";
    phone().setLocked(true);
    backlight->_lockScreenDimTimerFired();
    EXPECT_FALSE(phone().isScreenOn());
    backlight->_undimFromSource(1);
    EXPECT_EQ(phone().backlightFactor(), 1.0);

    writeSystemVersion("11.2");
    EXPECT_TRUE(backlight->respondsToSelector("_setBacklightFactorToZeroForProx"));
    EXPECT_FALSE(backlight->respondsToSelector("_startFadeOutAnimationFromLockSource:"));
    EXPECT_THROW(backlight->_undimFromSource(1), std::logic_error);
    writeSystemVersion("13.1");
    EXPECT_FALSE(backlight->respondsToSelector("turnOnScreenFullyWithBacklightSource:"));
    backlight->setBacklightFactor(0.5f, 1);
    EXPECT_TRUE(backlight->screenIsOn());
    EXPECT_EQ(phone().changesOf(DeviceChange::ScreenOn).size(), 2u);
}

TEST_F(DeviceTest, EveryControlCenterPathEndsInTheOneDoNotDisturbState)
{
    writeSystemVersion("9.3");
    auto viewController = vq_instanceVariableForKey(SBControlCenterController::sharedInstance(), "_viewController").asObject();
    ASSERT_TRUE(isKindOfClassNamed(viewController, "SBControlCenterViewController"));
    auto sections = vq_instanceVariableForKey(viewController, "_sectionList");
    ASSERT_TRUE(sections.isArray());
    EXPECT_TRUE(vq_instanceVariableForKey(viewController, "_allPageContainerViewControllers").isNone());

    writeSystemVersion("12.4");
    auto manager = CCUIModuleInstanceManager::sharedInstance();
    std::shared_ptr<CCUIToggleModule> module;
    for (const auto& instance : manager->moduleInstances())
        if (instance->metadata()->moduleIdentifier() == "com.apple.control-center.DoNotDisturbModule")
            module = std::dynamic_pointer_cast<CCUIToggleModule>(instance->module());
    ASSERT_NE(module, nullptr);
    module->buttonTapped(nullptr, nullptr);
    EXPECT_TRUE(phone().isDoNotDisturbEnabled());
    EXPECT_TRUE(module->isSelected());
    module->setSelected(false);
    EXPECT_FALSE(phone().isDoNotDisturbEnabled());
    auto taps = phone().changesOf(DeviceChange::ControlCenterTap);
    ASSERT_EQ(taps.size(), 1u);
    EXPECT_EQ(taps[0].detail, "none");

    writeSystemVersion("11.0");
    EXPECT_THROW(module->view(), std::logic_error) << "the module's view arrives with 12";
}

TEST_F(DeviceTest, VibrateSettingsAreNotedWhenAnnouncedAndStateDescribesThePhone)
{
    auto& defaults = NSUserDefaults::standardUserDefaults();
    defaults.setPersistentDomain({ { "ring-vibrate", true }, { "silent-vibrate", false } }, "com.apple.springboard");
    notify_post("com.apple.springboard.ring-vibrate.changed");
    notify_post("com.apple.springboard.silent-vibrate.changed");
    auto ring = phone().changesOf(DeviceChange::RingVibrate);
    ASSERT_EQ(ring.size(), 1u);
    EXPECT_EQ(ring[0].value, PlistValue(true));
    EXPECT_EQ(phone().changesOf(DeviceChange::SilentVibrate).at(0).value, PlistValue(false));

    writeSystemVersion("12.4");
    phone().setDoNotDisturbEnabled(true, "test");
    PlistDictionary state = phone().state();
    EXPECT_EQ(state["systemVersion"], PlistValue("12.4"));
    EXPECT_EQ(state["ringVibrate"], PlistValue(true));
    EXPECT_EQ(state["doNotDisturb"], PlistValue(true));
    EXPECT_EQ(state["screenOn"], PlistValue(true));
    EXPECT_EQ(state["locked"], PlistValue(false));
    EXPECT_TRUE(state["tones"].isArray());
    EXPECT_TRUE(state["statusBarItems"].isDictionary());
    EXPECT_TRUE(PropertyList::serialize(PlistValue(state), PropertyList::Format::XML)) << "phonectl can print it as a property list";
}

TEST_F(DeviceTest, EveryObserverIsToldOfEveryChangeInOrderUntilRemoved)
{
    std::vector<std::string> first, second;
    auto one = phone().addChangeObserver([&](const Device::Change& change) { first.push_back(deviceChangeName(change.what)); });
    auto two = phone().addChangeObserver([&](const Device::Change& change) { second.push_back(deviceChangeName(change.what)); });
    phone().setRingerSwitchSilent(true, "owner");
    EXPECT_FALSE(phone().setRingerSwitchSilent(true, "owner")) << "a switch already on silent does not move";
    phone().setDoNotDisturbEnabled(true, "test");
    phone().removeChangeObserver(one);
    phone().setRingerSwitchSilent(false, "owner");
    phone().removeChangeObserver(two);
    EXPECT_EQ(first, (std::vector<std::string> { "ringerSwitchSilent", "doNotDisturb" }));
    EXPECT_EQ(second, (std::vector<std::string> { "ringerSwitchSilent", "doNotDisturb", "ringerSwitchSilent" }));
    EXPECT_EQ(phone().state()["ringerSwitchSilent"], PlistValue(false));
}
