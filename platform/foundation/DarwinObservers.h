#pragma once

#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

// The observers of a Darwin centre by name, and their delivery: what both the in-process centre
// and the centre on the phone's bus keep. An observer removed while a notification is being
// delivered is not called any more; one added then waits for the next post.
class DarwinObservers {
public:
    using Handler = std::function<void(const std::string& name)>;

    void add(const void* observer, const std::string& name, Handler);
    void remove(const void* observer, const std::string& name);
    void removeEvery(const void* observer);
    // Every name that has an observer.
    std::set<std::string> names() const;
    void deliver(const std::string& name) const;

private:
    struct Registration {
        const void* observer;
        std::string name;
        std::shared_ptr<Handler> handler;
    };
    std::vector<Registration> m_registrations;
};
