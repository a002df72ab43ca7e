#include "apps/phonectl/PhonePayload.h"

#include "apps/phonectl/ControlClient.h"
#include "platform/foundation/PropertyList.h"

#include <set>

namespace {

constexpr const char* kDynamicLibraries = "Library/MobileSubstrate/DynamicLibraries";
constexpr const char* kPreferenceBundle = "Library/PreferenceBundles/HushlinePreferences.bundle";

// The binaries: the library folder holds them flat, the device root where the system loads them.
const std::pair<const char*, const char*> kBinaries[] = {
    { "libhushline.dylib", kDynamicLibraries },
    { "Hushline.dylib", kDynamicLibraries },
    { "libstatusbar.dylib", kDynamicLibraries },
    { "HushlinePreferences", kPreferenceBundle },
};

const char* const kPhoneFolders[] = { "tmp", "var/run", "var/log", "var/mobile/Library/Preferences",
    "var/mobile/Calendars", "System/Library/CoreServices" };

void linkFile(const std::filesystem::path& at, const std::filesystem::path& target)
{
    std::error_code error;
    if (std::filesystem::is_symlink(at, error) && std::filesystem::read_symlink(at, error) == target)
        return;
    std::filesystem::create_directories(at.parent_path(), error);
    std::filesystem::remove(at, error);
    std::filesystem::create_symlink(target, at, error);
    if (error)
        throw PhonectlError("cannot link " + at.string() + " to " + target.string() + ": " + error.message());
}

// A link left from a file that the install no longer has.
void removeBrokenLinks(const std::filesystem::path& folder)
{
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error))
        if (entry.is_symlink(error) && !std::filesystem::exists(entry.path(), error))
            std::filesystem::remove(entry.path(), error);
}

void writeDefaultSystemVersion(const std::filesystem::path& root)
{
    auto path = root / "System/Library/CoreServices/SystemVersion.plist";
    if (std::filesystem::exists(path))
        return;
    PlistDictionary plist { { "ProductName", PlistValue("iPhone OS") }, { "ProductVersion", PlistValue("13.3") } };
    std::string error;
    if (!PropertyList::write(path, PlistValue(plist), PropertyList::Format::XML, &error))
        throw PhonectlError("cannot write " + path.string() + ": " + error);
}

}

PhonePayload::PhonePayload(InstalledFiles files)
    : m_files(std::move(files))
{
}

std::vector<PhonePayload::Link> PhonePayload::links() const
{
    std::vector<Link> links;
    for (const auto& [name, folder] : kBinaries)
        links.push_back({ std::filesystem::path(folder) / name, m_files.library() / name });
    std::error_code error;
    auto data = m_files.deviceData();
    for (auto it = std::filesystem::recursive_directory_iterator(data, std::filesystem::directory_options::follow_directory_symlink, error); !error && it != std::filesystem::recursive_directory_iterator(); it.increment(error))
        if (!it->is_directory(error))
            links.push_back({ it->path().lexically_relative(data), it->path() });
    return links;
}

void PhonePayload::layOut(const std::filesystem::path& root) const
{
    if (!std::filesystem::is_directory(m_files.deviceData()))
        throw PhonectlError("Hushline's files are incomplete: " + m_files.deviceData().string() + " is missing");
    std::error_code error;
    for (const char* folder : kPhoneFolders)
        std::filesystem::create_directories(root / folder, error);
    std::set<std::filesystem::path> folders;
    for (const auto& link : links()) {
        if (!std::filesystem::exists(link.installed))
            throw PhonectlError("Hushline's files are incomplete: " + link.installed.string() + " is missing");
        linkFile(root / link.inRoot, link.installed);
        folders.insert((root / link.inRoot).parent_path());
    }
    for (const auto& folder : folders)
        removeBrokenLinks(folder);
    writeDefaultSystemVersion(root);
}
