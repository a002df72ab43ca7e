#include "core/profile/HLProfile.h"
#include "core/NSDate+HLAdditions.h"
#include "platform/testsupport/DeviceFixture.h"

namespace {

class TimeWindowTest : public DeviceFixture {
protected:
    const char* timeZone() const override { return "America/New_York"; }
    const char* startTime() const override { return "2026-12-08T10:17:42"; }

    std::shared_ptr<HLProfile> window(const char* start, const char* end)
    {
        return HLProfile::initWithDictionary({ { "identifier", 1 }, { "startTime", start }, { "endTime", end } });
    }
    NSDate at(const std::string& iso) { return NSDate(localTime(iso)); }
};

}

TEST_F(TimeWindowTest, TimeTextsBecomeTodaysClockTimes)
{
    auto p = HLProfile::init();
    const std::pair<const char*, const char*> cases[] = {
        { "12:00 AM", "00:00" }, { "12:30 AM", "00:30" }, { "12:00 PM", "12:00" }, { "1:05 PM", "13:05" },
        { "11:59 PM", "23:59" }, { "8:00 am", "08:00" }, { "8:00 AM", "08:00" }, { "5:00 PM", "17:00" },
        // No period, or one of another locale: hour 0 whatever the number.
        { "17:00", "00:00" }, { "9:15 nachm.", "00:15" },
        // Minutes or hours beyond their range carry over.
        { "9:75 AM", "10:15" }, { "13:00 PM", "01:00+1" },
    };
    for (auto [text, expected] : cases) {
        std::string clock = expected;
        std::string day = "2026-12-08";
        if (clock.ends_with("+1")) {
            day = "2026-12-09";
            clock.resize(5);
        }
        EXPECT_EQ(p->dateFromTime(std::string(text)), at(day + "T" + clock + ":00")) << text;
    }
}

TEST_F(TimeWindowTest, AMissingOrColonlessTextIsTodaysMidnight)
{
    auto p = HLProfile::init();
    EXPECT_EQ(p->dateFromTime(std::nullopt), at("2026-12-08T00:00:00"));
    EXPECT_EQ(p->dateFromTime(std::string("800 AM")), at("2026-12-08T00:00:00"));
    EXPECT_EQ(p->dateFromTime(std::string("")), at("2026-12-08T00:00:00"));
    EXPECT_EQ(p->todayModifiedWithHours(std::string("7"), std::string("99999999999"), std::string("AM")).timeIntervalSince1970() > 0, true);
}

TEST_F(TimeWindowTest, WindowBoundsAreCachedForTheDayOfFirstUse)
{
    auto p = window("9:00 AM", "5:00 PM");
    EXPECT_EQ(p->startDate(), at("2026-12-08T09:00:00"));
    EXPECT_EQ(p->endDate(), at("2026-12-08T17:00:00"));
    setClock("2026-12-09T10:00:00");
    EXPECT_EQ(p->startDate(), at("2026-12-08T09:00:00"));
    EXPECT_EQ(p->endDate(), at("2026-12-08T17:00:00"));
    EXPECT_EQ(window("9:00 AM", "5:00 PM")->startDate(), at("2026-12-09T09:00:00"));
}

TEST_F(TimeWindowTest, AllDayWindowIsTheCurrentDayRecomputedOnEveryCall)
{
    auto p = HLProfile::initWithDictionary({ { "identifier", 1 }, { "allDay", true } });
    EXPECT_EQ(p->startDate(), at("2026-12-08T00:00:00"));
    EXPECT_EQ(p->endDate(), at("2026-12-08T23:59:59"));
    EXPECT_TRUE(p->isDateBetweenProfileStartAndEndDate(at("2030-01-01T03:00:00")));
    setClock("2026-11-01T12:00:00");
    EXPECT_EQ(p->startDate(), at("2026-11-01T00:00:00"));
    EXPECT_EQ(p->endDate(), at("2026-11-01T23:59:59"));
    EXPECT_EQ(p->endDate().timeIntervalSinceDate(p->startDate()), 25 * 3600 - 1);
    setClock("2026-03-08T12:00:00");
    EXPECT_EQ(p->endDate().timeIntervalSinceDate(p->startDate()), 23 * 3600 - 1);
}

TEST_F(TimeWindowTest, BothBoundsAreInsideAndReversedWindowsHoldNothing)
{
    auto p = window("9:00 AM", "5:00 PM");
    EXPECT_TRUE(p->isDateBetweenProfileStartAndEndDate(at("2026-12-08T09:00:00")));
    EXPECT_TRUE(p->isDateBetweenProfileStartAndEndDate(at("2026-12-08T17:00:00")));
    EXPECT_FALSE(p->isDateBetweenProfileStartAndEndDate(at("2026-12-08T17:00:01")));
    EXPECT_FALSE(p->isDateBetweenProfileStartAndEndDate(at("2026-12-08T08:59:59")));

    auto night = window("10:00 PM", "6:00 AM");
    EXPECT_LT(night->endDate(), night->startDate());
    EXPECT_FALSE(night->isDateBetweenProfileStartAndEndDate(at("2026-12-08T23:00:00")));
    EXPECT_FALSE(night->isDateBetweenProfileStartAndEndDate(at("2026-12-08T05:00:00")));

    auto instant = window("9:00 AM", "9:00 AM");
    EXPECT_TRUE(instant->isDateBetweenProfileStartAndEndDate(at("2026-12-08T09:00:00")));
    EXPECT_FALSE(instant->isDateBetweenProfileStartAndEndDate(at("2026-12-08T09:00:01")));
}

TEST_F(TimeWindowTest, IntersectionClipsToTheWindowWithoutCheckingTheResult)
{
    auto p = window("8:00 AM", "5:00 PM");
    auto overlap = p->gimmeIntersectionDates(at("2026-12-08T12:00:00"), at("2026-12-08T20:00:00"));
    EXPECT_EQ(overlap, (std::vector<NSDate> { at("2026-12-08T12:00:00"), at("2026-12-08T17:00:00") }));
    auto apart = p->gimmeIntersectionDates(at("2026-12-08T18:00:00"), at("2026-12-08T20:00:00"));
    EXPECT_EQ(apart, (std::vector<NSDate> { at("2026-12-08T18:00:00"), at("2026-12-08T17:00:00") }));
    auto inside = p->gimmeIntersectionDates(at("2026-12-08T06:00:00"), at("2026-12-08T10:00:00"));
    EXPECT_EQ(inside, (std::vector<NSDate> { at("2026-12-08T08:00:00"), at("2026-12-08T10:00:00") }));
}

TEST_F(TimeWindowTest, DayBoundsFollowTheLocalCalendar)
{
    EXPECT_EQ(hl_beginningOfDay(at("2026-11-01T23:30:00")), at("2026-11-01T00:00:00"));
    EXPECT_EQ(hl_endOfDay(at("2026-11-01T01:30:00")), at("2026-11-01T23:59:59"));
    EXPECT_EQ(hl_endOfDay(at("2026-03-08T12:00:00")), at("2026-03-08T23:59:59"));
    EXPECT_TRUE(hl_isBetweenDate(at("2026-12-08T09:00:00"), at("2026-12-08T09:00:00"), at("2026-12-08T09:00:00")));
    EXPECT_FALSE(hl_isBetweenDate(at("2026-12-08T09:00:00"), at("2026-12-08T10:00:00"), at("2026-12-08T08:00:00")));
}
