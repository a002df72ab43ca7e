#include "platform/session/SoundServer.h"

#include "platform/session/testsupport/SoundServerFixture.h"

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
    ASSERT_TRUE(write([&](auto done) { m_owner->setEventRoleVolume(30000, done); }));
    ASSERT_TRUE(until([&] { return !ringer.empty(); })) << "the owner's change is told without the phone asking";
    ASSERT_EQ(ringer.size(), 1u);
    EXPECT_NEAR(ringer[0], 30000, 1);
    EXPECT_NEAR(m_server->eventRoleVolume().value_or(0), 30000, 1);
}
