#pragma once

#include "platform/foundation/NSObject.h"

#include <memory>
#include <vector>

// Control Center's view controller on OS 7 to 9. Its instance variable "_sectionList" holds the
// sections top to bottom: settings (SBCCSettingsSectionController), brightness, media controls,
// AirPlay and AirDrop, quick launch.
class SBControlCenterViewController : public NSObject {
public:
    SBControlCenterViewController();
    const std::vector<std::shared_ptr<NSObject>>& sectionList() const { return m_sectionList; }

private:
    std::vector<std::shared_ptr<NSObject>> m_sectionList;
};
