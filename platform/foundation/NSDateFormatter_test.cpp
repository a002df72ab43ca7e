#include "platform/foundation/NSDateFormatter.h"

#include "platform/foundation/NSCalendar.h"
#include "platform/testsupport/DeviceFixture.h"

class CalendarTest : public DeviceFixture {
protected:
    const char* timeZone() const override { return "America/New_York"; }
};

TEST_F(CalendarTest, FormatsAndParsesTimesOfDay)
{
    NSDateFormatter formatter;
    formatter.setDateFormat("h:mm a");
    EXPECT_EQ(formatter.stringFromDate(NSDate(localTime("2026-12-08T00:05:00"))), "12:05 AM");
    EXPECT_EQ(formatter.stringFromDate(NSDate(localTime("2026-12-08T17:00:00"))), "5:00 PM");
    auto parsed = formatter.dateFromString("5:30 PM");
    ASSERT_TRUE(parsed);
    EXPECT_EQ(parsed->timeIntervalSince1970(), localTime("2000-01-01T17:30:00"));
    EXPECT_FALSE(formatter.dateFromString("17:30"));
    formatter.setDateFormat("yyyy-MM-dd'T'HH:mm:ss");
    EXPECT_EQ(formatter.stringFromDate(NSDate(localTime("2026-03-08T03:00:00"))), "2026-03-08T03:00:00");
}

TEST_F(CalendarTest, DaysAroundDaylightSavingChangesHaveTheirRealLength)
{
    auto calendar = NSCalendar::currentCalendar();
    NSDate fallBack(localTime("2026-11-01T00:00:00"));
    EXPECT_EQ(calendar.dateByAddingDays(fallBack, 1)->timeIntervalSinceDate(fallBack), 25 * 3600);
    NSDate springForward(localTime("2026-03-08T00:00:00"));
    EXPECT_EQ(calendar.dateByAddingDays(springForward, 1)->timeIntervalSinceDate(springForward), 23 * 3600);
}

TEST_F(CalendarTest, FieldsOutOfRangeCarryOver)
{
    auto date = NSCalendar::currentCalendar().dateFromComponents({ 2026, 12, 8, 9, 75, 0 });
    EXPECT_EQ(date->timeIntervalSince1970(), localTime("2026-12-08T10:15:00"));
}
