#pragma once

#include "platform/foundation/NSObject.h"

#include <memory>

// One page of Control Center on OS 10, holding the page's own view controller.
class CCUIControlCenterPageContainerViewController : public NSObject {
public:
    explicit CCUIControlCenterPageContainerViewController(std::shared_ptr<NSObject> content) : m_content(std::move(content)) { }
    const std::shared_ptr<NSObject>& contentViewController() const { return m_content; }

private:
    std::shared_ptr<NSObject> m_content;
};
