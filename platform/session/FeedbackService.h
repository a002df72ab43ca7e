#pragma once

#include "platform/session/BusCall.h"
#include "platform/session/FeedbackLevel.h"
#include "platform/session/RemoteValue.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>

class PhoneBusConnection;

// feedbackd on the session bus (org.sigxcpu.Feedback): its global level, read, written and
// watched, and one-shot vibrations. Levels and vibrations go out on one connection in the order
// they are asked for, so feedbackd sees them in the phone's order.
//
// A level that comes back (PropertiesChanged or a read) equal to one of our writes still pending
// is ours; any other new level is the owner's, even one that arrives while our write is on its
// way. When feedbackd's name goes away, the writes on their way are told they did not land.
//
// feedbackd is followed by its name. It is bus-activated: when its name goes away (a restart, a
// crash), the level is read again at once, which starts it again, and `restarted` lets the
// caller put the phone's level back. When nothing can start it, the service is absent until
// feedbackd is there again: its name appears (started by the desktop), or the bus can start it
// (a service file installed later: the bus says ActivatableServicesChanged, and the level is
// asked for, which starts it). Nothing is polled meanwhile.
class FeedbackService : public std::enable_shared_from_this<FeedbackService> {
public:
    struct Handlers {
        std::function<void(FeedbackLevel)> ownerChangedLevel;
        // feedbackd answered again after its name went away; the level it has now is known.
        std::function<void()> restarted;
        // feedbackd answered for the first time, after a start without it; the level it has now
        // (the owner's) is known. May be left out of an initializer.
        std::function<void()> appeared {};
    };

    // Reads the level once (which activates feedbackd); when feedbackd cannot be reached the
    // service is absent: isPresent() is false, one log line says so, and nothing else is sent
    // until it appears.
    static std::shared_ptr<FeedbackService> connect(std::shared_ptr<PhoneBusConnection> sessionBus, Handlers);
    ~FeedbackService();

    bool isPresent() const { return m_level.isPresent(); }
    std::optional<FeedbackLevel> level() const { return m_level.value(); }

    // Writes the level (nothing when it already holds it); `done` is told true once feedbackd
    // tells it back (its PropertiesChanged, or a read after the write), false when it refused, a
    // level of the owner's came back instead, or feedbackd went away.
    void setLevel(FeedbackLevel, std::function<void(bool)> done = {});
    // A vibration at the start or end of a profile: an event that vibrates at the "quiet" level.
    void vibrate();

    static constexpr const char* kServiceName = "org.sigxcpu.Feedback";

private:
    FeedbackService(std::shared_ptr<PhoneBusConnection>, Handlers);
    bool readLevelNow();
    // `done` is told whether feedbackd answered, and the level it named.
    void readLevel(std::function<void(bool answered, std::optional<FeedbackLevel>)>);
    void levelArrived(FeedbackLevel);
    void levelWritten(RemoteValue<FeedbackLevel>::Write, FeedbackLevel, const std::string& error);
    void watch();
    void nameChanged(bool owned);
    void ask();
    void answered(bool reached, std::optional<FeedbackLevel>);

    std::shared_ptr<PhoneBusConnection> m_bus;
    Handlers m_handlers;
    // Whether feedbackd ever answered: its next answer is a restart's, not a first appearance's.
    bool m_answeredBefore { false };
    // The read that decides presence, on its way; a later one replaces it (0: none).
    uint64_t m_asking { 0 };
    uint64_t m_asks { 0 };
    RemoteValue<FeedbackLevel> m_level;
    BusCall::Slot m_changedMatch;
    BusCall::Slot m_ownerMatch;
    BusCall::Slot m_activatableMatch;
};
