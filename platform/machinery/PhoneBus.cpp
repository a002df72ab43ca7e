#include "platform/machinery/PhoneBus.h"

#include "platform/machinery/AtomicFile.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <stdexcept>
#include <sys/syscall.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr int kStartTimeoutMs = 10000;
constexpr int kStopTimeoutMs = 5000;

// A D-Bus address value: every byte outside the optionally-escaped set becomes %XX.
std::string escapeAddressValue(const std::string& value)
{
    static const char* hex = "0123456789abcdef";
    std::string escaped;
    for (unsigned char c : value) {
        if (isalnum(c) || strchr("-_/.\\*", c)) {
            escaped += static_cast<char>(c);
        } else {
            escaped += '%';
            escaped += hex[c >> 4];
            escaped += hex[c & 15];
        }
    }
    return escaped;
}

std::string escapeXML(const std::string& text)
{
    std::string escaped;
    for (char c : text) {
        switch (c) {
        case '&': escaped += "&amp;"; break;
        case '<': escaped += "&lt;"; break;
        case '>': escaped += "&gt;"; break;
        case '"': escaped += "&quot;"; break;
        case '\'': escaped += "&apos;"; break;
        default: escaped += c;
        }
    }
    return escaped;
}

// Every process of the phone runs as the same user and may own any name and talk to anyone;
// the bus is private to the phone because its socket lives under the phone's root.
std::string configuration(const std::filesystem::path& socket)
{
    return "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\"\n"
           " \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
           "<busconfig>\n"
           "  <listen>"
        + escapeXML("unix:path=" + escapeAddressValue(socket.string())) + "</listen>\n"
        + "  <auth>EXTERNAL</auth>\n"
          "  <policy context=\"default\">\n"
          "    <allow own=\"*\"/>\n"
          "    <allow send_destination=\"*\" eavesdrop=\"true\"/>\n"
          "    <allow eavesdrop=\"true\"/>\n"
          "  </policy>\n"
          "</busconfig>\n";
}

// Whether something accepts connections on the Unix socket.
bool somethingListens(const std::filesystem::path& socket)
{
    sockaddr_un address { };
    address.sun_family = AF_UNIX;
    if (socket.string().size() >= sizeof address.sun_path)
        return false;
    strcpy(address.sun_path, socket.c_str());
    int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    bool connected = connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    close(fd);
    return connected;
}

std::string findDaemon()
{
    const char* path = getenv("PATH");
    std::string dirs = path && *path ? path : "/usr/bin:/bin";
    size_t start = 0;
    while (start <= dirs.size()) {
        size_t end = dirs.find(':', start);
        std::string dir = dirs.substr(start, end == std::string::npos ? std::string::npos : end - start);
        std::string candidate = (dir.empty() ? "." : dir) + "/dbus-daemon";
        if (access(candidate.c_str(), X_OK) == 0)
            return candidate;
        if (end == std::string::npos)
            break;
        start = end + 1;
    }
    throw std::runtime_error("phone bus: dbus-daemon is not installed (Debian package dbus-daemon)");
}

// A descriptor numbered 3 or above, so that it cannot collide with the standard streams that
// the child sets up.
int aboveStandardStreams(int fd)
{
    if (fd > STDERR_FILENO)
        return fd;
    int moved = fcntl(fd, F_DUPFD_CLOEXEC, STDERR_FILENO + 1);
    close(fd);
    return moved;
}

std::string tailOf(const std::filesystem::path& path)
{
    std::string text;
    if (!readFile(path, text))
        return "";
    if (text.size() > 600)
        text = "..." + text.substr(text.size() - 600);
    while (!text.empty() && (text.back() == '\n' || text.back() == ' '))
        text.pop_back();
    return text;
}

// Waits for the daemon to print its address (it does so once it listens). Empty on failure.
std::string readAddress(int fd)
{
    std::string text;
    for (;;) {
        pollfd ready { fd, POLLIN, 0 };
        int n = poll(&ready, 1, kStartTimeoutMs);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return "";
        char buffer[512];
        ssize_t got = read(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return "";
        text.append(buffer, static_cast<size_t>(got));
        size_t newline = text.find('\n');
        if (newline != std::string::npos)
            return text.substr(0, newline);
    }
}

// Waits at most timeoutMs for the child to end; true when it has been reaped.
bool waitForExit(pid_t pid, int timeoutMs)
{
    int pidfd = static_cast<int>(syscall(SYS_pidfd_open, pid, 0));
    if (pidfd >= 0) {
        pollfd ended { pidfd, POLLIN, 0 };
        int n;
        do {
            n = poll(&ended, 1, timeoutMs);
        } while (n < 0 && errno == EINTR);
        close(pidfd);
        if (n == 0)
            return false;
    }
    int status;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) { }
    return true;
}

}

std::filesystem::path PhoneBus::configPath(const std::filesystem::path& root)
{
    return root / "var/run/dbus/phone.conf";
}

std::filesystem::path PhoneBus::socketPath(const std::filesystem::path& root)
{
    return root / "var/run/dbus/phone_bus_socket";
}

std::filesystem::path PhoneBus::addressPath(const std::filesystem::path& root)
{
    return root / "var/run/dbus/phone_bus_address";
}

std::optional<std::string> PhoneBus::runningAddress(const std::filesystem::path& root)
{
    std::string text;
    if (!readFile(addressPath(root), text))
        return std::nullopt;
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
        text.pop_back();
    if (text.empty() || !somethingListens(socketPath(root)))
        return std::nullopt;
    return text;
}

std::unique_ptr<PhoneBus> PhoneBus::start(const std::filesystem::path& givenRoot)
{
    std::filesystem::path root = std::filesystem::absolute(givenRoot);
    std::filesystem::path socket = socketPath(root);
    if (socket.string().size() >= sizeof(sockaddr_un::sun_path))
        throw std::runtime_error("phone bus: the socket path " + socket.string() + " is " + std::to_string(socket.string().size())
            + " bytes long, more than a Unix socket allows (" + std::to_string(sizeof(sockaddr_un::sun_path) - 1)
            + "); use a device root with a shorter path");
    if (somethingListens(socket))
        throw std::runtime_error("phone bus: a bus is already running for " + root.string());

    std::error_code error;
    std::filesystem::create_directories(socket.parent_path(), error);
    std::filesystem::path logPath = root / "var/log/phone-bus.log";
    std::filesystem::create_directories(logPath.parent_path(), error);
    std::filesystem::remove(addressPath(root), error);
    std::string why;
    if (!writeFileAtomically(configPath(root), configuration(socket), &why))
        throw std::runtime_error("phone bus: cannot write " + configPath(root).string() + ": " + why);

    int pipeFds[2];
    if (pipe2(pipeFds, O_CLOEXEC) != 0)
        throw std::runtime_error(std::string("phone bus: pipe: ") + strerror(errno));
    int readEnd = aboveStandardStreams(pipeFds[0]);
    int writeEnd = aboveStandardStreams(pipeFds[1]);

    // Everything the child needs is prepared before fork: after it, only async-signal-safe calls.
    std::string daemon = findDaemon();
    std::string configArgument = "--config-file=" + configPath(root).string();
    std::string addressArgument = "--print-address=" + std::to_string(writeEnd);
    std::vector<char*> argv { daemon.data(), configArgument.data(), addressArgument.data(),
        const_cast<char*>("--nofork"), const_cast<char*>("--nopidfile"), const_cast<char*>("--nosyslog"), nullptr };
    std::string logFile = logPath.string();
    pid_t parent = getpid();

    pid_t pid = fork();
    if (pid < 0) {
        close(readEnd);
        close(writeEnd);
        throw std::runtime_error(std::string("phone bus: fork: ") + strerror(errno));
    }
    if (pid == 0) {
        prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (getppid() != parent)
            _exit(127);
        sigset_t none;
        sigemptyset(&none);
        sigprocmask(SIG_SETMASK, &none, nullptr);
        int null = open("/dev/null", O_RDWR);
        int log = open(logFile.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_NOFOLLOW, 0600);
        dup2(null, STDIN_FILENO);
        dup2(null, STDOUT_FILENO);
        dup2(log >= 0 ? log : null, STDERR_FILENO);
        fcntl(writeEnd, F_SETFD, 0);
        execv(argv[0], argv.data());
        _exit(127);
    }
    close(writeEnd);
    std::string address = readAddress(readEnd);
    close(readEnd);
    if (address.empty()) {
        kill(pid, SIGKILL);
        waitForExit(pid, -1);
        throw std::runtime_error("phone bus: dbus-daemon did not start for " + root.string() + ": " + tailOf(logPath));
    }
    if (!writeFileAtomically(addressPath(root), address + "\n", &why)) {
        kill(pid, SIGKILL);
        waitForExit(pid, -1);
        throw std::runtime_error("phone bus: cannot write " + addressPath(root).string() + ": " + why);
    }
    return std::unique_ptr<PhoneBus>(new PhoneBus(root, pid, address));
}

PhoneBus::PhoneBus(std::filesystem::path root, pid_t pid, std::string address)
    : m_root(std::move(root))
    , m_pid(pid)
    , m_address(std::move(address))
{
}

PhoneBus::~PhoneBus()
{
    stop();
}

void PhoneBus::stop()
{
    std::error_code ignored;
    std::filesystem::remove(addressPath(m_root), ignored);
    kill(m_pid, SIGTERM);
    if (!waitForExit(m_pid, kStopTimeoutMs)) {
        kill(m_pid, SIGKILL);
        waitForExit(m_pid, -1);
    }
    std::filesystem::remove(socketPath(m_root), ignored);
}
