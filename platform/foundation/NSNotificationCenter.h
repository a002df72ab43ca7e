#pragma once

#include "platform/foundation/PlistValue.h"

#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

struct NSNotification {
    std::string name;
    std::shared_ptr<NSObject> object;
    PlistDictionary userInfo;
};

// The process-local notification centre. Observers are called synchronously on the posting
// thread, in the order they were added. Posting from any thread is safe, and an observer may
// add or remove observers (itself included) while being called.
class NSNotificationCenter {
public:
    using Handler = std::function<void(const NSNotification&)>;

    static NSNotificationCenter& defaultCenter();

    // An empty name matches every name; a null object matches every sender. The observer
    // pointer only identifies the registration for removal.
    void addObserver(const void* observer, std::string name, std::shared_ptr<NSObject> object, Handler);
    void removeObserver(const void* observer);
    void removeObserver(const void* observer, const std::string& name, const std::shared_ptr<NSObject>& object = nullptr);

    void postNotification(NSNotification);
    void postNotificationName(std::string name, std::shared_ptr<NSObject> object = nullptr, PlistDictionary userInfo = {});

    // Drops every observer; tests start each case from a clean centre.
    void reset();

private:
    struct Registration {
        const void* observer;
        std::string name;
        std::weak_ptr<NSObject> object;
        bool anyObject;
        std::shared_ptr<Handler> handler;
    };

    std::mutex m_mutex;
    std::vector<Registration> m_registrations;
};
