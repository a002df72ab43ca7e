#include "platform/session/testsupport/PrivateSession.h"

#include "platform/machinery/BusDaemon.h"
#include "platform/machinery/ChildProcess.h"
#include "platform/machinery/SdBusHandles.h"
#include "platform/session/NetworkManagerNames.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <functional>
#include <poll.h>
#include <set>
#include <sstream>
#include <stdexcept>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kStartTimeoutMs = 15000;
constexpr int kStopTimeoutMs = 5000;
constexpr int kCommandTimeoutMs = 60000;
constexpr uint64_t kCallTimeoutUsec = 15'000'000;
constexpr size_t kLogTail = 800;
constexpr const char* kWho = "private session";

using namespace NetworkManagerNames;

// python3-dbusmock's control interface, on the object its NetworkManager template serves.
constexpr const char* kMockPath = kObjectManagerPath;
constexpr const char* kMockInterface = "org.freedesktop.DBus.Mock";
constexpr const char* kPropertiesInterface = "org.freedesktop.DBus.Properties";
constexpr const char* kDevicePath = "/org/freedesktop/NetworkManager/Devices/wlan0";

// The variables the session sets, in this process and for every child.
constexpr const char* kSessionVariables[] = { "XDG_RUNTIME_DIR", "HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME",
    "DBUS_SESSION_BUS_ADDRESS", "DBUS_SYSTEM_BUS_ADDRESS", "PULSE_SERVER", "GSETTINGS_BACKEND" };

int remainingMs(Clock::time_point deadline)
{
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left < 0 ? 0 : static_cast<int>(left);
}

std::string readText(const std::filesystem::path& path)
{
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

void writeText(const std::filesystem::path& path, const std::string& text)
{
    std::ofstream out(path, std::ios::trunc);
    out << text;
    if (!out.flush())
        throw std::runtime_error("private session: cannot write " + path.string());
}

int openPidfd(pid_t pid)
{
    return static_cast<int>(syscall(SYS_pidfd_open, pid, 0));
}

// Every process whose parent chain leads to `root`, read from /proc (the bus daemons' babysitters
// and the services they activated).
std::vector<pid_t> descendantsOf(pid_t root)
{
    std::map<pid_t, std::vector<pid_t>> children;
    if (DIR* proc = opendir("/proc")) {
        while (dirent* entry = readdir(proc)) {
            char* end = nullptr;
            long pid = strtol(entry->d_name, &end, 10);
            if (pid <= 0 || *end)
                continue;
            std::string stat = readText(std::filesystem::path("/proc") / entry->d_name / "stat");
            // "pid (comm) state ppid ...": comm may hold spaces and parentheses.
            size_t close = stat.rfind(')');
            if (close == std::string::npos)
                continue;
            char state;
            long parent;
            if (sscanf(stat.c_str() + close + 1, " %c %ld", &state, &parent) == 2)
                children[static_cast<pid_t>(parent)].push_back(static_cast<pid_t>(pid));
        }
        closedir(proc);
    }
    std::vector<pid_t> found;
    std::vector<pid_t> next { root };
    while (!next.empty()) {
        pid_t pid = next.back();
        next.pop_back();
        for (pid_t child : children[pid]) {
            found.push_back(child);
            next.push_back(child);
        }
    }
    return found;
}

// The start time of a process in clock ticks since boot ("" when there is none): with the pid, it
// names one process even after its pid is reused.
std::string processStartTime(pid_t pid)
{
    std::string stat = readText("/proc/" + std::to_string(pid) + "/stat");
    size_t close = stat.rfind(')');
    if (close == std::string::npos)
        return "";
    std::stringstream fields(stat.substr(close + 1));
    std::string field;
    // Fields 3 to 22; the start time is the 22nd.
    for (int i = 3; i <= 22 && fields >> field; ++i) { }
    return field;
}

constexpr const char* kFolderPrefix = "hl-session-";

// A test process that died without its destructors (a crash, a time-out's kill) took its daemons
// with it (they end with their parent) but left its folder: the next session removes it.
void removeAbandonedFolders()
{
    std::error_code error;
    auto now = std::filesystem::file_time_type::clock::now();
    for (const auto& entry : std::filesystem::directory_iterator("/tmp", error)) {
        if (entry.path().filename().string().rfind(kFolderPrefix, 0) != 0 || !entry.is_directory(error))
            continue;
        std::ifstream ownerFile(entry.path() / "owner");
        long pid = 0;
        std::string started;
        bool abandoned;
        if (ownerFile >> pid >> started)
            abandoned = processStartTime(static_cast<pid_t>(pid)) != started;
        else
            abandoned = now - entry.last_write_time(error) > std::chrono::minutes(1);
        if (abandoned)
            std::filesystem::remove_all(entry.path(), error);
    }
}

// D-Bus strings must be UTF-8; an SSID need not be.
bool isUtf8(const std::string& text)
{
    size_t i = 0;
    while (i < text.size()) {
        auto c = static_cast<unsigned char>(text[i]);
        size_t length = c < 0x80 ? 1 : (c >> 5) == 0x6 ? 2 : (c >> 4) == 0xe ? 3 : (c >> 3) == 0x1e ? 4 : 0;
        if (length == 0 || i + length > text.size())
            return false;
        for (size_t k = 1; k < length; ++k)
            if ((static_cast<unsigned char>(text[i + k]) & 0xc0) != 0x80)
                return false;
        i += length;
    }
    return true;
}

void check(int r, const std::string& what)
{
    if (r < 0)
        throw std::runtime_error("private session: " + what + ": " + strerror(-r));
}

std::string errorText(const sd_bus_error& error, int r)
{
    if (error.name)
        return std::string(error.name) + (error.message ? std::string(": ") + error.message : "");
    return strerror(-r);
}

}

struct PrivateSession::Impl {
    Options options;
    std::filesystem::path dir;
    std::map<std::string, std::string> variables;
    // What the variables were before start(); none for a variable that was not set.
    std::map<std::string, std::optional<std::string>> saved;
    bool variablesSet { false };

    pid_t sessionBusPid { -1 };
    pid_t systemBusPid { -1 };
    pid_t soundServerPid { -1 };
    pid_t networkManagerPid { -1 };
    std::string sessionAddress;
    std::string systemAddress;

    // The session's own connections, for its control calls; opened on first use.
    sd_bus* sessionBus { nullptr };
    sd_bus* systemBus { nullptr };

    // What the NetworkManager mock holds now.
    struct Joined {
        std::string ssid;
        std::string accessPoint;
        std::string activeConnection;
    };
    std::optional<Joined> joined;
    std::map<std::string, std::string> savedConnections;
    bool asleep { false };
    unsigned nextObject { 0 };

    ~Impl() { shutDown(); }

    std::filesystem::path runtimeDir() const { return dir / "runtime"; }
    std::filesystem::path logDir() const { return dir / "log"; }
    std::filesystem::path soundSocket() const { return runtimeDir() / "pulse/native"; }

    // The environment of a child: this process's, with the session's variables.
    std::vector<std::string> childEnvironment(const std::map<std::string, std::string>& extra = {}) const
    {
        std::map<std::string, std::string> merged;
        for (char** entry = environ; *entry; ++entry) {
            std::string text = *entry;
            size_t equals = text.find('=');
            if (equals != std::string::npos)
                merged[text.substr(0, equals)] = text.substr(equals + 1);
        }
        // A test runner's own bus or systemd notify socket must not leak into the session.
        for (const char* name : { "NOTIFY_SOCKET", "DBUS_STARTER_ADDRESS", "DBUS_STARTER_BUS_TYPE", "PULSE_RUNTIME_PATH",
                 "PULSE_STATE_PATH", "PULSE_CLIENTCONFIG" })
            merged.erase(name);
        for (const char* name : kSessionVariables)
            merged.erase(name);
        for (const auto& [name, value] : variables)
            merged[name] = value;
        for (const auto& [name, value] : extra)
            merged[name] = value;
        std::vector<std::string> env;
        for (const auto& [name, value] : merged)
            env.push_back(name + "=" + value);
        return env;
    }

    // A child of the session: the session's environment (with the extra variables), its log, and
    // a process group of its own, so that a terminal's Ctrl-C reaches the test, which ends the
    // session.
    ChildOptions childSpec(const std::filesystem::path& log, const std::map<std::string, std::string>& extra = {}) const
    {
        ChildOptions child;
        child.env = childEnvironment(extra);
        child.log = log;
        child.ownProcessGroup = true;
        return child;
    }

    void makeFolders()
    {
        removeAbandonedFolders();
        std::string pattern = std::string("/tmp/") + kFolderPrefix + "XXXXXX";
        if (!mkdtemp(pattern.data()))
            throw std::runtime_error(std::string("private session: mkdtemp: ") + strerror(errno));
        dir = pattern;
        writeText(dir / "owner", std::to_string(getpid()) + " " + processStartTime(getpid()) + "\n");
        for (const char* sub : { "runtime", "runtime/pulse", "home", "home/.config", "home/.config/pulse", "home/.local/share",
                 "home/.cache", "log", "services" })
            std::filesystem::create_directories(dir / sub);
        // GLib and PulseAudio refuse a runtime folder others may enter.
        std::filesystem::permissions(runtimeDir(), std::filesystem::perms::owner_all, std::filesystem::perm_options::replace);
        std::filesystem::permissions(runtimeDir() / "pulse", std::filesystem::perms::owner_all, std::filesystem::perm_options::replace);
        // A client that finds no server must say so, not start a PulseAudio of its own outside
        // the session's control.
        writeText(dir / "home/.config/pulse/client.conf", "autospawn = no\n");

        variables["XDG_RUNTIME_DIR"] = runtimeDir().string();
        variables["HOME"] = (dir / "home").string();
        variables["XDG_CONFIG_HOME"] = (dir / "home/.config").string();
        variables["XDG_DATA_HOME"] = (dir / "home/.local/share").string();
        variables["XDG_CACHE_HOME"] = (dir / "home/.cache").string();
        if (options.soundServer)
            variables["PULSE_SERVER"] = "unix:" + soundSocket().string();
        // GSettings goes through dconf, as on the phone's desktop, whatever the test runner set.
        variables["GSETTINGS_BACKEND"] = "dconf";
    }

    // The session bus starts only the services laid into its own folder, so that a desktop
    // without feedbackd can be played and nothing else of the machine's is activated.
    void layServiceFiles()
    {
        struct Service {
            const char* file;
            const char* package;
            bool wanted;
        } services[] = {
            { "ca.desrt.dconf.service", "dconf-service", true },
            { "org.sigxcpu.Feedback.service", "feedbackd", options.feedbackd },
        };
        for (const auto& service : services) {
            if (!service.wanted)
                continue;
            std::filesystem::path found;
            for (const char* root : { "/usr/local/share/dbus-1/services", "/usr/share/dbus-1/services" }) {
                if (std::filesystem::exists(std::filesystem::path(root) / service.file)) {
                    found = std::filesystem::path(root) / service.file;
                    break;
                }
            }
            if (found.empty())
                throw std::runtime_error(std::string("private session: no D-Bus service file ") + service.file + " (Debian package "
                    + service.package + ")");
            std::filesystem::copy_file(found, dir / "services" / service.file);
        }
    }

    // Starts a dbus-daemon and waits until it prints its address, which it does once it listens.
    std::string startBus(const char* name, const char* type, const std::filesystem::path& socket, bool services, pid_t& pid)
    {
        std::filesystem::path config = dir / (std::string(name) + ".conf");
        BusDaemonConfiguration bus;
        bus.socket = socket;
        bus.type = type;
        bus.keepUmask = true;
        if (services)
            bus.serviceDir = dir / "services";
        writeText(config, busDaemonConfiguration(bus));
        ChildOptions child = childSpec(logDir() / (std::string(name) + ".log"));
        BusDaemon daemon = startBusDaemon(config, child, std::chrono::milliseconds(kStartTimeoutMs), std::string(kWho) + " (" + name + ")");
        pid = daemon.pid;
        return daemon.address;
    }

    static sd_bus* connect(const std::string& address)
    {
        sd_bus* bus = nullptr;
        int r = sdBusOpenClient(address.c_str(), &bus);
        if (r < 0)
            throw std::runtime_error("private session: cannot connect to " + address + ": " + strerror(-r));
        return bus;
    }

    sd_bus* session()
    {
        if (!sessionBus)
            sessionBus = connect(sessionAddress);
        return sessionBus;
    }

    sd_bus* system()
    {
        if (!systemBus)
            systemBus = connect(systemAddress);
        return systemBus;
    }

    // Bus-activated services get the bus daemon's environment: it already has the session's
    // variables from its start; saying them again keeps them whatever the daemon did with its own.
    void updateActivationEnvironment()
    {
        SdBusMessage call;
        check(sd_bus_message_new_method_call(session(), &call.message, "org.freedesktop.DBus", "/org/freedesktop/DBus",
                  "org.freedesktop.DBus", "UpdateActivationEnvironment"),
            "UpdateActivationEnvironment");
        check(sd_bus_message_open_container(call.message, 'a', "{ss}"), "UpdateActivationEnvironment");
        for (const auto& [name, value] : variables)
            check(sd_bus_message_append(call.message, "{ss}", name.c_str(), value.c_str()), "UpdateActivationEnvironment");
        check(sd_bus_message_close_container(call.message), "UpdateActivationEnvironment");
        SdBusError error;
        int r = sd_bus_call(session(), call.message, kCallTimeoutUsec, &error.error, nullptr);
        if (r < 0)
            throw std::runtime_error("private session: UpdateActivationEnvironment: " + errorText(error.error, r));
    }

    void setVariables()
    {
        for (const char* name : kSessionVariables) {
            const char* value = getenv(name);
            saved[name] = value ? std::optional<std::string>(value) : std::nullopt;
        }
        variablesSet = true;
        for (const char* name : kSessionVariables) {
            auto it = variables.find(name);
            if (it != variables.end())
                setenv(name, it->second.c_str(), 1);
            else
                unsetenv(name);
        }
    }

    void restoreVariables()
    {
        if (!variablesSet)
            return;
        for (const auto& [name, value] : saved) {
            if (value)
                setenv(name.c_str(), value->c_str(), 1);
            else
                unsetenv(name.c_str());
        }
        variablesSet = false;
    }

    // PulseAudio says READY=1 on a notify socket (as for systemd) once its modules are loaded.
    void startSoundServer()
    {
        std::filesystem::path notifyPath = runtimeDir() / "pulse-notify";
        std::error_code ignored;
        std::filesystem::remove(notifyPath, ignored);
        int notify = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        if (notify < 0)
            throw std::runtime_error(std::string("private session: socket: ") + strerror(errno));
        sockaddr_un address { };
        address.sun_family = AF_UNIX;
        strncpy(address.sun_path, notifyPath.c_str(), sizeof address.sun_path - 1);
        if (bind(notify, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
            close(notify);
            throw std::runtime_error("private session: cannot bind " + notifyPath.string() + ": " + strerror(errno));
        }

        // Its stored values (the stream-restore and device-restore databases) live in the session's folder and
        // outlive a restart.
        ChildOptions request = childSpec(logDir() / "pulseaudio.log",
            { { "NOTIFY_SOCKET", notifyPath.string() }, { "PULSE_STATE_PATH", (dir / "home/.config/pulse").string() },
                { "PULSE_RUNTIME_PATH", (runtimeDir() / "pulse").string() } });
        request.argv = { requireProgram("pulseaudio", "pulseaudio", kWho), "-n", "--daemonize=no", "--exit-idle-time=-1",
            "--use-pid-file=no", "--realtime=no", "--high-priority=no", "--log-target=stderr", "--disallow-module-loading=no",
            // Loaded before the sink, so that a restarted server gives the sink its stored volume.
            "-L", "module-device-restore", "-L", "module-null-sink sink_name=test_sink", "-L",
            "module-native-protocol-unix auth-anonymous=1 socket=" + soundSocket().string(), "-L",
            "module-stream-restore restore_device=false" };
        pid_t pid;
        try {
            pid = startChild(request);
        } catch (...) {
            close(notify);
            throw;
        }
        soundServerPid = pid;

        int pidfd = openPidfd(pid);
        auto deadline = Clock::now() + std::chrono::milliseconds(kStartTimeoutMs);
        bool ready = false;
        bool ended = false;
        while (!ready && !ended) {
            pollfd fds[2] = { { notify, POLLIN, 0 }, { pidfd, POLLIN, 0 } };
            int n = poll(fds, pidfd >= 0 ? 2 : 1, remainingMs(deadline));
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                break;
            if (fds[0].revents & POLLIN) {
                char buffer[4096];
                ssize_t got = recv(notify, buffer, sizeof buffer - 1, 0);
                if (got > 0) {
                    buffer[got] = 0;
                    ready = strstr(buffer, "READY=1") != nullptr;
                }
            }
            if (pidfd >= 0 && (fds[1].revents & POLLIN))
                ended = true;
        }
        if (pidfd >= 0)
            close(pidfd);
        close(notify);
        std::filesystem::remove(notifyPath, ignored);
        if (!ready) {
            stopSoundServer();
            throw std::runtime_error(std::string("private session: PulseAudio ") + (ended ? "ended" : "did not become ready")
                + " at start: " + tailOfFile(request.log, kLogTail));
        }
        // Ready means ready to a client too: a client's first question must be answered.
        int status = runCommand("pactl info", nullptr, nullptr);
        if (status != 0) {
            stopSoundServer();
            throw std::runtime_error("private session: pactl info got no answer from the new PulseAudio: " + tailOfFile(request.log, kLogTail));
        }
    }

    void stopSoundServer()
    {
        endProcess(soundServerPid, kStopTimeoutMs);
        soundServerPid = -1;
    }

    // Runs `sh -c command`; returns its exit status (-1 for a signal or a time-out).
    int runCommand(const std::string& command, std::string* output, std::string* errors) const
    {
        int outPipe[2], errPipe[2];
        if (pipe2(outPipe, O_CLOEXEC) != 0)
            throw std::runtime_error(std::string("private session: pipe: ") + strerror(errno));
        if (pipe2(errPipe, O_CLOEXEC) != 0) {
            close(outPipe[0]);
            close(outPipe[1]);
            throw std::runtime_error(std::string("private session: pipe: ") + strerror(errno));
        }
        ChildOptions request = childSpec({});
        request.argv = { "/bin/sh", "-c", command };
        request.stdoutFd = outPipe[1];
        request.stderrFd = errPipe[1];
        request.dieWithParent = false;
        pid_t pid;
        try {
            pid = startChild(request);
        } catch (...) {
            for (int fd : { outPipe[0], outPipe[1], errPipe[0], errPipe[1] })
                close(fd);
            throw;
        }
        close(outPipe[1]);
        close(errPipe[1]);
        std::string out, err;
        auto deadline = Clock::now() + std::chrono::milliseconds(kCommandTimeoutMs);
        pollfd fds[2] = { { outPipe[0], POLLIN, 0 }, { errPipe[0], POLLIN, 0 } };
        bool timedOut = false;
        while (fds[0].fd >= 0 || fds[1].fd >= 0) {
            int n = poll(fds, 2, remainingMs(deadline));
            if (n < 0 && errno == EINTR)
                continue;
            if (n == 0) {
                timedOut = true;
                break;
            }
            for (int i = 0; i < 2; ++i) {
                if (fds[i].fd < 0 || !fds[i].revents)
                    continue;
                char buffer[4096];
                ssize_t got = read(fds[i].fd, buffer, sizeof buffer);
                if (got > 0) {
                    (i == 0 ? out : err).append(buffer, static_cast<size_t>(got));
                } else if (got == 0 || errno != EINTR) {
                    close(fds[i].fd);
                    fds[i].fd = -1;
                }
            }
        }
        for (auto& fd : fds)
            if (fd.fd >= 0)
                close(fd.fd);
        if (timedOut)
            kill(pid, SIGKILL);
        int status = 0;
        while (waitpid(pid, &status, 0) < 0 && errno == EINTR) { }
        if (output)
            *output = out;
        if (errors)
            *errors = timedOut ? "timed out after " + std::to_string(kCommandTimeoutMs / 1000) + " s; " + err : err;
        return !timedOut && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    // Waits until the name has an owner on the bus (present) or none; the bus tells through
    // NameOwnerChanged. `process` is a process whose end makes the wait pointless.
    bool waitForName(sd_bus* bus, const char* name, bool present, pid_t process, int timeoutMs)
    {
        bool reached = false;
        std::string rule = std::string("type='signal',sender='org.freedesktop.DBus',interface='org.freedesktop.DBus',"
                                       "member='NameOwnerChanged',arg0='")
            + name + "'";
        struct State {
            bool* reached;
            bool present;
        } state { &reached, present };
        sd_bus_slot* slot = nullptr;
        check(sd_bus_add_match(
                  bus, &slot, rule.c_str(),
                  [](sd_bus_message* message, void* userdata, sd_bus_error*) {
                      auto* state = static_cast<State*>(userdata);
                      const char *which = nullptr, *from = nullptr, *to = nullptr;
                      if (sd_bus_message_read(message, "sss", &which, &from, &to) >= 0 && to)
                          *state->reached = (*to != 0) == state->present;
                      return 0;
                  },
                  &state),
            "add a match");
        // Asked after the match is in place, so that a change in between is not missed.
        SdBusError error;
        SdBusMessage reply;
        int r = sd_bus_call_method(bus, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus", "NameHasOwner",
            &error.error, &reply.message, "s", name);
        int has = 0;
        if (r >= 0 && sd_bus_message_read(reply.message, "b", &has) >= 0 && (has != 0) == present)
            reached = true;
        int pidfd = process > 0 ? openPidfd(process) : -1;
        auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
        while (!reached) {
            // A synchronous call may have left messages queued in memory: dispatch them first.
            while ((r = sd_bus_process(bus, nullptr)) > 0 && !reached) { }
            if (reached || r < 0)
                break;
            int events = sd_bus_get_events(bus);
            pollfd fds[2] = { { sd_bus_get_fd(bus), static_cast<short>(events > 0 ? events : POLLIN), 0 }, { pidfd, POLLIN, 0 } };
            int n = poll(fds, pidfd >= 0 ? 2 : 1, remainingMs(deadline));
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                break;
            if (pidfd >= 0 && (fds[1].revents & POLLIN)) {
                sd_bus_process(bus, nullptr);
                break;
            }
        }
        if (pidfd >= 0)
            close(pidfd);
        sd_bus_slot_unref(slot);
        return reached;
    }

    std::optional<pid_t> processOwning(const char* name)
    {
        SdBusError error;
        SdBusMessage reply;
        int r = sd_bus_call_method(session(), "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
            "GetConnectionUnixProcessID", &error.error, &reply.message, "s", name);
        uint32_t pid = 0;
        if (r < 0 || sd_bus_message_read(reply.message, "u", &pid) < 0 || pid == 0)
            return std::nullopt;
        return static_cast<pid_t>(pid);
    }

    void killService(const char* name)
    {
        auto pid = processOwning(name);
        if (!pid)
            return;
        endProcess(*pid, kStopTimeoutMs, false);
        // The caller's next call must start it again, not reach the old one's name.
        if (!waitForName(session(), name, false, -1, kStopTimeoutMs))
            throw std::runtime_error(std::string("private session: ") + name + " kept its name after its process ended");
    }

    // The NetworkManager mock.
    void startNetworkManager()
    {
        ChildOptions request = childSpec(logDir() / "networkmanager.log", { { "PYTHONUNBUFFERED", "1" } });
        request.argv = { "/usr/bin/python3", "-m", "dbusmock", "--template", "networkmanager" };
        if (access(request.argv[0].c_str(), X_OK) != 0)
            throw std::runtime_error("private session: /usr/bin/python3 is not installed (Debian package python3-dbusmock)");
        networkManagerPid = startChild(request);
        if (!waitForName(system(), kService, true, networkManagerPid, kStartTimeoutMs)) {
            std::string why = tailOfFile(request.log, kLogTail);
            stopNetworkManager();
            throw std::runtime_error("private session: the NetworkManager mock did not appear on the system bus: " + why);
        }
        // Calls wait until the template is loaded: the mock takes its name before that.
        mockCall(kMockPath, kMockInterface, "AddWiFiDevice", [](sd_bus_message* m) {
            return sd_bus_message_append(m, "ssi", "wlan0", "wlan0", static_cast<int32_t>(kDeviceStateDisconnected));
        });
        // The template lacks the property that names the joined access point.
        mockCall(kDevicePath, kMockInterface, "AddProperty",
            [](sd_bus_message* m) { return sd_bus_message_append(m, "ssv", kWirelessInterface, "ActiveAccessPoint", "o", "/"); });
        joined.reset();
        savedConnections.clear();
        asleep = false;
    }

    void stopNetworkManager()
    {
        endProcess(networkManagerPid, kStopTimeoutMs);
        networkManagerPid = -1;
        joined.reset();
        savedConnections.clear();
        asleep = false;
    }

    void requireNetworkManager() const
    {
        if (networkManagerPid <= 0)
            throw std::runtime_error("private session: the NetworkManager mock is not running");
    }

    // A synchronous call to the mock; `read` gets the reply.
    void mockCall(const char* path, const char* interface, const char* member, const std::function<int(sd_bus_message*)>& build,
        const std::function<int(sd_bus_message*)>& read = {})
    {
        SdBusMessage call;
        SdBusMessage reply;
        SdBusError error;
        std::string what = std::string("NetworkManager mock ") + member;
        check(sd_bus_message_new_method_call(system(), &call.message, kService, path, interface, member), what);
        if (build)
            check(build(call.message), what);
        int r = sd_bus_call(system(), call.message, kCallTimeoutUsec, &error.error, &reply.message);
        if (r < 0)
            throw std::runtime_error("private session: " + what + ": " + errorText(error.error, r));
        if (read)
            check(read(reply.message), what + " reply");
    }

    std::string mockCallForPath(const char* path, const char* interface, const char* member,
        const std::function<int(sd_bus_message*)>& build, char type = 's')
    {
        std::string result;
        mockCall(path, interface, member, build, [&](sd_bus_message* reply) {
            const char* value = nullptr;
            int r = sd_bus_message_read_basic(reply, type, &value);
            if (r >= 0 && value)
                result = value;
            return r;
        });
        return result;
    }

    void setActiveAccessPoint(const std::string& path)
    {
        mockCall(kDevicePath, kPropertiesInterface, "Set", [&](sd_bus_message* m) {
            return sd_bus_message_append(m, "ssv", kWirelessInterface, "ActiveAccessPoint", "o", path.c_str());
        });
    }

    void setState(uint32_t state)
    {
        mockCall(kMockPath, kMockInterface, "SetGlobalConnectionState", [&](sd_bus_message* m) { return sd_bus_message_append(m, "u", state); });
    }

    std::string nextName(const char* prefix) { return prefix + std::to_string(nextObject++); }

    // A saved connection through Settings.AddConnection, as a settings app makes one: it needs no
    // access point in range.
    std::string addConnection(const std::string& ssid)
    {
        if (auto it = savedConnections.find(ssid); it != savedConnections.end())
            return it->second;
        // NetworkManager names a connection after its network; a name that is no text gets another.
        std::string id = isUtf8(ssid) ? ssid : "Wi-Fi " + std::to_string(nextObject);
        std::string uuid = "6d8f1a3c-0000-4000-8000-" + std::string(12 - std::to_string(nextObject).size(), '0') + std::to_string(nextObject);
        ++nextObject;
        std::string path = mockCallForPath(
            kSettingsPath, kSettingsInterface, "AddConnection",
            [&](sd_bus_message* m) {
                int r = sd_bus_message_open_container(m, 'a', "{sa{sv}}");
                if (r >= 0)
                    r = sd_bus_message_append(m, "{sa{sv}}", "connection", 3, "id", "s", id.c_str(), "type", "s", "802-11-wireless", "uuid",
                        "s", uuid.c_str());
                if (r >= 0)
                    r = sd_bus_message_open_container(m, 'e', "sa{sv}");
                if (r >= 0)
                    r = sd_bus_message_append(m, "s", "802-11-wireless");
                if (r >= 0)
                    r = sd_bus_message_open_container(m, 'a', "{sv}");
                if (r >= 0)
                    r = sd_bus_message_open_container(m, 'e', "sv");
                if (r >= 0)
                    r = sd_bus_message_append(m, "s", "ssid");
                if (r >= 0)
                    r = sd_bus_message_open_container(m, 'v', "ay");
                if (r >= 0)
                    r = sd_bus_message_append_array(m, 'y', ssid.data(), ssid.size());
                if (r >= 0)
                    r = sd_bus_message_close_container(m);
                if (r >= 0)
                    r = sd_bus_message_close_container(m);
                if (r >= 0)
                    r = sd_bus_message_append(m, "{sv}", "mode", "s", "infrastructure");
                if (r >= 0)
                    r = sd_bus_message_close_container(m);
                if (r >= 0)
                    r = sd_bus_message_close_container(m);
                if (r >= 0)
                    r = sd_bus_message_close_container(m);
                return r;
            },
            'o');
        savedConnections[ssid] = path;
        return path;
    }

    // The mock's Delete also sets the global state (waking a sleeping NetworkManager): the
    // connection is taken off the list and out of the mock by hand instead.
    void removeConnection(const std::string& ssid)
    {
        auto it = savedConnections.find(ssid);
        if (it == savedConnections.end())
            return;
        std::string path = it->second;
        savedConnections.erase(it);
        std::vector<std::string> remaining;
        for (const auto& [_, other] : savedConnections)
            remaining.push_back(other);
        mockCall(kSettingsPath, kPropertiesInterface, "Set", [&](sd_bus_message* m) {
            int r = sd_bus_message_append(m, "ss", kSettingsInterface, "Connections");
            if (r >= 0)
                r = sd_bus_message_open_container(m, 'v', "ao");
            if (r >= 0)
                r = sd_bus_message_open_container(m, 'a', "o");
            for (const auto& other : remaining)
                if (r >= 0)
                    r = sd_bus_message_append(m, "o", other.c_str());
            if (r >= 0)
                r = sd_bus_message_close_container(m);
            if (r >= 0)
                r = sd_bus_message_close_container(m);
            return r;
        });
        mockCall(kMockPath, kMockInterface, "RemoveObject", [&](sd_bus_message* m) { return sd_bus_message_append(m, "o", path.c_str()); });
    }

    void join(const std::string& ssid)
    {
        requireNetworkManager();
        if (joined)
            leave(true);
        Joined network;
        network.ssid = ssid;
        std::string apName = nextName("ap");
        char bssid[18];
        snprintf(bssid, sizeof bssid, "02:00:00:00:%02x:%02x", (nextObject >> 8) & 0xff, nextObject & 0xff);
        network.accessPoint = mockCallForPath(kMockPath, kMockInterface, "AddAccessPoint", [&](sd_bus_message* m) {
            return sd_bus_message_append(m, "ssssuuuyu", kDevicePath, apName.c_str(), ssid.c_str(), bssid, 2u, 2412u, 54000u,
                static_cast<uint8_t>(80), kSecurityWpaPsk);
        });
        std::string connection = addConnection(ssid);
        std::string activeName = nextName("active");
        network.activeConnection = mockCallForPath(kMockPath, kMockInterface, "AddActiveConnection", [&](sd_bus_message* m) {
            return sd_bus_message_append(m, "assssu", 1, kDevicePath, connection.c_str(), network.accessPoint.c_str(), activeName.c_str(),
                kActiveConnectionActivated);
        });
        joined = network;
        // Last, as NetworkManager does once associated: the device names its access point. A
        // sleeping NetworkManager joins nothing until it wakes.
        if (!asleep)
            setActiveAccessPoint(network.accessPoint);
    }

    void leave(bool keepSaved)
    {
        requireNetworkManager();
        if (!joined)
            return;
        Joined network = *joined;
        joined.reset();
        if (!asleep)
            setActiveAccessPoint("/");
        mockCall(kMockPath, kMockInterface, "RemoveActiveConnection",
            [&](sd_bus_message* m) { return sd_bus_message_append(m, "ss", kDevicePath, network.activeConnection.c_str()); });
        mockCall(kMockPath, kMockInterface, "RemoveAccessPoint",
            [&](sd_bus_message* m) { return sd_bus_message_append(m, "ss", kDevicePath, network.accessPoint.c_str()); });
        if (!keepSaved)
            removeConnection(network.ssid);
    }

    // As around a suspend: NetworkManager goes to sleep and drops the device's association; at
    // wake it is disconnected first, associates again, then is connected.
    void setAsleep(bool sleep)
    {
        requireNetworkManager();
        if (sleep == asleep)
            return;
        if (sleep) {
            setState(kStateAsleep);
            asleep = true;
            if (joined)
                setActiveAccessPoint("/");
            return;
        }
        asleep = false;
        setState(kStateDisconnected);
        if (joined)
            setActiveAccessPoint(joined->accessPoint);
        setState(kStateConnectedGlobal);
    }

    // Clients first (the mock, the activated services, the sound server), buses last.
    void shutDown()
    {
        for (sd_bus** bus : { &sessionBus, &systemBus }) {
            if (*bus)
                sd_bus_flush_close_unref(*bus);
            *bus = nullptr;
        }
        endProcess(networkManagerPid, kStopTimeoutMs);
        networkManagerPid = -1;
        for (pid_t bus : { sessionBusPid, systemBusPid }) {
            if (bus <= 0)
                continue;
            for (pid_t activated : descendantsOf(bus))
                endProcess(activated, kStopTimeoutMs, false);
        }
        stopSoundServer();
        for (pid_t* bus : { &sessionBusPid, &systemBusPid }) {
            endProcess(*bus, kStopTimeoutMs);
            *bus = -1;
        }
        restoreVariables();
        if (!dir.empty()) {
            std::error_code ignored;
            std::filesystem::remove_all(dir, ignored);
            dir.clear();
        }
    }
};

std::unique_ptr<PrivateSession> PrivateSession::start(Options options)
{
    auto impl = std::make_unique<Impl>();
    impl->options = options;
    impl->makeFolders();
    impl->layServiceFiles();
    // The system bus first: the session's services may look for it as they start.
    impl->systemAddress = impl->startBus("system-bus", "system", impl->dir / "system_bus_socket", false, impl->systemBusPid);
    impl->variables["DBUS_SYSTEM_BUS_ADDRESS"] = impl->systemAddress;
    impl->sessionAddress = impl->startBus("session-bus", "session", impl->runtimeDir() / "bus", true, impl->sessionBusPid);
    impl->variables["DBUS_SESSION_BUS_ADDRESS"] = impl->sessionAddress;
    impl->updateActivationEnvironment();
    if (options.soundServer)
        impl->startSoundServer();
    if (options.networkManager)
        impl->startNetworkManager();
    impl->setVariables();
    return std::unique_ptr<PrivateSession>(new PrivateSession(std::move(impl)));
}

PrivateSession::PrivateSession(std::unique_ptr<Impl> impl)
    : m_impl(std::move(impl))
{
}

PrivateSession::~PrivateSession() = default;

const std::filesystem::path& PrivateSession::dir() const
{
    return m_impl->dir;
}

std::string PrivateSession::sessionBusAddress() const
{
    return m_impl->sessionAddress;
}

std::string PrivateSession::systemBusAddress() const
{
    return m_impl->systemAddress;
}

std::string PrivateSession::soundServerAddress() const
{
    auto it = m_impl->variables.find("PULSE_SERVER");
    return it == m_impl->variables.end() ? "" : it->second;
}

std::map<std::string, std::string> PrivateSession::environment() const
{
    return m_impl->variables;
}

std::string PrivateSession::run(const std::string& command) const
{
    std::string output, errors;
    int status = m_impl->runCommand(command, &output, &errors);
    if (status != 0) {
        while (!errors.empty() && errors.back() == '\n')
            errors.pop_back();
        throw std::runtime_error("private session: `" + command + "` failed (" + (status < 0 ? "killed" : "exit " + std::to_string(status))
            + ")" + (errors.empty() ? "" : ": " + errors));
    }
    return output;
}

std::string PrivateSession::runTrimmed(const std::string& command) const
{
    std::string output = run(command);
    while (!output.empty() && (output.back() == '\n' || output.back() == ' '))
        output.pop_back();
    return output;
}

std::string PrivateSession::sinkVolume(const std::string& sink) const
{
    return runTrimmed("pactl get-sink-volume " + sink + " | head -n 1 | awk '{print $3, $10}'");
}

void PrivateSession::stopSoundServer()
{
    m_impl->stopSoundServer();
}

void PrivateSession::startSoundServer()
{
    if (!m_impl->options.soundServer)
        throw std::runtime_error("private session: started without a sound server");
    if (!isSoundServerRunning())
        m_impl->startSoundServer();
}

bool PrivateSession::isSoundServerRunning() const
{
    if (m_impl->soundServerPid <= 0)
        return false;
    // Ended on its own (a crash): reaped here, so that the next start is a clean one.
    int status;
    if (waitpid(m_impl->soundServerPid, &status, WNOHANG) == m_impl->soundServerPid) {
        m_impl->soundServerPid = -1;
        return false;
    }
    return true;
}

void PrivateSession::killFeedbackd()
{
    m_impl->killService("org.sigxcpu.Feedback");
}

void PrivateSession::killDconf()
{
    m_impl->killService("ca.desrt.dconf");
}

void PrivateSession::joinNetwork(const std::string& ssid)
{
    m_impl->join(ssid);
}

void PrivateSession::leaveNetwork(bool keepSaved)
{
    m_impl->leave(keepSaved);
}

void PrivateSession::addSavedNetwork(const std::string& ssid)
{
    m_impl->requireNetworkManager();
    m_impl->addConnection(ssid);
}

void PrivateSession::setNetworkManagerAsleep(bool asleep)
{
    m_impl->setAsleep(asleep);
}

void PrivateSession::stopNetworkManager()
{
    m_impl->stopNetworkManager();
}

void PrivateSession::startNetworkManager()
{
    if (m_impl->networkManagerPid > 0)
        return;
    m_impl->startNetworkManager();
}
