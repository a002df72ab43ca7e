#pragma once

#include "apps/common/InstalledFiles.h"

#include <filesystem>
#include <string>
#include <vector>

// Lays Hushline's payload out into a device root, as the package lays it out on a phone:
//   Library/MobileSubstrate/DynamicLibraries/   libhushline.dylib, Hushline.dylib + Hushline.plist,
//                                               libstatusbar.dylib (the optional status-bar library)
//   Library/PreferenceBundles/HushlinePreferences.bundle/   the settings bundle
//   System/Library/PrivateFrameworks/PreferencesUI.framework/   the Settings app's own images
//   System/Library/CoreServices/SystemVersion.plist   the OS version (13.3 unless already set)
// and the phone's folders that the system expects. Every payload file is a link to the installed
// one, so a boot copies nothing and needs no build tool, and an updated or moved install is
// followed by the next boot. Links already right are left alone.
class PhonePayload {
public:
    explicit PhonePayload(InstalledFiles files);

    // Throws PhonectlError when an installed file is missing or the root cannot be written.
    void layOut(const std::filesystem::path& root) const;

    struct Link {
        std::filesystem::path inRoot;
        std::filesystem::path installed;
    };
    // Every payload file with where it lies in the installed tree.
    std::vector<Link> links() const;

private:
    InstalledFiles m_files;
};
