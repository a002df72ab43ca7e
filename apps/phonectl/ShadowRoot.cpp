#include "apps/phonectl/ShadowRoot.h"

#include "platform/foundation/PropertyList.h"

#include <cstdlib>
#include <stdexcept>
#include <unistd.h>

namespace {

constexpr const char* kProfilesFile = "var/mobile/Library/Preferences/com.velloq.hushline.profiles.plist";
constexpr const char* kCopied[] = {
    kProfilesFile,
    "var/mobile/Library/Preferences/com.velloq.hushline.plist",
    "var/preferences/SystemConfiguration/com.apple.wifi.plist",
    "System/Library/CoreServices/SystemVersion.plist",
    "var/mobile/Library/Preferences/com.apple.celestial.plist",
};
constexpr const char* kCalendars = "var/mobile/Calendars";

// Where the shadow phone's root goes: a memory file system when the machine has one (the
// shadow phone saves its files many times over a day, and they are thrown away after), else /tmp.
std::filesystem::path shadowRootsFolder()
{
    for (const char* folder : { static_cast<const char*>(std::getenv("XDG_RUNTIME_DIR")), "/dev/shm" })
        if (folder && *folder == '/' && access(folder, W_OK | X_OK) == 0)
            return folder;
    return "/tmp";
}

}

ShadowRoot::ShadowRoot(const std::filesystem::path& realRoot, bool startOfDay)
{
    std::string pattern = (shadowRootsFolder() / "hushline-today-XXXXXX").string();
    if (!mkdtemp(pattern.data()))
        throw std::runtime_error("cannot make a folder for the shadow phone under " + shadowRootsFolder().string());
    m_path = pattern;
    std::filesystem::create_directories(m_path / "tmp");
    std::filesystem::create_directories(m_path / "var/mobile/Library/Preferences");
    for (const char* phonePath : kCopied)
        copy(realRoot, phonePath);
    linkCalendars(realRoot);
    if (startOfDay)
        markNothingApplied();
}

ShadowRoot::~ShadowRoot()
{
    std::error_code ignored;
    std::filesystem::remove_all(m_path, ignored);
}

void ShadowRoot::copy(const std::filesystem::path& realRoot, const char* phonePath)
{
    std::error_code error;
    auto source = realRoot / phonePath;
    if (!std::filesystem::is_regular_file(source, error))
        return;
    auto target = m_path / phonePath;
    std::filesystem::create_directories(target.parent_path(), error);
    if (!std::filesystem::copy_file(source, target, std::filesystem::copy_options::overwrite_existing, error))
        throw std::runtime_error("cannot copy " + source.string() + ": " + error.message());
}

void ShadowRoot::linkCalendars(const std::filesystem::path& realRoot)
{
    std::error_code error;
    auto target = m_path / kCalendars;
    auto real = std::filesystem::canonical(realRoot / kCalendars, error);
    if (error || !std::filesystem::is_directory(real, error)) {
        std::filesystem::create_directories(target, error);
        return;
    }
    std::filesystem::create_directory_symlink(real, target, error);
    if (error)
        throw std::runtime_error("cannot link the phone's calendars into the shadow phone: " + error.message());
}

void ShadowRoot::markNothingApplied()
{
    auto path = m_path / kProfilesFile;
    auto profiles = PropertyList::read(path);
    if (!profiles || !profiles->isArray())
        return;
    PlistArray entries = *profiles->asArray();
    for (auto& entry : entries)
        if (auto* fields = entry.asDictionary())
            (*fields)["applied"] = false;
    PropertyList::write(path, PlistValue(std::move(entries)));
}
