#include "core/profile/HLProfile.h"

#include <algorithm>
#include <cctype>
#include <functional>

// The one table of the record's properties by name: what key-value reading and writing use, so
// that the settings editor and the message handler reach every field the same way.
struct HLProfileProperties {
    using Getter = std::function<PlistValue(HLProfile&)>;
    // False when the value has a type the property cannot take.
    using Setter = std::function<bool(HLProfile&, const PlistValue&)>;

    struct Property {
        const char* name;
        Getter get;
        Setter set;
    };

    static const std::vector<Property>& table();
    static const Property* find(const std::string& name)
    {
        const auto& all = table();
        auto it = std::find_if(all.begin(), all.end(), [&](const Property& p) { return name == p.name; });
        return it == all.end() ? nullptr : &*it;
    }
};

namespace {

// A text that begins with a number ("0.25", " -1", ".5 dB") reads as that number; any other
// text ("loud") would read as 0 and silently zero the field, so it is refused as a wrong type.
bool beginsWithNumber(const std::string& text)
{
    size_t at = text.find_first_not_of(" \t\n");
    if (at != std::string::npos && (text[at] == '+' || text[at] == '-'))
        ++at;
    if (at < text.size() && text[at] == '.')
        ++at;
    return at < text.size() && std::isdigit(static_cast<unsigned char>(text[at]));
}

bool isScalar(const PlistValue& v)
{
    return v.isNumber() || (v.isString() && beginsWithNumber(*v.asString()));
}

template<typename Field>
HLProfileProperties::Property flag(const char* name, Field field)
{
    return { name, [field](HLProfile& p) { return PlistValue(p.*field); },
        [field](HLProfile& p, const PlistValue& v) {
            if (!isScalar(v))
                return false;
            p.*field = v.boolValue();
            return true;
        } };
}

template<typename Field>
HLProfileProperties::Property real(const char* name, Field field)
{
    return { name, [field](HLProfile& p) { return PlistValue(p.*field); },
        [field](HLProfile& p, const PlistValue& v) {
            if (!isScalar(v))
                return false;
            p.*field = v.doubleValue();
            return true;
        } };
}

template<typename Field>
HLProfileProperties::Property integer(const char* name, Field field)
{
    return { name, [field](HLProfile& p) { return PlistValue(p.*field); },
        [field](HLProfile& p, const PlistValue& v) {
            if (!isScalar(v))
                return false;
            p.*field = v.longLongValue();
            return true;
        } };
}

template<typename Field>
HLProfileProperties::Property text(const char* name, Field field)
{
    return { name, [field](HLProfile& p) { return p.*field ? PlistValue(*(p.*field)) : PlistValue(); },
        [field](HLProfile& p, const PlistValue& v) {
            if (v.isNone()) {
                p.*field = std::nullopt;
                return true;
            }
            if (!v.isString())
                return false;
            p.*field = *v.asString();
            return true;
        } };
}

template<typename Field>
HLProfileProperties::Property date(const char* name, Field field)
{
    return { name, [field](HLProfile& p) { return p.*field ? PlistValue(*(p.*field)) : PlistValue(); },
        [field](HLProfile& p, const PlistValue& v) {
            if (v.isNone()) {
                p.*field = std::nullopt;
                return true;
            }
            if (!v.isDate())
                return false;
            p.*field = *v.asDate();
            return true;
        } };
}

bool setList(std::optional<std::vector<std::string>>& field, const PlistValue& v)
{
    if (v.isNone()) {
        field = std::nullopt;
        return true;
    }
    auto strings = plistStringArray(v);
    if (!strings)
        return false;
    field = std::move(*strings);
    return true;
}

}

const std::vector<HLProfileProperties::Property>& HLProfileProperties::table()
{
    static const std::vector<Property> properties = {
        flag("enabled", &HLProfile::m_enabled),
        flag("allDay", &HLProfile::m_allDay),
        flag("playAlert", &HLProfile::m_playAlert),
        flag("vibrate", &HLProfile::m_vibrate),
        flag("vibrateAlert", &HLProfile::m_vibrateAlert),
        flag("showOnStatusBar", &HLProfile::m_showOnStatusBar),
        flag("dnDEnabled", &HLProfile::m_dnDEnabled),
        // Setting these by name goes through their setters, as key-value coding does: applying
        // saves and announces, the quiet flag logs.
        { "silent", [](HLProfile& p) { return PlistValue(p.m_silent); },
            [](HLProfile& p, const PlistValue& v) {
                if (!isScalar(v))
                    return false;
                p.setSilent(v.boolValue());
                return true;
            } },
        { "applied", [](HLProfile& p) { return PlistValue(p.m_applied); },
            [](HLProfile& p, const PlistValue& v) {
                if (!isScalar(v))
                    return false;
                p.setApplied(v.boolValue());
                return true;
            } },
        flag("wakeUpScreen", &HLProfile::m_wakeUpScreen),
        flag("allDayEventsIgnored", &HLProfile::m_allDayEventsIgnored),
        flag("newProfile", &HLProfile::m_newProfile),
        flag("volumeAlertShown", &HLProfile::m_volumeAlertShown),
        flag("preserveVolumeChange", &HLProfile::m_preserveVolumeChange),
        integer("identifier", &HLProfile::m_identifier),
        text("title", &HLProfile::m_title),
        { "startDate", [](HLProfile& p) { return PlistValue(p.startDate()); }, date("startDate", &HLProfile::m_startDate).set },
        { "endDate", [](HLProfile& p) { return PlistValue(p.endDate()); }, date("endDate", &HLProfile::m_endDate).set },
        { "createdDate", [](HLProfile& p) { return PlistValue(p.createdDate()); }, date("createdDate", &HLProfile::m_createdDate).set },
        date("updatedDate", &HLProfile::m_updatedDate),
        real("playBackVolume", &HLProfile::m_playBackVolume),
        real("ringerVolume", &HLProfile::m_ringerVolume),
        real("deviceVolume", &HLProfile::m_deviceVolume),
        integer("alertSound", &HLProfile::m_alertSound),
        { "applyProfileEventStatus", [](HLProfile& p) { return PlistValue(p.applyProfileEventStatus()); },
            integer("applyProfileEventStatus", &HLProfile::m_applyProfileEventStatus).set },
        text("alertToneIdentifier", &HLProfile::m_alertToneIdentifier),
        { "calendarIdentifiers", [](HLProfile& p) { return PlistValue(p.calendarIdentifiers()); },
            [](HLProfile& p, const PlistValue& v) { return setList(p.m_calendarIdentifiers, v); } },
        text("startTime", &HLProfile::m_startTime),
        text("endTime", &HLProfile::m_endTime),
        { "wifiNetworks", [](HLProfile& p) { return PlistValue(p.wifiNetworks()); },
            [](HLProfile& p, const PlistValue& v) { return setList(p.m_wifiNetworks, v); } },
        real("newRingtoneVolume", &HLProfile::m_newRingtoneVolume),
    };
    return properties;
}

PlistValue HLProfile::valueForKey(const std::string& key)
{
    auto property = HLProfileProperties::find(key);
    return property ? property->get(*this) : PlistValue();
}

bool HLProfile::setValueForKey(const PlistValue& value, const std::string& key)
{
    auto property = HLProfileProperties::find(key);
    return property && property->set(*this, value);
}

const std::vector<std::string>& HLProfile::propertyNames()
{
    static const std::vector<std::string> names = [] {
        std::vector<std::string> all;
        for (const auto& p : HLProfileProperties::table())
            all.push_back(p.name);
        return all;
    }();
    return names;
}
