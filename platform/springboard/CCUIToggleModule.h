#pragma once

#include "platform/foundation/NSObject.h"
#include "platform/uikit/UIView.h"

#include <memory>
#include <string>

// A Control Center toggle module (OS 11 and later): whether it is selected (on), and from OS 12
// on the module's view and the action of its button.
// The view: on OS 12 a background view and the button (a CCUIButtonModuleView); on OS 13 the
// button is drawn by a plain view, so there is no CCUIButtonModuleView to find.
// `buttonTapped:forEvent:` does what a tap does, switching the module over, whatever it is sent
// from. Sending a method that the version lacks throws.
class CCUIToggleModule : public NSObject {
public:
    // "isSelected", "setSelected:", "view", "buttonTapped:forEvent:".
    bool respondsToSelector(const std::string& selector) const;

    virtual bool isSelected() const = 0;
    virtual void setSelected(bool selected) = 0;

    std::shared_ptr<UIView> view();
    void buttonTapped(const std::shared_ptr<NSObject>& sender, const std::shared_ptr<NSObject>& event);

protected:
    explicit CCUIToggleModule(std::string phoneClass) : m_phoneClass(std::move(phoneClass)) { }
    const std::string& phoneClass() const { return m_phoneClass; }

private:
    void require(const char* selector) const;

    std::string m_phoneClass;
    int m_viewBuiltForVersion { -1 };
    std::shared_ptr<UIView> m_view;
};
