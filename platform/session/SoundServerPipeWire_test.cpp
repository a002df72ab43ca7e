#include "platform/session/SoundServer.h"

#include "platform/session/testsupport/SoundServerFixture.h"

#include <filesystem>
#include <string>
#include <vector>

// The same sound server link on PipeWire (pipewire, wireplumber and pipewire-pulse, headless),
// the sound server of today's Phosh images.
namespace {

class PipeWireTest : public SoundServerFixture {
protected:
    void SetUp() override
    {
        SoundServerFixture::SetUp();
        if (!PrivateSession::isInstalled(PrivateSession::SoundServerKind::PipeWire))
            GTEST_SKIP() << "PipeWire is not installed";
        m_session = PrivateSession::start({ .soundServer = true,
            .networkManager = false,
            .feedbackd = false,
            .soundServerKind = PrivateSession::SoundServerKind::PipeWire });
        m_session->run("pactl set-sink-volume test_sink 70% 35%");
    }
};

// A listener of the route-settings metadata of its own, beside the phone's. PipeWire 0.3.65 with
// WirePlumber 0.4 now and then passes a change made through its pulse server on to none of the
// metadata's listeners (a listener that binds later reads it): the witness tells that case apart
// from a change the phone missed.
class MetadataWitness {
public:
    explicit MetadataWitness(const PrivateSession& session)
        : m_session(session)
        , m_log(session.dir() / "witness.log")
    {
        m_pid = m_session.runTrimmed("pw-metadata -n route-settings -m >'" + m_log.string() + "' 2>&1 & echo $!");
        m_session.run("timeout 10 sh -c 'until grep -q \"^update:.*Notification\" \"" + m_log.string() + "\"; do sleep 0.02; done'");
        m_updatesAtStart = updates();
    }
    ~MetadataWitness() { m_session.run("kill " + m_pid); }

    bool wasToldOfChange() const { return updates() > m_updatesAtStart; }

private:
    int updates() const { return std::stoi(m_session.runTrimmed("grep -c '^update:.*Notification' '" + m_log.string() + "' || true")); }

    const PrivateSession& m_session;
    std::filesystem::path m_log;
    std::string m_pid;
    int m_updatesAtStart { 0 };
};

}

TEST_F(PipeWireTest, WritesReachPipeWireAndTheSinksOwnerChangesAreReported)
{
    std::vector<uint32_t> media;
    m_server = connected({ .ownerChangedRinger = nullptr,
        .ownerChangedMedia = [&](uint32_t volume) { media.push_back(volume); },
        .defaultSinkChanged = nullptr,
        .connectionChanged = nullptr });
    EXPECT_EQ(m_server->mediaVolume(), 45875u);

    ASSERT_TRUE(write([&](auto done) { m_server->setMediaVolume(0, done); }));
    ASSERT_TRUE(write([&](auto done) { m_server->setMediaVolume(45875, done); }));
    EXPECT_EQ(m_session->sinkVolume(), "45875 22937")
        << "the balance comes back";
    ASSERT_TRUE(write([&](auto done) { m_server->setEventRoleVolume(4096, done); })) << "the write is read back";
    EXPECT_EQ(m_server->eventRoleVolume(), 4096u) << "PipeWire gives back 4095: that is our 4096";
    m_owner = connected();
    EXPECT_NEAR(m_owner->eventRoleVolume().value_or(0), 4096, 1);
    EXPECT_TRUE(media.empty());

    m_session->run("pactl set-sink-volume test_sink 20%");
    ASSERT_TRUE(until([&] { return !media.empty(); })) << "PipeWire reports sink volumes";
    EXPECT_EQ(media.back(), 13107u);
}

// PipeWire before 1.1.81 acknowledges the stream-restore subscription but never reports a change
// of the entry: its route-settings metadata does, and the entry is read again then. Our own
// writes, which change the metadata too, are no owner's change.
TEST_F(PipeWireTest, AnOwnersEventRoleChangeIsReportedThroughPipeWiresMetadata)
{
    std::vector<uint32_t> ringer;
    m_server = connected({ .ownerChangedRinger = [&](uint32_t volume) { ringer.push_back(volume); },
        .ownerChangedMedia = nullptr,
        .defaultSinkChanged = nullptr,
        .connectionChanged = nullptr });
    ASSERT_TRUE(write([&](auto done) { m_server->setEventRoleVolume(20000, done); }));
    m_owner = connected();
    MetadataWitness witness(*m_session);
    ASSERT_TRUE(write([&](auto done) { m_owner->setEventRoleVolume(30000, done); }));
    if (!until([&] { return !ringer.empty(); }) && !witness.wasToldOfChange())
        GTEST_SKIP() << "PipeWire told none of the route-settings metadata's listeners of the owner's change";
    ASSERT_FALSE(ringer.empty()) << "the owner's change is told without the phone asking";
    ASSERT_EQ(ringer.size(), 1u);
    EXPECT_NEAR(ringer[0], 30000, 1);
    EXPECT_NEAR(m_server->eventRoleVolume().value_or(0), 30000, 1);
}
