#include "apps/settings/TodayWording.h"

#include <gtest/gtest.h>

namespace {

const std::string kNoBreakSpace = "\u00a0";

TEST(TodayWording, ADayIsNamedAsThePhoneNamesItAndAnythingElseStaysAsItIs)
{
    EXPECT_EQ(TodayWording::day("2026-12-08"), "Tue," + kNoBreakSpace + "Dec" + kNoBreakSpace + "8");
    EXPECT_EQ(TodayWording::day("2028-02-29"), "Tue," + kNoBreakSpace + "Feb" + kNoBreakSpace + "29");
    EXPECT_EQ(TodayWording::day("2027-01-01"), "Fri," + kNoBreakSpace + "Jan" + kNoBreakSpace + "1");
    for (const char* notADay : { "", "2026-13-01", "2027-02-29", "2026-12-08T09:00:00", "yesterday", "2026-12" })
        EXPECT_EQ(TodayWording::day(notADay), notADay) << notADay;
}

TEST(TodayWording, TimesInASentenceAreWrittenAsTheEditorWritesThemAndKeptWhole)
{
    EXPECT_EQ(TodayWording::withClockTimes("from 09:30 until 13:05"),
        "from 9:30" + kNoBreakSpace + "AM until 1:05" + kNoBreakSpace + "PM");
    EXPECT_EQ(TodayWording::withClockTimes("Standup (Work, 00:00-00:30)"),
        "Standup (Work, 12:00" + kNoBreakSpace + "AM" + kNoBreakSpace + "–\u2060" + kNoBreakSpace + "12:30" + kNoBreakSpace + "AM)");
    EXPECT_EQ(TodayWording::withClockTimes("no time here: 9 o'clock"), "no time here: 9 o'clock");
}

}
