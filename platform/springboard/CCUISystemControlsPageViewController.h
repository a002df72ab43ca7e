#pragma once

#include "platform/foundation/NSObject.h"

#include <memory>
#include <vector>

// The system-controls page of Control Center on OS 10. Its instance variable "_sectionList"
// holds the sections top to bottom: settings (CCUISettingsSectionController), brightness,
// Night Shift, AirPlay and AirDrop, quick launch.
class CCUISystemControlsPageViewController : public NSObject {
public:
    CCUISystemControlsPageViewController();
    const std::vector<std::shared_ptr<NSObject>>& sectionList() const { return m_sectionList; }

private:
    std::vector<std::shared_ptr<NSObject>> m_sectionList;
};
