#include "platform/session/NotificationBanners.h"

#include "platform/foundation/NSRunLoop.h"
#include "platform/session/testsupport/PrivateSession.h"
#include "platform/testsupport/DeviceFixture.h"

#include <filesystem>
#include <fstream>
#include <gio/gio.h>
#include <vector>

namespace {

// show-banners of a private session's dconf, as the owner and the phone change it.
class NotificationBannersTest : public DeviceFixture {
protected:
    void SetUp() override
    {
        DeviceFixture::SetUp();
        m_session = PrivateSession::start({ .soundServer = false, .networkManager = false, .feedbackd = false });
        m_banners = NotificationBanners::connect([this](bool shown) { m_ownerChanges.push_back(shown); });
    }

    void TearDown() override
    {
        m_banners.reset();
        m_session.reset();
        DeviceFixture::TearDown();
    }

    std::string atDconf() const { return m_session->runTrimmed("gsettings get org.gnome.desktop.notifications show-banners"); }
    void ownerSets(bool shown) const
    {
        m_session->run(std::string("gsettings set org.gnome.desktop.notifications show-banners ") + (shown ? "true" : "false"));
    }

    // What setShown's `done` says, once it says it.
    std::optional<bool> write(bool shown)
    {
        std::optional<bool> result;
        m_banners->setShown(shown, [&](bool ok) { result = ok; });
        NSRunLoop::main().runUntilCondition([&] { return result.has_value(); }, 5.0);
        return result;
    }

    static bool until(const std::function<bool()>& condition) { return NSRunLoop::main().runUntilCondition(condition, 5.0); }

    // Threads of this process that carry its own name: the main one, and any a std::thread made.
    // GLib names its own workers (gmain, gdbus, dconf worker).
    static std::string threadName(const std::filesystem::path& comm)
    {
        std::string name;
        std::getline(std::ifstream(comm), name);
        return name;
    }
    static size_t threadsNamedAsTheProcess()
    {
        std::string own = threadName("/proc/self/comm");
        size_t count = 0;
        for (const auto& task : std::filesystem::directory_iterator("/proc/self/task"))
            count += threadName(task.path() / "comm") == own;
        return count;
    }
    static std::string threadNames()
    {
        std::string names;
        for (const auto& task : std::filesystem::directory_iterator("/proc/self/task"))
            names += threadName(task.path() / "comm") + "; ";
        return names;
    }

    std::unique_ptr<PrivateSession> m_session;
    std::shared_ptr<NotificationBanners> m_banners;
    std::vector<bool> m_ownerChanges;
};

}

TEST_F(NotificationBannersTest, BannersFollowTheOwnerAndOurWritesReachDconfWithNoThreadOfOurs)
{
    ASSERT_TRUE(m_banners->isPresent());
    EXPECT_EQ(m_banners->areShown(), true);

    EXPECT_EQ(write(false), true);
    EXPECT_EQ(atDconf(), "false");
    NSRunLoop::main().runUntilCondition([] { return false; }, 0.2);
    EXPECT_TRUE(m_ownerChanges.empty()) << "our own write came back as ours";

    ownerSets(true);
    ASSERT_TRUE(until([&] { return !m_ownerChanges.empty(); }));
    EXPECT_EQ(m_ownerChanges, std::vector<bool> { true });
    EXPECT_EQ(m_banners->areShown(), true);
    // Checked once GLib's own workers have worked, so that each has named itself.
    EXPECT_EQ(threadsNamedAsTheProcess(), 1u) << "GLib is turned by the main run loop; threads: " << threadNames();
}

TEST_F(NotificationBannersTest, ARestartedDconfServiceStillCarriesBothWays)
{
    EXPECT_EQ(write(false), true);
    m_session->killDconf();

    ownerSets(true);
    ASSERT_TRUE(until([&] { return !m_ownerChanges.empty(); })) << "the owner's write started dconf-service again";
    EXPECT_EQ(m_ownerChanges, std::vector<bool> { true });

    m_session->killDconf();
    EXPECT_EQ(write(false), true) << "our write starts it again";
    EXPECT_EQ(atDconf(), "false");
    EXPECT_EQ(m_ownerChanges.size(), 1u);
}

TEST_F(NotificationBannersTest, AWriteAfterTheSessionBusDiedIsRefused)
{
    GObjectRef<GDBusConnection> bus(g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr));
    ASSERT_TRUE(bus);
    m_session->killSessionBus();
    // GDBus's worker must notice the end of the bus.
    ASSERT_TRUE(until([&] { return g_dbus_connection_is_closed(bus.get()); }));

    EXPECT_EQ(write(false), false);
    EXPECT_EQ(atDconf(), "true") << "dconf never had it";
    NSRunLoop::main().runUntilCondition([] { return false; }, 0.2);
    EXPECT_TRUE(m_ownerChanges.empty()) << "the refused write is no change of the owner's";
}
