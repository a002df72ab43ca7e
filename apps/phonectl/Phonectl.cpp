#include "apps/phonectl/Phonectl.h"

#include "apps/common/LocalTime.h"
#include "apps/phonectl/ControlClient.h"
#include "apps/phonectl/ForegroundPhone.h"
#include "apps/phonectl/Json.h"
#include "apps/phonectl/PhoneLog.h"
#include "apps/phonectl/PhoneSupervisor.h"
#include "apps/phonectl/TodayCommand.h"
#include "apps/phonectl/SettingsLauncher.h"
#include "platform/appsupport/CPDistributedMessagingCenter.h"
#include "platform/eventkit/ICalendarWriter.h"
#include "platform/machinery/AtomicFile.h"
#include "platform/phonebus/BusDarwinNotifyCenter.h"
#include "platform/foundation/DarwinNotifyCenter.h"
#include "platform/phonebus/PhoneBusConnection.h"
#include "platform/messageui/MFMailComposeViewController.h"
#include "platform/mobilewifi/WiFiState.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <iostream>
#include <map>

namespace {

constexpr const char* kUsage = R"(usage: phonectl [--root DIR] COMMAND ...
  boot [--clock now|YYYY-MM-DDTHH:MM:SS] [--os VERSION] [--session] [--calendars DIR]...
                                                           start the phone (virtual clock with --clock); with
                                                           --session its hardware is your session (feedbackd,
                                                           the sound server, Do Not Disturb, NetworkManager);
                                                           each DIR is a folder of vdir calendars (one account)
                                                           or of vdirsyncer pairs (an account each), read in place;
                                                           with --session they are remembered in
                                                           ~/.config/hushline/calendars for the boots without
                                                           --calendars (--calendars none forgets them)
  run --session [--calendars DIR]... [--clock ...]         boot and stay in the foreground (a user service):
                                                           ready once linked; its phone stops with SIGTERM,
                                                           with the session, or when run is killed
  stop                                                     stop the phone
  state                                                    the phone's state as JSON
  log [--follow]                                           the device's changes and /tmp/velloq.log
  watch                                                    what the phone does, one line per change
  clock set TIME                                           jump the virtual clock to TIME, as a change of the
                                                           wall clock does: what became due runs at TIME
  clock advance SECONDS                                    run the virtual clock forward: every timer on the
                                                           way fires at its own moment
  wifi join SSID | wifi leave
  lock | unlock
  press volume-up | press volume-down
  volume ringer LEVEL                                      drag the volume display's ringer slider (0 to 1)
  dnd on | dnd off                                         Do Not Disturb, as the Control Center toggle
  vibrate ring|silent on|off                               Vibrate on Ring / on Silent, as the Sounds settings
  alarm add HH:MM [--title TITLE] [--off] | alarm remove ID | alarm on ID | alarm off ID
  alert answer INDEX                                       tap a button of the alert on screen
  calendar add CALENDAR --title T --start TIME --end TIME [--all-day] [--status confirmed|tentative|cancelled]
  today [--date YYYY-MM-DD] [--json]                      what each profile will do for the rest of today (or
                                                           the whole day), and why; the phone is only read
  send NAME [--user-info JSON]                             a message to the server "com.velloq.hushline"
  post NAME                                                a Darwin notification
  settings [--port N] [--notify]                           start the Settings app; prints the page's address
                                                           (--notify: a failure is also a desktop notification)
  mail-account add ADDRESS                                 give the phone a mail account (the problem report)
The phone is the device root DIR, else $HUSHLINE_DEVICE_ROOT (run: else ~/.local/share/hushline/phone). TIME is local: YYYY-MM-DDTHH:MM:SS.
)";

// A wrong command or malformed input: exit status 2 with the usage hint.
class UsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class Arguments {
public:
    explicit Arguments(std::vector<std::string> words) : m_words(std::move(words)) { }

    bool empty() const { return m_position >= m_words.size(); }
    std::string next(const std::string& what)
    {
        if (empty())
            throw UsageError("missing " + what);
        return m_words[m_position++];
    }
    std::optional<std::string> option(const std::string& name)
    {
        for (size_t i = m_position; i < m_words.size(); ++i) {
            if (m_words[i] != name)
                continue;
            if (i + 1 >= m_words.size())
                throw UsageError(name + " needs a value");
            std::string value = m_words[i + 1];
            m_words.erase(m_words.begin() + static_cast<long>(i), m_words.begin() + static_cast<long>(i) + 2);
            return value;
        }
        return std::nullopt;
    }
    bool flag(const std::string& name)
    {
        for (size_t i = m_position; i < m_words.size(); ++i) {
            if (m_words[i] == name) {
                m_words.erase(m_words.begin() + static_cast<long>(i));
                return true;
            }
        }
        return false;
    }
    void finish()
    {
        if (!empty())
            throw UsageError("unexpected argument " + m_words[m_position]);
    }

private:
    std::vector<std::string> m_words;
    size_t m_position { 0 };
};

std::filesystem::path existingRoot(const std::filesystem::path& root)
{
    std::error_code error;
    if (!std::filesystem::is_directory(root, error))
        throw PhonectlError("unknown phone: the device root " + root.string() + " does not exist");
    return root;
}

NSDate timeArgument(const std::string& text, const std::string& what)
{
    if (text == "now")
        return NSDate::date();
    auto date = parseLocalTime(text);
    if (!date)
        throw UsageError(what + " " + text + ": expected a local time YYYY-MM-DDTHH:MM:SS");
    return *date;
}

double secondsArgument(const std::string& text)
{
    char* end = nullptr;
    double seconds = std::strtod(text.c_str(), &end);
    if (text.empty() || *end || !std::isfinite(seconds) || seconds < 0)
        throw UsageError("clock advance " + text + ": expected a number of seconds of 0 or more");
    return seconds;
}

long long integerArgument(const std::string& text, const std::string& what)
{
    char* end = nullptr;
    errno = 0;
    long long value = std::strtoll(text.c_str(), &end, 10);
    if (text.empty() || *end || errno)
        throw UsageError(what + " " + text + ": expected a whole number");
    return value;
}

void printJson(const PlistValue& value)
{
    std::cout << toJson(value) << "\n";
}

BootOptions bootOptions(const std::filesystem::path& root, Arguments& args)
{
    BootOptions options;
    options.root = root;
    options.clock = args.option("--clock");
    options.osVersion = args.option("--os");
    options.session = args.flag("--session");
    while (auto calendars = args.option("--calendars"))
        options.calendars.push_back(*calendars);
    args.finish();
    if (options.clock && *options.clock != "now" && !parseLocalTime(*options.clock))
        throw UsageError("--clock " + *options.clock + ": expected now or a local time YYYY-MM-DDTHH:MM:SS");
    return options;
}

int bootCommand(const std::filesystem::path& root, Arguments& args)
{
    bootPhone(bootOptions(root, args));
    std::cout << "booted " << root.string() << "\n";
    return 0;
}

int runCommand(const std::filesystem::path& root, Arguments& args)
{
    BootOptions options = bootOptions(root, args);
    if (!options.session)
        throw UsageError("run: the foreground mode is for a phone linked to the session (run --session)");
    return runPhoneInForeground(options);
}

// Under --session the session owns the volumes, Do Not Disturb and the Wi-Fi: the commands that
// stand in for that hardware would only be undone by it.
void refuseUnderSession(const std::filesystem::path& root, const std::string& command, const std::string& instead)
{
    std::error_code error;
    if (std::filesystem::exists(root / "var" / "run" / "session-link.plist", error))
        throw PhonectlError(command + ": the phone is linked to your session; " + instead);
}

int stateCommand(const std::filesystem::path& root, Arguments& args)
{
    args.finish();
    PlistDictionary state = ControlClient(existingRoot(root)).state();
    // The JSON names "no alert" explicitly; the bus cannot carry a null.
    if (!state.count("alert"))
        state["alert"] = PlistValue();
    printJson(state);
    return 0;
}

int clockCommand(const std::filesystem::path& root, Arguments& args)
{
    std::string action = args.next("clock action (set or advance)");
    std::string value = args.next("a time or a number of seconds");
    args.finish();
    std::function<PlistDictionary(ControlClient&)> move;
    if (action == "set") {
        double time = timeArgument(value, "clock set").timeIntervalSince1970();
        move = [time](ControlClient& client) { return client.setClock(time); };
    } else if (action == "advance") {
        double seconds = secondsArgument(value);
        move = [seconds](ControlClient& client) { return client.advanceClock(seconds); };
    } else {
        throw UsageError("unknown clock action " + action + " (set or advance)");
    }
    ControlClient client(existingRoot(root));
    PlistDictionary result = move(client);
    const PlistValue answer(result);
    if (const NSDate* now = answer["clock"].asDate())
        std::cout << formatLocalTime(*now) << "\n";
    return 0;
}

// Acts in phonectl's own process on the phone's files, announcing on the phone's bus.
void onPhoneBus(const std::filesystem::path& root, const std::function<void()>& action)
{
    existingRoot(root);
    ControlClient probe(root);
    if (!BusDarwinNotifyCenter::installOnPhoneBus())
        throw PhonectlError("the phone at " + root.string() + " is not booted (phonectl boot)");
    action();
    if (auto connection = PhoneBusConnection::process())
        connection->flush();
}

int wifiCommand(const std::filesystem::path& root, Arguments& args)
{
    refuseUnderSession(root, "wifi", "join or leave networks on the session (NetworkManager)");
    std::string action = args.next("wifi action (join or leave)");
    if (action == "join") {
        std::string ssid = args.next("the network's name (SSID)");
        args.finish();
        if (ssid.empty() || ssid.size() > 32)
            throw UsageError("wifi join: a network's name has 1 to 32 bytes");
        onPhoneBus(root, [&] { WiFiState::join(ssid); });
    } else if (action == "leave") {
        args.finish();
        onPhoneBus(root, [] { WiFiState::leave(); });
    } else {
        throw UsageError("unknown wifi action " + action + " (join or leave)");
    }
    return 0;
}

int pressCommand(const std::filesystem::path& root, Arguments& args)
{
    refuseUnderSession(root, "press", "use the session's volume keys or sound settings");
    std::string button = args.next("the button (volume-up or volume-down)");
    args.finish();
    std::map<std::string, std::string> buttons { { "volume-up", "up" }, { "volume-down", "down" } };
    auto it = buttons.find(button);
    if (it == buttons.end())
        throw UsageError("unknown button " + button + " (volume-up or volume-down)");
    PlistDictionary result = ControlClient(existingRoot(root)).pressVolumeButton(it->second);
    const PlistValue answer(result);
    std::cout << "ringer " << answer["ringerVolume"].doubleValue() << "\n";
    return 0;
}

bool onOffArgument(const std::string& text, const std::string& command)
{
    if (text != "on" && text != "off")
        throw UsageError(command + " " + text + ": expected on or off");
    return text == "on";
}

int dndCommand(const std::filesystem::path& root, Arguments& args)
{
    refuseUnderSession(root, "dnd", "switch Do Not Disturb on the session");
    bool on = onOffArgument(args.next("on or off"), "dnd");
    args.finish();
    const PlistValue answer(ControlClient(existingRoot(root)).setDoNotDisturb(on));
    std::cout << "doNotDisturb " << (answer["doNotDisturb"].boolValue() ? "on" : "off") << "\n";
    return 0;
}

int vibrateCommand(const std::filesystem::path& root, Arguments& args)
{
    std::string mode = args.next("the vibrate setting (ring or silent)");
    if (mode != "ring" && mode != "silent")
        throw UsageError("unknown vibrate setting " + mode + " (ring or silent)");
    bool on = onOffArgument(args.next("on or off"), "vibrate " + mode);
    args.finish();
    const PlistValue answer(ControlClient(existingRoot(root)).setVibrate(mode, on));
    std::cout << "ringVibrate " << (answer["ringVibrate"].boolValue() ? "on" : "off") << ", silentVibrate "
              << (answer["silentVibrate"].boolValue() ? "on" : "off") << "\n";
    return 0;
}

int volumeCommand(const std::filesystem::path& root, Arguments& args)
{
    refuseUnderSession(root, "volume", "use the session's sound settings");
    std::string which = args.next("the volume (ringer)");
    if (which != "ringer")
        throw UsageError("unknown volume " + which + " (ringer)");
    std::string text = args.next("a level from 0 to 1");
    args.finish();
    char* end = nullptr;
    double level = std::strtod(text.c_str(), &end);
    if (text.empty() || *end || !std::isfinite(level) || level < 0 || level > 1)
        throw UsageError("volume ringer " + text + ": expected a level from 0 to 1");
    const PlistValue answer(ControlClient(existingRoot(root)).setRingerVolume(level));
    std::cout << "ringer " << answer["ringerVolume"].doubleValue() << "\n";
    return 0;
}

int alarmCommand(const std::filesystem::path& root, Arguments& args)
{
    std::string action = args.next("alarm action (add, remove, on or off)");
    if (action == "add") {
        std::optional<std::string> title = args.option("--title");
        bool off = args.flag("--off");
        std::string time = args.next("the alarm's time HH:MM");
        args.finish();
        int hour = -1, minute = -1;
        char rest = 0;
        if (std::sscanf(time.c_str(), "%d:%d%c", &hour, &minute, &rest) != 2 || hour < 0 || hour > 23 || minute < 0 || minute > 59
            || time.size() != 5)
            throw UsageError("alarm add " + time + ": expected a time of day HH:MM");
        std::cout << ControlClient(existingRoot(root)).addAlarm(title.value_or("Alarm"), hour, minute, !off) << "\n";
        return 0;
    }
    std::string alarmId = args.next("the alarm's identifier");
    args.finish();
    ControlClient client(existingRoot(root));
    if (action == "remove")
        client.removeAlarm(alarmId);
    else if (action == "on" || action == "off")
        client.setAlarmActive(alarmId, action == "on");
    else
        throw UsageError("unknown alarm action " + action + " (add, remove, on or off)");
    return 0;
}

int alertCommand(const std::filesystem::path& root, Arguments& args)
{
    std::string action = args.next("alert action (answer)");
    if (action != "answer")
        throw UsageError("unknown alert action " + action + " (answer)");
    long long index = integerArgument(args.next("the button's index"), "alert answer");
    args.finish();
    ControlClient(existingRoot(root)).answerAlert(index);
    return 0;
}

int calendarCommand(const std::filesystem::path& root, Arguments& args)
{
    std::string action = args.next("calendar action (add)");
    if (action != "add")
        throw UsageError("unknown calendar action " + action + " (add)");
    auto title = args.option("--title");
    auto start = args.option("--start");
    auto end = args.option("--end");
    auto status = args.option("--status");
    bool allDay = args.flag("--all-day");
    std::string calendar = args.next("the calendar (ACCOUNT/CALENDAR, or a name in the account \"local\")");
    args.finish();
    if (!title || !start || !end)
        throw UsageError("calendar add needs --title, --start and --end");
    existingRoot(root);
    std::string identifier = calendar.find('/') == std::string::npos ? "local/" + calendar : calendar;
    auto folder = calendarFolderForIdentifier(identifier);
    if (!folder)
        throw UsageError("calendar add: " + calendar + " names no calendar (ACCOUNT/CALENDAR, plain folder names)");
    ICalendarEventDescription event;
    event.title = *title;
    event.startDate = timeArgument(*start, "--start");
    event.endDate = timeArgument(*end, "--end");
    event.allDay = allDay;
    if (allDay ? event.endDate < event.startDate : !(event.startDate < event.endDate))
        throw UsageError("calendar add: the event must end after it starts");
    std::map<std::string, EKEventStatus> statuses { { "confirmed", EKEventStatusConfirmed }, { "tentative", EKEventStatusTentative },
        { "cancelled", EKEventStatusCanceled } };
    if (status) {
        auto it = statuses.find(*status);
        if (it == statuses.end())
            throw UsageError("--status " + *status + ": expected confirmed, tentative or cancelled");
        event.status = it->second;
    }
    if (const char* zone = std::getenv("TZ"); zone && *zone && *zone != ':' && std::string(zone).find('/') != std::string::npos)
        event.timeZone = zone;
    std::filesystem::create_directories(*folder);
    if (!std::filesystem::exists(*folder / "displayname"))
        writeFileAtomically(*folder / "displayname", folder->filename().string() + "\n");
    std::string error;
    auto written = writeICalendarEvent(*folder, event, &error);
    if (!written)
        throw PhonectlError("cannot write the event: " + error);
    std::cout << written->string() << "\n";
    return 0;
}

int sendCommand(const std::filesystem::path& root, Arguments& args)
{
    auto userInfoText = args.option("--user-info");
    std::string name = args.next("the message's name");
    args.finish();
    PlistDictionary userInfo;
    if (userInfoText) {
        std::string error;
        auto parsed = parseJson(*userInfoText, &error);
        if (!parsed)
            throw UsageError("--user-info: malformed JSON: " + error);
        if (!parsed->isDictionary())
            throw UsageError("--user-info: expected a JSON object");
        userInfo = *parsed->asDictionary();
    }
    existingRoot(root);
    ControlClient probe(root);
    if (!CPDistributedMessagingCenter::centerNamed("com.velloq.hushline")->sendMessageName(name, userInfo))
        throw PhonectlError("the message was not delivered: no server \"com.velloq.hushline\" runs on the phone");
    return 0;
}

int postCommand(const std::filesystem::path& root, Arguments& args)
{
    std::string name = args.next("the notification's name");
    args.finish();
    if (name.empty())
        throw UsageError("post: the notification needs a name");
    onPhoneBus(root, [&] { notify_post(name.c_str()); });
    return 0;
}

int todayCommand(const std::filesystem::path& root, Arguments& args)
{
    auto date = args.option("--date");
    bool json = args.flag("--json");
    args.finish();
    TodayRequest request { existingRoot(root), std::nullopt, std::nullopt };
    request.calendarCache = todayCalendarCache(request.root);
    if (date) {
        auto midnight = date->size() == 10 ? parseLocalTime(*date) : std::nullopt;
        if (!midnight)
            throw UsageError("--date " + *date + ": expected a day YYYY-MM-DD");
        request.day = *midnight;
    }
    request.json = json;
    std::cout << lookAtToday(request);
    return 0;
}

int settingsCommand(const std::filesystem::path& root, Arguments& args)
{
    auto portText = args.option("--port");
    bool fromDesktop = args.flag("--notify");
    args.finish();
    long port = 0;
    if (portText) {
        char* end = nullptr;
        port = std::strtol(portText->c_str(), &end, 10);
        if (portText->empty() || *end || port < 0 || port > 65535)
            throw UsageError("settings --port " + *portText + ": expected 0 to 65535");
    }
    auto address = fromDesktop ? startSettingsFromDesktop(root, static_cast<uint16_t>(port))
                               : startSettings(existingRoot(root), static_cast<uint16_t>(port));
    std::cout << address << "\n";
    return 0;
}

int mailAccountCommand(const std::filesystem::path& root, Arguments& args)
{
    if (args.next("add") != "add")
        throw UsageError("mail-account: expected mail-account add ADDRESS");
    std::string address = args.next("the address");
    args.finish();
    if (address.find('@') == std::string::npos || address.find_first_of(" \t\r\n<>") != std::string::npos)
        throw UsageError("mail-account add " + address + ": expected a mail address");
    setenv("HUSHLINE_DEVICE_ROOT", existingRoot(root).c_str(), 1);
    if (!MFMailComposeViewController::addAccount(address))
        throw PhonectlError("cannot write the phone's mail accounts");
    return 0;
}

void lockScreen(const std::filesystem::path& root, Arguments& args, bool locked)
{
    args.finish();
    ControlClient(existingRoot(root)).setLocked(locked);
}

int lockCommand(const std::filesystem::path& root, Arguments& args)
{
    lockScreen(root, args, true);
    return 0;
}

int unlockCommand(const std::filesystem::path& root, Arguments& args)
{
    lockScreen(root, args, false);
    return 0;
}

int stopCommand(const std::filesystem::path& root, Arguments& args)
{
    args.finish();
    stopSettings(existingRoot(root));
    stopPhone(existingRoot(root));
    return 0;
}

int logCommand(const std::filesystem::path& root, Arguments& args)
{
    bool follow = args.flag("--follow");
    args.finish();
    return printPhoneLog(existingRoot(root), follow);
}

int watchCommand(const std::filesystem::path& root, Arguments& args)
{
    args.finish();
    return watchPhone(existingRoot(root));
}

// The phone's supervisor process itself: a hidden command, not listed in the usage.
int superviseCommand(const std::filesystem::path& root, Arguments& args)
{
    auto clock = args.option("--clock");
    bool session = args.flag("--session");
    std::optional<pid_t> foreground;
    if (auto pid = args.option("--foreground"))
        foreground = static_cast<pid_t>(integerArgument(*pid, "--foreground"));
    args.finish();
    return supervisePhone(root, clock, session, foreground);
}

// The phone a user service runs when none is named: in the user's data folder.
std::string userPhoneRoot()
{
    const char* data = std::getenv("XDG_DATA_HOME");
    const char* home = std::getenv("HOME");
    std::filesystem::path base = data && *data ? std::filesystem::path(data) : std::filesystem::path(home ? home : "/tmp") / ".local" / "share";
    return (base / "hushline" / "phone").string();
}

using Command = int (*)(const std::filesystem::path& root, Arguments& args);

const std::map<std::string, Command> kCommands {
    { "boot", bootCommand },
    { "run", runCommand },
    { "stop", stopCommand },
    { "state", stateCommand },
    { "log", logCommand },
    { "watch", watchCommand },
    { "clock", clockCommand },
    { "wifi", wifiCommand },
    { "lock", lockCommand },
    { "unlock", unlockCommand },
    { "press", pressCommand },
    { "alarm", alarmCommand },
    { "dnd", dndCommand },
    { "vibrate", vibrateCommand },
    { "volume", volumeCommand },
    { "alert", alertCommand },
    { "calendar", calendarCommand },
    { "send", sendCommand },
    { "today", todayCommand },
    { "settings", settingsCommand },
    { "mail-account", mailAccountCommand },
    { "post", postCommand },
    { "__supervise", superviseCommand },
};

int dispatch(const std::filesystem::path& root, const std::string& command, Arguments& args)
{
    auto found = kCommands.find(command);
    if (found == kCommands.end())
        throw UsageError("unknown command " + command);
    return found->second(root, args);
}

}

int runPhonectl(const std::vector<std::string>& words)
{
    Arguments args(words);
    try {
        auto rootOption = args.option("--root");
        if (args.flag("--help") || args.flag("-h")) {
            std::cout << kUsage;
            return 0;
        }
        std::string command = args.next("a command");
        if (command == "help") {
            std::cout << kUsage;
            return 0;
        }
        const char* fromEnvironment = std::getenv("HUSHLINE_DEVICE_ROOT");
        if (!rootOption && !(fromEnvironment && *fromEnvironment) && command == "run")
            rootOption = userPhoneRoot();
        if (!rootOption && !(fromEnvironment && *fromEnvironment))
            throw UsageError("no phone named: give --root DIR or set HUSHLINE_DEVICE_ROOT");
        std::filesystem::path root = std::filesystem::absolute(rootOption ? *rootOption : fromEnvironment).lexically_normal();
        // Everything of the phone (its files, its clock, its bus) resolves under the root.
        setenv("HUSHLINE_DEVICE_ROOT", root.c_str(), 1);
        return dispatch(root, command, args);
    } catch (const UsageError& error) {
        std::cerr << "phonectl: " << error.what() << "\n(phonectl help lists the commands)\n";
        return 2;
    } catch (const std::exception& error) {
        std::cerr << "phonectl: " << error.what() << "\n";
        return 1;
    }
}
