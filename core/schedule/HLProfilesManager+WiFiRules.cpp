#include "core/profile/HLProfilesManager.h"

#include "core/HLLog.h"
#include "core/HLTrace.h"
#include "core/schedule/HLEventWindow.h"
#include "core/schedule/HLWiFiManager.h"
#include "core/NSDate+HLAdditions.h"

namespace {

std::string titleOf(const std::shared_ptr<HLProfile>& profile)
{
    return profile->title() ? *profile->title() : "(null)";
}

std::optional<std::string> joinedSSID()
{
    return HLWiFiManager::ssidOf(HLWiFiManager::sharedManager().currentNetWork());
}

// Do Not Disturb and the icon follow the profile's settings again.
void refreshStatus(const std::shared_ptr<HLProfile>& profile)
{
    profile->updateDNDStatus();
    profile->updateShowStatuBarState();
}

// The window's next edge: its start while that is ahead, else its end.
NSDate nextWindowMoment(const std::shared_ptr<HLProfile>& profile)
{
    NSDate start = profile->startDate();
    return start > NSDate::date() ? start : profile->endDate();
}

}

void HLProfilesManager::shceduleWiFiDetected(const std::shared_ptr<HLProfile>& profile, const std::function<void(bool go)>& completion)
{
    auto wakeUpAt = [&](const NSDate& date) {
        NSDate now = NSDate::date();
        if (date > now) {
            HLLogInfo("Scheduling power wakeup for 'WiFi' at: %s for applying profile %s.", date.description().c_str(), titleOf(profile).c_str());
            registerForPowerNotifications(date, profile);
        } else {
            HLLogWarning("SInce the schedule date %s <= %s  is past unable to schedule power wakeup for 'WiFi' for applying profile (%s).",
                date.description().c_str(), now.description().c_str(), titleOf(profile).c_str());
        }
    };
    auto insideWindow = [&](const NSDate& now) { return hl_isOpen(now, profile->startDate(), profile->endDate()); };
    auto logWindowCheck = [&](const NSDate& now) {
        HLLogInfo("Checking currentDate: %s is between %s and %s.", now.description().c_str(), profile->startDate().description().c_str(),
            profile->endDate().description().c_str());
    };

    if (!profile->isWifiEnabled()) {
        refreshStatus(profile);
        if (completion)
            completion(true);
        return;
    }

    auto ssid = joinedSSID();
    HLLogInfo("Checking whether the network *** '%s' *** is in enabled list or not.", ssid ? ssid->c_str() : "(null)");
    if (profile->hasWiFiNetwork(ssid)) {
        HLLogInfo("*** Profile '%s' has Wifi %s network enabled.", titleOf(profile).c_str(), ssid->c_str());
        HL_TRACE(networkRuleFollowed(*profile, *ssid));
        if (profile->isApplied() && !profile->isAllDay()) {
            NSDate now = NSDate::date();
            logWindowCheck(now);
            if (!insideWindow(now)) {
                HLLogInfo("Reverting profile since the current date (%s) is not with in the Profile's start (%s) & end date (%s).",
                    now.description().c_str(), profile->startDate().description().c_str(), profile->endDate().description().c_str());
                profile->revert();
                wakeUpAt(nextWindowMoment(profile));
            }
        } else if (!profile->isApplied()) {
            if (profile->isAllDay()) {
                profile->apply();
            } else {
                NSDate now = NSDate::date();
                logWindowCheck(now);
                if (insideWindow(now)) {
                    HLLogInfo("************* applying profile *************");
                    profile->apply();
                }
                wakeUpAt(nextWindowMoment(profile));
            }
        }
        refreshStatus(profile);
        if (completion)
            completion(false);
        return;
    }

    if (!completion)
        return;
    if (profile->isAllDay() || insideWindow(NSDate::date())) {
        completion(true);
        return;
    }
    completion(false);
    wakeUpAt(nextWindowMoment(profile));
}

void HLProfilesManager::scheduleProfilesOnWiFiChange()
{
    // The network is noted even while Hushline is off, so that the first check after it is
    // switched on compares with the network the phone really left.
    auto& wifi = HLWiFiManager::sharedManager();
    auto current = wifi.currentNetWork();
    auto last = wifi.exchangeCheckedNetwork(current);
    if (!isHushlineEnabled())
        return;
    auto currentSSID = HLWiFiManager::ssidOf(current);
    auto lastSSID = HLWiFiManager::ssidOf(last);
    if (currentSSID && lastSSID && *currentSSID == *lastSSID) {
        HLLogInfo("Last connected & new WiFi are same, hence returning...");
        return;
    }
    HLLogInfo("WiFi change detected (last connected (%s) and now connected to (%s), hence refreshing the active profiles",
        PlistValue(last).description().c_str(), PlistValue(current).description().c_str());
    for (const auto& profile : activeProfiles())
        scheduleEvents(profile, profile->isWifiEnabled());
}

std::vector<std::shared_ptr<HLProfile>> HLProfilesManager::activeWiFiProfiles()
{
    std::vector<std::shared_ptr<HLProfile>> result;
    for (const auto& profile : activeProfiles())
        if (profile->isWifiEnabled())
            result.push_back(profile);
    return result;
}
