#pragma once

#include "platform/foundation/NSObject.h"
#include "platform/uikit/CGGeometry.h"

#include <memory>
#include <vector>

// A view in a hierarchy: its frame in its superview and its subviews, in order.
class UIView : public NSObject {
public:
    const CGRect& frame() const { return m_frame; }
    void setFrame(const CGRect& frame) { m_frame = frame; }
    const std::vector<std::shared_ptr<UIView>>& subviews() const { return m_subviews; }
    void addSubview(std::shared_ptr<UIView> view) { m_subviews.push_back(std::move(view)); }

private:
    CGRect m_frame;
    std::vector<std::shared_ptr<UIView>> m_subviews;
};
