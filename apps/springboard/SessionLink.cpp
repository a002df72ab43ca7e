#include "apps/springboard/SessionLink.h"

#include "platform/celestial/AVSystemController.h"
#include "platform/foundation/DarwinNotifyCenter.h"
#include "platform/foundation/NSLog.h"
#include "platform/foundation/NSRunLoop.h"
#include "platform/foundation/NSUserDefaults.h"
#include "platform/foundation/PropertyList.h"
#include "platform/machinery/DeviceRoot.h"
#include "platform/mobilewifi/WiFiState.h"
#include "platform/phonebus/PhoneBusConnection.h"
#include "platform/session/DesktopNotifications.h"
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

constexpr const char* kSpringBoardDomain = "com.apple.springboard";

bool isVibrateChange(const std::string& what)
{
    return what == "ringVibrate" || what == "silentVibrate";
}

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
    link->giveBackRecorded(kConnectSeconds);
    link->takeStateFromSession();
    link->observePhone();
    link->writeMarker();
    g_current = link.get();
    NSLog("Session: linked (feedbackd %s, sound server %s, notifications %s, NetworkManager %s)", link->m_feedback->isPresent() ? "yes" : "no",
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
    });
    m_banners = NotificationBanners::connect([this](bool shown) { ownerChangedBanners(shown); });
    m_sound = SoundServer::connect({
        .ownerChangedRinger = [this](uint32_t volume) { ownerChangedEventRole(volume); },
        .ownerChangedMedia = [this](uint32_t volume) { ownerChangedMedia(volume); },
        // Another sink or route is no change of the phone's media volume: the phone agrees with
        // what the new sink has until the phone itself changes its volume.
        .defaultSinkChanged = [this](const std::string&) { m_mirror.agree(SessionMirror::Part::Media, phoneValues(), sessionValues()); },
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

void SessionLink::giveBackRecorded(double seconds)
{
    if (m_record.isEmpty())
        return;
    NSLog("Session: giving the owner's values back to the session");
    const SessionValues& owner = m_record.values;
    auto pending = std::make_shared<int>(0);
    auto done = [pending](bool) { --*pending; };
    if (owner.level && m_feedback->isPresent()) {
        ++*pending;
        m_feedback->setLevel(*owner.level, done);
    }
    if (owner.eventRoleVolume && m_sound->isConnected()) {
        ++*pending;
        m_sound->setEventRoleVolume(*owner.eventRoleVolume, done);
    }
    if (owner.mediaVolume && m_sound->isConnected()) {
        ++*pending;
        if (m_record.mediaSink && !m_record.mediaChannels.empty())
            m_sound->setSinkChannels(*m_record.mediaSink, m_record.mediaChannels, done);
        else
            m_sound->setMediaVolume(*owner.mediaVolume, done);
    }
    if (owner.showBanners && m_banners->isPresent()) {
        ++*pending;
        m_banners->setShown(*owner.showBanners, done);
    }
    NSRunLoop::main().runUntilCondition([pending] { return *pending <= 0; }, seconds);
    m_record.dropReturned(sessionValues());
    m_record.save();
}

void SessionLink::giveBackOwnersValues(double seconds)
{
    Device::current().removeChangeObserver(m_observer);
    m_observer = 0;
    giveBackRecorded(seconds);
}

void SessionLink::takeStateFromSession()
{
    SessionValues session = sessionValues();
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
    if (change.what == "vibration") {
        m_feedback->vibrate();
        return;
    }
    if (change.what == "tone" && change.value.asString()) {
        playTone(*change.value.asString());
        return;
    }
    if (change.what == "toneStopped") {
        m_sounds->stop();
        return;
    }
    if (change.what == "alert") {
        showAlert();
        return;
    }
    if (change.what == "alertDismissed") {
        if (!m_answering)
            m_notifications->withdraw();
        return;
    }
    bool mirrored = change.what == "ringerVolume" || change.what == "mediaVolume" || change.what == "doNotDisturb"
        || change.what == "ringerSwitchSilent" || isVibrateChange(change.what);
    if (mirrored && !m_entering)
        writeToSession();
}

void SessionLink::writeToSession()
{
    SessionValues current = sessionValues();
    SessionValues wanted = m_mirror.sessionValuesFor(phoneValues(), current);
    if (wanted == current)
        return;
    m_record.recordBefore(current, wanted, m_sound->mediaSink(), m_sound->mediaChannels());
    m_record.save();
    auto done = [this](bool) { writeDone(); };
    // The level goes first, on the connection that carried the start vibration before it.
    if (wanted.level != current.level) {
        ++m_writesInFlight;
        m_feedback->setLevel(*wanted.level, done);
    }
    if (wanted.eventRoleVolume != current.eventRoleVolume) {
        ++m_writesInFlight;
        m_sound->setEventRoleVolume(*wanted.eventRoleVolume, done);
    }
    if (wanted.mediaVolume != current.mediaVolume) {
        ++m_writesInFlight;
        m_sound->setMediaVolume(*wanted.mediaVolume, done);
    }
    if (wanted.showBanners != current.showBanners) {
        ++m_writesInFlight;
        m_banners->setShown(*wanted.showBanners, done);
    }
}

void SessionLink::writeDone()
{
    if (--m_writesInFlight > 0)
        return;
    m_writesInFlight = 0;
    SessionValues before = m_record.values;
    m_record.dropReturned(sessionValues());
    if (!(before == m_record.values))
        m_record.save();
}

void SessionLink::ownerChangedLevel(FeedbackLevel level)
{
    PhoneValues phone = phoneValues();
    phone.ringer.switchOnSilent = level != FeedbackLevel::Full;
    if (level != FeedbackLevel::Full)
        phone.ringer.silentVibrate = level == FeedbackLevel::Quiet;
    else if (phone.ringer.ringerVolume == 0 && m_sound->eventRoleVolume())
        phone.ringer.ringerVolume = phoneVolume(*m_sound->eventRoleVolume());
    ownerChanged(SessionMirror::Part::Ringer, phone);
}

void SessionLink::ownerChangedEventRole(uint32_t volume)
{
    PhoneValues phone = phoneValues();
    phone.ringer.ringerVolume = phoneVolume(volume);
    ownerChanged(SessionMirror::Part::Ringer, phone);
}

void SessionLink::ownerChangedMedia(uint32_t volume)
{
    PhoneValues phone = phoneValues();
    phone.mediaVolume = phoneVolume(volume);
    ownerChanged(SessionMirror::Part::Media, phone);
}

void SessionLink::ownerChangedBanners(bool shown)
{
    PhoneValues phone = phoneValues();
    phone.doNotDisturb = !shown;
    ownerChanged(SessionMirror::Part::Banners, phone);
}

void SessionLink::ownerChanged(SessionMirror::Part part, const PhoneValues& phone)
{
    // The owner set the control: the session holds his own value, nothing is left to give back.
    switch (part) {
    case SessionMirror::Part::Ringer:
        m_record.values.level.reset();
        m_record.values.eventRoleVolume.reset();
        break;
    case SessionMirror::Part::Media:
        m_record.values.mediaVolume.reset();
        m_record.mediaSink.reset();
        break;
    case SessionMirror::Part::Banners:
        m_record.values.showBanners.reset();
        break;
    }
    m_record.save();
    PhoneValues before = phoneValues();
    m_mirror.agree(part, phone, sessionValues());
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
    return { { "feedbackd", m_feedback->isPresent() }, { "soundServer", m_sound->isConnected() }, { "notifications", m_banners->isPresent() },
        { "networkManager", m_network->isPresent() } };
}

void SessionLink::writeMarker() const
{
    std::error_code ignored;
    std::filesystem::create_directories(markerPath().parent_path(), ignored);
    PropertyList::write(markerPath(), PlistValue(linkedParts()));
}
