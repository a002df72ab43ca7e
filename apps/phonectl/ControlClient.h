#pragma once

#include "platform/foundation/PlistValue.h"

#include <filesystem>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>

class PhoneBusConnection;
struct sd_bus_message;

// A refusal that phonectl reports to the user as it stands ("phonectl: <what>").
class PhonectlError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// phonectl's side of the phone's control interface (com.velloq.phone.Control, served by the
// home-screen host). Every call waits for the host's answer and returns its dictionary; a
// refusal of the host, a phone that is not booted or a host that does not answer throws a
// PhonectlError saying so.
class ControlClient {
public:
    // Connects to the bus of the booted phone at the root.
    explicit ControlClient(const std::filesystem::path& root);

    PlistDictionary state();
    PlistDictionary changes(int64_t since);
    PlistDictionary setClock(double time);
    PlistDictionary advanceClock(double seconds);
    void setLocked(bool);
    PlistDictionary pressVolumeButton(const std::string& button);
    void answerAlert(int64_t index);
    std::string addAlarm(const std::string& title, int hour, int minute, bool active);
    void removeAlarm(const std::string& alarmId);
    void setAlarmActive(const std::string& alarmId, bool active);
    PlistDictionary setDoNotDisturb(bool enabled);
    // mode "ring" or "silent".
    PlistDictionary setVibrate(const std::string& mode, bool enabled);
    PlistDictionary setRingerVolume(double volume);

    // Calls the handler with every change the device records from now on (the signal
    // Changed), on the main run loop, which the caller runs.
    void watchChanges(std::function<void(const PlistDictionary&)>);

    const std::shared_ptr<PhoneBusConnection>& connection() const { return m_connection; }

private:
    using Appender = std::function<int(sd_bus_message*)>;
    PlistDictionary call(const char* method, const Appender& arguments);

    std::filesystem::path m_root;
    std::shared_ptr<PhoneBusConnection> m_connection;
    std::function<void(const PlistDictionary&)> m_changeHandler;
};
