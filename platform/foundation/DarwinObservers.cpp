#include "platform/foundation/DarwinObservers.h"

void DarwinObservers::add(const void* observer, const std::string& name, Handler handler)
{
    m_registrations.push_back({ observer, name, std::make_shared<Handler>(std::move(handler)) });
}

void DarwinObservers::remove(const void* observer, const std::string& name)
{
    std::erase_if(m_registrations, [&](const Registration& r) { return r.observer == observer && r.name == name; });
}

void DarwinObservers::removeEvery(const void* observer)
{
    std::erase_if(m_registrations, [&](const Registration& r) { return r.observer == observer; });
}

std::set<std::string> DarwinObservers::names() const
{
    std::set<std::string> all;
    for (const auto& r : m_registrations)
        all.insert(r.name);
    return all;
}

void DarwinObservers::deliver(const std::string& name) const
{
    // Handlers may add or remove observers: the matching ones are taken first, weakly, so that
    // one removed on the way is skipped.
    std::vector<std::weak_ptr<Handler>> matching;
    for (const auto& r : m_registrations)
        if (r.name == name)
            matching.push_back(r.handler);
    for (auto& weak : matching)
        if (auto handler = weak.lock())
            (*handler)(name);
}
