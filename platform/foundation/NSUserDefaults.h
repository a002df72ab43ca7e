#pragma once

#include "platform/foundation/PlistValue.h"

#include <filesystem>
#include <memory>
#include <optional>
#include <string>

// User defaults kept where the phone keeps them: a domain is the property-list dictionary
// "/var/mobile/Library/Preferences/<domain>.plist". Every write goes straight to the file
// (atomically) and every read reads it, so that two processes of one phone see each other's
// values without a cache to go stale.
class NSUserDefaults {
public:
    // The defaults of the process's main bundle identifier.
    static NSUserDefaults& standardUserDefaults();

    static std::filesystem::path pathForDomain(const std::string& domain);

    PlistValue objectForKey(const std::string& key) const;
    void setObject(const PlistValue& value, const std::string& key);
    void removeObjectForKey(const std::string& key);
    float floatForKey(const std::string& key) const { return objectForKey(key).floatValue(); }
    void setFloat(float value, const std::string& key) { setObject(PlistValue(value), key); }
    bool boolForKey(const std::string& key) const { return objectForKey(key).boolValue(); }
    void setBool(bool value, const std::string& key) { setObject(PlistValue(value), key); }
    long long integerForKey(const std::string& key) const { return objectForKey(key).longLongValue(); }

    // The whole dictionary of a domain; nullopt when the domain has no file.
    std::optional<PlistDictionary> persistentDomainForName(const std::string& domain) const;
    bool setPersistentDomain(const PlistDictionary& dictionary, const std::string& domain);
    void removePersistentDomainForName(const std::string& domain);

    // Values are written as they are set; kept for the callers that flush explicitly.
    bool synchronize() { return true; }

private:
    std::string domain() const;
};
