#pragma once

#include "platform/foundation/NSObject.h"
#include "platform/foundation/PlistValue.h"
#include "platform/mobiletimer/Alarm.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

class PCSimpleTimer;

// The clock's alarms, kept where the phone's clock keeps them: "Alarms" (an array of
// { "alarmId", "hour", "minute", "title", "active" }) in
// "/var/mobile/Library/Preferences/com.apple.mobiletimer.plist".
//
// Each active alarm is rung by a wake-up timer of the service "com.apple.mobiletimer", created
// through PCSimpleTimer's initWithAbsoluteTime:... and invalidated when the alarm is switched
// off or removed (or has rung: an alarm rings once and then switches itself off). Whenever the
// clock's idea of "an alarm is set" may have changed it tells whoever watches the alarms'
// state (SpringBoard's status bar registers itself, so the clock never reaches up into it).
//
// Used on the main thread, like the rest of SpringBoard.
class AlarmManager : public NSObject {
public:
    static constexpr const char* kServiceIdentifier = "com.apple.mobiletimer";
    static constexpr const char* kPreferencesPath = "/var/mobile/Library/Preferences/com.apple.mobiletimer.plist";

    // The shared manager, its alarms loaded from the preferences on first use.
    static std::shared_ptr<AlarmManager> sharedManager();

    // Reads the alarms again from the preferences. An alarm that is still there keeps its
    // object (and its timer); one that is gone is disarmed.
    void loadAlarms();
    std::vector<std::shared_ptr<Alarm>> alarms() const { return m_alarms; }
    // nullptr when no alarm has the identifier (or it is not a string).
    std::shared_ptr<Alarm> alarmWithId(const std::string& alarmId) const;
    std::shared_ptr<Alarm> alarmWithId(const PlistValue& alarmId) const;
    std::shared_ptr<Alarm> alarmWithId(const char* alarmId) const { return alarmWithId(std::string(alarmId)); }

    // addAlarm:active: — the alarm is stored (an alarm of the same identifier is replaced).
    void addAlarm(const std::shared_ptr<Alarm>&, bool active);
    void removeAlarm(const std::shared_ptr<Alarm>&);
    // setAlarm:active: — a null alarm or one the clock does not hold is ignored.
    void setAlarm(const std::shared_ptr<Alarm>&, bool active);
    // Arms afresh the timer of every active alarm (invalidating the ones it had) and tells the
    // status bar whether an alarm is set.
    void loadScheduledNotifications();

    // A new alarm identifier (a random UUID in upper-case text).
    static std::string newAlarmId();

    // The one watcher of "an alarm is set" (true) or "none is" (false), told after every change
    // that may have changed it; registered once when the process loads the status bar.
    using AlarmStateWatcher = std::function<void(bool anyActive)>;
    static bool watchAlarmState(AlarmStateWatcher);

private:
    void save() const;
    // Stores the active state, arms or disarms the alarm's timer, saves, tells the status bar.
    void switchAlarm(Alarm&, bool active);
    void arm(Alarm&);
    void disarm(Alarm&);
    void tellAlarmState() const;
    void alarmTimerFired(const std::shared_ptr<PCSimpleTimer>&);

    std::vector<std::shared_ptr<Alarm>> m_alarms;
};
