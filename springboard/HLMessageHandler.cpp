#include "springboard/HLMessageHandler.h"

#include "core/HLLog.h"
#include "core/profile/HLProfilesManager.h"
#include "platform/mobiletimer/AlarmManager.h"

namespace {

const PlistValue& lookup(const PlistDictionary& dictionary, const char* key)
{
    static const PlistValue none;
    auto it = dictionary.find(key);
    return it == dictionary.end() ? none : it->second;
}

}

void HLMessageHandler::handleHushlineMessageNamed(SpringBoard&, const std::string& name, const PlistDictionary& userInfo)
{
    NSLog("HLMessageHandler::handleHushlineMessageNamed: %s userInfo: %s", name.c_str(), PlistValue(userInfo).description().c_str());
    if (name == "com.apple.mobiletimer.hushline.alarmStatusChanged")
        alarmStatusChanged(userInfo);
    else if (name == "com.velloq.HushlineProfileUpdateMessageKey")
        updateProfile(userInfo);
    // Insert, delete and SpringBoard-update messages are accepted and change nothing.
}

void HLMessageHandler::alarmStatusChanged(const PlistDictionary& userInfo)
{
    // The clock's manager is looked up once and kept.
    static const auto manager = AlarmManager::sharedManager();
    const PlistValue& identifier = lookup(userInfo, "alarmId");
    auto alarm = manager->alarmWithId(identifier);
    if (!alarm) {
        HLLogWarning("No clock alarm with id %s, hence ignoring the alarm status change", identifier.description().c_str());
        return;
    }
    manager->setAlarm(alarm, lookup(userInfo, "ative").boolValue());
}

void HLMessageHandler::updateProfile(const PlistDictionary& userInfo)
{
    int64_t identifier = lookup(userInfo, "ProfileIdentifier").longLongValue();
    auto& store = HLProfilesManager::sharedManager();
    auto profile = store.profileByIdentifier(identifier);
    if (!profile)
        return;
    if (auto changes = lookup(userInfo, "ChangedData").asDictionary()) {
        for (const auto& [key, value] : *changes) {
            // A key that names no field, or a value the field cannot take, is left out; the rest
            // of the change still applies.
            if (!profile->setValueForKey(value, key))
                HLLogError("Ignoring changed data \"%s\" = %s for profile %ld: no such property or a value of the wrong type",
                    key.c_str(), value.description().c_str(), static_cast<long>(identifier));
        }
    }
    store.updateProfile(profile, nullptr, [identifier](const NSError& error) {
        HLLogError("Error while updating profile %ld & error: %s", static_cast<long>(identifier), error.description().c_str());
    });
}
