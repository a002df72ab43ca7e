#pragma once

#include "platform/foundation/NSObject.h"

#include <functional>
#include <memory>
#include <string>

class UIImage;

enum class UIBarButtonSystemItem { None, Done, Cancel, Edit, Save, Add };
enum class UIBarButtonItemStyle { Plain = 0, Done = 2 };

// A button of a navigation bar: a system item, a title or an image, and the action a tap runs.
class UIBarButtonItem : public NSObject {
public:
    using Action = std::function<void(const std::shared_ptr<UIBarButtonItem>& sender)>;

    static std::shared_ptr<UIBarButtonItem> initWithBarButtonSystemItem(UIBarButtonSystemItem, Action);
    static std::shared_ptr<UIBarButtonItem> initWithImage(std::shared_ptr<UIImage>, UIBarButtonItemStyle, Action);
    static std::shared_ptr<UIBarButtonItem> initWithTitle(std::string title, UIBarButtonItemStyle, Action);

    UIBarButtonSystemItem systemItem() const { return m_systemItem; }
    const std::string& title() const { return m_title; }
    const std::shared_ptr<UIImage>& image() const { return m_image; }
    UIBarButtonItemStyle style() const { return m_style; }
    bool isEnabled() const { return m_enabled; }
    void setEnabled(bool enabled) { m_enabled = enabled; }

    // The user taps the button; nothing happens while it is disabled.
    void tap();

private:
    UIBarButtonSystemItem m_systemItem { UIBarButtonSystemItem::None };
    std::string m_title;
    std::shared_ptr<UIImage> m_image;
    UIBarButtonItemStyle m_style { UIBarButtonItemStyle::Plain };
    bool m_enabled { true };
    Action m_action;
};
