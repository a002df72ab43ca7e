#include "core/profile/HLProfilesManager.h"

#include "core/HLLog.h"
#include "core/HLTrace.h"
#include "core/schedule/HLSchedulingFacts.h"
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

}

void HLProfilesManager::shceduleWiFiDetected(const std::shared_ptr<HLProfile>& profile, const std::function<void(bool go)>& completion)
{
    NSDate now = NSDate::date();
    auto facts = hl_profileFacts(*profile);
    std::optional<std::string> ssid;
    if (facts.wifiEnabled) {
        ssid = joinedSSID();
        HLLogInfo("Checking whether the network *** '%s' *** is in enabled list or not.", ssid ? ssid->c_str() : "(null)");
        facts.atOwnNetwork = profile->hasWiFiNetwork(ssid);
    }
    auto gate = HLSchedulingDecision::wifiGate(facts, now);
    auto wakeUp = [&] {
        if (!gate.wakeAt)
            return;
        if (*gate.wakeAt > now) {
            HLLogInfo("Scheduling power wakeup for 'WiFi' at: %s for applying profile %s.", gate.wakeAt->description().c_str(), titleOf(profile).c_str());
            registerForPowerNotifications(gate.wakeAt, profile);
        } else {
            HLLogWarning("SInce the schedule date %s <= %s  is past unable to schedule power wakeup for 'WiFi' for applying profile (%s).",
                gate.wakeAt->description().c_str(), now.description().c_str(), titleOf(profile).c_str());
        }
    };
    if (!facts.atOwnNetwork) {
        if (!facts.wifiEnabled)
            refreshStatus(profile);
        if (completion)
            completion(gate.go);
        if (completion && facts.wifiEnabled)
            wakeUp();
        return;
    }
    HLLogInfo("*** Profile '%s' has Wifi %s network enabled.", titleOf(profile).c_str(), ssid->c_str());
    HL_TRACE(networkRuleFollowed(*profile, *ssid));
    if (gate.windowChecked)
        HLLogInfo("Checking currentDate: %s is between %s and %s.", now.description().c_str(), facts.windowStart.description().c_str(),
            facts.windowEnd.description().c_str());
    if (gate.revert) {
        HLLogInfo("Reverting profile since the current date (%s) is not with in the Profile's start (%s) & end date (%s).",
            now.description().c_str(), facts.windowStart.description().c_str(), facts.windowEnd.description().c_str());
        profile->revert();
    }
    if (gate.apply && !facts.allDay)
        HLLogInfo("************* applying profile *************");
    if (gate.apply)
        profile->apply();
    wakeUp();
    refreshStatus(profile);
    if (completion)
        completion(false);
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
