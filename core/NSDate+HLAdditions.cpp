#include "core/NSDate+HLAdditions.h"

#include "platform/foundation/NSCalendar.h"

NSDate hl_beginningOfDay(const NSDate& date)
{
    auto calendar = NSCalendar::currentCalendar();
    auto fields = calendar.components(date);
    NSDateComponents day { fields.year, fields.month, fields.day, std::nullopt, std::nullopt, std::nullopt };
    return calendar.dateFromComponents(day).value_or(date);
}

NSDate hl_endOfDay(const NSDate& date)
{
    NSDate start = hl_beginningOfDay(date);
    auto next = NSCalendar::currentCalendar().dateByAddingDays(start, 1);
    return next.value_or(start.dateByAddingTimeInterval(86400)).dateByAddingTimeInterval(-1.0);
}

bool hl_isBetweenDate(const NSDate& date, const NSDate& earliest, const NSDate& latest)
{
    return date.timeIntervalSinceDate(earliest) >= 0 && date.timeIntervalSinceDate(latest) <= 0;
}
