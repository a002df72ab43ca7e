#include "platform/phonebus/PhoneBusConnection.h"

#include "platform/machinery/DeviceRoot.h"
#include "platform/foundation/NSLog.h"
#include "platform/foundation/NSObject.h"
#include "platform/machinery/PhoneBus.h"
#include "platform/machinery/SdBusHandles.h"

#include <algorithm>
#include <cstring>
#include <mutex>
#include <poll.h>
#include <stdexcept>
#include <sys/epoll.h>
#include <systemd/sd-bus.h>
#include <unistd.h>

namespace {

// Messages dispatched in one turn of the loop before other sources get theirs.
constexpr int kMessagesPerTurn = 64;

std::mutex& processMutex()
{
    static std::mutex mutex;
    return mutex;
}

// Closed at exit, so that what the connection holds (running servers, which hold the
// connection in turn) is let go.
struct ProcessConnection {
    std::shared_ptr<PhoneBusConnection> connection;
    ~ProcessConnection()
    {
        if (connection)
            connection->close();
    }
};

std::shared_ptr<PhoneBusConnection>& processConnection()
{
    static ProcessConnection process;
    return process.connection;
}

}

std::shared_ptr<PhoneBusConnection> PhoneBusConnection::open(const std::string& address)
{
    sd_bus* bus = nullptr;
    int r = sdBusOpenClient(address.c_str(), &bus);
    // The unique name arrives with the bus's answer to Hello: once it is there, the connection
    // is authenticated and messages are written at once instead of being queued.
    const char* unique = nullptr;
    if (r >= 0)
        r = sd_bus_get_unique_name(bus, &unique);
    if (r < 0) {
        sd_bus_flush_close_unref(bus);
        throw std::runtime_error("phone bus: cannot connect to " + address + ": " + strerror(-r));
    }
    std::shared_ptr<PhoneBusConnection> connection(new PhoneBusConnection());
    connection->m_bus = bus;
    connection->attach();
    return connection;
}

std::shared_ptr<PhoneBusConnection> PhoneBusConnection::process()
{
    std::lock_guard lock(processMutex());
    auto& connection = processConnection();
    std::filesystem::path root = DeviceRoot::path();
    if (connection && connection->isOpen() && connection->m_root == root)
        return connection;
    if (connection) {
        connection->close();
        connection.reset();
    }
    auto address = PhoneBus::runningAddress(root);
    if (!address)
        return nullptr;
    try {
        connection = open(*address);
        connection->m_root = root;
    } catch (const std::exception& error) {
        NSLog("%s", error.what());
    }
    return connection;
}

void PhoneBusConnection::closeProcessConnection()
{
    std::shared_ptr<PhoneBusConnection> connection;
    {
        std::lock_guard lock(processMutex());
        connection.swap(processConnection());
    }
    if (connection)
        connection->close();
}

PhoneBusConnection::~PhoneBusConnection()
{
    close();
}

std::string PhoneBusConnection::uniqueName() const
{
    const char* unique = nullptr;
    if (!m_bus || sd_bus_get_unique_name(m_bus, &unique) < 0 || !unique)
        return "";
    return unique;
}

void PhoneBusConnection::attach()
{
    m_thread = std::this_thread::get_id();
    std::weak_ptr<PhoneBusConnection> weak = weak_from_this();
    m_deadline = std::make_unique<RunLoopTimer>(TimerClock::Monotonic, [weak](TimerEvent) {
        if (auto self = weak.lock(); self && self->isOpen())
            self->serve();
    });
    updateWatch();
}

void PhoneBusConnection::serve()
{
    // A handler may drop the last reference to this connection or close it.
    auto self = shared_from_this();
    for (int i = 0; i < kMessagesPerTurn && m_bus; ++i) {
        int r = sd_bus_process(m_bus, nullptr);
        if (r < 0 || (m_bus && sd_bus_is_open(m_bus) <= 0)) {
            NSLog("phone bus: the connection to the phone's bus was lost%s%s", r < 0 ? ": " : "", r < 0 ? strerror(-r) : "");
            finishClosing();
            close();
            return;
        }
        if (r == 0)
            break;
    }
    updateWatch();
}

void PhoneBusConnection::finishClosing()
{
    // Once the peer has hung up, sd-bus is "closing": each further sd_bus_process fails one
    // pending call (answering what its handler answered, 0 as often as not), then hands the local
    // Disconnected signal to the matches and closes, after which it answers with an error.
    // Closing before that would leave the pending calls' handlers and the Disconnected matches
    // uncalled. A connection still open (another error) has nothing of the kind to finish.
    if (!m_bus || sd_bus_is_open(m_bus) > 0)
        return;
    while (m_bus && sd_bus_process(m_bus, nullptr) >= 0) { }
}

void PhoneBusConnection::updateWatch()
{
    if (!m_bus)
        return;
    int pending = sd_bus_get_events(m_bus);
    uint32_t wanted = 0;
    if (pending > 0) {
        if (pending & POLLIN)
            wanted |= EPOLLIN;
        if (pending & POLLOUT)
            wanted |= EPOLLOUT;
    }
    if (!m_socketSource.isActive() || wanted != m_watchedEvents) {
        // The loop watches a descriptor once: the old watch goes before the new one comes.
        m_socketSource.reset();
        std::weak_ptr<PhoneBusConnection> weak = weak_from_this();
        m_socketSource = RunLoopSource(sd_bus_get_fd(m_bus), wanted, [weak](uint32_t) {
            if (auto self = weak.lock(); self && self->isOpen())
                self->serve();
        });
        m_watchedEvents = wanted;
    }
    armDeadline();
}

void PhoneBusConnection::armDeadline()
{
    // sd-bus answers an absolute time on the monotonic clock, in microseconds; 0 means "at once",
    // which is a time in the past.
    uint64_t usec = UINT64_MAX;
    if (sd_bus_get_timeout(m_bus, &usec) <= 0 || usec == UINT64_MAX) {
        m_deadline->disarm();
        return;
    }
    if (!m_deadline->armAt(static_cast<double>(usec) / 1e6))
        NSLog("phone bus: cannot arm the time-out timer: %s", strerror(errno));
}

bool PhoneBusConnection::send(sd_bus_message* message)
{
    if (!m_bus)
        return false;
    int r = sd_bus_send(m_bus, message, nullptr);
    updateWatch();
    if (r < 0) {
        NSLog("phone bus: cannot send a message: %s", strerror(-r));
        return false;
    }
    return true;
}

void PhoneBusConnection::flush()
{
    if (!m_bus)
        return;
    sd_bus_flush(m_bus);
    updateWatch();
}

void PhoneBusConnection::perform(std::function<void()> work)
{
    if (std::this_thread::get_id() == m_thread) {
        work();
        return;
    }
    std::weak_ptr<PhoneBusConnection> weak = weak_from_this();
    NSRunLoop::main().performBlock([weak, work = std::move(work)] {
        if (auto self = weak.lock(); self && self->isOpen())
            work();
    });
}

void PhoneBusConnection::hold(std::shared_ptr<NSObject> object)
{
    if (object && std::find(m_held.begin(), m_held.end(), object) == m_held.end())
        m_held.push_back(std::move(object));
}

void PhoneBusConnection::release(const NSObject* object)
{
    std::shared_ptr<NSObject> released;
    auto it = std::find_if(m_held.begin(), m_held.end(), [&](const auto& held) { return held.get() == object; });
    if (it == m_held.end())
        return;
    released = std::move(*it);
    m_held.erase(it);
}

void PhoneBusConnection::close()
{
    if (!m_bus)
        return;
    m_socketSource.reset();
    m_deadline.reset();
    // What the connection keeps alive may still release its registrations on the bus.
    std::vector<std::shared_ptr<NSObject>> held;
    held.swap(m_held);
    held.clear();
    sd_bus* bus = m_bus;
    m_bus = nullptr;
    sd_bus_flush_close_unref(bus);
}
