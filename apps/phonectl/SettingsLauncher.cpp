#include "apps/phonectl/SettingsLauncher.h"

#include "apps/phonectl/PhoneSupervisor.h"
#include "apps/common/InstalledFiles.h"
#include "apps/phonectl/ControlClient.h"
#include "apps/phonectl/DesktopNotice.h"
#include "platform/machinery/AtomicFile.h"

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <thread>


namespace {

using Clock = std::chrono::steady_clock;
// ASan builds start slowly.
constexpr auto kStartTimeout = std::chrono::seconds(60);
constexpr auto kStopTimeout = std::chrono::seconds(10);

std::filesystem::path pidPath(const std::filesystem::path& root)
{
    return root / "var" / "run" / "settings.pid";
}

std::filesystem::path addressPath(const std::filesystem::path& root)
{
    return root / "var" / "run" / "settings.address";
}

std::filesystem::path logPath(const std::filesystem::path& root)
{
    return root / "var" / "log" / "settings.log";
}

std::optional<std::string> runningAddress(const std::filesystem::path& root, std::optional<pid_t> expected = std::nullopt)
{
    auto pid = readProcessFile(pidPath(root));
    std::string address;
    if (!pid || !isProcessAlive(*pid) || (expected && *pid != *expected) || !readFile(addressPath(root), address))
        return std::nullopt;
    while (!address.empty() && (address.back() == '\n' || address.back() == '\r'))
        address.pop_back();
    return address.empty() ? std::nullopt : std::optional<std::string>(address);
}

}

std::string startSettings(const std::filesystem::path& root, uint16_t port)
{
    if (!runningSupervisor(root))
        throw PhonectlError("the phone at " + root.string() + " is not booted (phonectl boot first)");
    if (auto address = runningAddress(root))
        return *address;
    std::error_code error;
    std::filesystem::create_directories(root / "var" / "log", error);
    // The host's Today screen runs this very program to look at the day.
    std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
    if (!error)
        setenv("HUSHLINE_PHONECTL", self.c_str(), 1);
    auto files = InstalledFiles::fromPhonectl();
    pid_t host = startDetachedProcess({ files.settingsHost().string(), "--root", root.string(), "--port", std::to_string(port),
        "--web", files.webFolder().string() }, logPath(root));
    auto deadline = Clock::now() + kStartTimeout;
    for (;;) {
        if (auto address = runningAddress(root, host))
            return *address;
        if (!isProcessAlive(host) || Clock::now() > deadline) {
            kill(host, SIGTERM);
            throw PhonectlError("the Settings app of " + root.string() + " did not start:" + lastLinesOf(logPath(root), 5));
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

std::string startSettingsFromDesktop(const std::filesystem::path& root, uint16_t port)
{
    std::error_code error;
    if (!std::filesystem::is_directory(root, error) || !runningSupervisor(root)) {
        std::string how = "It starts with your session; to start it now, run systemctl --user start hushline (without systemd: phonectl run --session).";
        notifyDesktop("Hushline is not running", "Its settings open only while it runs. " + how);
        throw PhonectlError("Hushline is not running (no phone runs at " + root.string() + "), so its settings cannot open. " + how);
    }
    try {
        return startSettings(root, port);
    } catch (const PhonectlError& failure) {
        notifyDesktop("Hushline's settings did not open", failure.what());
        throw;
    }
}

void stopSettings(const std::filesystem::path& root)
{
    auto pid = readProcessFile(pidPath(root));
    if (!pid || !isProcessAlive(*pid))
        return;
    kill(*pid, SIGTERM);
    auto deadline = Clock::now() + kStopTimeout;
    while (isProcessAlive(*pid) && Clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
}
