#pragma once

#include "core/profile/HLProfile.h"
#include "platform/foundation/NSError.h"
#include "platform/foundation/NSObject.h"
#include "platform/uikit/UIAlertViewDelegate.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

class LSStatusBarItem;
class NSTimer;
class PCSimpleTimer;
class UIAlertView;
class EKEvent;
struct HLProfileFacts;
struct NSNotification;

inline constexpr const char* kHLProfilesFilePath = "/var/mobile/Library/Preferences/com.velloq.hushline.profiles.plist";
inline constexpr const char* kHLSettingsFilePath = "/var/mobile/Library/Preferences/com.velloq.hushline.plist";
inline constexpr const char* kHLEnabledKey = "com.velloq.hushline.enabled";
inline constexpr const char* kHLPreferencesBundlePath = "/Library/PreferenceBundles/HushlinePreferences.bundle";

inline constexpr const char* kHLProfileAddedNotification = "com.velloq.ProfileAddedNotification";
inline constexpr const char* kHLProfileChangedNotification = "com.velloq.ProfileChangedNotification";
inline constexpr const char* kHLProfileDeletedNotification = "com.velloq.ProfileDeletedNotification";
inline constexpr const char* kHLProfileAppliedStateChangedNotification = "com.velloq.ProfileAppliedStateChangedNotification";
inline constexpr const char* kHLEnabledOrDisabledNotification = "com.velloq.HushlineEnabledOrDisableNotification";

// The process's profile store: the in-memory list of profiles, kept in step with the profiles
// file that both processes share. Every save rewrites the whole file and announces the change
// locally and system-wide; the other process reloads when it hears of it. The same singleton
// carries the scheduler, the Do Not Disturb and icon handling and the volume watch, each
// declared in a section of its own below and defined in its own files.
class HLProfilesManager : public NSObject, public UIAlertViewDelegate {
public:
    using Success = std::function<void()>;
    using Failure = std::function<void(const NSError&)>;

    static HLProfilesManager& sharedManager();
    // The shared pointer of the singleton, for the callers that hold it as an object
    // (a notification's observer, a timer's target).
    static std::shared_ptr<HLProfilesManager> sharedManagerObject();

    HLProfilesManager();
    ~HLProfilesManager() override;

    void initialize();

    static bool isHushlineEnabled();
    // Removes the clock alarms that carry the system's own title (core/apply/HLProfilesManager+Alarms.cpp);
    // returns every alarm as it was before.
    static std::vector<std::shared_ptr<NSObject>> unloadAllHushlineAlarms();
    static void createAndSaveDefaultProfile();
    static std::filesystem::path profilesFilePath();
    static std::filesystem::path settingsFilePath();

    void loadProfiles();
    void reloadProfiles() { loadProfiles(); }
    // Whether the profiles file on disk is no longer the one this process last read or wrote.
    bool isFileReplacedSinceRead() const;
    bool saveAllProfilesToDisk(const std::shared_ptr<HLProfile>& profile, bool post, const std::string& notificationName);

    void addProfile(const std::shared_ptr<HLProfile>&, Success = nullptr, Failure = nullptr);
    void updateProfile(const std::shared_ptr<HLProfile>&, Success = nullptr, Failure = nullptr);
    void updateProfile(const std::shared_ptr<HLProfile>&, bool shouldPostNotification, Success, Failure);
    void deleteProfile(const std::shared_ptr<HLProfile>&, Success = nullptr, Failure = nullptr);

    bool isProfileNameAlreadyExists(const std::optional<std::string>& title) const;
    // The first creation second from `candidate` on that no stored profile has as its
    // identifier: a profile made in the second of another one's creation is still its own.
    int64_t unusedIdentifier(int64_t candidate);
    std::string defaultProfileTitle() const;

    std::vector<std::shared_ptr<HLProfile>> activeProfiles();
    std::vector<std::shared_ptr<HLProfile>> enabledProfiles() { return activeProfiles(); }
    std::vector<std::shared_ptr<HLProfile>> disabledProfiles();
    std::shared_ptr<HLProfile> activeProfileByName(const std::string& title);
    std::shared_ptr<HLProfile> profileByIdentifier(int64_t identifier);
    std::shared_ptr<HLProfile> profileByIdentifier(int64_t identifier, bool shouldReload);

    std::vector<std::shared_ptr<HLProfile>>& profiles() { return m_profiles; }

    // A localized text of the settings bundle (the host's own bundle when that cannot be opened).
    static std::string localizedText(const std::string& key);

private:
    void loadProfilesIfEmpty();
    // Sets the updated date and puts the record in the place of the stored one with its
    // identifier; false, with `failure` called, when none is stored. When another process
    // replaced the file since this one read it, the list is read again first and the record
    // takes the stored values of every field that this process did not change.
    bool stageUpdate(const std::shared_ptr<HLProfile>&, const Failure& failure);
    // Reads the list again when another process replaced the file; true when it did.
    bool catchUpWithFile();
    // The fields of `profile` whose values differ from its entry as last read or written.
    std::vector<std::string> changedKeys(const std::shared_ptr<HLProfile>& profile, const PlistDictionary& entry) const;
    void rememberFile(std::optional<std::string> bytes, const PlistArray& entries);
    NSError storeError(const std::string& description, const std::string& reason = {}, const std::string& suggestion = {}) const;
    // Keeps an unreadable profiles file aside before the first save replaces it.
    void preserveCorruptFileIfNeeded();

    std::vector<std::shared_ptr<HLProfile>> m_profiles;
    bool m_profilesFileCorrupt { false };
    // The profiles file as this process last read or wrote it (nullopt: there was none), and
    // each entry of it by identifier: a save never writes back a list older than the file.
    std::optional<std::string> m_knownFileBytes;
    std::map<int64_t, PlistDictionary> m_knownEntries;

    // Do Not Disturb and the status-bar icon (core/apply/HLProfilesManager+DnD.cpp).
public:
    const std::shared_ptr<LSStatusBarItem>& statusBarItem() const { return m_statusBarItem; }
    // Start-up: loads the optional status-bar library and creates the one item of the whole
    // system ("com.velloq.hushline", alignment 2, image "Profile", hidden). Without the library
    // there is no item and every use of it does nothing.
    void setUpStatusBarItem();
    // Opens "/Library/MobileSubstrate/DynamicLibraries/libstatusbar.dylib" unless the class
    // "LSStatusBarItem" exists already. The library is never closed.
    void loadLibStatusbar();
    // Shows or hides the one icon, whichever profile asks.
    void showORHideIconsOnSpringBoard(bool show);
    // Switching on saves the state the phone had (unless saved already, by an overlapping
    // profile) and switches Do Not Disturb on; switching off gives back the saved state and
    // changes nothing when none is saved, so the user's own setting is never taken away.
    void enableORDisableDnD(bool on);
    void enableORDisableDnDForIOS11(bool on);
    bool isDoNotDisturbOn();

private:
    // Switches Do Not Disturb the way a tap in Control Center would, per OS generation; OS 11
    // and later go to enableORDisableDnDForIOS11. Before 11, switching on stores the state found
    // under "com.velloq.hushline-<setting identifier>", and switching off leaves Do Not Disturb
    // on only when YES is stored there.
    void switchDoNotDisturb(bool on);

    std::shared_ptr<LSStatusBarItem> m_statusBarItem;

    // The scheduler: which event each profile follows, when to apply and revert it, and the
    // wake-up timers for the next such moment.
public:
    using Events = std::vector<std::shared_ptr<EKEvent>>;

    // Profile identifier -> the event scheduled for that profile (at most one, at index 0).
    std::map<int64_t, Events>& scheduledEventsDict() { return m_scheduledEventsDict; }

    // HLProfilesManager+Scheduler.cpp
    void schedulePowerEventsForProfiles(bool reload);
    void schedulePowerEventsForProfiles();
    // The wake-up timer's callback.
    void schedulePowerEvent(const std::shared_ptr<PCSimpleTimer>& timer);
    void scheduleEvents(const std::shared_ptr<HLProfile>& profile, bool shouldProceedAnyCase);
    std::shared_ptr<EKEvent> eventToBeScheduled(const std::optional<Events>& events);
    std::shared_ptr<EKEvent> getCurrentScheduledEventFromProfile(const std::shared_ptr<HLProfile>& profile);
    void removeEventFromScheduledList(const std::shared_ptr<HLProfile>& profile, const std::shared_ptr<EKEvent>& event);
    // Called on the calendar store's thread; restarts the 2.5 s debounce on the main run loop.
    void eventStoreChanged(const NSNotification&);
    void handleEventStoreChanges(NSTimer&);
    void handleHushlineEnabledOrDisabled();
    void revertAppliedProfilesIfAny();
    const std::shared_ptr<NSTimer>& eventStoreUpdateTimer() const { return m_eventStoreUpdateTimer; }

    // HLProfilesManager+Calendars.cpp
    // The calendars of the active profiles whose window is open now (all-day profiles always),
    // each once, in no defined order: what HLEventManager's eventsForToday reads.
    std::vector<std::string> calendarIdentifiers();

    // HLProfilesManager+PowerEvents.cpp
    void schedulePowerEvent(const std::shared_ptr<HLProfile>& profile, std::shared_ptr<EKEvent> event);
    void processScheduledEvent(const std::shared_ptr<HLProfile>& profile);
    void registerForPowerNotifications(const std::optional<NSDate>& date, const std::shared_ptr<HLProfile>& profile);

    // HLProfilesManager+WiFiRules.cpp
    void shceduleWiFiDetected(const std::shared_ptr<HLProfile>& profile, const std::function<void(bool go)>& completion);
    void scheduleProfilesOnWiFiChange();
    std::vector<std::shared_ptr<HLProfile>> activeWiFiProfiles();

private:
    void scheduleEventsAfterWiFiGate(const std::shared_ptr<HLProfile>& profile, bool shouldProceedAnyCase, bool go);
    // processScheduledEvent's step for the event the profile follows (away from its networks).
    void processFollowedEvent(const std::shared_ptr<HLProfile>& profile, const HLProfileFacts& facts, bool appliedByLeftNetwork);
    // Reverts a profile that may no longer act (disabled, Hushline off) while its event runs.
    void revertOutsideItsEvent(const std::shared_ptr<HLProfile>& profile);

    std::map<int64_t, Events> m_scheduledEventsDict;
    std::mutex m_eventStoreUpdateTimerMutex;
    std::shared_ptr<NSTimer> m_eventStoreUpdateTimer;

    // The volume watch (core/apply/HLProfilesManager+VolumeWatch.cpp): a ringer change the
    // user makes while a profile is applied leads to one question per application; a volume
    // the user keeps becomes the one the revert restores.
public:
    static constexpr long kVolumePreserveAlertTag = 431213;
    // Every system volume change of this process.
    void volumeChanged(const NSNotification&);
    // The answer to the question.
    void alertViewClickedButtonAtIndex(UIAlertView&, long buttonIndex) override;
    void updateVolumeInUserDefaults(double volume);
    const std::shared_ptr<UIAlertView>& volumePreserveAlertView() const { return m_volumePreserveAlertView; }

private:
    std::shared_ptr<HLProfile> firstAppliedProfile();

    // Overlapping profiles (core/apply/HLProfilesManager+Overlap.cpp): run a while after every
    // revert, so that the profiles still applied take the phone again, quietly, instead of
    // leaving it with the user's state.
public:
    void refreshAppliedProfiles();

private:
    std::shared_ptr<UIAlertView> m_volumePreserveAlertView;
};
