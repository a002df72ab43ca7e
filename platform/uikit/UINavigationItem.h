#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

class UIBarButtonItem;
class UIImage;
class UIColor;

// A title view as data: an image (faded in from `alpha` 0 over `fadeDuration` seconds), or a
// label with its font size, colours and shadow.
struct UITitleView {
    std::shared_ptr<UIImage> image;
    double alpha { 1 };
    double fadeDuration { 0 };
    std::optional<std::string> labelText;
    double fontSize { 17 };
    std::shared_ptr<UIColor> textColor;
    std::shared_ptr<UIColor> backgroundColor;
    std::shared_ptr<UIColor> shadowColor;
    bool centered { false };
};

// What a controller shows in the navigation bar while it is on top.
class UINavigationItem {
public:
    std::optional<std::string> title;
    std::optional<UITitleView> titleView;
    // The image of the back button that leads back to this screen's predecessor.
    std::shared_ptr<UIImage> backButtonImage;

    const std::vector<std::shared_ptr<UIBarButtonItem>>& rightBarButtonItems() const { return m_right; }
    const std::vector<std::shared_ptr<UIBarButtonItem>>& leftBarButtonItems() const { return m_left; }
    std::shared_ptr<UIBarButtonItem> rightBarButtonItem() const { return m_right.empty() ? nullptr : m_right.front(); }
    std::shared_ptr<UIBarButtonItem> leftBarButtonItem() const { return m_left.empty() ? nullptr : m_left.front(); }
    void setRightBarButtonItem(std::shared_ptr<UIBarButtonItem>);
    void setLeftBarButtonItem(std::shared_ptr<UIBarButtonItem>);
    // Outermost first, as UIKit orders them.
    void setRightBarButtonItems(std::vector<std::shared_ptr<UIBarButtonItem>>, bool animated);
    void setLeftBarButtonItems(std::vector<std::shared_ptr<UIBarButtonItem>>, bool animated);

private:
    std::vector<std::shared_ptr<UIBarButtonItem>> m_right;
    std::vector<std::shared_ptr<UIBarButtonItem>> m_left;
};
