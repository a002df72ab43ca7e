#include "apps/phonectl/PhoneSupervisor.h"

#include "apps/common/LocalTime.h"
#include "apps/phonectl/BootCalendars.h"
#include "apps/phonectl/ControlClient.h"
#include "apps/phonectl/PhonePayload.h"
#include "apps/phonectl/SessionPhoneName.h"
#include "apps/phonectl/SupervisorWake.h"
#include "platform/device/PhoneControl.h"
#include "platform/machinery/AtomicFile.h"
#include "platform/foundation/ChildExitSource.h"
#include "platform/foundation/FileWatch.h"
#include "platform/foundation/NSRunLoop.h"
#include "platform/machinery/PhoneBus.h"
#include "platform/foundation/PropertyList.h"
#include "platform/tonelibrary/TLToneManager.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <spawn.h>
#include <sstream>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <functional>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

constexpr const char* kNewestSystemVersion = "13.7";

using Clock = std::chrono::steady_clock;

// ASan builds launch slowly; a host that has not launched by then will not.
constexpr auto kLaunchTimeout = std::chrono::seconds(60);
constexpr auto kStopTimeout = std::chrono::seconds(20);
// A host that ends sooner than this after its start counts as failing to start.
constexpr auto kQuickExit = std::chrono::seconds(2);
constexpr int kMaxQuickExits = 5;

std::filesystem::path supervisorLog(const std::filesystem::path& root)
{
    return root / "var" / "log" / "phone.log";
}

bool processAlive(pid_t pid)
{
    return pid > 0 && (kill(pid, 0) == 0 || errno == EPERM);
}

std::optional<pid_t> readPid(const std::filesystem::path& file)
{
    std::string text;
    if (!readFile(file, text))
        return std::nullopt;
    char* end = nullptr;
    long pid = std::strtol(text.c_str(), &end, 10);
    if (end == text.c_str() || pid <= 0)
        return std::nullopt;
    return static_cast<pid_t>(pid);
}

std::string tail(const std::filesystem::path& file, size_t lines)
{
    std::ifstream in(file);
    std::vector<std::string> last;
    for (std::string line; std::getline(in, line);) {
        last.push_back(line);
        if (last.size() > lines)
            last.erase(last.begin());
    }
    std::string out;
    for (const auto& line : last)
        out += "\n  " + line;
    return out;
}

bool validVersion(const std::string& version)
{
    if (version.empty() || !std::isdigit(static_cast<unsigned char>(version.front())) || !std::isdigit(static_cast<unsigned char>(version.back())))
        return false;
    for (size_t i = 0; i < version.size(); ++i) {
        char c = version[i];
        if (c == '.' ? version[i - 1] == '.' : !std::isdigit(static_cast<unsigned char>(c)))
            return false;
    }
    return true;
}

void writeSystemVersion(const std::filesystem::path& root, const std::string& version)
{
    auto path = root / "System" / "Library" / "CoreServices" / "SystemVersion.plist";
    std::filesystem::create_directories(path.parent_path());
    PlistDictionary plist;
    if (auto existing = PropertyList::read(path); existing && existing->asDictionary())
        plist = *existing->asDictionary();
    plist["ProductVersion"] = version;
    plist["ProductName"] = "iPhone OS";
    std::string error;
    if (!PropertyList::write(path, PlistValue(plist), PropertyList::Format::XML, &error))
        throw PhonectlError("cannot write " + path.string() + ": " + error);
}

pid_t spawn(const std::vector<std::string>& arguments, const std::filesystem::path& output, bool newSession)
{
    posix_spawn_file_actions_t files;
    posix_spawn_file_actions_init(&files);
    posix_spawn_file_actions_addopen(&files, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&files, STDOUT_FILENO, output.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
    posix_spawn_file_actions_adddup2(&files, STDOUT_FILENO, STDERR_FILENO);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t none;
    sigemptyset(&none);
    posix_spawnattr_setsigmask(&attributes, &none);
    short flags = POSIX_SPAWN_SETSIGMASK;
    if (newSession)
        flags |= POSIX_SPAWN_SETSID;
    posix_spawnattr_setflags(&attributes, flags);
    std::vector<char*> argv;
    for (const auto& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    pid_t pid = -1;
    int r = posix_spawn(&pid, argv[0], &files, &attributes, argv.data(), environ);
    posix_spawn_file_actions_destroy(&files);
    posix_spawnattr_destroy(&attributes);
    if (r != 0)
        throw PhonectlError("cannot start " + arguments[0] + ": " + strerror(r));
    return pid;
}

// Turns the main run loop until the condition holds or the time is up. The loop sleeps until one
// of its sources (a pidfd, a file watch) is ready: nothing is looked at over and over.
bool waitUntil(const std::function<bool()>& condition, Clock::duration timeout)
{
    auto deadline = Clock::now() + timeout;
    while (!condition()) {
        double left = std::chrono::duration<double>(deadline - Clock::now()).count();
        if (left <= 0)
            return condition();
        NSRunLoop::main().runOnce(left);
    }
    return true;
}

std::string ownProgram()
{
    std::error_code error;
    auto self = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error)
        throw PhonectlError("cannot find phonectl's own program: " + error.message());
    return self.string();
}

}

std::optional<pid_t> runningSupervisor(const std::filesystem::path& root)
{
    auto pid = readPid(PhoneControl::supervisorPath(root));
    if (pid && processAlive(*pid))
        return pid;
    return std::nullopt;
}

void bootPhone(const BootOptions& options)
{
    const auto& root = options.root;
    if (options.clock && *options.clock != "now" && !parseLocalTime(*options.clock))
        throw PhonectlError("--clock " + *options.clock + ": expected now or a local time YYYY-MM-DDTHH:MM:SS");
    if (options.osVersion && !validVersion(*options.osVersion))
        throw PhonectlError("--os " + *options.osVersion + ": expected a version such as 13.3");
    std::error_code error;
    std::filesystem::create_directories(root, error);
    if (!std::filesystem::is_directory(root, error))
        throw PhonectlError("cannot create the device root " + root.string());
    if (auto pid = runningSupervisor(root))
        throw PhonectlError("the phone at " + root.string() + " is already booted (process " + std::to_string(*pid) + "; phonectl stop first)");
    if (options.session)
        requireSessionFreeForThisPhone("boot --session");

    // Before the lay-out, so that a wrong folder is told at once.
    linkBootCalendars(root, options.calendars, options.session);
    PhonePayload(InstalledFiles::fromPhonectl()).layOut(root);
    TLToneManager::installSystemTones(root);
    if (options.osVersion)
        writeSystemVersion(root, *options.osVersion);
    else if (options.session)
        // A phone standing in for a real one is of the newest OS generation the phone knows.
        writeSystemVersion(root, kNewestSystemVersion);
    std::filesystem::create_directories(root / "var" / "log", error);
    std::filesystem::remove(PhoneControl::launchedPath(root), error);

    std::vector<std::string> arguments { ownProgram(), "__supervise", "--root", root.string() };
    if (options.session)
        arguments.push_back("--session");
    if (options.foreground) {
        arguments.push_back("--foreground");
        arguments.push_back(std::to_string(*options.foreground));
    }
    if (options.clock) {
        arguments.push_back("--clock");
        arguments.push_back(*options.clock);
    }
    auto launched = PhoneControl::launchedPath(root);
    std::filesystem::create_directories(launched.parent_path(), error);
    bool ended = false;
    FileWatch launch(launched, [] { });
    pid_t supervisor = spawn(arguments, supervisorLog(root), true);
    ChildExitSource supervisorEnd(supervisor, [&ended](const ProcessExit&) { ended = true; });

    bool done = waitUntil([&] { return ended || std::filesystem::exists(launched, error); }, kLaunchTimeout);
    if (std::filesystem::exists(launched, error))
        return;
    if (done)
        throw PhonectlError("the phone at " + root.string() + " did not start:" + tail(supervisorLog(root), 5)
            + tail(PhoneControl::hostOutputPath(root), 10));
    kill(supervisor, SIGTERM);
    throw PhonectlError("the home screen of " + root.string() + " did not finish launching within a minute:"
        + tail(PhoneControl::hostOutputPath(root), 10));
}

void stopPhone(const std::filesystem::path& root)
{
    auto pid = runningSupervisor(root);
    if (!pid)
        throw PhonectlError("the phone at " + root.string() + " is not booted");
    // The supervisor is not phonectl's child (it runs in a session of its own): its pidfd tells
    // that it is gone.
    bool ended = false;
    ChildExitSource supervisorEnd(*pid, [&ended](const ProcessExit&) { ended = true; });
    kill(*pid, SIGTERM);
    if (!waitUntil([&] { return ended || (!supervisorEnd.isWatching() && !processAlive(*pid)); }, kStopTimeout))
        throw PhonectlError("the phone at " + root.string() + " did not stop within 20 seconds (process " + std::to_string(*pid) + ")");
}

namespace {

class Supervisor {
public:
    Supervisor(std::filesystem::path root, std::optional<std::string> clock, bool session, std::optional<pid_t> foreground)
        : m_root(std::move(root)), m_clock(std::move(clock)), m_session(session), m_foreground(foreground)
    {
    }

    int run()
    {
        if (m_foreground && !endWithForeground())
            return 1;
        std::string why;
        if (!writeFileAtomically(PhoneControl::supervisorPath(m_root), std::to_string(getpid()) + "\n", &why)) {
            std::fprintf(stderr, "phonectl: cannot write the phone's process file: %s\n", why.c_str());
            return 1;
        }
        int status = 0;
        try {
            // A phone of its own holds the session's phone name; run holds it for the phone it runs.
            if (m_session && !m_foreground)
                m_wake.holdSession(SessionPhoneNameHold::take("boot --session"));
            m_bus = PhoneBus::start(m_root);
            std::fprintf(stderr, "phonectl: the phone's bus runs at %s\n", m_bus->address().c_str());
            status = supervise();
        } catch (const std::exception& error) {
            std::fprintf(stderr, "phonectl: %s\n", error.what());
            status = 1;
        }
        stopHost();
        m_bus.reset();
        std::error_code ignored;
        std::filesystem::remove(PhoneControl::launchedPath(m_root), ignored);
        if (readPid(PhoneControl::supervisorPath(m_root)) == getpid())
            std::filesystem::remove(PhoneControl::supervisorPath(m_root), ignored);
        std::fprintf(stderr, "phonectl: the phone is stopped\n");
        return status;
    }

private:
    // The phone started by `phonectl run` ends with it, even when it is killed (SIGKILL) and
    // cannot stop the phone itself: its end sends this process SIGTERM, which stops the phone.
    bool endWithForeground()
    {
        prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (getppid() == *m_foreground)
            return true;
        std::fprintf(stderr, "phonectl: phonectl run (process %d) ended before its phone started; not starting it\n", *m_foreground);
        return false;
    }

    int supervise()
    {
        int quickExits = 0;
        for (bool first = true;; first = false) {
            startHost(first);
            auto started = Clock::now();
            if (!waitForHost())
                return 0;
            if (Clock::now() - started < kQuickExit) {
                if (++quickExits >= kMaxQuickExits) {
                    std::fprintf(stderr, "phonectl: the home screen keeps failing to start; giving up\n");
                    return 1;
                }
                // Give a failing host a moment before the next try, still heeding a stop.
                if (m_wake.next(1000) == SupervisorWake::Event::Stop)
                    return 0;
            } else {
                quickExits = 0;
            }
            std::fprintf(stderr, "phonectl: the home screen ended; starting it again\n");
        }
    }

    void startHost(bool first)
    {
        std::vector<std::string> arguments { InstalledFiles::fromPhonectl().springBoardHost().string(), "--root", m_root.string() };
        if (m_session)
            arguments.push_back("--session");
        if (m_clock) {
            arguments.push_back("--clock");
            arguments.push_back(first ? *m_clock : "resume");
        }
        // GLib before 2.76 keeps the small blocks freed through its slice allocator for good, and
        // a host linked to a session passes every event of the session's calendars through GLib
        // after each start: its blocks come from malloc, which gives them back. A setting the
        // owner made stays.
        setenv("G_SLICE", "always-malloc", 0);
        m_host = spawn(arguments, PhoneControl::hostOutputPath(m_root), false);
        std::fprintf(stderr, "phonectl: the home screen runs as process %d\n", m_host);
    }

    // Waits until the host ends (true) or the supervisor is told to stop (false).
    bool waitForHost()
    {
        for (;;) {
            auto event = m_wake.next();
            if (event == SupervisorWake::Event::Stop)
                return false;
            if (event != SupervisorWake::Event::ChildEnded)
                continue;
            int status = 0;
            if (waitpid(m_host, &status, WNOHANG) == m_host) {
                describeEnd(status);
                m_host = -1;
                return true;
            }
        }
    }

    void describeEnd(int status)
    {
        if (WIFEXITED(status))
            std::fprintf(stderr, "phonectl: the home screen exited with status %d\n", WEXITSTATUS(status));
        else if (WIFSIGNALED(status))
            std::fprintf(stderr, "phonectl: the home screen was killed by signal %d\n", WTERMSIG(status));
    }

    void stopHost()
    {
        if (m_host <= 0)
            return;
        // Reaped by the pidfd's source once it has ended.
        bool ended = false;
        ChildExitSource hostEnd(m_host, [&ended](const ProcessExit&) { ended = true; });
        kill(m_host, SIGTERM);
        if (!waitUntil([&] { return ended; }, std::chrono::seconds(10))) {
            kill(m_host, SIGKILL);
            int status = 0;
            waitpid(m_host, &status, 0);
        }
        m_host = -1;
    }

    std::filesystem::path m_root;
    std::optional<std::string> m_clock;
    bool m_session { false };
    std::optional<pid_t> m_foreground;
    // Made with the supervisor, so the signals are blocked before anything starts; it goes after
    // the bus, so the session's phone name is given back once the phone has stopped.
    SupervisorWake m_wake;
    std::unique_ptr<PhoneBus> m_bus;
    pid_t m_host { -1 };
};

}

int supervisePhone(const std::filesystem::path& root, const std::optional<std::string>& clock, bool session, std::optional<pid_t> foreground)
{
    return Supervisor(root, clock, session, foreground).run();
}

pid_t startDetachedProcess(const std::vector<std::string>& arguments, const std::filesystem::path& output)
{
    return spawn(arguments, output, true);
}

bool isProcessAlive(pid_t pid)
{
    return processAlive(pid);
}

std::optional<pid_t> readProcessFile(const std::filesystem::path& file)
{
    return readPid(file);
}

std::string lastLinesOf(const std::filesystem::path& file, size_t lines)
{
    return tail(file, lines);
}
