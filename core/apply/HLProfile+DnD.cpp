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
    if (!m_applied)
        return;
    if (m_dnDEnabled)
        enableORDisableDnD(true);
    else if (!isDnDWantedByAnotherAppliedProfile())
        enableORDisableDnD(false);
}

namespace {

bool anotherAppliedProfile(const HLProfile& self, bool (HLProfile::*wants)() const)
{
    for (const auto& profile : HLProfilesManager::sharedManager().activeProfiles())
        if (profile->identifier() != self.identifier() && profile->isApplied() && ((*profile).*wants)())
            return true;
    return false;
}

}

bool HLProfile::isDnDWantedByAnotherAppliedProfile() const
{
    return anotherAppliedProfile(*this, &HLProfile::isDnDEnabled);
}

bool HLProfile::isVibrationWantedByAnotherAppliedProfile() const
{
    return anotherAppliedProfile(*this, &HLProfile::isVibrate);
}

void HLProfile::updateShowStatuBarState()
{
    if (m_applied)
        showORHideIconsOnSpringBoard(m_showOnStatusBar);
}
