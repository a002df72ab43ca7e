#include "core/profile/HLProfile.h"

#include "core/HLLog.h"
#include "core/profile/HLProfilesManager.h"
#include "core/schedule/HLGroupedCalendars.h"

#include <cmath>
#include <cstdio>

namespace {

int64_t currentUnixSeconds()
{
    return static_cast<int64_t>(std::trunc(NSDate::date().timeIntervalSince1970()));
}

const char* typeName(const PlistValue& value)
{
    switch (value.type()) {
    case PlistValue::Type::None: return "nothing";
    case PlistValue::Type::Boolean: return "a boolean";
    case PlistValue::Type::Integer: return "an integer";
    case PlistValue::Type::Real: return "a real";
    case PlistValue::Type::String: return "a string";
    case PlistValue::Type::Date: return "a date";
    case PlistValue::Type::Data: return "data";
    case PlistValue::Type::Array: return "an array";
    case PlistValue::Type::Dictionary: return "a dictionary";
    case PlistValue::Type::Object: return "an object";
    }
    return "something";
}

// Reads one key of a profiles-file entry. A value of a type the field cannot take is treated
// as missing, with a warning, so that a damaged entry still loads.
class EntryReader {
public:
    explicit EntryReader(const PlistDictionary& entry) : m_entry(entry) { }

    // Numbers and strings convert as the phone converts them; anything else reads as missing.
    const PlistValue& scalar(const char* key) const
    {
        const PlistValue& value = lookup(key);
        if (value.isNone() || value.isNumber() || value.isString())
            return value;
        return rejected(key, value, "a number or a string");
    }

    std::optional<std::string> text(const char* key) const
    {
        const PlistValue& value = lookup(key);
        if (auto s = value.asString())
            return *s;
        if (!value.isNone())
            rejected(key, value, "a string");
        return std::nullopt;
    }

    // nullopt when the key is missing or unusable: the list field is then left as it was.
    std::optional<std::vector<std::string>> list(const char* key) const
    {
        const PlistValue& value = lookup(key);
        if (value.isNone())
            return std::nullopt;
        if (auto strings = plistStringArray(value))
            return strings;
        rejected(key, value, "an array of strings");
        return std::nullopt;
    }

private:
    const PlistValue& lookup(const char* key) const
    {
        static const PlistValue none;
        auto it = m_entry.find(key);
        return it == m_entry.end() ? none : it->second;
    }

    const PlistValue& rejected(const char* key, const PlistValue& value, const char* expected) const
    {
        static const PlistValue none;
        HLLogWarning("Ignoring \"%s\" of a profile entry: expected %s, found %s", key, expected, typeName(value));
        return none;
    }

    const PlistDictionary& m_entry;
};

double singlePrecision(const PlistValue& value)
{
    return static_cast<double>(value.floatValue());
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
    profile->setTitle(HLProfilesManager::sharedManager().defaultProfileTitle());
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
    EntryReader entry(dictionary);
    m_identifier = entry.scalar("identifier").longLongValue();
    m_title = entry.text("title");
    m_enabled = entry.scalar("enabled").boolValue();
    m_applied = entry.scalar("applied").boolValue();
    m_allDay = entry.scalar("allDay").boolValue();
    m_ringerVolume = singlePrecision(entry.scalar("ringerVolume"));
    m_playBackVolume = singlePrecision(entry.scalar("playBackVolume"));
    m_deviceVolume = singlePrecision(entry.scalar("deviceVolume"));
    m_playAlert = entry.scalar("playAlert").boolValue();
    m_vibrate = entry.scalar("vibrate").boolValue();
    m_vibrateAlert = entry.scalar("vibrateAlert").boolValue();
    m_showOnStatusBar = entry.scalar("showOnStatusBar").boolValue();
    m_dnDEnabled = entry.scalar("dnDEnabled").boolValue();
    m_applyProfileEventStatus = entry.scalar("applyProfileEventStatus").longLongValue();
    m_alertSound = entry.scalar("alertSound").longLongValue();
    if (auto calendars = entry.list("calendarIdentifiers"))
        m_calendarIdentifiers = std::move(*calendars);
    m_alertToneIdentifier = entry.text("alertToneIdentifier");
    m_allDayEventsIgnored = entry.scalar("allDayEventsIgnored").boolValue();
    m_startTime = entry.text("startTime");
    m_endTime = entry.text("endTime");
    if (auto networks = entry.list("wifiNetworks"))
        m_wifiNetworks = std::move(*networks);
    m_wakeUpScreen = entry.scalar("wakeUpScreen").boolValue();
}

PlistDictionary HLProfile::dictionaryRepresentation()
{
    PlistDictionary d;
    d["identifier"] = m_identifier;
    if (m_title)
        d["title"] = *m_title;
    d["enabled"] = m_enabled;
    d["allDay"] = m_allDay;
    d["ringerVolume"] = m_ringerVolume;
    d["playBackVolume"] = m_playBackVolume;
    d["deviceVolume"] = m_deviceVolume;
    d["playAlert"] = m_playAlert;
    d["vibrate"] = m_vibrate;
    d["vibrateAlert"] = m_vibrateAlert;
    d["showOnStatusBar"] = m_showOnStatusBar;
    d["dnDEnabled"] = m_dnDEnabled;
    d["applyProfileEventStatus"] = applyProfileEventStatus();
    d["applied"] = m_applied;
    d["alertSound"] = m_alertSound;
    if (m_alertToneIdentifier)
        d["alertToneIdentifier"] = *m_alertToneIdentifier;
    d["calendarIdentifiers"] = PlistValue(calendarIdentifiers());
    d["startTime"] = m_startTime.value_or("8:00 AM");
    d["endTime"] = m_endTime.value_or("5:00 PM");
    if (m_updatedDate)
        d["updatedDate"] = *m_updatedDate;
    d["wifiNetworks"] = PlistValue(wifiNetworks());
    d["wakeUpScreen"] = m_wakeUpScreen;
    d["allDayEventsIgnored"] = m_allDayEventsIgnored;
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
