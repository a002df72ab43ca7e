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
#include "platform/device/PhoneControl.h"
#include "platform/machinery/AtomicFile.h"
#include "platform/phonebus/BusDarwinNotifyCenter.h"
#include "platform/machinery/DeviceRoot.h"
#include "platform/foundation/NSBundle.h"
#include "platform/foundation/NSLog.h"
#include "platform/foundation/NSRunLoop.h"
#include "platform/phonebus/PhoneBusConnection.h"
#include "platform/preferences/PSListController.h"
#include "platform/uikit/UINavigationController.h"
#include "platform/uikit/UIWindow.h"

#include <csignal>
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

// The states of the screen the page is given. Every state carries a sequence number that moves
// on whenever the screen changed, so that a page drawing a state it got by one road (a tap's
// answer) never takes it back for an older one that arrives by the other (the event stream).
class PageStates {
public:
    explicit PageStates(ScreenSnapshot& snapshot) : m_snapshot(snapshot) { }

    // Where a changed state is broadcast, once the page is served.
    void setServer(HttpServer* server) { m_server = server; }

    std::string current()
    {
        auto state = m_snapshot.take();
        std::string drawn = state.dump();
        bool changed = drawn != m_last;
        if (changed) {
            m_last = std::move(drawn);
            ++m_sequence;
        }
        state["seq"] = m_sequence;
        // Numbers start again in a new host: the page tells hosts apart by their process.
        state["host"] = getpid();
        std::string published = state.dump();
        if (changed && m_server)
            m_server->broadcast(published);
        return published;
    }

private:
    ScreenSnapshot& m_snapshot;
    HttpServer* m_server { nullptr };
    std::string m_last;
    uint64_t m_sequence { 0 };
};

HttpServer::Reply answerAction(ScreenActions& actions, PageStates& states, const std::string& body)
{
    auto action = nlohmann::json::parse(body, nullptr, false);
    if (action.is_discarded())
        return { 400, "the body is not JSON\n" };
    // A tap on a screen that changed since the page drew it is refused, and the page is given
    // the screen as it is now.
    if (actions.isStale(action))
        return { 409, states.current(), "application/json" };
    std::string problem = actions.perform(action);
    if (!problem.empty())
        return { 400, problem + "\n" };
    // What the host has after the tap, stored or not: the page shows exactly this.
    return { 200, states.current(), "application/json" };
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
    auto rootList = PreferenceBundleLoader::loadRootController(kHushlineBundle);
    ControllerRegistry registry;
    ScreenSnapshot snapshot(registry);
    ScreenActions actions(registry);
    PageStates states(snapshot);
    HttpServer::Handlers handlers { .state = [&] { return states.current(); },
        .action = [&](const std::string& body) { return answerAction(actions, states, body); } };
    auto server = startServer(options, root, std::move(handlers));
    states.setServer(server.get());
    UIWindow::keyWindow().setDisplayObserver([&] { states.current(); });
    UIWindow::keyWindow().setRootViewController(UINavigationController::initWithRootViewController(rootList));
    if (options.launched)
        options.launched(*rootList);
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
