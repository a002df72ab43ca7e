#pragma once

#include "platform/eventkit/EKEvent.h"

#include <memory>

class HLProfile;

// What a scheduled event carries: the profile it is scheduled for and whether that profile was
// applied for it. Both live on the one event object only; a fetched event carries neither.

std::shared_ptr<HLProfile> hl_profile(const std::shared_ptr<EKEvent>&);
void hl_setProfile(const std::shared_ptr<EKEvent>&, std::shared_ptr<HLProfile>);

// NO until set.
bool hl_isProfileApplied(const std::shared_ptr<EKEvent>&);
void hl_setProfileApplied(const std::shared_ptr<EKEvent>&, bool);

// NO for a canceled event; otherwise whether now lies between the event's start and end, both
// included.
bool hl_isOccuring(const std::shared_ptr<EKEvent>&);
