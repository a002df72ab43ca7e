#include "platform/session/SessionSounds.h"
#include "platform/session/SoundServer.h"

#include "platform/session/testsupport/SoundServerFixture.h"

#include <vector>

namespace {

constexpr uint32_t kNorm = 0x10000U;

// The sound server of a private session (a real PulseAudio), as the phone and its owner use it.
class SoundServerTest : public SoundServerFixture {
protected:
    void SetUp() override
    {
        SoundServerFixture::SetUp();
        m_session = PrivateSession::start({ .soundServer = true, .networkManager = false, .feedbackd = false });
    }

    void connectPhone()
    {
        m_server = connected({
            .ownerChangedRinger = [this](uint32_t volume) { m_ringerChanges.push_back(volume); },
            .ownerChangedMedia = [this](uint32_t volume) { m_mediaChanges.push_back(volume); },
            .defaultSinkChanged = [this](const std::string& sink) { m_sinks.push_back(sink); },
            .connectionChanged = [this](bool connected) { m_connections.push_back(connected); },
        });
    }

    // The owner's own client: another process's changes of the event role come from one.
    SoundServer& owner()
    {
        if (!m_owner)
            m_owner = connected();
        return *m_owner;
    }

    std::string sinkVolume(const char* sink = "test_sink") const { return m_session->sinkVolume(sink); }

    std::vector<uint32_t> m_ringerChanges;
    std::vector<uint32_t> m_mediaChanges;
    std::vector<std::string> m_sinks;
    std::vector<bool> m_connections;
};

}

TEST_F(SoundServerTest, WritesReachTheServerWithTheBalanceKeptAndAreNotTakenForTheOwners)
{
    m_session->run("pactl set-sink-volume test_sink 70% 35%");
    connectPhone();
    EXPECT_EQ(m_server->eventRoleVolume(), kNorm) << "no event-role entry yet reads as 100 %";
    EXPECT_EQ(m_server->mediaVolume(), 45875u) << "the loudest channel";
    EXPECT_EQ(m_connections, std::vector<bool> { true });

    ASSERT_TRUE(write([&](auto done) { m_server->setMediaVolume(0, done); }));
    EXPECT_EQ(sinkVolume(), "0 0");
    ASSERT_TRUE(write([&](auto done) { m_server->setMediaVolume(45875, done); }));
    EXPECT_EQ(sinkVolume(), "45875 22937") << "a volume set after 0 gets the balance back";

    ASSERT_TRUE(write([&](auto done) { m_server->setEventRoleVolume(4096, done); }));
    EXPECT_EQ(owner().eventRoleVolume(), 4096u) << "another client reads the entry";
    settle(*m_server);
    EXPECT_TRUE(m_ringerChanges.empty());
    EXPECT_TRUE(m_mediaChanges.empty());
}

TEST_F(SoundServerTest, TheOwnersChangesAreReportedEvenWhileOurWriteIsOnItsWay)
{
    connectPhone();
    m_session->run("pactl set-sink-volume test_sink 40%");
    ASSERT_TRUE(until([&] { return !m_mediaChanges.empty(); }));
    EXPECT_EQ(m_mediaChanges.back(), 26214u);

    ASSERT_TRUE(write([&](auto done) { owner().setEventRoleVolume(30000, done); }));
    ASSERT_TRUE(until([&] { return !m_ringerChanges.empty(); }));
    EXPECT_EQ(m_ringerChanges, std::vector<uint32_t> { 30000 });

    // Our write goes out, and the owner's lands right behind it at the server: there is no time
    // after a write of ours in which the owner's change would be taken for ours.
    m_server->setEventRoleVolume(8192);
    ASSERT_TRUE(until([&] { return owner().eventRoleVolume() == 8192u; }));
    owner().setEventRoleVolume(50000);
    ASSERT_TRUE(until([&] { return m_ringerChanges.size() == 2; })) << m_ringerChanges.size();
    EXPECT_EQ(m_ringerChanges.back(), 50000u);
    EXPECT_EQ(m_server->eventRoleVolume(), 50000u);
}

TEST_F(SoundServerTest, ATonePlaysAsAnEventSoundOfTheThemeAndAFreshEntryReadsAsFull)
{
    connectPhone();
    SessionSounds sounds;
    ASSERT_TRUE(sounds.play("texttone:Calendar Alert"));
    std::string inputs;
    ASSERT_TRUE(until([&] {
        inputs = m_session->run("pactl list sink-inputs");
        return inputs.find("media.role = \"event\"") != std::string::npos;
    })) << inputs;
    EXPECT_NE(inputs.find("event.id = \"alarm-clock-elapsed\""), std::string::npos) << inputs;
    sounds.stop();
    // Whatever the first event sound left in the entry (often no volume at all), it reads as 100 %.
    EXPECT_EQ(owner().eventRoleVolume(), kNorm);

    EXPECT_NE(SessionSounds::soundFor("texttone:Aurora"), SessionSounds::soundFor("texttone:Bamboo")) << "different choices sound different";
    EXPECT_EQ(SessionSounds::soundFor("ringtone:Opening"), "phone-incoming-call");
}

TEST_F(SoundServerTest, ANewDefaultSinkIsNoChangeOfTheOwnersAndWritesGoToTheNewDefault)
{
    connectPhone();
    m_session->run("pactl load-module module-null-sink sink_name=headset >/dev/null && pactl set-sink-volume headset 30% && "
                   "pactl set-default-sink headset");
    ASSERT_TRUE(until([&] { return !m_sinks.empty(); }));
    EXPECT_EQ(m_sinks, std::vector<std::string> { "headset" });
    EXPECT_TRUE(m_mediaChanges.empty()) << "plugging a headset is not the owner turning the volume";
    EXPECT_EQ(m_server->mediaVolume(), 19660u);

    ASSERT_TRUE(write([&](auto done) { m_server->setMediaVolume(0, done); }));
    EXPECT_EQ(sinkVolume("headset"), "0 0");
    EXPECT_EQ(sinkVolume(), "65536 65536");
    // The owner's own sink gets exactly its channels back, whichever is the default now.
    ASSERT_TRUE(write([&](auto done) { m_server->setSinkChannels("test_sink", { 45875, 22937 }, done); }));
    EXPECT_EQ(sinkVolume(), "45875 22937");
}

TEST_F(SoundServerTest, ARestartedServerIsFoundAgainByItsSocketAndReadAgain)
{
    connectPhone();
    ASSERT_TRUE(write([&](auto done) { m_server->setEventRoleVolume(12345, done); }));
    m_owner.reset();
    m_session->stopSoundServer();
    ASSERT_TRUE(until([&] { return !m_server->isConnected(); }));
    EXPECT_EQ(m_connections, (std::vector<bool> { true, false }));
    EXPECT_EQ(logCount("no sound server"), 1u);

    m_session->startSoundServer();
    ASSERT_TRUE(until([&] { return m_connections.size() == 3; })) << "woken by the socket's return";
    EXPECT_TRUE(m_server->isConnected());
    EXPECT_EQ(m_server->eventRoleVolume(), 12345u) << "what the server kept";
    EXPECT_TRUE(m_ringerChanges.empty()) << "a restart is no change of the owner's";
    EXPECT_EQ(logCount("no sound server"), 1u) << "said once";
}
