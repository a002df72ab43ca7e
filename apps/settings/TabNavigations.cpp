#include "apps/settings/TabNavigations.h"

#include "platform/uikit/UINavigationController.h"

namespace {

// The screen, or one of a navigation's screens, or anything presented above them.
bool holds(const std::shared_ptr<UIViewController>& base, const UIViewController* screen)
{
    if (!base)
        return false;
    if (base.get() == screen)
        return true;
    if (auto stack = std::dynamic_pointer_cast<UINavigationController>(base))
        for (const auto& child : stack->viewControllers())
            if (child.get() == screen || holds(child->presentedViewController(), screen))
                return true;
    return holds(base->presentedViewController(), screen);
}

}

TabNavigations::TabNavigations(MakeNavigation make, Clock clock, double graceSeconds)
    : m_make(std::move(make))
    , m_clock(std::move(clock))
    , m_grace(graceSeconds)
{
}

std::shared_ptr<UIViewController> TabNavigations::navigationOf(const std::string& tab)
{
    auto it = m_tabs.find(tab);
    if (it == m_tabs.end())
        it = m_tabs.emplace(tab, Tab { m_make(), 0, 0 }).first;
    it->second.lastContact = m_clock();
    auto navigation = it->second.navigation;
    if (!it->second.streams)
        notifyChanged();
    return navigation;
}

bool TabNavigations::shows(const std::string& tab, const std::shared_ptr<UIViewController>& screen) const
{
    auto it = m_tabs.find(tab);
    return it != m_tabs.end() && screen && holds(it->second.navigation, screen.get());
}

std::vector<std::string> TabNavigations::tabs() const
{
    std::vector<std::string> ids;
    for (const auto& [id, tab] : m_tabs)
        ids.push_back(id);
    return ids;
}

void TabNavigations::streamOpened(const std::string& tab)
{
    navigationOf(tab);
    ++m_tabs[tab].streams;
    notifyChanged();
}

void TabNavigations::streamClosed(const std::string& tab)
{
    auto it = m_tabs.find(tab);
    if (it == m_tabs.end())
        return;
    if (it->second.streams > 0)
        --it->second.streams;
    it->second.lastContact = m_clock();
    notifyChanged();
}

void TabNavigations::forgetQuiet()
{
    double now = m_clock();
    std::erase_if(m_tabs, [&](const auto& item) { return item.second.streams == 0 && item.second.lastContact + m_grace <= now; });
    notifyChanged();
}

std::optional<double> TabNavigations::nextForgetting() const
{
    std::optional<double> next;
    for (const auto& [id, tab] : m_tabs)
        if (tab.streams == 0 && (!next || tab.lastContact + m_grace < *next))
            next = tab.lastContact + m_grace;
    return next;
}
