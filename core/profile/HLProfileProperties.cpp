#include "core/profile/HLProfileProperties.h"

#include "core/profile/HLProfileEntryReader.h"

#include <algorithm>
#include <cctype>

namespace {

using Property = HLProfileProperties::Property;
using Storage = HLProfileProperties::Storage;

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

// Written to the file as the getter shows the field.
Property stored(Property property, Storage storage)
{
    property.storage = storage;
    if (!property.write) {
        auto get = property.get;
        const char* name = property.name;
        property.write = [get, name](HLProfile& p, PlistDictionary& d) {
            PlistValue value = get(p);
            if (!value.isNone())
                d[name] = std::move(value);
        };
    }
    return property;
}

template<typename Field>
Property flag(const char* name, Field field, Storage storage = Storage::Memory)
{
    return stored({ name, [field](HLProfile& p) { return PlistValue(p.*field); },
                      [field](HLProfile& p, const PlistValue& v) {
                          if (!isScalar(v))
                              return false;
                          p.*field = v.boolValue();
                          return true;
                      },
                      storage, [field, name](HLProfile& p, const HLProfileEntryReader& e) { p.*field = e.scalar(name).boolValue(); }, nullptr },
        storage);
}

// Volumes are kept in the file at the phone's single precision.
template<typename Field>
Property volume(const char* name, Field field, Storage storage = Storage::Memory)
{
    return stored({ name, [field](HLProfile& p) { return PlistValue(p.*field); },
                      [field](HLProfile& p, const PlistValue& v) {
                          if (!isScalar(v))
                              return false;
                          p.*field = v.doubleValue();
                          return true;
                      },
                      storage,
                      [field, name](HLProfile& p, const HLProfileEntryReader& e) { p.*field = static_cast<double>(e.scalar(name).floatValue()); },
                      nullptr },
        storage);
}

template<typename Field>
Property integer(const char* name, Field field, Storage storage = Storage::Memory)
{
    return stored({ name, [field](HLProfile& p) { return PlistValue(p.*field); },
                      [field](HLProfile& p, const PlistValue& v) {
                          if (!isScalar(v))
                              return false;
                          p.*field = v.longLongValue();
                          return true;
                      },
                      storage, [field, name](HLProfile& p, const HLProfileEntryReader& e) { p.*field = e.scalar(name).longLongValue(); },
                      nullptr },
        storage);
}

// `fallback` is what the file gets while the field is unset.
template<typename Field>
Property text(const char* name, Field field, Storage storage = Storage::Memory, const char* fallback = nullptr)
{
    Property property { name, [field](HLProfile& p) { return p.*field ? PlistValue(*(p.*field)) : PlistValue(); },
        [field](HLProfile& p, const PlistValue& v) {
            if (v.isNone()) {
                p.*field = std::nullopt;
                return true;
            }
            if (!v.isString())
                return false;
            p.*field = *v.asString();
            return true;
        },
        storage, [field, name](HLProfile& p, const HLProfileEntryReader& e) { p.*field = e.text(name); }, nullptr };
    if (fallback)
        property.write = [field, name, fallback](HLProfile& p, PlistDictionary& d) { d[name] = (p.*field).value_or(fallback); };
    return stored(std::move(property), storage);
}

template<typename Field>
Property date(const char* name, Field field, Storage storage = Storage::Memory)
{
    return stored({ name, [field](HLProfile& p) { return p.*field ? PlistValue(*(p.*field)) : PlistValue(); },
                      [field](HLProfile& p, const PlistValue& v) {
                          if (v.isNone()) {
                              p.*field = std::nullopt;
                              return true;
                          }
                          if (!v.isDate())
                              return false;
                          p.*field = *v.asDate();
                          return true;
                      },
                      storage, nullptr, nullptr },
        storage);
}

// A list of names; a missing or unusable list in the file leaves the field as it was.
template<typename Field, typename Getter>
Property list(const char* name, Field field, Getter getter)
{
    return stored({ name, [getter](HLProfile& p) { return PlistValue((p.*getter)()); },
                      [field](HLProfile& p, const PlistValue& v) {
                          if (v.isNone()) {
                              p.*field = std::nullopt;
                              return true;
                          }
                          auto strings = plistStringArray(v);
                          if (!strings)
                              return false;
                          p.*field = std::move(*strings);
                          return true;
                      },
                      Storage::File,
                      [field, name](HLProfile& p, const HLProfileEntryReader& e) {
                          if (auto strings = e.list(name))
                              p.*field = std::move(*strings);
                      },
                      nullptr },
        Storage::File);
}

// Setting these by name goes through their setters, as key-value coding does: applying saves
// and announces, the quiet flag logs.
Property flagWithSetter(Property property, void (HLProfile::*setter)(bool))
{
    property.set = [setter](HLProfile& p, const PlistValue& v) {
        if (!isScalar(v))
            return false;
        (p.*setter)(v.boolValue());
        return true;
    };
    return property;
}

// The getter shows a computed value (today's window, the clamped status); the field is set as
// stored, and the file gets what the getter shows.
Property computed(Property property, HLProfileProperties::Getter get)
{
    property.get = std::move(get);
    if (property.storage == Storage::Memory)
        return property;
    Storage storage = property.storage;
    property.write = nullptr;
    return stored(std::move(property), storage);
}

}

const std::vector<Property>& HLProfileProperties::table()
{
    static const std::vector<Property> properties = {
        integer("identifier", &HLProfile::m_identifier, Storage::File),
        text("title", &HLProfile::m_title, Storage::File),
        flag("enabled", &HLProfile::m_enabled, Storage::File),
        flagWithSetter(flag("applied", &HLProfile::m_applied, Storage::File), &HLProfile::setApplied),
        flag("allDay", &HLProfile::m_allDay, Storage::File),
        volume("ringerVolume", &HLProfile::m_ringerVolume, Storage::File),
        volume("playBackVolume", &HLProfile::m_playBackVolume, Storage::File),
        volume("deviceVolume", &HLProfile::m_deviceVolume, Storage::File),
        flag("playAlert", &HLProfile::m_playAlert, Storage::File),
        flag("vibrate", &HLProfile::m_vibrate, Storage::File),
        flag("vibrateAlert", &HLProfile::m_vibrateAlert, Storage::File),
        flag("showOnStatusBar", &HLProfile::m_showOnStatusBar, Storage::File),
        flag("dnDEnabled", &HLProfile::m_dnDEnabled, Storage::File),
        computed(integer("applyProfileEventStatus", &HLProfile::m_applyProfileEventStatus, Storage::File),
            [](HLProfile& p) { return PlistValue(p.applyProfileEventStatus()); }),
        integer("alertSound", &HLProfile::m_alertSound, Storage::File),
        list("calendarIdentifiers", &HLProfile::m_calendarIdentifiers, &HLProfile::calendarIdentifiers),
        text("alertToneIdentifier", &HLProfile::m_alertToneIdentifier, Storage::File),
        flag("allDayEventsIgnored", &HLProfile::m_allDayEventsIgnored, Storage::File),
        text("startTime", &HLProfile::m_startTime, Storage::File, "8:00 AM"),
        text("endTime", &HLProfile::m_endTime, Storage::File, "5:00 PM"),
        list("wifiNetworks", &HLProfile::m_wifiNetworks, &HLProfile::wifiNetworks),
        flag("wakeUpScreen", &HLProfile::m_wakeUpScreen, Storage::File),
        date("updatedDate", &HLProfile::m_updatedDate, Storage::WrittenOnly),

        flagWithSetter(flag("silent", &HLProfile::m_silent), &HLProfile::setSilent),
        flag("newProfile", &HLProfile::m_newProfile),
        flag("volumeAlertShown", &HLProfile::m_volumeAlertShown),
        flag("preserveVolumeChange", &HLProfile::m_preserveVolumeChange),
        volume("newRingtoneVolume", &HLProfile::m_newRingtoneVolume),
        computed(date("startDate", &HLProfile::m_startDate), [](HLProfile& p) { return PlistValue(p.startDate()); }),
        computed(date("endDate", &HLProfile::m_endDate), [](HLProfile& p) { return PlistValue(p.endDate()); }),
        computed(date("createdDate", &HLProfile::m_createdDate), [](HLProfile& p) { return PlistValue(p.createdDate()); }),
    };
    return properties;
}

const Property* HLProfileProperties::find(const std::string& name)
{
    const auto& all = table();
    auto it = std::find_if(all.begin(), all.end(), [&](const Property& p) { return name == p.name; });
    return it == all.end() ? nullptr : &*it;
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
