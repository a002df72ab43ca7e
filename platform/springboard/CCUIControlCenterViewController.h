#pragma once

#include "platform/foundation/NSObject.h"

#include <memory>
#include <vector>

// Control Center's view controller on OS 10. Its instance variable
// "_allPageContainerViewControllers" holds the pages left to right, each in a
// CCUIControlCenterPageContainerViewController: system controls
// (CCUISystemControlsPageViewController), now playing, home.
class CCUIControlCenterViewController : public NSObject {
public:
    CCUIControlCenterViewController();
    const std::vector<std::shared_ptr<NSObject>>& allPageContainerViewControllers() const { return m_pages; }

private:
    std::vector<std::shared_ptr<NSObject>> m_pages;
};
