#include "core/profile/HLProfilesManager.h"

#include "core/HLLog.h"
#include "core/apply/NSObject+Alarm_Hushline.h"
#include "platform/mobiletimer/AlarmManager.h"

std::vector<std::shared_ptr<NSObject>> HLProfilesManager::unloadAllHushlineAlarms()
{
    auto manager = AlarmManager::sharedManager();
    manager->loadAlarms();
    auto alarms = manager->alarms();
    std::vector<std::shared_ptr<NSObject>> before(alarms.begin(), alarms.end());
    for (const auto& alarm : alarms) {
        if (hl_createdByHL(alarm)) {
            HLLogInfo("Removing alarm: %s from alarms", alarm->description().c_str());
            manager->removeAlarm(alarm);
        }
    }
    return before;
}
