#pragma once

#include "core/schedule/HLSchedulingDecision.h"

#include <memory>
#include <vector>

class EKEvent;
class HLProfile;

// What the scheduler's decisions read of a profile and of its events. The joined network is not
// read here: the scheduler looks it up where it decides on it, and sets `atOwnNetwork` itself.
HLProfileFacts hl_profileFacts(HLProfile&);
HLEventFacts hl_eventFacts(const EKEvent&);
std::vector<HLEventFacts> hl_eventFacts(const std::vector<std::shared_ptr<EKEvent>>&);
