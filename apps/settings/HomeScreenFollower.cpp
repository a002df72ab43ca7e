#include "apps/settings/HomeScreenFollower.h"

#include "core/profile/HLProfilesManager.h"
#include "platform/device/PhoneControl.h"
#include "platform/foundation/NSLog.h"
#include "platform/foundation/NSNotificationCenter.h"
#include "platform/machinery/AtomicFile.h"

namespace {

std::filesystem::path existingFolderOf(const std::filesystem::path& file)
{
    std::error_code error;
    std::filesystem::create_directories(file.parent_path(), error);
    return file;
}

}

HomeScreenFollower::HomeScreenFollower(const std::filesystem::path& root)
    : m_launchFile(existingFolderOf(PhoneControl::launchedPath(root)))
    , m_process(launchedProcess())
    , m_launchWatch(m_launchFile, [this] { launchFileChanged(); })
    , m_profilesWatch(existingFolderOf(HLProfilesManager::profilesFilePath()), [this] { profilesFileChanged(); })
{
}

std::string HomeScreenFollower::launchedProcess() const
{
    std::string text;
    if (!readFile(m_launchFile, text))
        return {};
    while (!text.empty() && (text.back() == '\n' || text.back() == ' '))
        text.pop_back();
    return text;
}

void HomeScreenFollower::launchFileChanged()
{
    std::string process = launchedProcess();
    // The file is removed while a home screen starts and stops; only a finished launch counts.
    if (process.empty() || process == m_process)
        return;
    m_process = process;
    NSLog("Settings: the home screen launched (process %s); showing what is stored", process.c_str());
    reloadScreens();
}

void HomeScreenFollower::profilesFileChanged()
{
    if (HLProfilesManager::sharedManager().isFileReplacedSinceRead())
        reloadScreens();
}

void HomeScreenFollower::reloadScreens()
{
    HLProfilesManager::sharedManager().reloadProfiles();
    NSNotificationCenter::defaultCenter().postNotificationName(kHLProfileAppliedStateChangedNotification);
}
