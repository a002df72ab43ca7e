#pragma once

#include "core/profile/HLProfilesManager.h"
#include "platform/device/Device.h"
#include "platform/eventkit/ICalendarWriter.h"
#include "platform/testsupport/DeviceFixture.h"

#include <string>
#include <vector>

// A phone for whole-day scheduling scenarios: the settings bundle, the master switch on, the
// home-screen process's defaults, a calendar "home/work" and a virtual clock that the run loop
// moves, so that wake-up timers and the delayed steps of applying fire at their moments.
class SchedulerFixture : public DeviceFixture {
protected:
    void SetUp() override;
    const char* startTime() const override { return "2026-12-08T08:00:00"; }

    // Writes an event of today into the "home/work" calendar ("10:00" to "11:00").
    void addEvent(const std::string& title, const std::string& start, const std::string& end,
        EKEventStatus status = EKEventStatusNone, const std::string& calendar = "home/work");
    void addAllDayEvent(const std::string& title, const std::string& calendar = "home/work");

    // Stores a profile with the hours "9:00 AM" to "5:00 PM" (or all day) following "home/work";
    // `edit` changes what it needs before the profile is added.
    std::shared_ptr<HLProfile> addProfile(const std::string& title, const std::string& startTime = "9:00 AM",
        const std::string& endTime = "5:00 PM", const std::function<void(HLProfile&)>& edit = nullptr);

    // Moves the clock to today's "HH:MM[:SS]", firing every timer on the way.
    void runUntil(const std::string& clock);
    NSDate today(const std::string& clock) const;

    // What the user sees.
    bool appliedInFile(int64_t identifier) const;
    std::vector<NSDate> armedWakeUps() const;
    size_t tonesPlayed() const { return Device::current().tones().size(); }
    float ringer() const { return Device::current().ringerVolume(); }

    HLProfilesManager& store() { return HLProfilesManager::sharedManager(); }
};
