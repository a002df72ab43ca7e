#include "core/profile/HLProfilesManager.h"

#include "platform/foundation/NSNotificationCenter.h"

// The start-up of the whole singleton, and its end: besides the store it sets up the icon and the
// volume watch of this layer. Its class's table of virtual functions goes with the destructor:
// the store's class answers the volume watch's alert, so the table cannot live below this layer.

HLProfilesManager::~HLProfilesManager()
{
    NSNotificationCenter::defaultCenter().removeObserver(this);
}

void HLProfilesManager::initialize()
{
    setUpStatusBarItem();
    m_scheduledEventsDict.clear();
    loadProfiles();
    NSNotificationCenter::defaultCenter().addObserver(this, "AVSystemController_SystemVolumeDidChangeNotification", nullptr,
        [this](const NSNotification& notification) { volumeChanged(notification); });
}
