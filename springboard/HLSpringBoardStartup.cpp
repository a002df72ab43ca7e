#include "springboard/HLSpringBoardStartup.h"

#include "core/HLLog.h"
#include "core/apply/HLSavedState.h"
#include "core/profile/HLProfilesManager.h"
#include "platform/appsupport/CPDistributedMessagingCenter.h"
#include "platform/appsupport/rocketbootstrap.h"
#include "platform/foundation/DarwinNotifyCenter.h"
#include "platform/machinery/DeviceRoot.h"
#include "platform/foundation/DispatchQueue.h"
#include "platform/foundation/NSBundle.h"
#include "platform/foundation/NSUserDefaults.h"
#include "platform/foundation/PropertyList.h"
#include "platform/mobiletimer/AlarmManager.h"
#include "platform/springboard/SBStatusBarStateAggregator.h"
#include "platform/springboard/SpringBoard.h"
#include "platform/substrate/HookableMethod.h"
#include "platform/substrate/ObjCMethods.h"
#include "springboard/HLMessageHandler.h"
#include "springboard/HLSystemHooks.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace {

constexpr const char* kSpringBoardBundle = "com.apple.springboard";
constexpr const char* kMessageCenterName = "com.velloq.hushline";
constexpr const char* kNetworkChange = "com.apple.system.config.network_change";

const char* const kProductNotifications[] = {
    kHLEnabledOrDisabledNotification,
    kHLProfileAddedNotification,
    kHLProfileChangedNotification,
    kHLProfileDeletedNotification,
};

const char* const kMessageNames[] = {
    "com.apple.mobiletimer.hushline.alarmStatusChanged",
    "com.velloq.HushlineProfileInsertMessageKey",
    "com.velloq.HushlineProfileUpdateMessageKey",
    "com.velloq.HushlineProfileDeleteMessageKey",
    "com.velloq.HushlineProfileUpdateSpringBoardMessageKey",
};

// SpringBoard's own implementations, kept by the hooks. Reached through a function so that they
// exist before the load-time constructor stores them.
struct SpringBoardImplementations {
    decltype(SpringBoard::applicationDidFinishLaunchingMethod)::Implementation didFinishLaunching;
    decltype(SpringBoard::midnightPassedMethod)::Implementation midnightPassed;
};

SpringBoardImplementations& original()
{
    static SpringBoardImplementations implementations;
    return implementations;
}

void rescheduleCallback(CFNotificationCenterRef, void*, const std::string&, const void*, const void*)
{
    HLSpringBoardStartup::rescheduleProfilesCallBack();
}

void networkCallback(CFNotificationCenterRef, void*, const std::string&, const void*, const void*)
{
    HLSpringBoardStartup::networkChangedCallBack();
}

void hookLaunchAndMidnight()
{
    MSHookMessageEx(SpringBoard::applicationDidFinishLaunchingMethod,
        [](SpringBoard& springBoard, const std::shared_ptr<NSObject>& application) {
            original().didFinishLaunching(springBoard, application);
            HLSpringBoardStartup::didFinishLaunching();
        },
        &original().didFinishLaunching);
    MSHookMessageEx(SpringBoard::midnightPassedMethod,
        [](SpringBoard& springBoard) {
            original().midnightPassed(springBoard);
            HLSpringBoardStartup::midnightPassed();
        },
        &original().midnightPassed);
    class_addMethod("SpringBoard", "handleHushlineMessageNamed:withUserInfo:", HLMessageHandler::Implementation(&HLMessageHandler::handleHushlineMessageNamed));
}

void observeDarwinNotifications()
{
    auto center = CFNotificationCenterGetDarwinNotifyCenter();
    for (const char* name : kProductNotifications)
        CFNotificationCenterAddObserver(center, nullptr, rescheduleCallback, name, nullptr, CFNotificationSuspensionBehaviorDeliverImmediately);
    CFNotificationCenterAddObserver(center, nullptr, networkCallback, kNetworkChange, nullptr, CFNotificationSuspensionBehaviorDeliverImmediately);
}

}

bool HLSpringBoardStartup::isSpringBoard()
{
    return NSBundle::mainBundle()->bundleIdentifier() == kSpringBoardBundle;
}

void HLSpringBoardStartup::pluginLoaded()
{
    HLSystemHooks::installEveryHostHooks();
    if (!isSpringBoard())
        return;
    reopenErrorStreamOnLogFile();
    HLSystemHooks::createAlarmTimerList();
    createSettingsFileIfNeeded();
    hookLaunchAndMidnight();
    HLSystemHooks::installSpringBoardHooks();
    observeDarwinNotifications();
}

bool HLSpringBoardStartup::reopenErrorStreamOnLogFile()
{
    auto path = DeviceRoot::resolve("/tmp/velloq.log");
    std::error_code ignored;
    std::filesystem::create_directories(path.parent_path(), ignored);
    // A link planted at the log's place would send the home screen's log (and its rights)
    // wherever it points.
    int fd = open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) {
        NSLog("Cannot open the log file %s: %s", path.c_str(), strerror(errno));
        return false;
    }
    fflush(stderr);
    bool moved = dup2(fd, STDERR_FILENO) >= 0;
    close(fd);
    return moved;
}

std::filesystem::path HLSpringBoardStartup::settingsFilePath()
{
    return NSHomeDirectory() / "Library/Preferences" / "com.velloq.hushline.plist";
}

void HLSpringBoardStartup::createSettingsFileIfNeeded()
{
    std::error_code error;
    if (PropertyList::exists(settingsFilePath(), error) || error)
        return;
    PropertyList::write(settingsFilePath(), PlistValue(PlistDictionary { { std::string("com.velloq.hushline") + ".enabled", true } }));
}

void HLSpringBoardStartup::didFinishLaunching()
{
    auto& store = HLProfilesManager::sharedManager();
    // A profile still marked applied (the home screen stopped during its event) is reverted
    // quietly below: that revert needs the state the phone had before it, so it is kept.
    if (!hasProfileLeftApplied(store)) {
        giveBackStateOfProfilesGone();
        HLSavedState::removeAll();
    }
    HLProfilesManager::unloadAllHushlineAlarms();
    HLProfilesManager::createAndSaveDefaultProfile();
    store.revertAppliedProfilesIfAny();
    if (HLProfilesManager::isHushlineEnabled())
        store.schedulePowerEventsForProfiles(false);
    startMessageServer();
    dispatch_after(dispatch_time(DISPATCH_TIME_NOW, NSEC_PER_SEC), dispatch_get_main_queue(), [] {
        AlarmManager::sharedManager()->loadScheduledNotifications();
        SBStatusBarStateAggregator::sharedInstance()->setAlarmEnabled(true);
    });
}

void HLSpringBoardStartup::giveBackStateOfProfilesGone()
{
    if (!HLSavedState::isAnySaved())
        return;
    // A profile was applied, and the record that says so is gone (the profiles were reset or
    // the profile deleted while it applied): the phone gets back the state saved before it, as
    // the quiet revert of a profile that changed everything would give it.
    HLLogInfo("The state saved before a profile applied is kept, but no profile is applied: giving it back");
    HLProfile::init()->revert(true);
}

bool HLSpringBoardStartup::hasProfileLeftApplied(HLProfilesManager& store)
{
    if (store.profiles().empty())
        store.loadProfiles();
    const auto& profiles = store.profiles();
    return std::any_of(profiles.begin(), profiles.end(), [](const auto& profile) { return profile->isApplied(); });
}

void HLSpringBoardStartup::midnightPassed()
{
    if (HLProfilesManager::isHushlineEnabled())
        HLProfilesManager::sharedManager().schedulePowerEventsForProfiles(true);
}

void HLSpringBoardStartup::startMessageServer()
{
    auto center = CPDistributedMessagingCenter::centerNamed(kMessageCenterName);
    rocketbootstrap_distributedmessagingcenter_apply(center);
    center->runServerOnCurrentThread();
    auto springBoard = SpringBoard::sharedApplication();
    for (const char* name : kMessageNames) {
        center->registerForMessageName(name, springBoard, [springBoard](const std::string& message, const PlistDictionary& userInfo) {
            auto handler = class_getMethodImplementation<HLMessageHandler::Implementation>("SpringBoard", "handleHushlineMessageNamed:withUserInfo:");
            if (handler && *handler)
                (*handler)(*springBoard, message, userInfo);
        });
    }
}

void HLSpringBoardStartup::rescheduleProfilesCallBack()
{
    HLLogInfo("***************** rescheduleProfilesCallBack ********************");
    if (!isSpringBoard())
        return;
    auto& store = HLProfilesManager::sharedManager();
    if (HLProfilesManager::isHushlineEnabled()) {
        store.schedulePowerEventsForProfiles(true);
        return;
    }
    HLLogInfo("Seems Hushline is turned off, hence turnig off all the profiles...");
    store.handleHushlineEnabledOrDisabled();
}

void HLSpringBoardStartup::networkChangedCallBack()
{
    // Called while Hushline is off too: the check notes the joined network either way and only
    // reschedules while Hushline is on.
    HLProfilesManager::sharedManager().scheduleProfilesOnWiFiChange();
}
