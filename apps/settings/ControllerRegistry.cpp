#include "apps/settings/ControllerRegistry.h"

#include "platform/uikit/UIViewController.h"

std::string ControllerRegistry::nameOf(const std::shared_ptr<UIViewController>& controller)
{
    auto it = m_entries.find(controller.get());
    // An address reused by a new screen is a new screen.
    if (it != m_entries.end() && it->second.controller.lock() == controller)
        return it->second.name;
    Entry entry { m_prefix + std::to_string(m_next++), controller };
    m_entries[controller.get()] = entry;
    return entry.name;
}

std::shared_ptr<UIViewController> ControllerRegistry::controllerNamed(const std::string& name)
{
    for (const auto& [key, entry] : m_entries)
        if (entry.name == name)
            return entry.controller.lock();
    return nullptr;
}

void ControllerRegistry::forgetGone()
{
    std::erase_if(m_entries, [](const auto& item) { return item.second.controller.expired(); });
    m_versions.forgetGone();
}
