#include "preferences/HLTimeText.h"

#include "core/HLUtils.h"
#include "platform/foundation/NSCalendar.h"
#include "platform/foundation/NSDateFormatter.h"

namespace {

constexpr const char* kTimeFormat = "h:mm a";

}

std::string hl_timeText(const NSDate& date)
{
    auto formatter = HLUtils::dateFormatter();
    formatter->setDateFormat(kTimeFormat);
    return formatter->stringFromDate(date);
}

std::optional<NSDate> hl_dateFromTimeText(const std::string& text)
{
    auto formatter = HLUtils::dateFormatter();
    formatter->setDateFormat(kTimeFormat);
    return formatter->dateFromString(text);
}

long hl_secondsOfDay(const NSDate& date)
{
    auto fields = NSCalendar::currentCalendar().components(date);
    return fields.hour.value_or(0) * 3600L + fields.minute.value_or(0) * 60L + fields.second.value_or(0);
}
