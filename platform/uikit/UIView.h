#pragma once

#include "platform/foundation/NSObject.h"

#include <memory>
#include <vector>

// A view in a hierarchy: its subviews, in order.
class UIView : public NSObject {
public:
    const std::vector<std::shared_ptr<UIView>>& subviews() const { return m_subviews; }
    void addSubview(std::shared_ptr<UIView> view) { m_subviews.push_back(std::move(view)); }

private:
    std::vector<std::shared_ptr<UIView>> m_subviews;
};
