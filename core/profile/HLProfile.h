#pragma once

#include "platform/foundation/NSDate.h"
#include "platform/foundation/NSObject.h"
#include "platform/foundation/PlistValue.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class PCSimpleTimer;

// A profile: when the phone is to be silenced (its daily hours or the whole day, calendar
// events, Wi-Fi networks) and what is done while it applies. Shared between the store, the
// scheduler and the settings screens; each process rebuilds its records from the profiles file.
class HLProfile : public NSObject {
public:
    // A record whose identifier is the current Unix time in whole seconds; every other field
    // false, 0 or unset.
    HLProfile();
    // A record read from a profiles-file entry (identifier from the clock when the entry has none).
    explicit HLProfile(const PlistDictionary& dictionary);

    static std::shared_ptr<HLProfile> init() { return std::make_shared<HLProfile>(); }
    static std::shared_ptr<HLProfile> initWithDictionary(const PlistDictionary& d) { return std::make_shared<HLProfile>(d); }
    // A new profile with the defaults a user starts from.
    static std::shared_ptr<HLProfile> defaultProfile();

    // The entry's persisted fields replace the record's; a missing key clears its field.
    void setPropertiesFromDicitonary(const PlistDictionary&);
    // The record's entry in the profiles file.
    PlistDictionary dictionaryRepresentation();

    // Same identifier for profiles; identity for anything else.
    bool isEqual(const std::shared_ptr<const NSObject>& other) const override;
    // Whether `other`, a newer version of this profile, moves its window or drops one of its
    // calendars (what makes the scheduler look again).
    bool hasChanged(const std::shared_ptr<HLProfile>& other);

    std::string description() const override;

    // Key-value access by property name, through the one table of the record's properties
    // (the settings editor and the message handler change fields by name). A read of an unknown
    // key gives no value; a write of an unknown key or a value of the wrong type changes
    // nothing and returns false.
    PlistValue valueForKey(const std::string& key);
    bool setValueForKey(const PlistValue& value, const std::string& key);
    static const std::vector<std::string>& propertyNames();

    // Time windows (the active hours as today's points in time).
    NSDate dateFromTime(const std::optional<std::string>& timeText) const;
    NSDate todayModifiedWithHours(const std::optional<std::string>& hour, const std::optional<std::string>& minute,
        const std::optional<std::string>& period) const;
    NSDate startDate();
    NSDate endDate();
    bool isDateBetweenProfileStartAndEndDate(const NSDate&);
    std::vector<NSDate> gimmeIntersectionDates(const NSDate& from, const NSDate& to);

    // Fields.
    bool isEnabled() const { return m_enabled; }
    void setEnabled(bool v) { m_enabled = v; }
    bool isAllDay() const { return m_allDay; }
    void setAllDay(bool v) { m_allDay = v; }
    bool isPlayAlert() const { return m_playAlert; }
    void setPlayAlert(bool v) { m_playAlert = v; }
    bool isVibrate() const { return m_vibrate; }
    void setVibrate(bool v) { m_vibrate = v; }
    bool isVibrateAlert() const { return m_vibrateAlert; }
    void setVibrateAlert(bool v) { m_vibrateAlert = v; }
    bool isShowOnStatusBar() const { return m_showOnStatusBar; }
    void setShowOnStatusBar(bool v) { m_showOnStatusBar = v; }
    bool isDnDEnabled() const { return m_dnDEnabled; }
    void setDnDEnabled(bool v) { m_dnDEnabled = v; }
    bool isSilent() const { return m_silent; }
    bool isApplied() const { return m_applied; }
    bool isWakeUpScreen() const { return m_wakeUpScreen; }
    void setWakeUpScreen(bool v) { m_wakeUpScreen = v; }
    bool isAllDayEventsIgnored() const { return m_allDayEventsIgnored; }
    void setAllDayEventsIgnored(bool v) { m_allDayEventsIgnored = v; }
    bool isNewProfile() const { return m_newProfile; }
    void setNewProfile(bool v) { m_newProfile = v; }
    bool isVolumeAlertShown() const { return m_volumeAlertShown; }
    void setVolumeAlertShown(bool v) { m_volumeAlertShown = v; }
    bool shouldPreserveVolumeChange() const { return m_preserveVolumeChange; }
    void setPreserveVolumeChange(bool v) { m_preserveVolumeChange = v; }

    int64_t identifier() const { return m_identifier; }
    void setIdentifier(int64_t v) { m_identifier = v; }
    const std::optional<std::string>& title() const { return m_title; }
    void setTitle(std::optional<std::string> v) { m_title = std::move(v); }

    void setStartDate(std::optional<NSDate> v) { m_startDate = v; }
    void setEndDate(std::optional<NSDate> v) { m_endDate = v; }
    NSDate createdDate();
    const std::optional<NSDate>& updatedDate() const { return m_updatedDate; }
    void setUpdatedDate(std::optional<NSDate> v) { m_updatedDate = v; }

    double playBackVolume() const { return m_playBackVolume; }
    void setPlayBackVolume(double v) { m_playBackVolume = v; }
    double ringerVolume() const { return m_ringerVolume; }
    void setRingerVolume(double v) { m_ringerVolume = v; }
    double deviceVolume() const { return m_deviceVolume; }
    void setDeviceVolume(double v) { m_deviceVolume = v; }
    int64_t alertSound() const { return m_alertSound; }
    void setAlertSound(int64_t v) { m_alertSound = v; }
    // The attendance filter, 0 to 3; a stored value outside that range reads as 0.
    int64_t applyProfileEventStatus() const;
    void setApplyProfileEventStatus(int64_t v) { m_applyProfileEventStatus = v; }
    const std::optional<std::string>& alertToneIdentifier() const { return m_alertToneIdentifier; }
    void setAlertToneIdentifier(std::optional<std::string> v) { m_alertToneIdentifier = std::move(v); }

    // An unset list is first filled with every writable calendar, which then stays in the
    // record; a set but empty list means no calendar.
    const std::vector<std::string>& calendarIdentifiers();
    bool hasCalendarIdentifiers() const { return m_calendarIdentifiers.has_value(); }
    void setCalendarIdentifiers(std::optional<std::vector<std::string>> v) { m_calendarIdentifiers = std::move(v); }
    const std::optional<std::string>& startTime() const { return m_startTime; }
    void setStartTime(std::optional<std::string> v) { m_startTime = std::move(v); }
    const std::optional<std::string>& endTime() const { return m_endTime; }
    void setEndTime(std::optional<std::string> v) { m_endTime = std::move(v); }
    // An unset list is first set to an empty one.
    std::vector<std::string>& wifiNetworks();
    void setWifiNetworks(std::optional<std::vector<std::string>> v) { m_wifiNetworks = std::move(v); }

    const std::shared_ptr<PCSimpleTimer>& timer() const { return m_timer; }
    void setTimer(std::shared_ptr<PCSimpleTimer> v) { m_timer = std::move(v); }
    void setStartTimer(std::shared_ptr<PCSimpleTimer> v) { m_startTimer = std::move(v); }
    void setEndTimer(std::shared_ptr<PCSimpleTimer> v) { m_endTimer = std::move(v); }
    const std::shared_ptr<PCSimpleTimer>& startTimerIfAny() const { return m_startTimer; }
    const std::shared_ptr<PCSimpleTimer>& endTimerIfAny() const { return m_endTimer; }
    double newRingtoneVolume() const { return m_newRingtoneVolume; }
    void setNewRingtoneVolume(double v) { m_newRingtoneVolume = v; }

    // The operations of the other subsystems on a profile (applying and reverting, wake-up
    // timers, Wi-Fi networks) are members too; each group is declared below and defined in a
    // file of its own ("HLProfile+<Group>.cpp").

    // Applying and reverting (core/apply/HLProfile+Apply.cpp): what the profile does to the
    // phone while it is applied. Both calls return at once; the alert tone, the volumes set
    // after it, the return of the volume display (2.0 s), the refresh of the profiles still
    // applied after a revert (2.0 s) and the dimming of a lit screen (5 s) follow on the main
    // queue. The phone's own volumes, vibrate states and Do Not Disturb found before the first
    // apply that changes them are kept in the host's standard user defaults, so that a revert
    // restores exactly them even after other profiles came and went.
    void apply();
    // A quiet revert plays no end tone and does not light the screen; the caller clears the
    // quiet flag afterwards.
    void revert(bool quiet = false);
    // For an applied profile: quietly sets the profile's volumes again when the phone shows
    // others, and refreshes vibration, icon and Do Not Disturb.
    void refreshSoundSettingsIfRequired();
    // Stores the flag and saves the record without the change notification; once it is saved,
    // "com.velloq.ProfileAppliedStateChangedNotification" goes out system-wide.
    void setApplied(bool applied);
    // The quiet flag (in memory only): while set, no alert tone and no screen wake-up.
    void setSilent(bool silent);
    // true: sets the profile's ringer and playback volumes; false: restores the saved ones.
    void applySoundSettings(bool apply);
    // true: vibration on (ring and silent), saving what the phone had; false: gives back what
    // was saved, and changes nothing when nothing was.
    void vibrate(bool on);
    // Plays the profile's alert tone; the completion runs (with true) once the tone has been
    // stopped and the pause after it is over.
    void playAlertToneFromIdentifier(std::function<void(bool)> completion);
    // Turns the system volume display back on.
    void hideSystemVolumeHUD();
    void wakeUpScreenIfRequired();

    // Do Not Disturb and the status-bar icon (core/apply/HLProfile+DnD.cpp), forwarded to the
    // store, which holds the one icon and reaches Control Center.
    void enableORDisableDnD(bool on);
    void showORHideIconsOnSpringBoard(bool show);
    // For an applied profile: switches Do Not Disturb / the icon to what the profile says. A
    // profile without Do Not Disturb gives back the state saved before the system switched it
    // on, unless another applied profile still wants it; the user's own setting stays.
    void updateDNDStatus();
    void updateShowStatuBarState();
    // Whether another applied profile of the store wants Do Not Disturb / vibration.
    bool isDnDWantedByAnotherAppliedProfile() const;
    bool isVibrationWantedByAnotherAppliedProfile() const;

    // Attendance filter label (HLProfile+EventStatus.cpp): "All", "Accepted", "Tentative" or
    // "Declined/Cancelled" for applyProfileEventStatus 0 to 3, localized through the settings
    // bundle (the host's own bundle when that cannot be opened).
    std::string applyProfileEventStatusString() const;

    // Wi-Fi networks (HLProfile+WiFi.cpp): a profile with networks applies by its hours alone
    // while the phone is joined to one of them.
    bool isWifiEnabled();
    // Appends without a duplicate test.
    void addToWiFiNetwork(const std::string& ssid);
    // Removes every entry equal to the name.
    void removeFromWiFiNetwork(const std::string& ssid);
    bool hasWiFiNetwork(const std::optional<std::string>& ssid);

    // Wake-up timers (HLProfile+Timers.cpp). `timer` is the one the scheduler arms; the start
    // and end timers of the window are made on demand. Each fires into the store's
    // schedulePowerEvent with the profile's identifier.
    // A new, unscheduled timer; null (with an Error line) for a missing or past date.
    std::shared_ptr<PCSimpleTimer> timerWithDate(const std::optional<NSDate>& date);
    std::shared_ptr<PCSimpleTimer> timerForDate(const std::optional<NSDate>& date);
    // Cancels the pending wake-up and arms one for the date.
    void beginTimerForDate(const std::optional<NSDate>& date);
    void stopTimer();
    const std::shared_ptr<PCSimpleTimer>& startTimer();
    const std::shared_ptr<PCSimpleTimer>& endTimer();
    void beginStartTimer();
    void beginEndTimer();
    void stopStartTimer();
    void stopEndTimer();
    void scheduleTimerForProfileStartDate();
    void scheduleTimerForProfileEndDate();
    void scheduleTimers();
    void stopTimers();
    void scheduleTimer(const NSDate& date);

private:
    friend struct HLProfileProperties;

    bool m_enabled { false };
    bool m_allDay { false };
    bool m_playAlert { false };
    bool m_vibrate { false };
    bool m_vibrateAlert { false };
    bool m_showOnStatusBar { false };
    bool m_dnDEnabled { false };
    bool m_silent { false };
    bool m_applied { false };
    bool m_wakeUpScreen { false };
    bool m_allDayEventsIgnored { false };
    bool m_newProfile { false };
    bool m_volumeAlertShown { false };
    bool m_preserveVolumeChange { false };
    int64_t m_identifier { 0 };
    std::optional<std::string> m_title;
    std::optional<NSDate> m_startDate;
    std::optional<NSDate> m_endDate;
    std::optional<NSDate> m_createdDate;
    std::optional<NSDate> m_updatedDate;
    double m_playBackVolume { 0.0 };
    double m_ringerVolume { 0.0 };
    double m_deviceVolume { 0.0 };
    int64_t m_alertSound { 0 };
    int64_t m_applyProfileEventStatus { 0 };
    std::optional<std::string> m_alertToneIdentifier;
    std::optional<std::vector<std::string>> m_calendarIdentifiers;
    std::optional<std::string> m_startTime;
    std::optional<std::string> m_endTime;
    std::optional<std::vector<std::string>> m_wifiNetworks;
    std::shared_ptr<PCSimpleTimer> m_timer;
    std::shared_ptr<PCSimpleTimer> m_startTimer;
    std::shared_ptr<PCSimpleTimer> m_endTimer;
    double m_newRingtoneVolume { 0.0 };
    // Names this profile's last revert while its volume steps give the owner's volumes back.
    uint64_t m_returningRevert { 0 };
};
