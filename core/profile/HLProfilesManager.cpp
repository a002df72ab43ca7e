#include "core/profile/HLProfilesManager.h"

#include "core/HLLog.h"
#include "platform/foundation/DarwinNotifyCenter.h"
#include "platform/machinery/DeviceRoot.h"
#include "platform/foundation/NSBundle.h"
#include "platform/foundation/NSNotificationCenter.h"
#include "platform/foundation/PropertyList.h"
#include "platform/foundation/PropertyListMemory.h"

#include <algorithm>
#include <cstdio>
#include <mutex>

namespace {

thread_local bool initializingSharedManager = false;

}

std::shared_ptr<HLProfilesManager> HLProfilesManager::sharedManagerObject()
{
    // The centre outlives the manager, which stops observing it when destroyed.
    static NSNotificationCenter& center = NSNotificationCenter::defaultCenter();
    (void)center;
    static const auto manager = std::make_shared<HLProfilesManager>();
    static std::once_flag initialized;
    // Start-up may reach the singleton again (a default profile asks for its title); that call
    // gets the object being started rather than waiting for itself.
    if (!initializingSharedManager) {
        std::call_once(initialized, [] {
            initializingSharedManager = true;
            manager->initialize();
            initializingSharedManager = false;
        });
    }
    return manager;
}

HLProfilesManager& HLProfilesManager::sharedManager()
{
    return *sharedManagerObject();
}

HLProfilesManager::HLProfilesManager() = default;

std::filesystem::path HLProfilesManager::profilesFilePath()
{
    return DeviceRoot::resolve(kHLProfilesFilePath);
}

std::filesystem::path HLProfilesManager::settingsFilePath()
{
    return DeviceRoot::resolve(kHLSettingsFilePath);
}

bool HLProfilesManager::isHushlineEnabled()
{
    auto settings = PropertyList::read(settingsFilePath());
    return settings && (*settings)[kHLEnabledKey].boolValue();
}

void HLProfilesManager::createAndSaveDefaultProfile()
{
    std::error_code error;
    if (PropertyList::exists(profilesFilePath(), error) || error)
        return;
    PlistArray entries { PlistValue(HLProfile::defaultProfile()->dictionaryRepresentation()) };
    PropertyList::write(profilesFilePath(), PlistValue(std::move(entries)), PropertyList::Format::XML);
}

void HLProfilesManager::loadProfiles()
{
    m_profiles.clear();
    std::error_code error;
    if (!PropertyList::exists(profilesFilePath(), error)) {
        rememberFile(std::nullopt, {});
        return;
    }
    std::string reason;
    std::optional<PlistValue> file;
    std::optional<std::string> bytes;
    // The bytes read are the ones parsed, so that a write by another process in between is not
    // taken for what this process has seen.
    if (PropertyListMemory::isEnabled()) {
        file = PropertyList::read(profilesFilePath(), &reason);
    } else {
        bytes = PropertyList::diskBytes(profilesFilePath());
        if (bytes)
            file = PropertyList::parse(*bytes, &reason);
        else
            reason = "it cannot be read";
    }
    if (!file || !file->isArray()) {
        // An unreadable file loads as no profiles, but its content is kept aside before a save
        // could replace it.
        if (!m_profilesFileCorrupt)
            HLLogWarning("The profiles file %s cannot be read (%s); it is kept as %s.corrupt before profiles are saved again",
                profilesFilePath().c_str(), file ? "its top level is not an array" : reason.c_str(), profilesFilePath().filename().c_str());
        m_profilesFileCorrupt = true;
        rememberFile(std::move(bytes), {});
        return;
    }
    m_profilesFileCorrupt = false;
    size_t index = 0;
    for (const auto& element : *file->asArray()) {
        if (auto entry = element.asDictionary())
            m_profiles.push_back(HLProfile::initWithDictionary(*entry));
        else
            HLLogWarning("Skipping element %zu of the profiles file: it is not a dictionary", index);
        ++index;
    }
    rememberFile(std::move(bytes), *file->asArray());
}

void HLProfilesManager::rememberFile(std::optional<std::string> bytes, const PlistArray& entries)
{
    m_knownFileBytes = std::move(bytes);
    m_knownEntries.clear();
    for (const auto& element : entries)
        if (auto entry = element.asDictionary())
            if (auto found = entry->find("identifier"); found != entry->end() && found->second.asInteger())
                m_knownEntries.emplace(*found->second.asInteger(), *entry);
}

bool HLProfilesManager::isFileReplacedSinceRead() const
{
    // Files kept in memory are this process's alone.
    if (PropertyListMemory::isEnabled())
        return false;
    return PropertyList::diskBytes(profilesFilePath()) != m_knownFileBytes;
}

bool HLProfilesManager::catchUpWithFile()
{
    if (!isFileReplacedSinceRead())
        return false;
    HLLogInfo("The profiles file was replaced by another process; reading it before saving");
    loadProfiles();
    return true;
}

std::vector<std::string> HLProfilesManager::changedKeys(const std::shared_ptr<HLProfile>& profile, const PlistDictionary& entry) const
{
    std::vector<std::string> keys;
    auto known = m_knownEntries.find(profile->identifier());
    for (const auto& [key, value] : entry) {
        auto before = known == m_knownEntries.end() ? nullptr : &known->second;
        auto old = before ? before->find(key) : PlistDictionary::const_iterator();
        if (!before || old == before->end() || old->second != value)
            keys.push_back(key);
    }
    if (known != m_knownEntries.end())
        for (const auto& [key, value] : known->second)
            if (!entry.count(key))
                keys.push_back(key);
    return keys;
}

void HLProfilesManager::preserveCorruptFileIfNeeded()
{
    if (!m_profilesFileCorrupt)
        return;
    auto path = profilesFilePath();
    auto copy = path;
    copy += ".corrupt";
    std::error_code error;
    if (PropertyList::exists(path, error)) {
        auto content = PropertyList::read(path);
        if (!content || !content->isArray())
            std::filesystem::copy_file(path, copy, std::filesystem::copy_options::overwrite_existing, error);
    }
    if (error)
        HLLogWarning("Cannot keep the unreadable profiles file as %s: %s", copy.c_str(), error.message().c_str());
    m_profilesFileCorrupt = false;
}

bool HLProfilesManager::saveAllProfilesToDisk(const std::shared_ptr<HLProfile>& profile, bool post, const std::string& notificationName)
{
    PlistArray entries;
    entries.reserve(m_profiles.size());
    for (const auto& record : m_profiles)
        entries.emplace_back(record->dictionaryRepresentation());

    preserveCorruptFileIfNeeded();
    std::string reason;
    std::string bytes;
    PlistValue list(std::move(entries));
    bool written = PropertyList::write(profilesFilePath(), list, PropertyList::Format::XML, &reason, &bytes);
    if (!written) {
        HLLogError("Cannot write the profiles file: %s", reason.c_str());
        return false;
    }
    rememberFile(PropertyListMemory::isEnabled() ? std::nullopt : std::optional<std::string>(std::move(bytes)), *list.asArray());
    HLLogInfo("Profiles saved successfully to the disk.");
    if (post) {
        HLLogInfo("Posting notification: %s", notificationName.c_str());
        PlistDictionary userInfo;
        if (profile)
            userInfo["profile"] = PlistValue(profile);
        NSNotificationCenter::defaultCenter().postNotificationName(notificationName, nullptr, std::move(userInfo));
        CFNotificationCenterPostNotification(CFNotificationCenterGetDarwinNotifyCenter(), notificationName, nullptr, nullptr, true);
    }
    return true;
}

void HLProfilesManager::addProfile(const std::shared_ptr<HLProfile>& profile, Success success, Failure failure)
{
    catchUpWithFile();
    if (isProfileNameAlreadyExists(profile->title())) {
        if (failure)
            failure(storeError("Unable to add profile.", "Profile name already exist.", "Change profile name and try."));
        return;
    }
    // Identifiers are creation seconds, so two profiles made within one second would collide;
    // the newcomer moves to the next free second so that update and delete find each of them.
    auto taken = [this](int64_t identifier) {
        return std::any_of(m_profiles.begin(), m_profiles.end(), [&](const auto& p) { return p->identifier() == identifier; });
    };
    while (taken(profile->identifier()))
        profile->setIdentifier(profile->identifier() + 1);

    m_profiles.push_back(profile);
    if (saveAllProfilesToDisk(profile, true, kHLProfileAddedNotification)) {
        if (success)
            success();
    } else if (failure) {
        failure(storeError("Unable to save profiles to disk."));
    }
}

bool HLProfilesManager::stageUpdate(const std::shared_ptr<HLProfile>& profile, const Failure& failure)
{
    profile->setUpdatedDate(NSDate::date());
    if (isFileReplacedSinceRead()) {
        auto mine = profile->dictionaryRepresentation();
        auto changed = changedKeys(profile, mine);
        HLLogInfo("The profiles file was replaced by another process; reading it before saving");
        loadProfiles();
        auto stored = std::find_if(m_profiles.begin(), m_profiles.end(), [&](const auto& p) { return p->identifier() == profile->identifier(); });
        if (stored != m_profiles.end()) {
            // The one change this process made, on top of what the other process stored.
            auto merged = (*stored)->dictionaryRepresentation();
            for (const auto& key : changed) {
                if (auto value = mine.find(key); value != mine.end())
                    merged[key] = value->second;
                else
                    merged.erase(key);
            }
            profile->setPropertiesFromDicitonary(merged);
        }
    }
    auto it = std::find_if(m_profiles.begin(), m_profiles.end(), [&](const auto& p) { return p->identifier() == profile->identifier(); });
    if (it == m_profiles.end()) {
        if (failure)
            failure(storeError("Unable to update profile.", "Trying to update a profile that is not yet saved to disk.", "Is Profile saved to disk?"));
        return false;
    }
    *it = profile;
    return true;
}

void HLProfilesManager::updateProfile(const std::shared_ptr<HLProfile>& profile, Success success, Failure failure)
{
    if (!stageUpdate(profile, failure))
        return;
    if (saveAllProfilesToDisk(profile, true, kHLProfileChangedNotification)) {
        HLLogInfo("Profile updated successfully.");
        if (success)
            success();
    } else if (failure) {
        failure(storeError("Unable to save profiles to disk."));
    }
}

void HLProfilesManager::deleteProfile(const std::shared_ptr<HLProfile>& profile, Success success, Failure failure)
{
    profile->setUpdatedDate(NSDate::date());
    catchUpWithFile();
    auto it = std::find_if(m_profiles.begin(), m_profiles.end(), [&](const auto& p) { return p->identifier() == profile->identifier(); });
    if (it == m_profiles.end()) {
        if (failure)
            failure(storeError("Unable to delete profile.", "Trying to delete a profile that is not yet available.", "Is Profile saved to disk?"));
        return;
    }
    m_profiles.erase(it);
    if (saveAllProfilesToDisk(profile, true, kHLProfileDeletedNotification)) {
        if (success)
            success();
    } else if (failure) {
        failure(storeError("Unable to remove and save profiles to disk."));
    }
}

bool HLProfilesManager::isProfileNameAlreadyExists(const std::optional<std::string>& title) const
{
    if (!title)
        return false;
    return std::any_of(m_profiles.begin(), m_profiles.end(), [&](const auto& p) { return p->title() == title; });
}

int64_t HLProfilesManager::unusedIdentifier(int64_t candidate)
{
    loadProfilesIfEmpty();
    catchUpWithFile();
    auto taken = [this](int64_t identifier) {
        return std::any_of(m_profiles.begin(), m_profiles.end(), [&](const auto& p) { return p->identifier() == identifier; });
    };
    while (taken(candidate))
        ++candidate;
    return candidate;
}

std::string HLProfilesManager::defaultProfileTitle() const
{
    std::string base = localizedText("Profile");
    std::string candidate = base;
    for (int n = 1; isProfileNameAlreadyExists(candidate); ++n)
        candidate = base + " - " + std::to_string(n);
    return candidate;
}

void HLProfilesManager::loadProfilesIfEmpty()
{
    if (m_profiles.empty())
        loadProfiles();
}

std::vector<std::shared_ptr<HLProfile>> HLProfilesManager::activeProfiles()
{
    loadProfilesIfEmpty();
    std::vector<std::shared_ptr<HLProfile>> result;
    std::copy_if(m_profiles.begin(), m_profiles.end(), std::back_inserter(result),
        [](const auto& p) { return p->isEnabled() || p->isApplied(); });
    return result;
}

std::vector<std::shared_ptr<HLProfile>> HLProfilesManager::disabledProfiles()
{
    loadProfilesIfEmpty();
    std::vector<std::shared_ptr<HLProfile>> result;
    std::copy_if(m_profiles.begin(), m_profiles.end(), std::back_inserter(result), [](const auto& p) { return !p->isEnabled(); });
    return result;
}

std::shared_ptr<HLProfile> HLProfilesManager::activeProfileByName(const std::string& title)
{
    loadProfilesIfEmpty();
    auto it = std::find_if(m_profiles.begin(), m_profiles.end(), [&](const auto& p) { return p->isEnabled() && p->title() == title; });
    return it == m_profiles.end() ? nullptr : *it;
}

std::shared_ptr<HLProfile> HLProfilesManager::profileByIdentifier(int64_t identifier)
{
    return profileByIdentifier(identifier, false);
}

std::shared_ptr<HLProfile> HLProfilesManager::profileByIdentifier(int64_t identifier, bool shouldReload)
{
    if (shouldReload)
        loadProfiles();
    else
        loadProfilesIfEmpty();
    auto it = std::find_if(m_profiles.begin(), m_profiles.end(), [&](const auto& p) { return p->identifier() == identifier; });
    return it == m_profiles.end() ? nullptr : *it;
}

std::string HLProfilesManager::localizedText(const std::string& key)
{
    auto bundle = NSBundle::bundleWithPath(kHLPreferencesBundlePath);
    if (!bundle)
        bundle = NSBundle::mainBundle();
    return bundle->localizedStringForKey(key, {}, {});
}

NSError HLProfilesManager::storeError(const std::string& description, const std::string& reason, const std::string& suggestion) const
{
    NSError error { NSBundle::mainBundle()->bundleIdentifier(), 1, {} };
    error.userInfo[NSLocalizedDescriptionKey] = localizedText(description);
    if (!reason.empty())
        error.userInfo[NSLocalizedFailureReasonErrorKey] = localizedText(reason);
    if (!suggestion.empty())
        error.userInfo[NSLocalizedRecoverySuggestionErrorKey] = localizedText(suggestion);
    return error;
}
