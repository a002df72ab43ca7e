#include "core/profile/HLProfile.h"

#include "core/HLLog.h"
#include "core/profile/HLProfileEntryReader.h"
#include "core/profile/HLProfileProperties.h"
#include "core/profile/HLProfilesManager.h"
#include "core/HLGroupedCalendars.h"

#include <cmath>
#include <cstdio>

namespace {

int64_t currentUnixSeconds()
{
    return static_cast<int64_t>(std::trunc(NSDate::date().timeIntervalSince1970()));
}

}

HLProfile::HLProfile()
    : m_identifier(currentUnixSeconds())
{
}

HLProfile::HLProfile(const PlistDictionary& dictionary)
{
    setPropertiesFromDicitonary(dictionary);
    if (m_identifier < 1)
        m_identifier = currentUnixSeconds();
}

std::shared_ptr<HLProfile> HLProfile::defaultProfile()
{
    auto profile = init();
    auto& store = HLProfilesManager::sharedManager();
    profile->setIdentifier(store.unusedIdentifier(profile->identifier()));
    profile->setTitle(store.defaultProfileTitle());
    profile->setEnabled(true);
    profile->setAllDay(true);
    profile->setRingerVolume(0.0625);
    profile->setPlayBackVolume(0.0);
    profile->setDeviceVolume(0.0);
    profile->setPlayAlert(true);
    profile->setVibrate(true);
    profile->setVibrateAlert(true);
    profile->setShowOnStatusBar(false);
    profile->setDnDEnabled(false);
    profile->setWakeUpScreen(true);
    profile->setSilent(false);
    profile->setAlertSound(1005);
    profile->setAllDayEventsIgnored(true);
    profile->setStartTime("8:00 AM");
    profile->setEndTime("5:00 PM");
    profile->setAlertToneIdentifier("texttone:Calendar Alert");
    return profile;
}

void HLProfile::setPropertiesFromDicitonary(const PlistDictionary& dictionary)
{
    HLLogInfo("setPropertiesFromDicitonary=> %s", PlistValue(dictionary).description().c_str());
    HLProfileEntryReader entry(dictionary);
    for (const auto& property : HLProfileProperties::table())
        if (property.storage == HLProfileProperties::Storage::File)
            property.read(*this, entry);
}

PlistDictionary HLProfile::dictionaryRepresentation()
{
    PlistDictionary d;
    for (const auto& property : HLProfileProperties::table())
        if (property.storage != HLProfileProperties::Storage::Memory)
            property.write(*this, d);
    return d;
}

bool HLProfile::isEqual(const std::shared_ptr<const NSObject>& other) const
{
    if (auto profile = std::dynamic_pointer_cast<const HLProfile>(other))
        return profile->m_identifier == m_identifier;
    return other.get() == this;
}

bool HLProfile::hasChanged(const std::shared_ptr<HLProfile>& other)
{
    if (!other || !isEqual(other))
        return false;
    if (!startDate().isEqualToDate(other->startDate()))
        return true;
    if (!endDate().isEqualToDate(other->endDate()))
        return true;
    const auto& theirs = other->calendarIdentifiers();
    for (const auto& identifier : calendarIdentifiers())
        if (std::find(theirs.begin(), theirs.end(), identifier) == theirs.end())
            return true;
    return false;
}

std::string HLProfile::description() const
{
    char address[32];
    snprintf(address, sizeof address, "%p", static_cast<const void*>(this));
    return std::string("<HLProfile: ") + address + "; identifier = " + std::to_string(m_identifier)
        + "; title = " + (m_title ? "\"" + *m_title + "\"" : "(null)") + "; enabled = " + (m_enabled ? "1" : "0")
        + "; applied = " + (m_applied ? "1" : "0") + ">";
}

NSDate HLProfile::createdDate()
{
    if (!m_createdDate)
        m_createdDate = NSDate::dateWithTimeIntervalSince1970(static_cast<NSTimeInterval>(m_identifier));
    return *m_createdDate;
}

int64_t HLProfile::applyProfileEventStatus() const
{
    return m_applyProfileEventStatus >= 0 && m_applyProfileEventStatus <= 3 ? m_applyProfileEventStatus : 0;
}

const std::vector<std::string>& HLProfile::calendarIdentifiers()
{
    if (!m_calendarIdentifiers)
        m_calendarIdentifiers = hl_groupedWritableCalendarIdentifiers();
    return *m_calendarIdentifiers;
}

std::vector<std::string>& HLProfile::wifiNetworks()
{
    if (!m_wifiNetworks)
        m_wifiNetworks.emplace();
    return *m_wifiNetworks;
}
