#include "preferences/HLPickerUserInfo.h"

#include "core/profile/HLProfile.h"
#include "core/profile/HLProfilesManager.h"
#include "core/schedule/HLEventManager.h"
#include "platform/preferences/PSSpecifier.h"
#include "platform/preferences/PSViewController.h"

std::shared_ptr<HLProfile> hl_pickerProfile(const PSViewController& picker)
{
    if (!picker.specifier())
        return nullptr;
    return picker.specifier()->userInfo()["profile"].asObject<HLProfile>();
}

std::map<std::string, std::vector<std::shared_ptr<EKCalendar>>> hl_pickerCalendars(const PSViewController& picker)
{
    std::map<std::string, std::vector<std::shared_ptr<EKCalendar>>> grouped;
    if (!picker.specifier())
        return grouped;
    const auto* accounts = picker.specifier()->userInfo()["calendars"].asDictionary();
    if (!accounts)
        return grouped;
    for (const auto& [title, list] : *accounts) {
        auto& calendars = grouped[title];
        if (const auto* entries = list.asArray())
            for (const auto& entry : *entries)
                if (auto calendar = entry.asObject<EKCalendar>())
                    calendars.push_back(calendar);
    }
    return grouped;
}

PlistDictionary hl_pickerUserInfo(const std::shared_ptr<HLProfile>& profile)
{
    return PlistDictionary { { "profile", PlistValue(profile) } };
}

PlistDictionary hl_calendarPickerUserInfo(const std::shared_ptr<HLProfile>& profile,
    const std::map<std::string, std::vector<std::shared_ptr<EKCalendar>>>& groupedCalendars)
{
    PlistDictionary accounts;
    for (const auto& [title, calendars] : groupedCalendars) {
        PlistArray list;
        for (const auto& calendar : calendars)
            list.push_back(PlistValue(calendar));
        accounts[title] = PlistValue(std::move(list));
    }
    auto info = hl_pickerUserInfo(profile);
    info["calendars"] = PlistValue(std::move(accounts));
    return info;
}

std::shared_ptr<HLProfile> hl_refetchPickerProfile(PSViewController& picker, bool withCalendars)
{
    auto profile = hl_pickerProfile(picker);
    // A new profile is not stored yet: the record with its identifier, if any, is another one.
    if (!profile || !picker.specifier() || profile->isNewProfile())
        return profile;
    auto stored = HLProfilesManager::sharedManager().profileByIdentifier(profile->identifier(), false);
    if (!stored)
        return profile;
    auto info = withCalendars ? hl_calendarPickerUserInfo(stored, HLEventManager::sharedManager().groupedCalendars()) : hl_pickerUserInfo(stored);
    picker.specifier()->setUserInfo(PlistValue(std::move(info)));
    return stored;
}
