// A plug-in for the home-screen host's tests. Loaded, it notes in "<root>/tmp/plugins.log" its
// own file name and the bundle it was loaded into; it hooks SpringBoard's launch and midnight
// slots (calling the system's implementation first) and notes each call with the time.

#include "platform/machinery/DeviceRoot.h"
#include "platform/foundation/NSBundle.h"
#include "platform/foundation/NSDate.h"
#include "platform/springboard/SpringBoard.h"

#include <dlfcn.h>
#include <filesystem>
#include <fstream>

namespace {

std::string ownName()
{
    Dl_info info { };
    if (!dladdr(reinterpret_cast<void*>(&ownName), &info) || !info.dli_fname)
        return "?";
    return std::filesystem::path(info.dli_fname).filename().string();
}

void note(const std::string& line)
{
    auto path = DeviceRoot::resolve("/tmp/plugins.log");
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path, std::ios::app) << line << "\n";
}

std::string now()
{
    return std::to_string(static_cast<long long>(NSDate::date().timeIntervalSince1970()));
}

HookableMethod<void(SpringBoard&, const std::shared_ptr<NSObject>&)>::Implementation originalLaunch;
HookableMethod<void(SpringBoard&)>::Implementation originalMidnight;

// Runs at load time, after the slots above have been initialised (same file, later line).
bool loaded()
{
    std::string name = ownName();
    note("loaded " + name + " into " + NSBundle::mainBundle()->bundleIdentifier());
    MSHookMessageEx(SpringBoard::applicationDidFinishLaunchingMethod,
        [name](SpringBoard& self, const std::shared_ptr<NSObject>& application) {
            originalLaunch(self, application);
            note("launched " + name + " at " + now());
        },
        &originalLaunch);
    MSHookMessageEx(SpringBoard::midnightPassedMethod,
        [name](SpringBoard& self) {
            originalMidnight(self);
            note("midnight " + name + " at " + now());
        },
        &originalMidnight);
    return true;
}

[[maybe_unused]] const bool installed = loaded();

}
