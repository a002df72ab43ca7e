#pragma once

#include "platform/foundation/NSObject.h"
#include "platform/foundation/PlistValue.h"

#include <memory>

class PSSpecifier;
class PSViewController;

// The editor inside a detail screen: it edits one value of the row that opened the screen and
// hands each change to its delegate (the detail controller).
class PSEditingPane : public NSObject {
public:
    virtual void setSpecifier(std::shared_ptr<PSSpecifier> specifier) { m_specifier = std::move(specifier); }
    const std::shared_ptr<PSSpecifier>& specifier() const { return m_specifier; }

    virtual PlistValue preferenceValue() const { return m_value; }
    virtual void setPreferenceValue(const PlistValue& value) { m_value = value; }

    std::shared_ptr<PSViewController> delegate() const { return m_delegate.lock(); }
    void setDelegate(const std::shared_ptr<PSViewController>& delegate) { m_delegate = delegate; }

    // The pane's layout: it asks to be as high as the screen allows.
    virtual bool requiresKeyboard() const { return false; }

private:
    std::shared_ptr<PSSpecifier> m_specifier;
    PlistValue m_value;
    std::weak_ptr<PSViewController> m_delegate;
};
