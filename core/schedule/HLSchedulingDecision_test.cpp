#include "core/schedule/HLSchedulingDecision.h"

#include "platform/eventkit/EKEvent.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace {

// Any day will do: the decisions compare absolute times. Times past 24:00 are the next day's.
constexpr double kMidnight = 1796688000;

NSDate at(const std::string& clock)
{
    int hours = 0, minutes = 0;
    double seconds = 0;
    std::sscanf(clock.c_str(), "%d:%d:%lf", &hours, &minutes, &seconds);
    return NSDate(kMidnight + hours * 3600 + minutes * 60 + seconds);
}

HLEventFacts timed(const std::string& start, const std::string& end, int64_t status = EKEventStatusNone)
{
    return { at(start), at(end), false, status };
}

HLEventFacts allDay()
{
    return { at("0:00"), at("23:59:59"), true, EKEventStatusNone };
}

HLProfileFacts hours(const std::string& start = "9:00", const std::string& end = "17:00")
{
    HLProfileFacts profile;
    profile.windowStart = at(start);
    profile.windowEnd = at(end);
    return profile;
}

HLProfileFacts with(HLProfileFacts profile, void (*edit)(HLProfileFacts&))
{
    edit(profile);
    return profile;
}

void allDayProfile(HLProfileFacts& p) { p.allDay = true; }
void ignoresAllDay(HLProfileFacts& p) { p.allDayEventsIgnored = true; }
void confirmedOnly(HLProfileFacts& p) { p.attendance = EKEventStatusConfirmed; }
void applied(HLProfileFacts& p) { p.applied = true; }
void atOwnNetwork(HLProfileFacts& p) { p.wifiEnabled = p.atOwnNetwork = true; }
void atOwnNetworkApplied(HLProfileFacts& p) { p.wifiEnabled = p.atOwnNetwork = p.applied = true; }
void atOwnNetworkAllDay(HLProfileFacts& p) { p.wifiEnabled = p.atOwnNetwork = p.allDay = true; }
void atOtherNetwork(HLProfileFacts& p) { p.wifiEnabled = true; }

constexpr int kNone = -1;

struct ChoiceRow {
    const char* name;
    HLProfileFacts profile;
    std::vector<HLEventFacts> events;
    const char* now;
    int chosen;
    bool byFirstLook;
    std::vector<HLPassedOver> passedOver;
};

}

TEST(SchedulingDecisionTest, TheEventAProfileFollowsIsChosenFromItsDay)
{
    const ChoiceRow rows[] = {
        { "a meeting later in the hours, before they open", hours(), { timed("10:00", "11:00") }, "8:00", 0, true, {} },
        { "of two overlapping meetings the first in the store's order", hours(), { timed("10:00", "12:00"), timed("11:00", "13:00") }, "11:30", 0, true, {} },
        { "an attendance-filtered meeting does not hide a later one", with(hours(), confirmedOnly),
            { timed("10:00", "11:00", EKEventStatusTentative), timed("14:00", "15:00", EKEventStatusConfirmed) }, "9:30", 1, true,
            { { 0, HLPassReason::Attendance, false } } },
        { "a meeting over is passed over for the next", hours(), { timed("9:00", "10:00"), timed("14:00", "15:00") }, "12:00", 1, true,
            { { 0, HLPassReason::OutsideHours, false } } },
        { "a meeting running past the end of the hours", hours(), { timed("16:00", "18:00") }, "15:00", 0, true, {} },
        { "a cancelled meeting", hours(), { timed("10:00", "11:00", EKEventStatusCanceled), timed("12:00", "13:00") }, "9:00", 1, true,
            { { 0, HLPassReason::Cancelled, false } } },
        { "at midnight an ignored all-day event does not hide the day", with(hours(), ignoresAllDay), { allDay(), timed("10:00", "11:00") },
            "0:00", 1, true, { { 0, HLPassReason::AllDayIgnored, false } } },
        { "an all-day event followed", hours(), { allDay(), timed("10:00", "11:00") }, "0:00", 0, true, {} },
        { "an all-day profile waits for the next meeting to come", with(hours(), allDayProfile), { timed("8:00", "9:00"), timed("13:00", "14:00") },
            "10:00", 1, false,
            { { 0, HLPassReason::OutsideHours, false }, { 1, HLPassReason::OutsideHours, false }, { 0, HLPassReason::Past, true } } },
        { "of equal starts to come the later in the store's order", with(hours(), allDayProfile),
            { timed("13:00", "14:00"), timed("13:00", "14:30") }, "10:00", 1, false,
            { { 0, HLPassReason::OutsideHours, false }, { 1, HLPassReason::OutsideHours, false } } },
        { "nothing left of the day", hours(), { timed("9:00", "10:00") }, "18:00", kNone, false,
            { { 0, HLPassReason::OutsideHours, false }, { 0, HLPassReason::Past, true } } },
        { "a night window across midnight", hours("22:00", "30:00"), { timed("23:00", "25:00") }, "22:30", 0, true, {} },
        { "no events", hours(), {}, "10:00", kNone, false, {} },
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        auto choice = HLSchedulingDecision::chooseEvent(row.profile, row.events, at(row.now));
        EXPECT_EQ(choice.chosen ? static_cast<int>(*choice.chosen) : kNone, row.chosen);
        EXPECT_EQ(choice.chosenByFirstLook, row.byFirstLook);
        EXPECT_EQ(choice.passedOver, row.passedOver);
    }
}

namespace {

struct FollowRow {
    const char* name;
    std::optional<HLEventFacts> chosen;
    std::optional<HLFollowedEvent> followed;
    bool force;
    bool profileUnchanged;
    bool windowOpen;
    HLFollowStep step;
    std::optional<bool> comparedProfile;
    bool quiet;
};

HLFollowedEvent followed(const std::string& start, const std::string& end, bool appliedMark, bool sameIdentity = false)
{
    return { timed(start, end), appliedMark, true, sameIdentity };
}

}

TEST(SchedulingDecisionTest, ANewPassKeepsOrReplacesTheEventFollowedSoFar)
{
    const FollowRow rows[] = {
        { "nothing to follow", std::nullopt, followed("10:00", "11:00", true), false, true, true, HLFollowStep::NothingToFollow, std::nullopt, false },
        { "a first event", timed("10:00", "11:00"), std::nullopt, false, true, true, HLFollowStep::Follow, std::nullopt, false },
        { "the same applied event", timed("10:00", "11:00"), followed("10:00", "11:00", true, true), false, true, true,
            HLFollowStep::KeepUnchanged, std::nullopt, false },
        { "the same slot, forced, unchanged profile in its hours", timed("10:00", "11:00"), followed("10:00", "11:00", true, true), true, true, true,
            HLFollowStep::KeepAndRefresh, true, false },
        { "the same slot after the hours closed", timed("10:00", "11:00"), followed("10:00", "11:00", true), false, true, false,
            HLFollowStep::Follow, true, true },
        { "the same slot with the profile's hours changed", timed("10:00", "11:00"), followed("10:00", "11:00", true), false, false, true,
            HLFollowStep::Follow, false, true },
        { "back to back: no end alert between", timed("11:00", "12:00"), followed("10:00", "11:00", true), false, true, true,
            HLFollowStep::Follow, std::nullopt, true },
        { "a gap between two meetings", timed("14:00", "15:00"), followed("10:00", "11:00", true), false, true, true,
            HLFollowStep::Follow, std::nullopt, false },
        { "a followed event never applied", timed("10:30", "12:00"), followed("10:00", "11:00", false), false, true, true,
            HLFollowStep::Follow, std::nullopt, false },
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        auto decision = HLSchedulingDecision::follow(row.chosen, row.followed, row.force, row.profileUnchanged, row.windowOpen);
        EXPECT_EQ(decision.step, row.step);
        EXPECT_EQ(decision.profileUnchanged, row.comparedProfile);
        EXPECT_EQ(decision.quietRevertFirst, row.quiet);
    }
}

namespace {

struct PowerRow {
    const char* name;
    HLProfileFacts profile;
    HLEventFacts event;
    const char* now;
    HLPowerStep step;
    const char* wakeAt;
    bool revert;
};

}

TEST(SchedulingDecisionTest, ThePowerStepDecidesNowOrArmsTheNextWakeUp)
{
    const PowerRow rows[] = {
        { "cancelled", hours(), timed("10:00", "11:00", EKEventStatusCanceled), "10:00", HLPowerStep::Cancelled, nullptr, false },
        { "an all-day event", hours(), allDay(), "3:00", HLPowerStep::DecideAllDayNow, nullptr, false },
        { "an ignored all-day event", with(hours(), ignoresAllDay), allDay(), "3:00", HLPowerStep::AllDayIgnored, nullptr, false },
        { "running inside the hours", hours(), timed("10:00", "11:00"), "10:00", HLPowerStep::DecideNow, nullptr, false },
        { "later inside the hours", hours(), timed("14:00", "15:00"), "11:00", HLPowerStep::WakeAtEventStart, "14:00", false },
        { "later, with the last one still applied", with(hours(), applied), timed("14:00", "15:00"), "11:00", HLPowerStep::WakeAtEventStart,
            "14:00", true },
        { "over", with(hours(), applied), timed("10:00", "11:00"), "11:30", HLPowerStep::Outdated, nullptr, true },
        { "before the hours", hours(), timed("10:00", "11:00"), "8:00", HLPowerStep::WakeAtWindowStart, "9:00", false },
        { "at the very end of the hours", with(hours(), applied), timed("16:00", "18:00"), "17:00", HLPowerStep::WindowPassed, nullptr, true },
        { "an all-day profile waits for the event", with(hours(), allDayProfile), timed("20:00", "21:00"), "18:00",
            HLPowerStep::WakeAtEventStart, "20:00", false },
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        auto decision = HLSchedulingDecision::powerEvent(row.profile, row.event, at(row.now));
        EXPECT_EQ(decision.step, row.step);
        EXPECT_EQ(decision.wakeAt, row.wakeAt ? std::optional(at(row.wakeAt)) : std::nullopt);
        EXPECT_EQ(decision.revert, row.revert);
    }
}

namespace {

struct EventRow {
    const char* name;
    HLProfileFacts profile;
    HLEventFacts event;
    bool appliedMark;
    bool appliedForLeftNetwork;
    const char* now;
    HLEventStep step;
    const char* revertAt;
};

}

TEST(SchedulingDecisionTest, AtItsMomentTheFollowedEventTurnsTheProfileOnOrOff)
{
    const EventRow rows[] = {
        { "ten seconds early is not yet the start", hours(), timed("10:00", "11:00"), false, false, "9:59:50", HLEventStep::Nothing, nullptr },
        { "nine seconds early is the start", hours(), timed("10:00", "11:00"), false, false, "9:59:50.1", HLEventStep::TurnOn, "11:00" },
        { "a wake-up late by 4.9 s", hours(), timed("10:00", "11:00"), false, false, "10:00:04.9", HLEventStep::TurnOn, "11:00" },
        { "running past the hours: reverted when they end", hours(), timed("16:00", "18:00"), false, false, "16:00", HLEventStep::TurnOn, "17:00" },
        { "an all-day profile follows the event's end", with(hours(), allDayProfile), timed("16:00", "18:00"), false, false, "16:00",
            HLEventStep::TurnOn, "18:00" },
        { "the end", with(hours(), applied), timed("10:00", "11:00"), true, false, "11:00", HLEventStep::TurnOff, nullptr },
        { "still running and applied", with(hours(), applied), timed("10:00", "11:00"), true, false, "10:30", HLEventStep::Nothing, nullptr },
        { "the hours closed before the event", with(hours(), applied), timed("16:00", "18:00"), true, false, "17:00", HLEventStep::TurnOff, nullptr },
        { "attendance refused", with(hours(), confirmedOnly), timed("10:00", "11:00", EKEventStatusTentative), false, false, "10:00",
            HLEventStep::AttendanceRefused, nullptr },
        { "an all-day event, reverted when the hours end", hours(), allDay(), false, false, "0:00", HLEventStep::TurnOn, "17:00" },
        { "an all-day event, applied already", with(hours(), applied), allDay(), true, false, "12:00", HLEventStep::Nothing, nullptr },
        { "the network left before the meeting", with(hours(), applied), timed("14:00", "15:00"), false, true, "12:00",
            HLEventStep::RevertForLeftNetwork, nullptr },
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        auto decision = HLSchedulingDecision::atEvent(row.profile, row.event, row.appliedMark, row.appliedForLeftNetwork, at(row.now));
        EXPECT_EQ(decision.step, row.step);
        EXPECT_EQ(decision.wakeAt, row.revertAt ? std::optional(at(row.revertAt)) : std::nullopt);
    }
}

namespace {

struct NetworkRow {
    const char* name;
    HLProfileFacts profile;
    const char* now;
    HLNetworkStep step;
    const char* wakeAt;
};

struct GateRow {
    const char* name;
    HLProfileFacts profile;
    const char* now;
    bool go;
    bool apply;
    bool revert;
    const char* wakeAt;
};

}

TEST(SchedulingDecisionTest, AtItsNetworkAProfileFollowsItsHoursAlone)
{
    const NetworkRow wakeUps[] = {
        { "away from its networks", with(hours(), atOtherNetwork), "9:00", HLNetworkStep::NotAtNetwork, nullptr },
        { "all day", with(hours(), atOwnNetworkAllDay), "3:00", HLNetworkStep::Apply, nullptr },
        { "the hours open", with(hours(), atOwnNetwork), "9:00:02", HLNetworkStep::Apply, "17:00" },
        { "the hours close", with(hours(), atOwnNetworkApplied), "17:00", HLNetworkStep::Revert, "9:00" },
        { "between the edges", with(hours(), atOwnNetwork), "12:00", HLNetworkStep::Nothing, nullptr },
    };
    for (const auto& row : wakeUps) {
        SCOPED_TRACE(row.name);
        auto decision = HLSchedulingDecision::atNetwork(row.profile, at(row.now));
        EXPECT_EQ(decision.step, row.step);
        EXPECT_EQ(decision.wakeAt, row.wakeAt ? std::optional(at(row.wakeAt)) : std::nullopt);
    }

    const GateRow passes[] = {
        { "no network rule: the calendar decides", hours(), "8:00", true, false, false, nullptr },
        { "network B, inside the hours: the calendar decides", with(hours(), atOtherNetwork), "10:00", true, false, false, nullptr },
        { "network B, before the hours", with(hours(), atOtherNetwork), "8:00", false, false, false, "9:00" },
        { "network B, after the hours: the end has passed", with(hours(), atOtherNetwork), "18:00", false, false, false, "17:00" },
        { "network A, inside the hours", with(hours(), atOwnNetwork), "10:00", false, true, false, "17:00" },
        { "network A, before the hours", with(hours(), atOwnNetwork), "8:00", false, false, false, "9:00" },
        { "network A, applied, after the hours", with(hours(), atOwnNetworkApplied), "17:30", false, false, true, "17:00" },
        { "network A, applied, inside the hours", with(hours(), atOwnNetworkApplied), "12:00", false, false, false, nullptr },
        { "network A, all day", with(hours(), atOwnNetworkAllDay), "3:00", false, true, false, nullptr },
    };
    for (const auto& row : passes) {
        SCOPED_TRACE(row.name);
        auto gate = HLSchedulingDecision::wifiGate(row.profile, at(row.now));
        EXPECT_EQ(gate.go, row.go);
        EXPECT_EQ(gate.apply, row.apply);
        EXPECT_EQ(gate.revert, row.revert);
        EXPECT_EQ(gate.wakeAt, row.wakeAt ? std::optional(at(row.wakeAt)) : std::nullopt);
    }
}
