#pragma once

#include "platform/foundation/NSObject.h"

#include <memory>

// Celestial's older player controller. The class exists on OS versions 7 and 8 only (look it up
// with NSClassFromString("AVController")); its volume is the system volume (see
// AVSystemController's "Volume" category).
class AVController : public NSObject {
public:
    // +avController: a new controller.
    static std::shared_ptr<AVController> avController();
    float volume() const;
};
