#include "core/profile/HLProfile.h"

#include "core/profile/HLProfilesManager.h"

void HLProfile::enableORDisableDnD(bool on)
{
    HLProfilesManager::sharedManager().enableORDisableDnD(on);
}

void HLProfile::showORHideIconsOnSpringBoard(bool show)
{
    HLProfilesManager::sharedManager().showORHideIconsOnSpringBoard(show);
}

void HLProfile::updateDNDStatus()
{
    if (m_applied)
        enableORDisableDnD(m_dnDEnabled);
}

void HLProfile::updateShowStatuBarState()
{
    if (m_applied)
        showORHideIconsOnSpringBoard(m_showOnStatusBar);
}
