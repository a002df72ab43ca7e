#include "apps/settings/SettingsHost.h"

#include "apps/common/StopSignals.h"
#include "apps/settings/ControllerRegistry.h"
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
#include <stdexcept>
#include <sys/epoll.h>
#include <unistd.h>

namespace {

constexpr const char* kBundleIdentifier = "com.apple.Preferences";
constexpr const char* kHushlineBundle = "/Library/PreferenceBundles/HushlinePreferences.bundle";

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
    HttpServer server(options.port, options.webFolder,
        { .state = [&snapshot] { return snapshot.take().dump(); },
            .action = [&actions](const std::string& body) {
                auto action = nlohmann::json::parse(body, nullptr, false);
                if (action.is_discarded())
                    return std::string("the body is not JSON");
                return actions.perform(action);
            } });
    std::string last;
    UIWindow::keyWindow().setDisplayObserver([&] {
        std::string state = snapshot.take().dump();
        if (state != last)
            server.broadcast(last = state);
    });
    UIWindow::keyWindow().setRootViewController(UINavigationController::initWithRootViewController(rootList));
    if (options.launched)
        options.launched(*rootList);

    std::string address = "http://127.0.0.1:" + std::to_string(server.port()) + "/";
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
