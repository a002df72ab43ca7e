#pragma once

#include "platform/foundation/NSObject.h"
#include "platform/foundation/PlistValue.h"
#include "platform/uikit/CGGeometry.h"

#include <memory>

class PSSpecifier;
class PSViewController;
class UIDatePicker;
class UITableView;

// The editor inside a detail screen: it edits the row that opened the screen and hands each
// change to its delegate (the detail controller). A pane may draw a table and a date picker of
// its own; the screen shows them within the pane's frame.
class PSEditingPane : public NSObject {
public:
    // initWithFrame:
    virtual void initWithFrame(const CGRect& frame) { m_frame = frame; }
    const CGRect& frame() const { return m_frame; }

    // setPreferenceSpecifier: the row the pane edits.
    virtual void setPreferenceSpecifier(std::shared_ptr<PSSpecifier> specifier) { m_specifier = std::move(specifier); }
    const std::shared_ptr<PSSpecifier>& preferenceSpecifier() const { return m_specifier; }
    void setSpecifier(std::shared_ptr<PSSpecifier> specifier) { setPreferenceSpecifier(std::move(specifier)); }
    const std::shared_ptr<PSSpecifier>& specifier() const { return m_specifier; }

    virtual PlistValue preferenceValue() const { return m_value; }
    virtual void setPreferenceValue(const PlistValue& value) { m_value = value; }

    std::shared_ptr<PSViewController> delegate() const { return m_delegate.lock(); }
    void setDelegate(const std::shared_ptr<PSViewController>& delegate) { m_delegate = delegate; }

    // The pane's own views, when it has them.
    virtual std::shared_ptr<UITableView> tableView() const { return nullptr; }
    virtual std::shared_ptr<UIDatePicker> datePicker() const { return nullptr; }
    // layoutSubviews: places the views within the frame.
    virtual void layoutSubviews() { }

    // The pane's layout: it asks to be as high as the screen allows.
    virtual bool requiresKeyboard() const { return false; }

private:
    CGRect m_frame;
    std::shared_ptr<PSSpecifier> m_specifier;
    PlistValue m_value;
    std::weak_ptr<PSViewController> m_delegate;
};
