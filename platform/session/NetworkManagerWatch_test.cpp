#include "platform/session/NetworkManagerWatch.h"

#include "platform/foundation/NSRunLoop.h"
#include "platform/session/testsupport/PrivateSession.h"
#include "platform/testsupport/DeviceFixture.h"

#include <algorithm>
#include <chrono>
#include <gtest/gtest.h>

namespace {

using Strings = std::vector<std::string>;

// NetworkManager (python3-dbusmock's) on the system bus of a private session, and a watch of it
// on the main run loop that writes down everything it reports.
class NetworkManagerWatchTest : public DeviceFixture {
protected:
    void SetUp() override
    {
        DeviceFixture::SetUp();
        NSRunLoop::main().reset();
    }
    void TearDown() override
    {
        m_watch.reset();
        NSRunLoop::main().reset();
        m_session.reset();
        DeviceFixture::TearDown();
    }

    void startSession(bool networkManager = true)
    {
        PrivateSession::Options options;
        options.soundServer = false;
        options.feedbackd = false;
        options.networkManager = networkManager;
        m_session = PrivateSession::start(options);
    }

    void startWatch(double settleSeconds = 20)
    {
        NetworkManagerWatch::Handlers handlers;
        handlers.joinedNetworkChanged = [this](const std::optional<std::string>& ssid) { m_joined.push_back(ssid.value_or("none")); };
        handlers.rememberedNetworksChanged = [this](const Strings& ssids) { m_remembered.push_back(ssids); };
        handlers.availabilityChanged = [this](bool present) { m_availability.push_back(present); };
        m_watch = NetworkManagerWatch::start(handlers, NetworkManagerWatch::Options { settleSeconds });
        ASSERT_TRUE(waitFor([&] { return m_watch->hasLooked() && !m_remembered.empty(); }));
    }

    bool waitFor(const std::function<bool()>& condition, double seconds = 10)
    {
        return NSRunLoop::main().runUntilCondition(condition, seconds);
    }
    bool waitForJoined(const std::string& ssid)
    {
        return waitFor([&] { return !m_joined.empty() && m_joined.back() == ssid; });
    }
    // A saved network added and seen: every change made before it has been looked at.
    void settleWithMarker(const std::string& marker)
    {
        m_session->addSavedNetwork(marker);
        ASSERT_TRUE(waitFor([&] {
            const auto& now = m_watch->rememberedNetworks();
            return std::find(now.begin(), now.end(), marker) != now.end();
        }));
    }

    std::unique_ptr<PrivateSession> m_session;
    std::shared_ptr<NetworkManagerWatch> m_watch;
    Strings m_joined;
    std::vector<Strings> m_remembered;
    std::vector<bool> m_availability;
};

}

TEST_F(NetworkManagerWatchTest, JoiningAndLeavingANetworkAreReported)
{
    startSession();
    startWatch();
    EXPECT_EQ(m_joined, Strings { "none" });
    EXPECT_EQ(m_remembered, std::vector<Strings> { Strings {} });
    EXPECT_EQ(m_availability, std::vector<bool> { true });

    m_session->joinNetwork("Home");
    ASSERT_TRUE(waitForJoined("Home"));
    EXPECT_EQ(m_watch->joinedNetwork(), "Home");
    ASSERT_TRUE(waitFor([&] { return m_remembered.back() == Strings { "Home" }; }));

    m_session->leaveNetwork();
    ASSERT_TRUE(waitForJoined("none"));
    EXPECT_EQ(m_watch->joinedNetwork(), std::nullopt);
    EXPECT_EQ(m_joined, (Strings { "none", "Home", "none" }));
    ASSERT_TRUE(waitFor([&] { return m_remembered.back().empty(); }));
}

TEST_F(NetworkManagerWatchTest, TheSavedNetworksAreTheRememberedOnesWithTheirBytesKept)
{
    startSession();
    m_session->addSavedNetwork("Cafe");
    // Latin-1, as old access points send it: not UTF-8.
    m_session->addSavedNetwork("Caf\xe9 2");
    startWatch();
    EXPECT_EQ(m_remembered, std::vector<Strings> { (Strings { "Cafe", "Caf\xe9 2" }) });
    EXPECT_EQ(NetworkManagerWatch::displayName(m_watch->rememberedNetworks().at(1)), "Caf\xEF\xBF\xBD 2");

    m_session->joinNetwork("Home");
    m_session->leaveNetwork(/*keepSaved=*/true);
    ASSERT_TRUE(waitFor([&] { return m_watch->rememberedNetworks() == Strings { "Cafe", "Caf\xe9 2", "Home" }; }));
    // Joining a saved network keeps it once in the list.
    m_session->joinNetwork("Cafe");
    ASSERT_TRUE(waitForJoined("Cafe"));
    settleWithMarker("Marker");
    EXPECT_EQ(m_watch->rememberedNetworks(), (Strings { "Cafe", "Caf\xe9 2", "Home", "Marker" }));
}

TEST_F(NetworkManagerWatchTest, ASuspendOnTheSameNetworkIsNoChange)
{
    startSession();
    m_session->joinNetwork("Home");
    startWatch();
    ASSERT_EQ(m_joined, Strings { "Home" });

    // NetworkManager drops the association when it goes to sleep and takes it up again after.
    m_session->setNetworkManagerAsleep(true);
    ASSERT_TRUE(waitFor([&] { return m_watch->isAsleep(); }));
    EXPECT_EQ(m_watch->joinedNetwork(), "Home");
    m_session->setNetworkManagerAsleep(false);
    settleWithMarker("Marker");
    EXPECT_FALSE(m_watch->isAsleep());
    EXPECT_EQ(m_joined, Strings { "Home" });
    EXPECT_EQ(m_availability, std::vector<bool> { true });
}

TEST_F(NetworkManagerWatchTest, ANetworkChangedDuringASuspendIsReportedAtTheWake)
{
    startSession();
    m_session->joinNetwork("Home");
    startWatch();
    m_session->setNetworkManagerAsleep(true);
    ASSERT_TRUE(waitFor([&] { return m_watch->isAsleep(); }));
    m_session->leaveNetwork();
    m_session->joinNetwork("Work");
    settleWithMarker("Marker");
    EXPECT_EQ(m_joined, Strings { "Home" }) << "nothing is reported while NetworkManager sleeps";

    m_session->setNetworkManagerAsleep(false);
    ASSERT_TRUE(waitForJoined("Work"));
    EXPECT_EQ(m_joined, (Strings { "Home", "Work" }));
}

TEST_F(NetworkManagerWatchTest, ANetworkLeftDuringASuspendIsReportedOnceItHadTimeToComeBack)
{
    constexpr double kSettle = 0.5;
    startSession();
    m_session->joinNetwork("Home");
    startWatch(kSettle);
    m_session->setNetworkManagerAsleep(true);
    ASSERT_TRUE(waitFor([&] { return m_watch->isAsleep(); }));
    m_session->leaveNetwork();

    auto woke = std::chrono::steady_clock::now();
    m_session->setNetworkManagerAsleep(false);
    ASSERT_TRUE(waitForJoined("none"));
    EXPECT_GE(std::chrono::duration<double>(std::chrono::steady_clock::now() - woke).count(), kSettle);
    EXPECT_EQ(m_joined, (Strings { "Home", "none" }));
}

TEST_F(NetworkManagerWatchTest, ARestartOfNetworkManagerIsNoticedAndTheNetworkKeptMeanwhile)
{
    startSession();
    m_session->joinNetwork("Home");
    startWatch();

    m_session->stopNetworkManager();
    ASSERT_TRUE(waitFor([&] { return !m_watch->isPresent(); }));
    EXPECT_EQ(m_watch->joinedNetwork(), "Home");
    EXPECT_EQ(m_watch->rememberedNetworks(), Strings { "Home" });
    EXPECT_EQ(logCount("NetworkManager left the system bus"), 1u) << logText();

    // The new NetworkManager has not taken the network back (yet): no "none" while it may.
    m_session->startNetworkManager();
    ASSERT_TRUE(waitFor([&] { return m_watch->isPresent(); }));
    m_session->joinNetwork("Work");
    ASSERT_TRUE(waitForJoined("Work"));
    EXPECT_EQ(m_joined, (Strings { "Home", "Work" }));
    EXPECT_EQ(m_availability, (std::vector<bool> { true, false, true }));
    EXPECT_EQ(logCount("NetworkManager left the system bus"), 1u);
}

TEST_F(NetworkManagerWatchTest, WithoutNetworkManagerThePhoneHasNoWifiAndTheLogSaysSoOnce)
{
    startSession(/*networkManager=*/false);
    startWatch();
    EXPECT_FALSE(m_watch->isPresent());
    EXPECT_EQ(m_joined, Strings { "none" });
    EXPECT_EQ(m_remembered, std::vector<Strings> { Strings {} });
    EXPECT_EQ(m_availability, std::vector<bool> { false });
    EXPECT_EQ(logCount("no NetworkManager on the system bus"), 1u) << logText();

    // Started later, it is taken up as soon as the bus says so.
    m_session->startNetworkManager();
    m_session->joinNetwork("Home");
    ASSERT_TRUE(waitForJoined("Home"));
    EXPECT_EQ(m_availability, (std::vector<bool> { false, true }));
    EXPECT_EQ(logCount("no NetworkManager on the system bus"), 1u);
}

TEST(NetworkManagerWatchNameTest, ADisplayNameIsUtf8WithEveryStrayByteReplaced)
{
    const std::string replacement = "\xEF\xBF\xBD";
    struct Case {
        std::string ssid;
        std::string shown;
    } cases[] = {
        { "Home", "Home" },
        { "Caf\xC3\xA9 \xF0\x9F\x93\xB6", "Caf\xC3\xA9 \xF0\x9F\x93\xB6" },
        { "Caf\xE9", "Caf" + replacement },
        { "\xC0\x80", replacement + replacement },                     // an overlong NUL
        { "\xED\xA0\x80", replacement + replacement + replacement },   // a UTF-16 surrogate
        { "\xF4\x90\x80\x80", replacement + replacement + replacement + replacement }, // past U+10FFFF
        { "ab\xE2\x82", "ab" + replacement + replacement },           // cut short
        { std::string("a\0b", 3), "a" + replacement + "b" },
    };
    for (const auto& c : cases)
        EXPECT_EQ(NetworkManagerWatch::displayName(c.ssid), c.shown) << c.ssid;
}
