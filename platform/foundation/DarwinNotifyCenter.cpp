#include "platform/foundation/DarwinNotifyCenter.h"

#include <algorithm>
#include <mutex>

namespace {

std::shared_ptr<DarwinNotifyCenter>& installedCenter()
{
    static std::shared_ptr<DarwinNotifyCenter> center = std::make_shared<InProcessDarwinNotifyCenter>();
    return center;
}

}

DarwinNotifyCenter& DarwinNotifyCenter::current()
{
    return *installedCenter();
}

void DarwinNotifyCenter::install(std::shared_ptr<DarwinNotifyCenter> center)
{
    installedCenter() = std::move(center);
}

void InProcessDarwinNotifyCenter::post(const std::string& name)
{
    recordPost(name);
    m_observers.deliver(name);
}

void InProcessDarwinNotifyCenter::addObserver(const void* observer, const std::string& name, Handler handler)
{
    m_observers.add(observer, name, std::move(handler));
}

void InProcessDarwinNotifyCenter::removeObserver(const void* observer, const std::string& name)
{
    m_observers.remove(observer, name);
}

void InProcessDarwinNotifyCenter::removeEveryObserver(const void* observer)
{
    m_observers.removeEvery(observer);
}

CFNotificationCenterRef CFNotificationCenterGetDarwinNotifyCenter()
{
    return &DarwinNotifyCenter::current();
}

void CFNotificationCenterPostNotification(CFNotificationCenterRef center, const std::string& name, const void*, const void*, bool)
{
    if (center)
        center->post(name);
}

void CFNotificationCenterAddObserver(CFNotificationCenterRef center, void* observer, CFNotificationCallback callback, const std::string& name, const void*, CFNotificationSuspensionBehavior)
{
    if (!center || !callback)
        return;
    center->addObserver(observer, name, [center, observer, callback](const std::string& posted) {
        callback(center, observer, posted, nullptr, nullptr);
    });
}

void CFNotificationCenterRemoveObserver(CFNotificationCenterRef center, void* observer, const std::string& name, const void*)
{
    if (center)
        center->removeObserver(observer, name);
}

uint32_t notify_post(const char* name)
{
    DarwinNotifyCenter::current().post(name ? name : "");
    return 0;
}
