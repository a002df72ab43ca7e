#include "core/testsupport/SchedulerFixture.h"

#include "platform/foundation/NSBundle.h"
#include "platform/foundation/NSRunLoop.h"
#include "platform/foundation/PropertyList.h"
#include "platform/persistentconnection/PCSimpleTimer.h"
#include "platform/persistentconnection/WakeUpTimerQueue.h"

#include <fstream>

void SchedulerFixture::SetUp()
{
    DeviceFixture::SetUp();
    installSettingsBundle();
    writeSystemVersion("13.3");
    NSBundle::setMainBundleIdentifier("com.apple.springboard");
    NSRunLoop::main().reset();
    PropertyList::write(HLProfilesManager::settingsFilePath(), PlistValue(PlistDictionary { { kHLEnabledKey, true } }));
    auto folder = *calendarFolderForIdentifier("home/work");
    std::filesystem::create_directories(folder);
    std::ofstream(folder / "displayname") << "Work";
    std::ofstream(folder.parent_path() / "displayname") << "Home account";
}

NSDate SchedulerFixture::today(const std::string& clock) const
{
    std::string time = clock.size() == 5 ? clock + ":00" : clock;
    return NSDate(localTime("2026-12-08T" + time));
}

void SchedulerFixture::addEvent(const std::string& title, const std::string& start, const std::string& end, EKEventStatus status,
    const std::string& calendar)
{
    ICalendarEventDescription event;
    event.uid = title;
    for (auto& c : event.uid)
        if (!isalnum(static_cast<unsigned char>(c)))
            c = '-';
    event.title = title;
    event.startDate = today(start);
    event.endDate = today(end);
    event.status = status;
    event.timeZone = timeZone();
    std::string error;
    ASSERT_TRUE(writeICalendarEvent(*calendarFolderForIdentifier(calendar), event, &error)) << error;
}

void SchedulerFixture::addAllDayEvent(const std::string& title, const std::string& calendar)
{
    ICalendarEventDescription event;
    event.uid = "allday-" + std::to_string(title.size());
    event.title = title;
    event.startDate = today("12:00");
    event.endDate = today("12:00");
    event.allDay = true;
    std::string error;
    ASSERT_TRUE(writeICalendarEvent(*calendarFolderForIdentifier(calendar), event, &error)) << error;
}

std::shared_ptr<HLProfile> SchedulerFixture::addProfile(const std::string& title, const std::string& startTime,
    const std::string& endTime, const std::function<void(HLProfile&)>& edit)
{
    auto profile = HLProfile::defaultProfile();
    profile->setTitle(title);
    profile->setAllDay(startTime.empty());
    profile->setStartTime(startTime.empty() ? "8:00 AM" : startTime);
    profile->setEndTime(endTime.empty() ? "5:00 PM" : endTime);
    profile->setCalendarIdentifiers(std::vector<std::string> { "home/work" });
    profile->setRingerVolume(0.0625);
    profile->setPlayBackVolume(0.0);
    if (edit)
        edit(*profile);
    store().addProfile(profile);
    return profile;
}

void SchedulerFixture::runUntil(const std::string& clock)
{
    NSRunLoop::main().runUntil(today(clock));
}

bool SchedulerFixture::appliedInFile(int64_t identifier) const
{
    auto file = PropertyList::read(HLProfilesManager::profilesFilePath());
    if (!file || !file->isArray())
        return false;
    for (const auto& entry : *file->asArray())
        if (entry["identifier"].longLongValue() == identifier)
            return entry["applied"].boolValue();
    return false;
}

std::vector<NSDate> SchedulerFixture::armedWakeUps() const
{
    std::vector<NSDate> dates;
    for (const auto& timer : WakeUpTimerQueue::shared().pendingTimers())
        if (timer->loggingIdentifier() == "com.velloq.hushline")
            dates.push_back(timer->fireDate());
    return dates;
}
