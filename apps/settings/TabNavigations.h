#pragma once

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class UIViewController;

// Each tab of the page navigates on its own: Back in one tab leaves the screens open in another.
// A tab is known by the id its page makes (kept across reloads) and is given a navigation of
// its own on first contact. The tabs share the phone's data: what one stores reaches the screens
// of every tab through the store's notifications.
//
// A tab without an open event stream is forgotten once it has been quiet for the grace period:
// a reload finds its screens again, a closed tab's screens do not live on.
class TabNavigations {
public:
    using MakeNavigation = std::function<std::shared_ptr<UIViewController>()>;
    using Clock = std::function<double()>;

    TabNavigations(MakeNavigation, Clock, double graceSeconds);

    // The tab's navigation, made on first contact; every contact counts as activity.
    std::shared_ptr<UIViewController> navigationOf(const std::string& tab);
    // Whether the screen is on the tab's navigation or presented above it.
    bool shows(const std::string& tab, const std::shared_ptr<UIViewController>& screen) const;
    std::vector<std::string> tabs() const;
    bool knows(const std::string& tab) const { return m_tabs.contains(tab); }
    // Runs whenever the time the next tab may be forgotten could have changed.
    void setChanged(std::function<void()> changed) { m_changed = std::move(changed); }

    void streamOpened(const std::string& tab);
    void streamClosed(const std::string& tab);
    // Forgets the quiet tabs whose grace is over.
    void forgetQuiet();
    // When the next quiet tab's grace is over; none while every tab has a stream.
    std::optional<double> nextForgetting() const;

private:
    struct Tab {
        std::shared_ptr<UIViewController> navigation;
        int streams { 0 };
        double lastContact { 0 };
    };
    void notifyChanged() { if (m_changed) m_changed(); }

    MakeNavigation m_make;
    Clock m_clock;
    double m_grace;
    std::function<void()> m_changed;
    std::map<std::string, Tab> m_tabs;
};
