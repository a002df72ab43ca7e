#pragma once

#include "platform/foundation/FileWatch.h"

#include <filesystem>
#include <string>

// Keeps the Settings app on what is stored while the home screen comes and goes. On a phone a
// respring ends the Settings app; here it lives on, so it reloads the store, and every open
// screen reloads as it does on the home screen's applied-state notice, when
// - a home screen has launched anew (its launch file names another process): it may have
//   written a default profile without announcing it;
// - another process replaced the profiles file without a notice (the reset removes it).
class HomeScreenFollower {
public:
    explicit HomeScreenFollower(const std::filesystem::path& root);

private:
    void launchFileChanged();
    void profilesFileChanged();
    void reloadScreens();
    std::string launchedProcess() const;

    std::filesystem::path m_launchFile;
    std::string m_process;
    FileWatch m_launchWatch;
    FileWatch m_profilesWatch;
};
