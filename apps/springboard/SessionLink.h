#pragma once

#include "platform/device/Device.h"
#include "platform/foundation/PlistValue.h"
#include "platform/session/OwnerRecord.h"
#include "platform/session/SessionMirror.h"

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class DesktopNotifications;
class EvolutionCalendars;
class FeedbackService;
class NetworkManagerWatch;
class NotificationBanners;
class PhoneBusConnection;
class SessionSounds;
class SoundServer;

// The phone's hardware as the user's own session (phonectl boot --session): the home-screen
// host's link to feedbackd, the sound server, GSettings and NetworkManager, and the calendars the
// session keeps in Evolution Data Server, mirrored into the phone's calendar database. It owns no policy:
// what the phone does reaches the session, and what the owner does on the session enters the
// phone as the same action on the phone would (the volume display, the ring/silent switch, the
// Sounds settings, Control Center, a Wi-Fi join), for the system's code to decide about.
//
// Everything runs on the main run loop. Only the home-screen host starts it; the phone's other
// processes never touch the session.
class SessionLink {
public:
    // Connects to the session found in the environment, gives the owner's recorded values back
    // to it, and gives the phone the session's state. Throws std::runtime_error when there is no
    // session bus. A missing service is logged once and left out.
    static std::unique_ptr<SessionLink> start();
    ~SessionLink();
    SessionLink(const SessionLink&) = delete;
    SessionLink& operator=(const SessionLink&) = delete;

    // The link of this process while it runs (the control service reports it), or nullptr.
    static SessionLink* current();

    // Which services are linked: "feedbackd", "soundServer", "notifications", "networkManager",
    // "evolutionDataServer".
    PlistDictionary linkedParts() const;
    // Where a booted phone notes that it is linked (phonectl refuses the commands that stand in
    // for hardware the session owns); removed when the link ends.
    static std::filesystem::path markerPath();

    // The phone has finished launching (its plug-ins' start-up included). Until then what the
    // phone does is not written: a start-up reverts what a profile left marked applied, and the
    // session already holds its owner's values, or the record does. A phone that held the
    // session's calendars from before begins to read the calendar service here.
    void phoneStarted();
    // Writes the owner's recorded values back (at stop), waiting at most `seconds` for them.
    void giveBackOwnersValues(double seconds);

private:
    SessionLink() = default;
    void connect();
    void giveBackRecorded();
    // The session as its owner has it: what it holds, with the recorded values in place of the
    // phone's.
    SessionValues ownersValues() const;
    void takeStateFromSession();
    void retakeOwnersValues();
    void defaultSinkChanged(const std::string& sink);
    void feedbackdAppeared();
    bool givesBackRecordedSinks(const SessionValues& wanted) const;
    void giveBackSinks();
    void adoptDefaultSink();
    void adoptSoundServer();
    void observePhone();
    void phoneChanged(const Device::Change&);
    void writeToSession();
    // What the session holds once our writes on their way have landed.
    SessionValues willHold() const;
    void write(SessionControl, const SessionValues& wanted);
    void writeDone(SessionControl, const SessionValues& written, bool ok);
    // The phone is at rest (no profile applied) or not; once it has rested a while with every
    // write landed, the record keeps only what could not be written.
    void noteRest(bool atRest);
    void settleIfAtRest();
    // The controls whose last write was refused or has not landed.
    std::vector<SessionControl> unsettledControls() const;
    void ownerChangedLevel(FeedbackLevel);
    void ownerChangedEventRole(uint32_t volume);
    void ownerChangedMedia(uint32_t volume);
    void ownerChangedBanners(bool shown);
    void ownerChanged(SessionControl, SessionMirror::Part, const PhoneValues&, const SessionValues&);
    void enterIntoPhone(const PhoneValues& from, const PhoneValues& to);
    void networkChanged(const std::optional<std::string>& ssid);
    void rememberedNetworksChanged(const std::vector<std::string>&);
    void playTone(const std::string& identifier);
    void showAlert();
    static void answerAlert(int64_t buttonIndex);
    SessionValues sessionValues() const;
    static PhoneValues phoneValues();
    void writeMarker() const;

    std::shared_ptr<PhoneBusConnection> m_sessionBus;
    std::shared_ptr<FeedbackService> m_feedback;
    std::shared_ptr<NotificationBanners> m_banners;
    std::shared_ptr<SoundServer> m_sound;
    std::shared_ptr<NetworkManagerWatch> m_network;
    std::shared_ptr<DesktopNotifications> m_notifications;
    std::unique_ptr<SessionSounds> m_sounds;
    std::unique_ptr<EvolutionCalendars> m_calendars;
    // The phone's own answer of an alert, which withdraws the notification, is not the owner's.
    bool m_answering { false };
    SessionMirror m_mirror;
    OwnerRecord m_record;
    Device::ObserverToken m_observer { 0 };
    bool m_entering { false };
    bool m_networkAnswered { false };
    bool m_soundAdopted { false };
    bool m_starting { true };
    int m_writesInFlight { 0 };
    SessionValues m_inFlight;
    std::vector<SessionControl> m_failed;
    std::optional<double> m_restSince;
};
