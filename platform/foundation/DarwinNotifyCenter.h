#pragma once

#include "platform/foundation/DarwinObservers.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

// The system-wide (Darwin) notification centre: a bare name, no payload, seen by every process
// of the phone. Abstract so that the in-process centre (unit tests, a process on its own) and the
// centre on the phone's bus can stand behind the same calls.
class DarwinNotifyCenter {
public:
    using Handler = std::function<void(const std::string& name)>;

    virtual ~DarwinNotifyCenter() = default;
    virtual void post(const std::string& name) = 0;
    virtual void addObserver(const void* observer, const std::string& name, Handler) = 0;
    virtual void removeObserver(const void* observer, const std::string& name) = 0;
    virtual void removeEveryObserver(const void* observer) = 0;

    // Every name posted through this centre by this process, in order (what a test or phonectl
    // reads to see what was announced).
    const std::vector<std::string>& postedNames() const { return m_posted; }
    void clearPostedNames() { m_posted.clear(); }

    // The process's centre: the in-process one unless another was installed.
    static DarwinNotifyCenter& current();
    static void install(std::shared_ptr<DarwinNotifyCenter>);

protected:
    void recordPost(const std::string& name) { m_posted.push_back(name); }

private:
    std::vector<std::string> m_posted;
};

// Delivers synchronously to the observers of this process only.
class InProcessDarwinNotifyCenter final : public DarwinNotifyCenter {
public:
    void post(const std::string& name) override;
    void addObserver(const void* observer, const std::string& name, Handler) override;
    void removeObserver(const void* observer, const std::string& name) override;
    void removeEveryObserver(const void* observer) override;

private:
    DarwinObservers m_observers;
};

// The phone's C calls.
using CFNotificationCenterRef = DarwinNotifyCenter*;
using CFNotificationCallback = void (*)(CFNotificationCenterRef, void* observer, const std::string& name, const void* object, const void* userInfo);
enum CFNotificationSuspensionBehavior { CFNotificationSuspensionBehaviorDeliverImmediately = 4 };

CFNotificationCenterRef CFNotificationCenterGetDarwinNotifyCenter();
void CFNotificationCenterPostNotification(CFNotificationCenterRef, const std::string& name, const void* object, const void* userInfo, bool deliverImmediately);
void CFNotificationCenterAddObserver(CFNotificationCenterRef, void* observer, CFNotificationCallback, const std::string& name, const void* object, CFNotificationSuspensionBehavior);
void CFNotificationCenterRemoveObserver(CFNotificationCenterRef, void* observer, const std::string& name, const void* object);
uint32_t notify_post(const char* name);
