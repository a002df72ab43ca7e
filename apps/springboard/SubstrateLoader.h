#pragma once

#include <filesystem>
#include <string>
#include <vector>

// The hooking framework's loader, as the home-screen host runs it at start: every library
// "<name>.dylib" of the phone's "/Library/MobileSubstrate/DynamicLibraries" whose filter file
// "<name>.plist" lists the host's bundle identifier under Filter / Bundles is loaded, in the
// order of the file names. A library without a filter file (libhushline.dylib, which the
// plug-in links) or whose filter names other bundles is left alone. Loading runs the library's
// load-time constructors, which is how a plug-in starts.
class SubstrateLoader {
public:
    static constexpr const char* kFolder = "/Library/MobileSubstrate/DynamicLibraries";

    // The libraries of the folder to load into the bundle, in loading order.
    static std::vector<std::filesystem::path> librariesForBundle(const std::filesystem::path& folder, const std::string& bundleIdentifier);

    // Whether the filter file lists the bundle. The file may be an OpenStep text, XML or binary
    // property list; an unreadable or malformed one lists nothing (the reason goes to *why).
    static bool filterNamesBundle(const std::filesystem::path& filter, const std::string& bundleIdentifier, std::string* why = nullptr);

    // Loads the libraries for the bundle from the device root's folder and returns how many
    // loaded. A library that fails to load is logged and skipped; loaded libraries stay loaded
    // for the life of the process.
    static size_t loadLibraries(const std::string& bundleIdentifier);
};
