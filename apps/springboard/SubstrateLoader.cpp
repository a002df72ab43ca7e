#include "apps/springboard/SubstrateLoader.h"

#include "apps/springboard/OpenStepPlist.h"
#include "platform/machinery/DeviceRoot.h"
#include "platform/foundation/NSLog.h"
#include "platform/foundation/PropertyList.h"

#include <algorithm>
#include <dlfcn.h>
#include <fstream>
#include <sstream>

namespace {

std::optional<PlistValue> readFilter(const std::filesystem::path& file, std::string* why)
{
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        if (why)
            *why = "cannot be read";
        return std::nullopt;
    }
    std::ostringstream bytes;
    bytes << in.rdbuf();
    std::string text = bytes.str();
    if (auto value = PropertyList::parse(text))
        return value;
    return parseOpenStepPlist(text, why);
}

}

bool SubstrateLoader::filterNamesBundle(const std::filesystem::path& filter, const std::string& bundleIdentifier, std::string* why)
{
    auto value = readFilter(filter, why);
    if (!value)
        return false;
    const PlistValue& bundles = (*value)["Filter"]["Bundles"];
    const PlistArray* list = bundles.asArray();
    if (!list) {
        if (why)
            *why = "has no Filter / Bundles list";
        return false;
    }
    return std::any_of(list->begin(), list->end(), [&](const PlistValue& entry) {
        return entry.asString() && *entry.asString() == bundleIdentifier;
    });
}

std::vector<std::filesystem::path> SubstrateLoader::librariesForBundle(const std::filesystem::path& folder, const std::string& bundleIdentifier)
{
    std::vector<std::filesystem::path> libraries;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
        const auto& library = entry.path();
        if (library.extension() != ".dylib" || !entry.is_regular_file(error))
            continue;
        auto filter = std::filesystem::path(library).replace_extension(".plist");
        std::string why;
        if (!std::filesystem::exists(filter, error))
            continue;
        if (filterNamesBundle(filter, bundleIdentifier, &why))
            libraries.push_back(library);
        else if (!why.empty())
            NSLog("MobileSubstrate: the filter %s %s; %s is not loaded", filter.c_str(), why.c_str(), library.filename().c_str());
    }
    std::sort(libraries.begin(), libraries.end());
    return libraries;
}

size_t SubstrateLoader::loadLibraries(const std::string& bundleIdentifier)
{
    size_t loaded = 0;
    for (const auto& library : librariesForBundle(DeviceRoot::resolve(kFolder), bundleIdentifier)) {
        if (!dlopen(library.c_str(), RTLD_NOW | RTLD_GLOBAL)) {
            const char* why = dlerror();
            NSLog("MobileSubstrate: cannot load %s: %s", library.c_str(), why ? why : "unknown error");
            continue;
        }
        NSLog("MobileSubstrate: loaded %s", library.filename().c_str());
        ++loaded;
    }
    return loaded;
}
