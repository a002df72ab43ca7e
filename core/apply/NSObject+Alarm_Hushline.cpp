#include "core/apply/NSObject+Alarm_Hushline.h"

#include "platform/mobiletimer/Alarm.h"

namespace {

constexpr const char* kSystemAlarmMarker = "HushlineMe";

std::string titleOf(const Alarm& alarm)
{
    if (alarm.respondsToSelector("title"))
        return alarm.title();
    if (alarm.respondsToSelector("rawTitle"))
        return alarm.rawTitle();
    if (alarm.respondsToSelector("uiTitle"))
        return alarm.uiTitle();
    return {};
}

}

bool hl_isHidden(const std::shared_ptr<NSObject>& object)
{
    auto alarm = std::dynamic_pointer_cast<Alarm>(object);
    if (!alarm)
        return false;
    std::string title = titleOf(*alarm);
    return !title.empty() && title.starts_with(kSystemAlarmMarker);
}

bool hl_createdByHL(const std::shared_ptr<NSObject>& alarm)
{
    return hl_isHidden(alarm);
}
