#pragma once

#include "platform/foundation/NSRunLoop.h"
#include "platform/session/SoundServer.h"
#include "platform/session/testsupport/PrivateSession.h"
#include "platform/testsupport/DeviceFixture.h"

#include <functional>
#include <memory>
#include <optional>

// The sound server link's tests: a private session (the subclass starts it with its sound
// server), the phone's client and the owner's own client on it, let go before the session ends.
class SoundServerFixture : public DeviceFixture {
protected:
    void TearDown() override
    {
        m_server.reset();
        m_owner.reset();
        m_session.reset();
        DeviceFixture::TearDown();
    }

    static bool until(const std::function<bool()>& condition, double seconds = 5) { return NSRunLoop::main().runUntilCondition(condition, seconds); }

    // A client that has read both volumes.
    std::shared_ptr<SoundServer> connected(SoundServer::Handlers handlers = {})
    {
        auto server = SoundServer::connect(std::move(handlers));
        EXPECT_TRUE(until([&] { return server->isConnected() && server->eventRoleVolume() && server->mediaVolume(); }));
        return server;
    }

    // Reads of the event-role entry by the client, each once the one before is answered: the
    // events the server had sent the client (of its own writes too) have arrived by then, and the
    // reads they started (the server's, then its default sink's) have been answered, so that
    // whatever they lead to has been reported. Four, as PulseAudio may send a sink's change a
    // main-loop turn after the change; each round trip covers one step.
    void settle(SoundServer& client)
    {
        for (int roundTrip = 0; roundTrip < 4; ++roundTrip) {
            auto answered = std::make_shared<bool>(false);
            client.refreshEventRole([answered] { *answered = true; });
            ASSERT_TRUE(until([&] { return *answered; })) << "the sound server answered the read";
        }
    }

    // Starts a write and waits for its answer: whether it was done.
    bool write(const std::function<void(std::function<void(bool)>)>& start)
    {
        std::optional<bool> result;
        start([&](bool ok) { result = ok; });
        until([&] { return result.has_value(); });
        return result.value_or(false);
    }

    std::unique_ptr<PrivateSession> m_session;
    std::shared_ptr<SoundServer> m_server;
    std::shared_ptr<SoundServer> m_owner;
};
