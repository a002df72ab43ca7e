#include "platform/uikit/UIDatePicker.h"

void UIDatePicker::setDate(const NSDate& date, bool)
{
    m_date = date;
}

void UIDatePicker::userDidPickDate(const NSDate& date)
{
    m_date = date;
    if (m_valueChanged)
        m_valueChanged(*this);
}
