#pragma once

#include "platform/device/DeviceChange.h"

#include "platform/foundation/NSDate.h"
#include "platform/foundation/PlistValue.h"

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

// The simulated phone: what the framework stand-ins (audio, tones, backlight, Control Center,
// status bar, ...) act on, and what tests and phonectl look at.
//
// Where the phone keeps a setting on disk, so does the simulated phone, under the device root,
// so that every process of the phone sees one value:
//   - the OS version: "ProductVersion" of "/System/Library/CoreServices/SystemVersion.plist"
//     (read through UIDevice);
//   - the ringer and media volumes: "RingerVolume" and "MediaVolume" (reals, 0.0 to 1.0) of
//     "/var/mobile/Library/Preferences/com.apple.celestial.plist", 0.5 when unset;
//   - Do Not Disturb: "overrideStatus" (1 on, 0 off) of
//     "/var/mobile/Library/BulletinBoard/BehaviorOverrides.plist", off when unset;
//   - ring and silent vibrate: "ring-vibrate" and "silent-vibrate" of the "com.apple.springboard"
//     preferences domain, written by whoever changes them and announced with the Darwin
//     notifications "com.apple.springboard.ring-vibrate.changed" / "...silent-vibrate.changed".
// What SpringBoard holds in memory (screen and backlight, lock, volume display, status-bar items,
// the tones and vibrations played) lives in the device object of the process that owns the phone
// (the home-screen host), starting unlocked with the screen fully lit and the volume display on.
//
// Every change is recorded in a log (date on the process clock, what changed, the new value)
// that tests read and phonectl prints. Safe to use from any thread.
class Device {
public:
    // The phone of the current device root; a new root (a new test) is a new phone.
    static Device& current();

    struct Change {
        NSDate date;
        DeviceChange what;
        PlistValue value;
        // How it came about (the call that made the change), or what it concerns.
        std::string detail;
    };

    struct Tone {
        std::string identifier;
        int64_t type { 0 };
        // The ToneLibrary call that played it.
        std::string via;
        NSDate date;
        // The ringer volume the tone sounded at.
        float ringerVolume { 0 };
        bool repeating { false };
        std::optional<NSDate> stopped;
    };

    struct Vibration {
        uint32_t systemSound { 0 };
        PlistDictionary pattern;
        NSDate date;
    };

    struct StatusBarItem {
        std::string identifier;
        int64_t alignment { 0 };
        std::string imageName;
        bool visible { false };
    };

    // The OS version text ("" when the phone has no SystemVersion.plist) and its major number.
    std::string systemVersion() const;
    int majorSystemVersion() const;
    // The version read as a decimal number ("7.1.2" reads 7.1).
    double systemVersionNumber() const;
    // Whether the major version lies in first ... last (both included); the stand-ins' classes
    // and methods exist per OS version.
    bool runsMajorVersion(int first, int last) const;

    // Audio.
    float ringerVolume() const;
    float mediaVolume() const;
    // Clamped to 0.0 ... 1.0; returns whether the volume changed. A change while the volume
    // display is enabled shows it ("volumeDisplayShown").
    bool setRingerVolume(float, const std::string& via);
    bool setMediaVolume(float, const std::string& via);
    bool isVolumeDisplayEnabled() const;
    void setVolumeDisplayEnabled(bool);

    // Vibrate settings, as the domain holds them now (absent reads as off).
    bool ringVibrate() const;
    bool silentVibrate() const;

    // The ring/silent switch on the side of the phone ("ringerSwitchSilent"): only its owner
    // moves it (the system's code reads the vibrate setting that applies, never the switch).
    // Kept in memory, on ring at start. Returns whether it moved.
    bool isRingerSwitchSilent() const;
    bool setRingerSwitchSilent(bool silent, const std::string& via);

    // Tones and vibration. A process that does not own the phone (the Settings app previewing a
    // tone) hands the tones it plays to the owner through the relay, so that they are recorded
    // where every other tone is.
    using ToneRelay = std::function<void(const Tone&)>;
    void setToneRelay(ToneRelay relay);
    void playTone(Tone);
    // Stops the tone that is playing repeatedly, if any.
    void stopTone(const std::string& via);
    std::vector<Tone> tones() const;
    void vibrate(Vibration);
    std::vector<Vibration> vibrations() const;

    // Screen and lock.
    bool isScreenOn() const;
    double backlightFactor() const;
    void setBacklightFactor(double, const std::string& via);
    bool isLocked() const;
    void setLocked(bool);

    // Do Not Disturb: the phone's one state, whichever Control Center path switches it.
    bool isDoNotDisturbEnabled() const;
    void setDoNotDisturbEnabled(bool, const std::string& via);
    // A tap on a Control Center button, with what it was sent from ("none" for no view).
    void recordControlCenterTap(const std::string& module, const std::string& sender);

    // The status bar.
    void setStatusBarItem(const StatusBarItem&);
    std::optional<StatusBarItem> statusBarItem(const std::string& identifier) const;
    std::vector<std::string> visibleStatusBarItems() const;

    // The status bar's alarm icon.
    bool isAlarmIconShown() const;
    void setAlarmIconShown(bool shown, const std::string& via);

    // The alert on screen (one at a time, as SpringBoard shows them): "title", "message",
    // "buttons" (array of titles in index order), "tag"; nullopt when none is shown.
    std::optional<PlistDictionary> alert() const;
    void showAlert(PlistDictionary alert);
    // Takes the alert off the screen, noting the button it was dismissed with.
    void dismissAlert(int64_t buttonIndex);

    // The log.
    std::vector<Change> changes() const;
    // Told of every change as it is recorded, in the order recorded, on the thread that made it
    // (the home-screen host announces them on the phone's bus; the link to a real session writes
    // them to the session). Observers are told in the order they were added; the token removes one.
    using ChangeObserver = std::function<void(const Change&)>;
    using ObserverToken = uint64_t;
    ObserverToken addChangeObserver(ChangeObserver);
    void removeChangeObserver(ObserverToken);
    std::vector<Change> changesOf(DeviceChange) const;
    void clearChanges();

    // Everything above as one dictionary (phonectl state): "systemVersion", "ringerVolume",
    // "mediaVolume", "volumeDisplayEnabled", "ringVibrate", "silentVibrate", "ringerSwitchSilent", "screenOn",
    // "backlightFactor", "locked", "doNotDisturb", "statusBarItems" (identifier -> { "visible",
    // "imageName", "alignment" }), "alarmIcon", "alert" (only while one is shown), "tones" and
    // "vibrations" (arrays of dictionaries).
    PlistDictionary state() const;

    explicit Device(std::string root);

private:
    void record(DeviceChange, PlistValue value, std::string detail);
    void recordVibrateSetting(const std::string& key, DeviceChange);
    void observeVibrateSettings();
    float storedVolume(const char* key) const;
    void storeVolume(const char* key, float);
    // Sets the flag (one of the members) under the lock and notes the change; false when it held
    // the value already.
    bool setFlag(bool& flag, bool value, DeviceChange, const std::string& via);
    // Stores the volume under the key unless it is there already, and notes the change (and the
    // volume display of the category while it is enabled). Whether it changed.
    bool setVolume(const char* key, DeviceChange change, const char* category, float volume, const std::string& via);

    mutable std::mutex m_mutex;
    ToneRelay m_toneRelay;
    std::string m_root;
    const void* m_observedCenter { nullptr };
    bool m_volumeDisplayEnabled { true };
    double m_backlightFactor { 1.0 };
    bool m_locked { false };
    std::map<std::string, StatusBarItem> m_statusBarItems;
    bool m_alarmIconShown { false };
    std::optional<PlistDictionary> m_alert;
    std::vector<Tone> m_tones;
    std::vector<Vibration> m_vibrations;
    std::vector<Change> m_changes;
    bool m_ringerSwitchSilent { false };
    std::vector<std::pair<ObserverToken, std::shared_ptr<ChangeObserver>>> m_changeObservers;
    ObserverToken m_nextObserverToken { 1 };
};
