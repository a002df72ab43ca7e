#include "platform/foundation/NSUserDefaults.h"

#include "platform/machinery/DeviceRoot.h"
#include "platform/foundation/NSBundle.h"
#include "platform/foundation/PropertyList.h"

NSUserDefaults& NSUserDefaults::standardUserDefaults()
{
    static NSUserDefaults defaults;
    return defaults;
}

std::filesystem::path NSUserDefaults::pathForDomain(const std::string& domain)
{
    return DeviceRoot::resolve("/var/mobile/Library/Preferences/" + domain + ".plist");
}

std::string NSUserDefaults::domain() const
{
    return NSBundle::mainBundle()->bundleIdentifier();
}

PlistValue NSUserDefaults::objectForKey(const std::string& key) const
{
    auto dictionary = persistentDomainForName(domain());
    if (!dictionary)
        return {};
    auto it = dictionary->find(key);
    return it == dictionary->end() ? PlistValue() : it->second;
}

void NSUserDefaults::setObject(const PlistValue& value, const std::string& key)
{
    if (value.isNone()) {
        removeObjectForKey(key);
        return;
    }
    auto dictionary = persistentDomainForName(domain()).value_or(PlistDictionary());
    dictionary[key] = value;
    setPersistentDomain(dictionary, domain());
}

void NSUserDefaults::removeObjectForKey(const std::string& key)
{
    auto dictionary = persistentDomainForName(domain());
    if (!dictionary || !dictionary->erase(key))
        return;
    setPersistentDomain(*dictionary, domain());
}

std::optional<PlistDictionary> NSUserDefaults::persistentDomainForName(const std::string& name) const
{
    auto value = PropertyList::read(pathForDomain(name));
    if (!value || !value->isDictionary())
        return std::nullopt;
    return *value->asDictionary();
}

bool NSUserDefaults::setPersistentDomain(const PlistDictionary& dictionary, const std::string& name)
{
    return PropertyList::write(pathForDomain(name), PlistValue(dictionary), PropertyList::Format::Binary);
}

void NSUserDefaults::removePersistentDomainForName(const std::string& name)
{
    std::error_code ignored;
    std::filesystem::remove(pathForDomain(name), ignored);
}
