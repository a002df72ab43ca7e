#include "platform/foundation/NSNotificationCenter.h"

#include <algorithm>

NSNotificationCenter& NSNotificationCenter::defaultCenter()
{
    static NSNotificationCenter center;
    return center;
}

void NSNotificationCenter::addObserver(const void* observer, std::string name, std::shared_ptr<NSObject> object, Handler handler)
{
    std::lock_guard lock(m_mutex);
    bool anyObject = !object;
    m_registrations.push_back({ observer, std::move(name), object, anyObject, std::make_shared<Handler>(std::move(handler)) });
}

void NSNotificationCenter::removeObserver(const void* observer)
{
    std::lock_guard lock(m_mutex);
    std::erase_if(m_registrations, [&](const Registration& r) { return r.observer == observer; });
}

void NSNotificationCenter::removeObserver(const void* observer, const std::string& name, const std::shared_ptr<NSObject>& object)
{
    std::lock_guard lock(m_mutex);
    std::erase_if(m_registrations, [&](const Registration& r) {
        return r.observer == observer && (name.empty() || r.name == name) && (!object || r.object.lock() == object);
    });
}

void NSNotificationCenter::postNotification(NSNotification notification)
{
    // Handlers run outside the lock, so they may post, add or remove observers. A handler
    // removed while an earlier one runs is no longer called.
    std::vector<std::pair<const void*, std::weak_ptr<Handler>>> matching;
    {
        std::lock_guard lock(m_mutex);
        for (const auto& r : m_registrations) {
            if (!r.name.empty() && r.name != notification.name)
                continue;
            if (!r.anyObject && r.object.lock() != notification.object)
                continue;
            matching.emplace_back(r.observer, r.handler);
        }
    }
    for (auto& [observer, weakHandler] : matching) {
        std::shared_ptr<Handler> handler;
        {
            std::lock_guard lock(m_mutex);
            handler = weakHandler.lock();
        }
        if (handler && *handler)
            (*handler)(notification);
    }
}

void NSNotificationCenter::postNotificationName(std::string name, std::shared_ptr<NSObject> object, PlistDictionary userInfo)
{
    postNotification({ std::move(name), std::move(object), std::move(userInfo) });
}

void NSNotificationCenter::reset()
{
    std::lock_guard lock(m_mutex);
    m_registrations.clear();
}
