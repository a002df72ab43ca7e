#pragma once

#include <memory>
#include <string>

class PSListController;

// Loads a preference bundle of the phone the way the Settings app does: the bundle's binary
// (CFBundleExecutable of its Info.plist) is loaded, which runs its module constructor and
// registers its classes, and an instance of the Info.plist's NSPrincipalClass becomes the
// bundle's first screen. Throws std::runtime_error, naming what is missing, when it cannot.
class PreferenceBundleLoader {
public:
    static std::shared_ptr<PSListController> loadRootController(const std::string& bundlePhonePath);
};
