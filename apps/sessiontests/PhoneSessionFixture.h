#pragma once

#include "apps/testsupport/PhonectlFixture.h"

#include "platform/foundation/NSRunLoop.h"
#include "platform/foundation/PropertyList.h"
#include "platform/session/SoundServer.h"
#include "platform/session/testsupport/PrivateSession.h"

// The phone linked to a real session (private buses, a real PulseAudio, feedbackd and dconf,
// NetworkManager's mock), driven by phonectl on the virtual clock while the session is real
// (include in tests only).
namespace PhoneSessionFixtures {

constexpr uint32_t kNorm = 0x10000U;

class PhoneSessionTest : public PhonectlFixture {
protected:
    void SetUp() override
    {
        PhonectlFixture::SetUp();
        m_session = PrivateSession::start(options());
    }

    void TearDown() override
    {
        if (m_booted)
            phonectl({ "stop" });
        m_booted = false;
        m_sound.reset();
        m_session.reset();
        PhonectlFixture::TearDown();
    }

    virtual PrivateSession::Options options() const { return {}; }

    // The owner's session before the phone boots: a ringer between the phone's steps, a media
    // volume with its channels apart, banners shown, feedbackd at "full".
    void ownerHas(uint32_t eventRole, const std::string& leftRight, bool banners = true)
    {
        setEventRole(eventRole);
        m_session->run("pactl set-sink-volume test_sink " + leftRight);
        m_session->run(std::string("gsettings set org.gnome.desktop.notifications show-banners ") + (banners ? "true" : "false"));
    }

    SoundServer& sound()
    {
        if (!m_sound)
            m_sound = SoundServer::connect({});
        NSRunLoop::main().runUntilCondition([this] { return m_sound->isConnected() && m_sound->eventRoleVolume(); }, 5);
        return *m_sound;
    }

    void setEventRole(uint32_t volume)
    {
        bool done = false;
        sound().setEventRoleVolume(volume, [&](bool) { done = true; });
        NSRunLoop::main().runUntilCondition([&] { return done; }, 5);
    }

    // What another client reads at the session now.
    uint32_t eventRole()
    {
        m_sound.reset();
        return sound().eventRoleVolume().value_or(0);
    }
    std::string sinkVolume() const { return m_session->sinkVolume(); }
    std::string level() const
    {
        return m_session->runTrimmed("busctl --user get-property org.sigxcpu.Feedback /org/sigxcpu/Feedback org.sigxcpu.Feedback Profile");
    }
    std::string banners() const { return m_session->runTrimmed("gsettings get org.gnome.desktop.notifications show-banners"); }
    void ownerSetsLevel(const std::string& level) const
    {
        m_session->run("busctl --user set-property org.sigxcpu.Feedback /org/sigxcpu/Feedback org.sigxcpu.Feedback Profile s " + level);
    }

    void bootLinked(const char* clock = "2026-12-08T08:55:00")
    {
        PhonectlResult booted = phonectl({ "boot", "--session", "--clock", clock, "--os", "13.3" });
        ASSERT_EQ(booted.status, 0) << booted.err;
    }

    std::string hostOutput() const
    {
        std::string host, velloq;
        readFile(m_root / "var/log/springboard.log", host);
        readFile(m_root / "tmp/velloq.log", velloq);
        return host + "\n--- velloq.log ---\n" + velloq;
    }

    bool ownerRecordExists() const { return std::filesystem::exists(m_root / "var/lib/hushline-session/owner-values.plist"); }

    std::unique_ptr<PrivateSession> m_session;
    std::shared_ptr<SoundServer> m_sound;
};

class PhoneSessionWithoutFeedbackdTest : public PhoneSessionTest {
protected:
    PrivateSession::Options options() const override { return { .soundServer = true, .networkManager = false, .feedbackd = false }; }
};

}

