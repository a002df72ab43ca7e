#pragma once

#include "platform/uikit/UIViewController.h"

#include <memory>

class PSSpecifier;

// A screen of the Settings app: the row that opened it, the screen that opened it and the
// first screen of its plug-in.
class PSViewController : public UIViewController {
public:
    const std::shared_ptr<PSSpecifier>& specifier() const { return m_specifier; }
    virtual void setSpecifier(std::shared_ptr<PSSpecifier> specifier) { m_specifier = std::move(specifier); }
    std::shared_ptr<PSViewController> parentController() const { return m_parent.lock(); }
    void setParentController(const std::shared_ptr<PSViewController>& parent) { m_parent = parent; }
    std::shared_ptr<PSViewController> rootController() const { return m_root.lock(); }
    void setRootController(const std::shared_ptr<PSViewController>& root) { m_root = root; }

private:
    std::shared_ptr<PSSpecifier> m_specifier;
    std::weak_ptr<PSViewController> m_parent;
    std::weak_ptr<PSViewController> m_root;
};
