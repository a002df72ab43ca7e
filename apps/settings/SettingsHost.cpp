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

}

int runSettingsHost(const SettingsHostOptions& options)
{
    NSBundle::setMainBundleIdentifier(kBundleIdentifier);
    auto root = DeviceRoot::path();
    std::error_code error;
    if (!std::filesystem::is_directory(root, error))
        throw std::runtime_error("the device root " + root.string() + " does not exist");
    if (!BusDarwinNotifyCenter::installOnPhoneBus())
        throw std::runtime_error("the phone's bus is not running for " + root.string() + " (boot the phone with phonectl boot)");
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
    // Every state the page is given carries a sequence number that moves on whenever the screen
    // changed, so that a page drawing a state it got by one road (a tap's answer) never takes
    // it back for an older one that arrives by the other (the event stream).
    std::unique_ptr<HttpServer> server;
    std::string lastState;
    uint64_t sequence = 0;
    auto currentState = [&] {
        auto state = snapshot.take();
        std::string drawn = state.dump();
        bool changed = drawn != lastState;
        if (changed) {
            lastState = std::move(drawn);
            ++sequence;
        }
        state["seq"] = sequence;
        // Numbers start again in a new host: the page tells hosts apart by their process.
        state["host"] = getpid();
        std::string published = state.dump();
        if (changed && server)
            server->broadcast(published);
        return published;
    };
    HttpServer::Handlers handlers { .state = currentState,
            .action = [&](const std::string& body) -> HttpServer::Reply {
                auto action = nlohmann::json::parse(body, nullptr, false);
                if (action.is_discarded())
                    return { 400, "the body is not JSON\n" };
                // A tap on a screen that changed since the page drew it is refused, and the
                // page is given the screen as it is now.
                if (actions.isStale(action))
                    return { 409, currentState(), "application/json" };
                std::string problem = actions.perform(action);
                if (!problem.empty())
                    return { 400, problem + "\n" };
                // What the host has after the tap, stored or not: the page shows exactly this.
                return { 200, currentState(), "application/json" };
            } };
    server = startServer(options, root, std::move(handlers));
    UIWindow::keyWindow().setDisplayObserver([&] { currentState(); });
    UIWindow::keyWindow().setRootViewController(UINavigationController::initWithRootViewController(rootList));
    if (options.launched)
        options.launched(*rootList);
    HomeScreenFollower follower(root);

    std::string address = "http://127.0.0.1:" + std::to_string(server->port()) + "/";
    std::string why;
    std::filesystem::create_directories(root / "var" / "run", error);
    if (!writeFileAtomically(SettingsHostFiles::pidPath(root), std::to_string(getpid()) + "\n", &why)
        || !writeFileAtomically(SettingsHostFiles::addressPath(root), address + "\n", &why))
        throw std::runtime_error("cannot write the host's run files: " + why);
    NSLog("Settings: serving %s", address.c_str());
    std::printf("%s\n", address.c_str());
    std::fflush(stdout);

    NSRunLoop::main().run();

    std::filesystem::remove(SettingsHostFiles::addressPath(root), error);
    std::filesystem::remove(SettingsHostFiles::pidPath(root), error);
    UIWindow::keyWindow().setDisplayObserver(nullptr);
    NSLog("Settings: stopped");
    PhoneBusConnection::process()->flush();
    return 0;
}
