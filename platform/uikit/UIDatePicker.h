#pragma once

#include "platform/foundation/NSDate.h"
#include "platform/foundation/NSObject.h"
#include "platform/uikit/CGGeometry.h"

#include <functional>

enum class UIDatePickerMode : long { Time = 0, Date = 1, DateAndTime = 2 };

// A wheel picker of a date or a time of day. Its tag tells its owner what it is picking; a
// turn of the wheels by the user sets the date and sends the value-changed action, a date set
// by the program sends nothing.
class UIDatePicker : public NSObject {
public:
    CGRect frame;

    using Action = std::function<void(UIDatePicker&)>;

    UIDatePickerMode datePickerMode() const { return m_mode; }
    void setDatePickerMode(UIDatePickerMode mode) { m_mode = mode; }
    long tag() const { return m_tag; }
    void setTag(long tag) { m_tag = tag; }
    const NSDate& date() const { return m_date; }
    void setDate(const NSDate& date, bool animated = false);

    // addTarget:action:forControlEvents: with UIControlEventValueChanged.
    void setValueChangedAction(Action action) { m_valueChanged = std::move(action); }
    // The user turned the wheels to the date.
    void userDidPickDate(const NSDate& date);

private:
    UIDatePickerMode m_mode { UIDatePickerMode::DateAndTime };
    long m_tag { 0 };
    NSDate m_date { NSDate::date() };
    Action m_valueChanged;
};
