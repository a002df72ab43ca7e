#include "platform/machinery/PhoneBus.h"

#include "platform/phonebus/BusDarwinNotifyCenter.h"
#include "platform/foundation/NSRunLoop.h"
#include "platform/phonebus/PhoneBusConnection.h"
#include "platform/testsupport/RunLoopFixture.h"

#include <csignal>
#include <fstream>
#include <sys/socket.h>
#include <sys/un.h>
#include <systemd/sd-bus.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

class PhoneBusTest : public RunLoopFixture {
protected:
    void TearDown() override
    {
        DarwinNotifyCenter::install(std::make_shared<InProcessDarwinNotifyCenter>());
        PhoneBusConnection::closeProcessConnection();
        RunLoopFixture::TearDown();
    }

    bool waitFor(const std::function<bool()>& condition) { return NSRunLoop::main().runUntilCondition(condition, 10); }
};

// A connection of its own that nothing serves: what it is sent waits unread.
sd_bus* unservedConnection(const std::string& address)
{
    sd_bus* bus = nullptr;
    EXPECT_GE(sd_bus_new(&bus), 0);
    sd_bus_set_address(bus, address.c_str());
    sd_bus_set_bus_client(bus, 1);
    EXPECT_GE(sd_bus_start(bus), 0);
    const char* unique;
    EXPECT_GE(sd_bus_get_unique_name(bus, &unique), 0);
    return bus;
}

}

TEST_F(PhoneBusTest, RunsUnderTheDeviceRootUntilItsOwnerIsDone)
{
    auto bus = PhoneBus::start(m_root);
    EXPECT_TRUE(fs::exists(PhoneBus::configPath(m_root)));
    EXPECT_TRUE(fs::is_socket(PhoneBus::socketPath(m_root)));
    auto address = PhoneBus::runningAddress(m_root);
    ASSERT_TRUE(address);
    EXPECT_EQ(*address, bus->address());
    EXPECT_NE(address->find(PhoneBus::socketPath(m_root).string()), std::string::npos);

    auto connection = PhoneBusConnection::process();
    ASSERT_TRUE(connection) << "a process of the phone finds the bus through the device root";
    EXPECT_EQ(connection->uniqueName().substr(0, 1), ":");
    EXPECT_EQ(PhoneBusConnection::process(), connection) << "one connection per process";

    try {
        PhoneBus::start(m_root);
        ADD_FAILURE() << "a second bus for the same root must be refused";
    } catch (const std::runtime_error& error) {
        EXPECT_NE(std::string(error.what()).find("already running"), std::string::npos) << error.what();
    }
    EXPECT_EQ(PhoneBus::runningAddress(m_root), bus->address()) << "the refused start leaves the running bus alone";

    pid_t pid = bus->pid();
    PhoneBusConnection::closeProcessConnection();
    bus.reset();
    EXPECT_NE(kill(pid, 0), 0) << "the daemon has been stopped and reaped";
    EXPECT_FALSE(fs::exists(PhoneBus::socketPath(m_root)));
    EXPECT_FALSE(fs::exists(PhoneBus::addressPath(m_root)));
    EXPECT_FALSE(PhoneBusConnection::process()) << "a phone that is not booted has no bus";
}

TEST_F(PhoneBusTest, ARootWithBlanksAndMarkupInItsPathWorks)
{
    fs::path root = m_root / "my phone & <co>'s";
    fs::create_directories(root);
    auto bus = PhoneBus::start(root);
    auto address = PhoneBus::runningAddress(root);
    ASSERT_TRUE(address);
    EXPECT_NO_THROW(PhoneBusConnection::open(*address));
}

TEST_F(PhoneBusTest, ARootTooDeepForAUnixSocketIsRefusedBeforeAnythingStarts)
{
    fs::path root = m_root / std::string(100, 'x');
    try {
        PhoneBus::start(root);
        ADD_FAILURE() << "the start must fail";
    } catch (const std::runtime_error& error) {
        EXPECT_NE(std::string(error.what()).find("more than a Unix socket allows"), std::string::npos) << error.what();
    }
    EXPECT_FALSE(fs::exists(PhoneBus::configPath(root)));
}

TEST_F(PhoneBusTest, AnAddressFileLeftByACrashedBusIsNoRunningBus)
{
    fs::create_directories(PhoneBus::socketPath(m_root).parent_path());
    // A socket file nobody listens on any more, and the address file that named it.
    int fd = socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address { };
    address.sun_family = AF_UNIX;
    strcpy(address.sun_path, PhoneBus::socketPath(m_root).c_str());
    ASSERT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    close(fd);
    std::ofstream(PhoneBus::addressPath(m_root)) << "unix:path=" << PhoneBus::socketPath(m_root).string() << "\n";

    EXPECT_FALSE(PhoneBus::runningAddress(m_root));
    EXPECT_FALSE(PhoneBusConnection::process());

    auto bus = PhoneBus::start(m_root);
    EXPECT_TRUE(PhoneBusConnection::process()) << "booting again replaces the stale files";
}

TEST_F(PhoneBusTest, TheRunLoopServesTheConnectionsDeadlinesAndQueuedMessages)
{
    auto bus = PhoneBus::start(m_root);
    auto connection = PhoneBusConnection::open(bus->address());
    sd_bus* silent = unservedConnection(bus->address());

    // A call that is never answered: sd-bus's time-out must fire although nothing else happens.
    bool timedOut = false;
    sd_bus_message* call = nullptr;
    const char* silentName = nullptr;
    sd_bus_get_unique_name(silent, &silentName);
    sd_bus_message_new_method_call(connection->bus(), &call, silentName, "/", "com.velloq.Test", "Never");
    ASSERT_GE(sd_bus_call_async(connection->bus(), nullptr, call, [](sd_bus_message* reply, void* flag, sd_bus_error*) {
        *static_cast<bool*>(flag) = sd_bus_error_has_name(sd_bus_message_get_error(reply), SD_BUS_ERROR_NO_REPLY);
        return 0;
    }, &timedOut, 200000), 0);
    sd_bus_message_unref(call);
    connection->updateWatch();
    EXPECT_TRUE(waitFor([&] { return timedOut; }));

    // A signal read while a synchronous call waited for its answer sits in sd-bus's queue, not
    // in the socket: it must still be dispatched on the next turn.
    BusDarwinNotifyCenter center(connection);
    int heard = 0;
    center.addObserver(this, "com.velloq.First", [&](const std::string&) { ++heard; });
    sd_bus_emit_signal(silent, BusDarwinNotifyCenter::kObjectPath, BusDarwinNotifyCenter::kInterface, BusDarwinNotifyCenter::kMember, "s",
        "com.velloq.First");
    sd_bus_flush(silent);
    center.addObserver(this, "com.velloq.Second", [](const std::string&) { });
    EXPECT_TRUE(waitFor([&] { return heard == 1; }));
    sd_bus_flush_close_unref(silent);
}

TEST_F(PhoneBusTest, AConnectionNoticesThatItsBusIsGone)
{
    auto bus = PhoneBus::start(m_root);
    auto connection = PhoneBusConnection::process();
    ASSERT_TRUE(connection);
    auto center = std::make_shared<BusDarwinNotifyCenter>(connection);
    // Whoever waits on the connection hears of its end: the local Disconnected signal and the
    // failure of a call still waiting for its answer.
    bool disconnected = false;
    sd_bus_slot* match = nullptr;
    ASSERT_GE(sd_bus_match_signal(connection->bus(), &match, nullptr, "/org/freedesktop/DBus/Local", "org.freedesktop.DBus.Local",
                  "Disconnected",
                  [](sd_bus_message*, void* flag, sd_bus_error*) {
                      *static_cast<bool*>(flag) = true;
                      return 0;
                  },
                  &disconnected),
        0);
    // A peer that never reads what it is sent: the call stays unanswered.
    sd_bus* silent = unservedConnection(bus->address());
    const char* silentName = nullptr;
    sd_bus_get_unique_name(silent, &silentName);
    bool callFailed = false;
    ASSERT_GE(sd_bus_call_method_async(connection->bus(), nullptr, silentName, "/", "com.velloq.Test", "Never",
                  [](sd_bus_message* reply, void* flag, sd_bus_error*) {
                      *static_cast<bool*>(flag) = sd_bus_message_is_method_error(reply, nullptr);
                      return 0;
                  },
                  &callFailed, ""),
        0);
    sd_bus_flush(connection->bus());
    bus.reset();
    sd_bus_flush_close_unref(silent);
    EXPECT_TRUE(waitFor([&] { return !connection->isOpen(); }));
    EXPECT_TRUE(disconnected);
    EXPECT_TRUE(callFailed) << "a pending call ends with a failure, not never";
    sd_bus_slot_unref(match);
    EXPECT_EQ(logCount("the connection to the phone's bus was lost"), 1u);

    center->post("com.velloq.Late");
    EXPECT_EQ(logCount("not connected to the phone's bus, \"com.velloq.Late\" is not posted"), 1u);
    EXPECT_FALSE(PhoneBusConnection::process());
}
