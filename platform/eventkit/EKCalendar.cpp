#include "platform/eventkit/EKCalendar.h"

bool EKCalendar::isEqual(const std::shared_ptr<const NSObject>& other) const
{
    auto calendar = std::dynamic_pointer_cast<const EKCalendar>(other);
    return calendar && calendar->calendarIdentifier() == calendarIdentifier();
}

std::string EKCalendar::description() const
{
    return "EKCalendar <" + calendarIdentifier() + "> {title = " + title() + "; source = "
        + (source() ? source()->title() : std::string("(null)")) + "; allowsContentModifications = "
        + (allowsContentModifications() ? "YES" : "NO") + ";}";
}
