#include "platform/foundation/NSBundle.h"

#include "platform/machinery/DeviceRoot.h"
#include "platform/foundation/PropertyList.h"

#include <cstdlib>
#include <mutex>

namespace {

std::mutex& bundleMutex()
{
    static std::mutex mutex;
    return mutex;
}

std::shared_ptr<NSBundle>& mainBundleSlot()
{
    static std::shared_ptr<NSBundle> bundle;
    return bundle;
}

std::string bundleIdentifierAt(const std::filesystem::path& folder)
{
    auto info = PropertyList::read(folder / "Info.plist");
    if (info)
        if (auto identifier = (*info)["CFBundleIdentifier"].asString())
            return *identifier;
    return folder.stem().string();
}

}

std::shared_ptr<NSBundle> NSBundle::mainBundle()
{
    std::lock_guard lock(bundleMutex());
    auto& bundle = mainBundleSlot();
    if (!bundle) {
        const char* identifier = std::getenv("HUSHLINE_BUNDLE_IDENTIFIER");
        bundle = std::make_shared<NSBundle>(identifier && *identifier ? identifier : "com.velloq.hushline.host", std::nullopt);
    }
    return bundle;
}

void NSBundle::setMainBundleIdentifier(const std::string& identifier)
{
    std::lock_guard lock(bundleMutex());
    mainBundleSlot() = std::make_shared<NSBundle>(identifier, std::nullopt);
}

std::shared_ptr<NSBundle> NSBundle::bundleWithPath(const std::string& phonePath)
{
    auto folder = DeviceRoot::resolve(phonePath);
    std::error_code error;
    if (!std::filesystem::is_directory(folder, error))
        return nullptr;
    return std::make_shared<NSBundle>(bundleIdentifierAt(folder), folder);
}

std::string NSBundle::localizedStringForKey(const std::string& key, const std::string& value, const std::string& table) const
{
    std::string fallback = value.empty() ? key : value;
    if (!m_folder)
        return fallback;
    std::string tableName = (table.empty() ? "Localizable" : table) + ".strings";
    auto languages = NSLocalePreferredLanguages();
    languages.push_back("en");
    for (const auto& language : languages) {
        auto strings = PropertyList::read(*m_folder / (language + ".lproj") / tableName);
        if (!strings)
            continue;
        if (auto text = (*strings)[key].asString())
            return *text;
    }
    return fallback;
}

std::vector<std::string> NSLocalePreferredLanguages()
{
    std::vector<std::string> languages;
    auto global = PropertyList::read(DeviceRoot::resolve("/var/mobile/Library/Preferences/.GlobalPreferences.plist"));
    if (global)
        if (auto list = plistStringArray((*global)["AppleLanguages"]))
            languages = *list;
    if (languages.empty())
        languages.push_back("en");
    return languages;
}
