#include "platform/machinery/PhoneBus.h"

#include "platform/machinery/AtomicFile.h"
#include "platform/machinery/BusDaemon.h"

#include <csignal>
#include <cstring>
#include <stdexcept>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

constexpr std::chrono::milliseconds kStartTimeout { 10000 };
constexpr int kStopTimeoutMs = 5000;

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
    BusDaemonConfiguration bus;
    bus.socket = socket;
    if (!writeFileAtomically(configPath(root), busDaemonConfiguration(bus), &why))
        throw std::runtime_error("phone bus: cannot write " + configPath(root).string() + ": " + why);

    // The daemon ends with the thread that started it, so a crashed owner leaves no bus behind.
    ChildOptions child;
    child.log = logPath;
    BusDaemon daemon = startBusDaemon(configPath(root), child, kStartTimeout, "phone bus");
    if (!writeFileAtomically(addressPath(root), daemon.address + "\n", &why)) {
        kill(daemon.pid, SIGKILL);
        waitForProcessEnd(daemon.pid, -1);
        throw std::runtime_error("phone bus: cannot write " + addressPath(root).string() + ": " + why);
    }
    return std::unique_ptr<PhoneBus>(new PhoneBus(root, daemon.pid, daemon.address));
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
    endProcess(m_pid, kStopTimeoutMs);
    std::filesystem::remove(socketPath(m_root), ignored);
}
