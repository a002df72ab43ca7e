#include "apps/settings/SettingsHost.h"

#include "apps/common/StopSignals.h"
#include "apps/settings/ControllerRegistry.h"
#include "apps/settings/HomeScreenFollower.h"
#include "apps/settings/HttpServer.h"
#include "apps/settings/HushlineTodayController.h"
#include "apps/settings/PhoneToneRelay.h"
#include "apps/settings/PreferenceBundleLoader.h"
#include "apps/settings/ScreenActions.h"
#include "apps/settings/ScreenSnapshot.h"
#include "apps/settings/TabId.h"
#include "apps/settings/TabNavigations.h"
#include "platform/device/PhoneControl.h"
#include "platform/machinery/AtomicFile.h"
#include "platform/phonebus/BusDarwinNotifyCenter.h"
#include "platform/machinery/DeviceRoot.h"
#include "platform/foundation/NSBundle.h"
#include "platform/foundation/NSLog.h"
#include "platform/foundation/NSRunLoop.h"
#include "platform/foundation/RunLoopTimer.h"
#include "platform/phonebus/PhoneBusConnection.h"
#include "platform/preferences/PSListController.h"
#include "platform/uikit/UINavigationController.h"
#include "platform/uikit/UIWindow.h"

#include <csignal>
#include <map>
#include <cstdlib>
#include <memory>
#include <stdexcept>
#include <sys/epoll.h>
#include <unistd.h>

namespace {

constexpr const char* kBundleIdentifier = "com.apple.Preferences";
constexpr const char* kHushlineBundle = "/Library/PreferenceBundles/HushlinePreferences.bundle";

uint16_t rememberedPort(const std::filesystem::path& root)
{
    std::string text;
    if (!readFile(SettingsHostFiles::portPath(root), text))
        return 0;
    long port = std::strtol(text.c_str(), nullptr, 10);
    return port > 0 && port < 65536 ? static_cast<uint16_t>(port) : 0;
}

std::unique_ptr<HttpServer> startServer(const SettingsHostOptions& options, const std::filesystem::path& root, HttpServer::Handlers handlers)
{
    uint16_t port = options.port ? options.port : rememberedPort(root);
    std::unique_ptr<HttpServer> server;
    try {
        server = std::make_unique<HttpServer>(port, options.webFolder, handlers);
    } catch (const std::runtime_error&) {
        // The port asked for is the user's choice; the remembered one is only a wish.
        if (options.port || !port)
            throw;
        server = std::make_unique<HttpServer>(0, options.webFolder, std::move(handlers));
    }
    std::error_code error;
    std::filesystem::create_directories(SettingsHostFiles::portPath(root).parent_path(), error);
    writeFileAtomically(SettingsHostFiles::portPath(root), std::to_string(server->port()) + "\n");
    return server;
}

void clockMoved(CFNotificationCenterRef, void*, const std::string&, const void*, const void*)
{
    // Nothing to do: the wake-up itself lets this turn of the loop run what the new time made due.
}

// The host runs only inside a booted phone: its device root and its bus.
void checkPhoneIsBooted(const std::filesystem::path& root)
{
    std::error_code error;
    if (!std::filesystem::is_directory(root, error))
        throw std::runtime_error("the device root " + root.string() + " does not exist");
    if (!BusDarwinNotifyCenter::installOnPhoneBus())
        throw std::runtime_error("the phone's bus is not running for " + root.string() + " (boot the phone with phonectl boot)");
}

// How long a tab without an event stream keeps its screens: long enough for a reload or a
// short loss of the connection, short enough that closed tabs do not pile up.
constexpr double kTabGraceSeconds = 120;

// The states of the screens each tab is given. Every state carries a sequence number that moves
// on whenever the tab's screen changed, so that a page drawing a state it got by one road (a
// tap's answer) never takes it back for an older one that arrives by the other (the event
// stream). The numbers are the host's, not the tab's: a tab made again after it was forgotten
// still numbers above what its page drew.
class PageStates {
public:
    PageStates(ScreenSnapshot& snapshot, TabNavigations& tabs) : m_snapshot(snapshot), m_tabs(tabs) { }

    // Where a changed state is sent, once the page is served.
    void setServer(HttpServer* server) { m_server = server; }

    std::string current(const std::string& tab)
    {
        auto state = m_snapshot.take(m_tabs.navigationOf(tab));
        std::string drawn = state.dump();
        Drawn& last = m_drawn[tab];
        bool changed = drawn != last.state;
        if (changed) {
            last.state = std::move(drawn);
            last.sequence = ++m_sequence;
        }
        state["seq"] = last.sequence;
        // Numbers start again in a new host: the page tells hosts apart by their process.
        state["host"] = getpid();
        std::string published = state.dump();
        if (changed && m_server)
            m_server->send(tab, published);
        return published;
    }

    // Something on screen changed: every tab is sent its screens when they changed.
    void redraw()
    {
        std::erase_if(m_drawn, [&](const auto& item) { return !m_tabs.knows(item.first); });
        for (const auto& tab : m_tabs.tabs())
            current(tab);
    }

private:
    struct Drawn {
        std::string state;
        uint64_t sequence { 0 };
    };
    ScreenSnapshot& m_snapshot;
    TabNavigations& m_tabs;
    HttpServer* m_server { nullptr };
    std::map<std::string, Drawn> m_drawn;
    uint64_t m_sequence { 0 };
};

std::string tabOf(const nlohmann::json& action)
{
    auto tab = action.is_object() ? action.find("tab") : action.end();
    return tab != action.end() && tab->is_string() ? tab->get<std::string>() : std::string();
}

// Whether the action names a screen that this tab does not show (one of another tab's).
bool aimsElsewhere(ControllerRegistry& registry, TabNavigations& tabs, const std::string& tab, const nlohmann::json& action)
{
    auto screen = action.find("screen");
    if (screen == action.end() || !screen->is_string())
        return false;
    auto controller = registry.controllerNamed(screen->get<std::string>());
    return controller && !tabs.shows(tab, controller);
}

HttpServer::Reply answerAction(ControllerRegistry& registry, ScreenActions& actions, TabNavigations& tabs, PageStates& states,
    const std::string& body)
{
    auto action = nlohmann::json::parse(body, nullptr, false);
    if (action.is_discarded())
        return { 400, "the body is not JSON\n" };
    std::string tab = tabOf(action);
    if (!isTabId(tab))
        return { 400, "a tab is named by up to 64 letters, digits, '-' and '_'\n" };
    tabs.navigationOf(tab);
    // A tap on a screen that changed since the page drew it, or that the tab does not show, is
    // refused, and the page is given its screen as it is now.
    if (aimsElsewhere(registry, tabs, tab, action) || actions.isStale(action))
        return { 409, states.current(tab), "application/json" };
    std::string problem = actions.perform(action);
    if (!problem.empty())
        return { 400, problem + "\n" };
    // What the host has after the tap, stored or not: the page shows exactly this.
    return { 200, states.current(tab), "application/json" };
}

// Tells the phone's tools where the page is and which process serves it.
void writeRunFiles(const std::filesystem::path& root, const std::string& address)
{
    std::error_code error;
    std::string why;
    std::filesystem::create_directories(root / "var" / "run", error);
    if (!writeFileAtomically(SettingsHostFiles::pidPath(root), std::to_string(getpid()) + "\n", &why)
        || !writeFileAtomically(SettingsHostFiles::addressPath(root), address + "\n", &why))
        throw std::runtime_error("cannot write the host's run files: " + why);
}

void removeRunFiles(const std::filesystem::path& root)
{
    std::error_code error;
    std::filesystem::remove(SettingsHostFiles::addressPath(root), error);
    std::filesystem::remove(SettingsHostFiles::pidPath(root), error);
}

}

int runSettingsHost(const SettingsHostOptions& options)
{
    NSBundle::setMainBundleIdentifier(kBundleIdentifier);
    auto root = DeviceRoot::path();
    checkPhoneIsBooted(root);
    StopSignals stopSignals;
    relayTonesToHomeScreen();
    CFNotificationCenterAddObserver(CFNotificationCenterGetDarwinNotifyCenter(), nullptr, clockMoved, PhoneControl::kClockMovedNotification,
        nullptr, CFNotificationSuspensionBehaviorDeliverImmediately);

    // The Today screen is the Settings app's own; the bundle's root list links to it by name.
    HushlineTodayController::registerClass();
    // Each tab of the page gets the plug-in's first screen in a navigation of its own.
    auto newNavigation = [&options]() -> std::shared_ptr<UIViewController> {
        auto rootList = PreferenceBundleLoader::loadRootController(kHushlineBundle);
        auto navigation = UINavigationController::initWithRootViewController(rootList);
        // Shown as the window shows its root.
        navigation->loadViewIfNeeded();
        navigation->viewWillAppear(false);
        UIWindow::keyWindow().setNeedsDisplay();
        if (options.launched)
            options.launched(*rootList);
        return navigation;
    };
    TabNavigations tabs(newNavigation, [] { return RunLoopTimer::now(TimerClock::Monotonic); }, kTabGraceSeconds);
    ControllerRegistry registry("s" + std::to_string(getpid()) + "-");
    ScreenSnapshot snapshot(registry);
    ScreenActions actions(registry);
    PageStates states(snapshot, tabs);
    RunLoopTimer forgetting(TimerClock::Monotonic, [&](TimerEvent) { tabs.forgetQuiet(); });
    // A quiet tab is forgotten when its grace is over; nothing wakes the phone while every tab has a stream.
    auto armForgetting = [&] {
        if (auto next = tabs.nextForgetting())
            forgetting.armAt(*next);
        else
            forgetting.disarm();
    };
    tabs.setChanged(armForgetting);
    HttpServer::Handlers handlers { .state = [&](const std::string& tab) { return states.current(tab); },
        .action = [&](const std::string& body) { return answerAction(registry, actions, tabs, states, body); },
        .stream = [&](const std::string& tab, bool open) { open ? tabs.streamOpened(tab) : tabs.streamClosed(tab); },
        .newTab = [] { return newTabId(); } };
    auto server = startServer(options, root, std::move(handlers));
    states.setServer(server.get());
    UIWindow::keyWindow().setDisplayObserver([&] { states.redraw(); });
    // The tab of callers that name none is made before the page is served, so that a launch
    // problem shows at once.
    states.current("");
    HomeScreenFollower follower(root);

    std::string address = "http://127.0.0.1:" + std::to_string(server->port()) + "/";
    writeRunFiles(root, address);
    NSLog("Settings: serving %s", address.c_str());
    std::printf("%s\n", address.c_str());
    std::fflush(stdout);

    NSRunLoop::main().run();

    removeRunFiles(root);
    UIWindow::keyWindow().setDisplayObserver(nullptr);
    NSLog("Settings: stopped");
    PhoneBusConnection::process()->flush();
    return 0;
}
