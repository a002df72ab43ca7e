#include "platform/eventkit/EKEvent.h"

#include <cstdio>

std::string EKEvent::description() const
{
    char address[32];
    snprintf(address, sizeof address, "%p", static_cast<const void*>(this));
    return std::string("EKEvent <") + address + "> {title = " + title() + "; startDate = " + startDate().description()
        + "; endDate = " + endDate().description() + "; allDay = " + (isAllDay() ? "1" : "0")
        + "; status = " + std::to_string(status()) + "; UUID = " + UUID() + ";}";
}
