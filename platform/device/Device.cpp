#include "platform/device/Device.h"

#include "platform/foundation/DarwinNotifyCenter.h"
#include "platform/machinery/DeviceRoot.h"
#include "platform/foundation/NSUserDefaults.h"
#include "platform/foundation/PropertyList.h"
#include "platform/foundation/UIDevice.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace {

constexpr const char* kAudioPath = "/var/mobile/Library/Preferences/com.apple.celestial.plist";
constexpr const char* kRingerVolumeKey = "RingerVolume";
constexpr const char* kMediaVolumeKey = "MediaVolume";
constexpr float kDefaultVolume = 0.5f;
constexpr const char* kDoNotDisturbPath = "/var/mobile/Library/BulletinBoard/BehaviorOverrides.plist";
constexpr const char* kDoNotDisturbKey = "overrideStatus";
constexpr const char* kSpringBoardDomain = "com.apple.springboard";
constexpr const char* kRingVibrateChanged = "com.apple.springboard.ring-vibrate.changed";
constexpr const char* kSilentVibrateChanged = "com.apple.springboard.silent-vibrate.changed";

// Identifies the device's observations on the Darwin centre.
const char kVibrateObserver = 0;

PlistDictionary readDictionary(const char* phonePath)
{
    auto value = PropertyList::read(DeviceRoot::resolve(phonePath));
    if (value && value->isDictionary())
        return *value->asDictionary();
    return {};
}

void writeDictionary(const char* phonePath, const PlistDictionary& dictionary)
{
    auto path = DeviceRoot::resolve(phonePath);
    std::error_code ignored;
    std::filesystem::create_directories(path.parent_path(), ignored);
    PropertyList::write(path, PlistValue(dictionary));
}

float clampedVolume(float volume)
{
    if (std::isnan(volume))
        return 0.0f;
    return std::clamp(volume, 0.0f, 1.0f);
}

bool springBoardFlag(const char* key)
{
    auto domain = NSUserDefaults::standardUserDefaults().persistentDomainForName(kSpringBoardDomain);
    return domain && (*domain)[key].boolValue();
}

}

Device& Device::current()
{
    static std::mutex mutex;
    static std::unique_ptr<Device> device;
    Device* phone;
    {
        std::lock_guard lock(mutex);
        std::string root = DeviceRoot::path().string();
        if (!device || device->m_root != root)
            device = std::make_unique<Device>(root);
        phone = device.get();
    }
    phone->observeVibrateSettings();
    return *phone;
}

Device::Device(std::string root)
    : m_root(std::move(root))
{
}

// SpringBoard rereads its vibrate settings when told they changed; the device notes what they
// became.
void Device::observeVibrateSettings()
{
    DarwinNotifyCenter& center = DarwinNotifyCenter::current();
    {
        std::lock_guard lock(m_mutex);
        if (m_observedCenter == &center)
            return;
        m_observedCenter = &center;
    }
    center.removeEveryObserver(&kVibrateObserver);
    center.addObserver(&kVibrateObserver, kRingVibrateChanged, [](const std::string&) {
        Device::current().recordVibrateSetting("ring-vibrate", DeviceChange::RingVibrate);
    });
    center.addObserver(&kVibrateObserver, kSilentVibrateChanged, [](const std::string&) {
        Device::current().recordVibrateSetting("silent-vibrate", DeviceChange::SilentVibrate);
    });
}

void Device::recordVibrateSetting(const std::string& key, DeviceChange what)
{
    record(what, springBoardFlag(key.c_str()), "notify_post");
}

void Device::record(DeviceChange what, PlistValue value, std::string detail)
{
    Change change { NSDate::date(), what, std::move(value), std::move(detail) };
    std::vector<std::shared_ptr<ChangeObserver>> observers;
    {
        std::lock_guard lock(m_mutex);
        m_changes.push_back(change);
        for (const auto& [token, observer] : m_changeObservers)
            observers.push_back(observer);
    }
    for (const auto& observer : observers)
        (*observer)(change);
}

Device::ObserverToken Device::addChangeObserver(ChangeObserver observer)
{
    std::lock_guard lock(m_mutex);
    ObserverToken token = m_nextObserverToken++;
    m_changeObservers.emplace_back(token, std::make_shared<ChangeObserver>(std::move(observer)));
    return token;
}

void Device::removeChangeObserver(ObserverToken token)
{
    std::lock_guard lock(m_mutex);
    std::erase_if(m_changeObservers, [token](const auto& entry) { return entry.first == token; });
}

bool Device::isRingerSwitchSilent() const
{
    std::lock_guard lock(m_mutex);
    return m_ringerSwitchSilent;
}

bool Device::setRingerSwitchSilent(bool silent, const std::string& via)
{
    return setFlag(m_ringerSwitchSilent, silent, DeviceChange::RingerSwitchSilent, via);
}

std::string Device::systemVersion() const
{
    return UIDevice::currentDevice()->systemVersion();
}

int Device::majorSystemVersion() const
{
    return std::atoi(systemVersion().c_str());
}

double Device::systemVersionNumber() const
{
    return std::strtod(systemVersion().c_str(), nullptr);
}

bool Device::runsMajorVersion(int first, int last) const
{
    int major = majorSystemVersion();
    return major >= first && major <= last;
}

float Device::storedVolume(const char* key) const
{
    auto audio = readDictionary(kAudioPath);
    const PlistValue& value = audio[key];
    return value.isNumber() ? clampedVolume(value.floatValue()) : kDefaultVolume;
}

void Device::storeVolume(const char* key, float volume)
{
    auto audio = readDictionary(kAudioPath);
    audio[key] = PlistValue(volume);
    writeDictionary(kAudioPath, audio);
}

float Device::ringerVolume() const
{
    std::lock_guard lock(m_mutex);
    return storedVolume(kRingerVolumeKey);
}

float Device::mediaVolume() const
{
    std::lock_guard lock(m_mutex);
    return storedVolume(kMediaVolumeKey);
}

bool Device::setRingerVolume(float volume, const std::string& via)
{
    return setVolume(kRingerVolumeKey, DeviceChange::RingerVolume, "Ringtone", volume, via);
}

bool Device::setMediaVolume(float volume, const std::string& via)
{
    return setVolume(kMediaVolumeKey, DeviceChange::MediaVolume, "Audio/Video", volume, via);
}

bool Device::setFlag(bool& flag, bool value, DeviceChange change, const std::string& via)
{
    {
        std::lock_guard lock(m_mutex);
        if (flag == value)
            return false;
        flag = value;
    }
    record(change, value, via);
    return true;
}

bool Device::setVolume(const char* key, DeviceChange change, const char* category, float volume, const std::string& via)
{
    volume = clampedVolume(volume);
    bool display;
    {
        std::lock_guard lock(m_mutex);
        if (storedVolume(key) == volume)
            return false;
        storeVolume(key, volume);
        display = m_volumeDisplayEnabled;
    }
    record(change, volume, via);
    if (display)
        record(DeviceChange::VolumeDisplayShown, volume, category);
    return true;
}

bool Device::isVolumeDisplayEnabled() const
{
    std::lock_guard lock(m_mutex);
    return m_volumeDisplayEnabled;
}

void Device::setVolumeDisplayEnabled(bool enabled)
{
    setFlag(m_volumeDisplayEnabled, enabled, DeviceChange::VolumeDisplayEnabled, "setSystemVolumeHUDEnabled:");
}

bool Device::ringVibrate() const
{
    return springBoardFlag("ring-vibrate");
}

bool Device::silentVibrate() const
{
    return springBoardFlag("silent-vibrate");
}

void Device::setToneRelay(ToneRelay relay)
{
    std::lock_guard lock(m_mutex);
    m_toneRelay = std::move(relay);
}

void Device::playTone(Tone tone)
{
    ToneRelay relay;
    {
        std::lock_guard lock(m_mutex);
        relay = m_toneRelay;
    }
    if (relay) {
        relay(tone);
        return;
    }
    tone.date = NSDate::date();
    tone.ringerVolume = ringerVolume();
    std::string identifier = tone.identifier;
    std::string via = tone.via;
    {
        std::lock_guard lock(m_mutex);
        m_tones.push_back(std::move(tone));
    }
    record(DeviceChange::Tone, identifier, via);
}

void Device::stopTone(const std::string& via)
{
    std::string identifier;
    {
        std::lock_guard lock(m_mutex);
        auto playing = std::find_if(m_tones.rbegin(), m_tones.rend(), [](const Tone& t) { return t.repeating && !t.stopped; });
        if (playing == m_tones.rend())
            return;
        playing->stopped = NSDate::date();
        identifier = playing->identifier;
    }
    record(DeviceChange::ToneStopped, identifier, via);
}

std::vector<Device::Tone> Device::tones() const
{
    std::lock_guard lock(m_mutex);
    return m_tones;
}

void Device::vibrate(Vibration vibration)
{
    vibration.date = NSDate::date();
    PlistDictionary pattern = vibration.pattern;
    {
        std::lock_guard lock(m_mutex);
        m_vibrations.push_back(std::move(vibration));
    }
    record(DeviceChange::Vibration, pattern, "AudioServicesPlaySystemSoundWithVibration");
}

std::vector<Device::Vibration> Device::vibrations() const
{
    std::lock_guard lock(m_mutex);
    return m_vibrations;
}

bool Device::isScreenOn() const
{
    std::lock_guard lock(m_mutex);
    return m_backlightFactor > 0;
}

double Device::backlightFactor() const
{
    std::lock_guard lock(m_mutex);
    return m_backlightFactor;
}

void Device::setBacklightFactor(double factor, const std::string& via)
{
    factor = std::isnan(factor) ? 0.0 : std::clamp(factor, 0.0, 1.0);
    bool wasOn;
    {
        std::lock_guard lock(m_mutex);
        if (m_backlightFactor == factor)
            return;
        wasOn = m_backlightFactor > 0;
        m_backlightFactor = factor;
    }
    record(DeviceChange::BacklightFactor, factor, via);
    if (wasOn != (factor > 0))
        record(DeviceChange::ScreenOn, factor > 0, via);
}

bool Device::isLocked() const
{
    std::lock_guard lock(m_mutex);
    return m_locked;
}

void Device::setLocked(bool locked)
{
    setFlag(m_locked, locked, DeviceChange::Locked, locked ? "lock" : "unlock");
}

bool Device::isDoNotDisturbEnabled() const
{
    std::lock_guard lock(m_mutex);
    return readDictionary(kDoNotDisturbPath)[kDoNotDisturbKey].intValue() == 1;
}

void Device::setDoNotDisturbEnabled(bool enabled, const std::string& via)
{
    {
        std::lock_guard lock(m_mutex);
        auto overrides = readDictionary(kDoNotDisturbPath);
        if ((overrides[kDoNotDisturbKey].intValue() == 1) == enabled)
            return;
        overrides[kDoNotDisturbKey] = PlistValue(enabled ? 1 : 0);
        writeDictionary(kDoNotDisturbPath, overrides);
    }
    record(DeviceChange::DoNotDisturb, enabled, via);
}

void Device::recordControlCenterTap(const std::string& module, const std::string& sender)
{
    record(DeviceChange::ControlCenterTap, module, sender);
}

void Device::setStatusBarItem(const StatusBarItem& item)
{
    {
        std::lock_guard lock(m_mutex);
        auto it = m_statusBarItems.find(item.identifier);
        bool wasVisible = it != m_statusBarItems.end() && it->second.visible;
        m_statusBarItems[item.identifier] = item;
        if (wasVisible == item.visible)
            return;
    }
    record(DeviceChange::StatusBarItem, item.visible, item.identifier);
}

std::optional<Device::StatusBarItem> Device::statusBarItem(const std::string& identifier) const
{
    std::lock_guard lock(m_mutex);
    auto it = m_statusBarItems.find(identifier);
    if (it == m_statusBarItems.end())
        return std::nullopt;
    return it->second;
}

std::vector<std::string> Device::visibleStatusBarItems() const
{
    std::lock_guard lock(m_mutex);
    std::vector<std::string> visible;
    for (const auto& [identifier, item] : m_statusBarItems)
        if (item.visible)
            visible.push_back(identifier);
    return visible;
}

std::vector<Device::Change> Device::changes() const
{
    std::lock_guard lock(m_mutex);
    return m_changes;
}

std::vector<Device::Change> Device::changesOf(DeviceChange what) const
{
    std::lock_guard lock(m_mutex);
    std::vector<Change> matching;
    for (const auto& change : m_changes)
        if (change.what == what)
            matching.push_back(change);
    return matching;
}

void Device::clearChanges()
{
    std::lock_guard lock(m_mutex);
    m_changes.clear();
}

bool Device::isAlarmIconShown() const
{
    std::lock_guard lock(m_mutex);
    return m_alarmIconShown;
}

void Device::setAlarmIconShown(bool shown, const std::string& via)
{
    setFlag(m_alarmIconShown, shown, DeviceChange::AlarmIcon, via);
}

std::optional<PlistDictionary> Device::alert() const
{
    std::lock_guard lock(m_mutex);
    return m_alert;
}

void Device::showAlert(PlistDictionary alert)
{
    auto found = alert.find("title");
    std::string title = found != alert.end() && found->second.asString() ? *found->second.asString() : "";
    {
        std::lock_guard lock(m_mutex);
        m_alert = std::move(alert);
    }
    record(DeviceChange::Alert, title, "show");
}

void Device::dismissAlert(int64_t buttonIndex)
{
    {
        std::lock_guard lock(m_mutex);
        if (!m_alert)
            return;
        m_alert.reset();
    }
    record(DeviceChange::AlertDismissed, buttonIndex, "dismissWithClickedButtonIndex:animated:");
}

PlistDictionary Device::state() const
{
    PlistDictionary state;
    state["systemVersion"] = systemVersion();
    state["ringerVolume"] = ringerVolume();
    state["mediaVolume"] = mediaVolume();
    state["ringVibrate"] = ringVibrate();
    state["silentVibrate"] = silentVibrate();
    state["ringerSwitchSilent"] = isRingerSwitchSilent();
    state["doNotDisturb"] = isDoNotDisturbEnabled();
    std::lock_guard lock(m_mutex);
    state["volumeDisplayEnabled"] = m_volumeDisplayEnabled;
    state["screenOn"] = m_backlightFactor > 0;
    state["backlightFactor"] = m_backlightFactor;
    state["locked"] = m_locked;
    PlistDictionary items;
    for (const auto& [identifier, item] : m_statusBarItems)
        items[identifier] = PlistDictionary { { "visible", item.visible }, { "imageName", item.imageName }, { "alignment", item.alignment } };
    state["statusBarItems"] = items;
    state["alarmIcon"] = m_alarmIconShown;
    if (m_alert)
        state["alert"] = *m_alert;
    PlistArray tones;
    for (const auto& tone : m_tones) {
        PlistDictionary entry { { "identifier", tone.identifier }, { "type", tone.type }, { "via", tone.via }, { "date", tone.date },
            { "ringerVolume", tone.ringerVolume }, { "repeating", tone.repeating } };
        if (tone.stopped)
            entry["stopped"] = *tone.stopped;
        tones.push_back(entry);
    }
    state["tones"] = tones;
    PlistArray vibrations;
    for (const auto& vibration : m_vibrations)
        vibrations.push_back(PlistDictionary { { "systemSound", static_cast<int64_t>(vibration.systemSound) }, { "pattern", vibration.pattern }, { "date", vibration.date } });
    state["vibrations"] = vibrations;
    return state;
}
