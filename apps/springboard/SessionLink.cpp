#include "apps/springboard/SessionLink.h"

#include "apps/springboard/AppliedProfiles.h"

#include "platform/celestial/AVSystemController.h"
#include "platform/eventkit/CalendarMirror.h"
#include "platform/eventkit/EKEventStore.h"
#include "platform/foundation/Clock.h"
#include "platform/foundation/DarwinNotifyCenter.h"
#include "platform/foundation/DispatchQueue.h"
#include "platform/foundation/NSLog.h"
#include "platform/foundation/NSRunLoop.h"
#include "platform/foundation/NSUserDefaults.h"
#include "platform/foundation/PropertyList.h"
#include "platform/machinery/DeviceRoot.h"
#include "platform/mobilewifi/WiFiState.h"
#include "platform/phonebus/PhoneBusConnection.h"
#include "platform/session/DesktopNotifications.h"
#include "platform/session/evolution/EvolutionCalendars.h"
#include "platform/session/FeedbackService.h"
#include "platform/session/NetworkManagerWatch.h"
#include "platform/session/NotificationBanners.h"
#include "platform/session/SessionSounds.h"
#include "platform/session/SoundServer.h"
#include "platform/uikit/UIAlertView.h"

#include <cstdlib>
#include <stdexcept>

namespace {

SessionLink* g_current = nullptr;

// How long a start waits for each service's first values, and for the owner's values to be back
// at the session before the phone reads it.
constexpr double kConnectSeconds = 3.0;
// How long a phone without any of the session's calendars yet waits for EDS to start and be read
// (bus activation of the registry and the calendar factory included).
constexpr double kFirstCalendarsSeconds = 10.0;

constexpr const char* kSpringBoardDomain = "com.apple.springboard";
// The mark of the calendar folders the session's Evolution Data Server fills.
constexpr const char* kEvolutionService = "evolution-data-server";

// How long the phone rests (no profile applied) before the record lets go of what the session
// holds again: a revert's last steps (the playback volume after the end tone) come 1.8 s late.
constexpr double kSettleAfterRest = 2.5;


// The Sounds settings' way of changing a vibrate setting: the springboard domain's key, then its
// change notification.
void setVibrateSetting(const std::string& which, bool on)
{
    auto& defaults = NSUserDefaults::standardUserDefaults();
    PlistDictionary domain = defaults.persistentDomainForName(kSpringBoardDomain).value_or(PlistDictionary());
    std::string key = which + "-vibrate";
    if (domain.count(key) && domain[key].boolValue() == on)
        return;
    domain[key] = on;
    defaults.setPersistentDomain(domain, kSpringBoardDomain);
    notify_post(("com.apple.springboard." + key + ".changed").c_str());
}

}

SessionLink* SessionLink::current()
{
    return g_current;
}

std::filesystem::path SessionLink::markerPath()
{
    return DeviceRoot::resolve("/var/run/session-link.plist");
}

std::unique_ptr<SessionLink> SessionLink::start()
{
    const char* address = std::getenv("DBUS_SESSION_BUS_ADDRESS");
    if (!address || !*address)
        throw std::runtime_error("no session bus (DBUS_SESSION_BUS_ADDRESS): --session links the phone to a running user session");
    std::unique_ptr<SessionLink> link(new SessionLink());
    link->m_sessionBus = PhoneBusConnection::open(address);
    link->connect();
    link->m_record = OwnerRecord::load();
    link->takeStateFromSession();
    link->observePhone();
    link->writeMarker();
    g_current = link.get();
    NSLog("Session: linked (feedbackd %s, sound server %s, GSettings %s, NetworkManager %s)", link->m_feedback->isPresent() ? "yes" : "no",
        link->m_sound->isConnected() ? "yes" : "no", link->m_banners->isPresent() ? "yes" : "no", link->m_network->isPresent() ? "yes" : "no");
    return link;
}

SessionLink::~SessionLink()
{
    if (g_current == this)
        g_current = nullptr;
    Device::current().removeChangeObserver(m_observer);
    std::error_code ignored;
    std::filesystem::remove(markerPath(), ignored);
}

void SessionLink::connect()
{
    m_feedback = FeedbackService::connect(m_sessionBus, {
        .ownerChangedLevel = [this](FeedbackLevel level) { ownerChangedLevel(level); },
        // A restarted feedbackd starts from its own stored level: the phone's is put back.
        .restarted = [this] { writeToSession(); },
        .appeared = [this] { feedbackdAppeared(); },
    });
    m_banners = NotificationBanners::connect([this](bool shown) { ownerChangedBanners(shown); });
    m_sound = SoundServer::connect({
        .ownerChangedRinger = [this](uint32_t volume) { ownerChangedEventRole(volume); },
        .ownerChangedMedia = [this](uint32_t volume) { ownerChangedMedia(volume); },
        .defaultSinkChanged = [this](const std::string& sink) { defaultSinkChanged(sink); },
        .connectionChanged = [this](bool connected) {
            if (!connected || !m_observer)
                return;
            // A server first reached after the start holds the owner's values: the phone takes
            // them. Back after a restart, the phone's values are put back where they differ.
            if (!m_soundAdopted)
                adoptSoundServer();
            else
                writeToSession();
        },
    });
    NSRunLoop::main().runUntilCondition([this] { return m_sound->isConnected() && m_sound->eventRoleVolume() && m_sound->mediaVolume(); },
        kConnectSeconds);
    m_notifications = DesktopNotifications::connect(m_sessionBus, [](int64_t index) { answerAlert(index); });
    m_sounds = std::make_unique<SessionSounds>();
    m_network = NetworkManagerWatch::start({
        .joinedNetworkChanged = [this](const std::optional<std::string>& ssid) { networkChanged(ssid); },
        .rememberedNetworksChanged = [this](const std::vector<std::string>& networks) { rememberedNetworksChanged(networks); },
        .availabilityChanged = [this](bool) { m_networkAnswered = true; },
    });
    NSRunLoop::main().runUntilCondition([this] { return m_networkAnswered || m_network->hasLooked(); }, kConnectSeconds);
    // The session's calendars fill the mirror as the service answers. A phone that has none yet
    // waits a moment for them, so that its first start (a default profile follows every calendar
    // there is) knows them. A phone that holds them from before launches on those and reads the
    // service once it has launched (phoneStarted): the service opening thousands of events, and
    // the mirror checked against them, do not hold up the start.
    CalendarMirror mirror(EKEventStore::calendarsFolder(), kEvolutionService);
    if (mirror.calendars().empty()) {
        m_calendars = EvolutionCalendars::start(std::move(mirror));
        NSRunLoop::main().runUntilCondition([this] { return m_calendars->hasLooked(); }, kFirstCalendarsSeconds);
    }
}

SessionValues SessionLink::sessionValues() const
{
    SessionValues values;
    if (m_feedback->isPresent())
        values.level = m_feedback->level();
    if (m_sound->isConnected()) {
        values.eventRoleVolume = m_sound->eventRoleVolume();
        values.mediaVolume = m_sound->mediaVolume();
    }
    if (m_banners->isPresent())
        values.showBanners = m_banners->areShown();
    return values;
}

PhoneValues SessionLink::phoneValues()
{
    Device& phone = Device::current();
    return { { phone.isRingerSwitchSilent(), phone.ringerVolume(), phone.ringVibrate(), phone.silentVibrate() }, phone.mediaVolume(),
        phone.isDoNotDisturbEnabled() };
}

void SessionLink::giveBackRecorded()
{
    if (m_record.isEmpty())
        return;
    NSLog("Session: giving the owner's values back to the session");
    SessionValues owner = m_record.values;
    for (SessionControl control : { SessionControl::Level, SessionControl::EventRole, SessionControl::Banners })
        if (m_record.holds(control))
            write(control, owner);
    if (!m_record.holds(SessionControl::Media))
        return;
    if (!m_record.mediaSink || m_record.mediaChannels.empty())
        write(SessionControl::Media, owner);
    else
        giveBackSinks();
}

void SessionLink::giveBackOwnersValues(double seconds)
{
    Device::current().removeChangeObserver(m_observer);
    m_observer = 0;
    giveBackRecorded();
    NSRunLoop::main().runUntilCondition([this] { return m_writesInFlight <= 0; }, seconds);
    // What landed is the owner's again; the next start must not write it a second time. What
    // was refused or is still on its way stays for the next start.
    m_record.settle(unsettledControls());
    m_record.save();
}

SessionValues SessionLink::ownersValues() const
{
    return overlaid(sessionValues(), m_record.values);
}

void SessionLink::takeStateFromSession()
{
    SessionValues session = ownersValues();
    PhoneValues before = phoneValues();
    PhoneValues phone = SessionMirror::phoneValuesFor(session, before);
    // Before the plug-ins load, the phone simply is what the session holds.
    Device& device = Device::current();
    device.setRingerSwitchSilent(phone.ringer.switchOnSilent, "session");
    device.setRingerVolume(phone.ringer.ringerVolume, "session");
    device.setMediaVolume(phone.mediaVolume, "session");
    device.setDoNotDisturbEnabled(phone.doNotDisturb, "session");
    if (phone.ringer.silentVibrate != before.ringer.silentVibrate)
        setVibrateSetting("silent", phone.ringer.silentVibrate);
    m_mirror.agree(phoneValues(), session);
    m_soundAdopted = session.eventRoleVolume && session.mediaVolume;
}

// Another sink or route is no change of the phone's media volume. At rest the phone agrees with
// what the new sink has until the phone itself changes its volume; while a profile holds the
// media volume the new sink gets it too, its own value recorded first.
void SessionLink::defaultSinkChanged(const std::string& sink)
{
    if (m_starting || !m_record.holds(SessionControl::Media) || !isAnyProfileApplied()) {
        m_mirror.agree(SessionMirror::Part::Media, phoneValues(), sessionValues());
        return;
    }
    m_record.recordSink(sink, m_sound->mediaChannels());
    m_record.save();
    writeToSession();
}

// At rest the owner's media volume goes back as the sinks' recorded channels, exactly, rather than
// scaled from what the phone's volumes left of the balance.
bool SessionLink::givesBackRecordedSinks(const SessionValues& wanted) const
{
    if (!m_record.holds(SessionControl::Media))
        return false;
    return !m_record.otherSinks.empty()
        || (m_record.mediaSink == m_sound->mediaSink() && !m_record.mediaChannels.empty() && wanted.mediaVolume == m_record.values.mediaVolume);
}

// Every sink the phone wrote gets its owner's channels back; the phone then has the default
// sink's volume, as the owner left it.
void SessionLink::giveBackSinks()
{
    std::map<std::string, std::vector<uint32_t>> sinks = m_record.otherSinks;
    if (m_record.mediaSink && !m_record.mediaChannels.empty())
        sinks[*m_record.mediaSink] = m_record.mediaChannels;
    SessionValues owner = m_record.values;
    if (sinks.empty()) {
        write(SessionControl::Media, owner);
        return;
    }
    auto left = std::make_shared<size_t>(sinks.size());
    m_inFlight.mediaVolume = owner.mediaVolume;
    for (const auto& [sink, channels] : sinks) {
        ++m_writesInFlight;
        m_sound->setSinkChannels(sink, channels, [this, owner, left](bool ok) {
            if (--*left == 0)
                adoptDefaultSink();
            writeDone(SessionControl::Media, owner, ok);
        });
    }
}

void SessionLink::adoptDefaultSink()
{
    auto media = m_sound->mediaVolume();
    if (!media)
        return;
    m_entering = true;
    Device::current().setMediaVolume(phoneVolume(*media), "session");
    m_entering = false;
    m_mirror.agree(SessionMirror::Part::Media, phoneValues(), sessionValues());
}

// feedbackd came after the start: its level is the owner's. While the phone's ringer is as the
// owner left it, that level stays; a profile's ringer is written over it, recorded first.
void SessionLink::feedbackdAppeared()
{
    NSLog("Session: feedbackd answered after the start; its level is the owner's");
    if (auto level = m_feedback->level())
        m_mirror.learnLevel(*level);
    if (!m_starting)
        writeToSession();
}

void SessionLink::retakeOwnersValues()
{
    m_entering = true;
    takeStateFromSession();
    m_entering = false;
}

void SessionLink::phoneStarted()
{
    m_starting = false;
    if (!m_calendars)
        m_calendars = EvolutionCalendars::start(CalendarMirror(EKEventStore::calendarsFolder(), kEvolutionService));
    if (isAnyProfileApplied()) {
        // A profile applied again at the start (a restart in a meeting): the session still holds
        // the meeting. Its volumes come after the start tone; writing now would give the owner's
        // volumes back for that moment.
        dispatch_after(dispatch_time(DISPATCH_TIME_NOW, static_cast<int64_t>(kSettleAfterRest * NSEC_PER_SEC)), dispatch_get_main_queue(),
            [this] {
                if (g_current == this)
                    writeToSession();
            });
        return;
    }
    retakeOwnersValues();
    giveBackRecorded();
    // No revert of this start has steps still to come: once the writes landed the record settles.
    m_restSince = Clock::process().now() - kSettleAfterRest;
    settleIfAtRest();
}

void SessionLink::adoptSoundServer()
{
    SessionValues session = sessionValues();
    if (!session.eventRoleVolume || !session.mediaVolume)
        return;
    m_soundAdopted = true;
    NSLog("Session: the sound server answered after the start; the phone takes its volumes");
    PhoneValues phone = SessionMirror::phoneValuesFor(session, phoneValues());
    m_entering = true;
    Device::current().setRingerVolume(phone.ringer.ringerVolume, "session");
    Device::current().setMediaVolume(phone.mediaVolume, "session");
    m_entering = false;
    m_mirror.agree(SessionMirror::Part::Ringer, phoneValues(), session);
    m_mirror.agree(SessionMirror::Part::Media, phoneValues(), session);
}

void SessionLink::observePhone()
{
    m_observer = Device::current().addChangeObserver([this](const Device::Change& change) { phoneChanged(change); });
}

void SessionLink::phoneChanged(const Device::Change& change)
{
    switch (change.what) {
    case DeviceChange::Vibration:
        m_feedback->vibrate();
        return;
    case DeviceChange::Tone:
        if (change.value.asString())
            playTone(*change.value.asString());
        return;
    case DeviceChange::ToneStopped:
        m_sounds->stop();
        return;
    case DeviceChange::Alert:
        showAlert();
        return;
    case DeviceChange::AlertDismissed:
        if (!m_answering)
            m_notifications->withdraw();
        return;
    case DeviceChange::RingerVolume:
    case DeviceChange::MediaVolume:
    case DeviceChange::DoNotDisturb:
    case DeviceChange::RingerSwitchSilent:
    case DeviceChange::RingVibrate:
    case DeviceChange::SilentVibrate:
        if (!m_entering && !m_starting)
            writeToSession();
        return;
    default:
        return;
    }
}

void SessionLink::writeToSession()
{
    SessionValues holds = willHold();
    SessionValues wanted = m_mirror.sessionValuesFor(phoneValues(), holds);
    bool atRest = !isAnyProfileApplied();
    if (!(wanted == holds)) {
        // While a profile holds the phone its writes override the owner's values, which are
        // recorded first; at rest the phone writes the owner's own values.
        if (!atRest) {
            m_record.recordBefore(holds, wanted, m_sound->mediaSink(), m_sound->mediaChannels());
            m_record.save();
        }
        // The level goes first, on the connection that carried the start vibration before it.
        if (wanted.level != holds.level)
            write(SessionControl::Level, wanted);
        if (wanted.eventRoleVolume != holds.eventRoleVolume)
            write(SessionControl::EventRole, wanted);
        if (wanted.mediaVolume != holds.mediaVolume && atRest && givesBackRecordedSinks(wanted))
            giveBackSinks();
        else if (wanted.mediaVolume != holds.mediaVolume)
            write(SessionControl::Media, wanted);
        if (wanted.showBanners != holds.showBanners)
            write(SessionControl::Banners, wanted);
    }
    noteRest(atRest);
}

SessionValues SessionLink::willHold() const
{
    return overlaid(sessionValues(), m_inFlight);
}

// Every write is counted until it lands or is refused; one that cannot reach its service (gone,
// its bus closed) is refused at once.
void SessionLink::write(SessionControl control, const SessionValues& wanted)
{
    ++m_writesInFlight;
    copyValue(m_inFlight, wanted, control);
    auto done = [this, control, wanted](bool ok) { writeDone(control, wanted, ok); };
    if (!hasValue(wanted, control)) {
        done(false);
        return;
    }
    switch (control) {
    case SessionControl::Level:
        m_feedback->setLevel(*wanted.level, done);
        break;
    case SessionControl::EventRole:
        m_sound->setEventRoleVolume(*wanted.eventRoleVolume, done);
        break;
    case SessionControl::Media:
        m_sound->setMediaVolume(*wanted.mediaVolume, done);
        break;
    case SessionControl::Banners:
        m_banners->setShown(*wanted.showBanners, done);
        break;
    }
}

void SessionLink::writeDone(SessionControl control, const SessionValues& written, bool ok)
{
    --m_writesInFlight;
    if (sameValue(m_inFlight, written, control))
        clearValue(m_inFlight, control);
    std::erase(m_failed, control);
    if (!ok)
        m_failed.push_back(control);
    if (m_writesInFlight <= 0) {
        m_writesInFlight = 0;
        m_inFlight = {};
    }
    settleIfAtRest();
}

std::vector<SessionControl> SessionLink::unsettledControls() const
{
    std::vector<SessionControl> controls = m_failed;
    for (SessionControl control : kSessionControls)
        if (hasValue(m_inFlight, control))
            controls.push_back(control);
    return controls;
}

void SessionLink::noteRest(bool atRest)
{
    if (m_starting || !atRest) {
        m_restSince.reset();
        return;
    }
    if (m_restSince)
        return;
    m_restSince = Clock::process().now();
    dispatch_after(dispatch_time(DISPATCH_TIME_NOW, static_cast<int64_t>(kSettleAfterRest * NSEC_PER_SEC)), dispatch_get_main_queue(), [this] {
        if (g_current == this)
            settleIfAtRest();
    });
}

void SessionLink::settleIfAtRest()
{
    if (m_starting || m_writesInFlight > 0 || !m_restSince || Clock::process().now() < *m_restSince + kSettleAfterRest)
        return;
    if (isAnyProfileApplied()) {
        m_restSince.reset();
        return;
    }
    OwnerRecord before = m_record;
    m_record.settle(unsettledControls());
    if (!(before.values == m_record.values))
        m_record.save();
    // A question about a profile that has ended has no answer that changes anything.
    m_notifications->withdraw();
}

void SessionLink::ownerChangedLevel(FeedbackLevel level)
{
    PhoneValues phone = phoneValues();
    phone.ringer.switchOnSilent = level != FeedbackLevel::Full;
    if (level != FeedbackLevel::Full)
        phone.ringer.silentVibrate = level == FeedbackLevel::Quiet;
    else if (phone.ringer.ringerVolume == 0 && m_sound->eventRoleVolume())
        phone.ringer.ringerVolume = phoneVolume(*m_sound->eventRoleVolume());
    SessionValues session = willHold();
    session.level = level;
    ownerChanged(SessionControl::Level, SessionMirror::Part::Ringer, phone, session);
}

void SessionLink::ownerChangedEventRole(uint32_t volume)
{
    PhoneValues phone = phoneValues();
    phone.ringer.ringerVolume = phoneVolume(volume);
    if (!m_feedback->isPresent() && volume > 0)
        phone.ringer.switchOnSilent = false;
    SessionValues session = willHold();
    session.eventRoleVolume = volume;
    ownerChanged(SessionControl::EventRole, SessionMirror::Part::Ringer, phone, SessionMirror::afterOwnersRinger(session, phone));
}

void SessionLink::ownerChangedMedia(uint32_t volume)
{
    PhoneValues phone = phoneValues();
    phone.mediaVolume = phoneVolume(volume);
    SessionValues session = willHold();
    session.mediaVolume = volume;
    ownerChanged(SessionControl::Media, SessionMirror::Part::Media, phone, session);
}

void SessionLink::ownerChangedBanners(bool shown)
{
    PhoneValues phone = phoneValues();
    phone.doNotDisturb = !shown;
    SessionValues session = willHold();
    session.showBanners = shown;
    ownerChanged(SessionControl::Banners, SessionMirror::Part::Banners, phone, session);
}

// The session's values agreed on are what it will hold once our writes on their way have landed,
// with the owner's new value in place: a write of ours that has not come back yet is not undone.
void SessionLink::ownerChanged(SessionControl control, SessionMirror::Part part, const PhoneValues& phone, const SessionValues& session)
{
    // The owner set the control: the session holds his own value, nothing is left to give back.
    if (m_record.holds(control)) {
        m_record.forget(control);
        m_record.save();
    }
    PhoneValues before = phoneValues();
    m_mirror.agree(part, phone, session);
    enterIntoPhone(before, phone);
    // What the phone's rules made of it (a change undone, say) goes back to the session.
    writeToSession();
}

void SessionLink::enterIntoPhone(const PhoneValues& from, const PhoneValues& to)
{
    m_entering = true;
    Device& device = Device::current();
    if (to.ringer.switchOnSilent != from.ringer.switchOnSilent)
        device.setRingerSwitchSilent(to.ringer.switchOnSilent, "owner");
    if (to.ringer.silentVibrate != from.ringer.silentVibrate)
        setVibrateSetting("silent", to.ringer.silentVibrate);
    if (to.ringer.ringerVolume != from.ringer.ringerVolume)
        AVSystemController::sharedAVSystemController()->setVolumeTo(to.ringer.ringerVolume, kAVSystemControllerRingtoneCategory);
    if (to.mediaVolume != from.mediaVolume)
        AVSystemController::sharedAVSystemController()->setVolumeTo(to.mediaVolume, kAVSystemControllerMediaCategory);
    if (to.doNotDisturb != from.doNotDisturb)
        device.setDoNotDisturbEnabled(to.doNotDisturb, "Control Center");
    m_entering = false;
}

// A network the session joined or left is a join or a leave on the phone's Wi-Fi, which the
// home screen and the Settings app read.
void SessionLink::networkChanged(const std::optional<std::string>& ssid)
{
    if (WiFiState::load().current == ssid)
        return;
    if (ssid)
        WiFiState::join(*ssid, true);
    else
        WiFiState::leave();
}

// The session's saved Wi-Fi connections are the phone's remembered networks; a network
// remembered before keeps its join dates.
void SessionLink::rememberedNetworksChanged(const std::vector<std::string>& networks)
{
    WiFiState state = WiFiState::load();
    std::vector<WiFiState::KnownNetwork> known;
    for (const auto& ssid : networks) {
        WiFiState::KnownNetwork network { ssid, std::nullopt, std::nullopt };
        for (const auto& old : state.known)
            if (old.ssid == ssid)
                network = old;
        known.push_back(network);
    }
    state.known = known;
    state.save();
}

// libcanberra plays whatever feedbackd's level: a tone sounds only where the level the phone
// asks for is "full" (or where there is no feedbackd to ask).
void SessionLink::playTone(const std::string& identifier)
{
    SessionValues wanted = m_mirror.sessionValuesFor(phoneValues(), sessionValues());
    if (wanted.level && *wanted.level != FeedbackLevel::Full)
        return;
    m_sounds->play(identifier);
}

void SessionLink::showAlert()
{
    auto alert = Device::current().alert();
    if (!alert)
        return;
    auto text = [&](const char* key) {
        auto found = alert->find(key);
        return found != alert->end() && found->second.asString() ? *found->second.asString() : std::string();
    };
    std::vector<std::string> buttons;
    if (auto found = alert->find("buttons"); found != alert->end() && found->second.asArray())
        for (const auto& button : *found->second.asArray())
            buttons.push_back(button.asString() ? *button.asString() : "");
    m_notifications->show(text("title"), text("message"), buttons);
}

// The owner's choice on the notification is a tap on the alert's button.
void SessionLink::answerAlert(int64_t buttonIndex)
{
    auto alert = UIAlertView::visibleAlertView();
    SessionLink* link = current();
    if (!alert || !link)
        return;
    link->m_answering = true;
    alert->clickButtonAtIndex(static_cast<long>(buttonIndex));
    link->m_answering = false;
}

PlistDictionary SessionLink::linkedParts() const
{
    return { { "feedbackd", m_feedback->isPresent() }, { "soundServer", m_sound->isConnected() },
        { "notifications", m_notifications->isPresent() }, { "gsettings", m_banners->isPresent() }, { "networkManager", m_network->isPresent() },
        { "evolutionDataServer", m_calendars && m_calendars->isPresent() } };
}

void SessionLink::writeMarker() const
{
    std::error_code ignored;
    std::filesystem::create_directories(markerPath().parent_path(), ignored);
    PropertyList::write(markerPath(), PlistValue(linkedParts()));
}
