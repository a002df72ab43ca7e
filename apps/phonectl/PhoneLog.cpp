#include "apps/phonectl/PhoneLog.h"

#include "apps/common/LocalTime.h"
#include "apps/phonectl/ControlClient.h"
#include "apps/phonectl/Json.h"
#include "apps/phonectl/PhoneSupervisor.h"
#include "platform/phonebus/BusDarwinNotifyCenter.h"
#include "platform/foundation/ChildExitSource.h"
#include "platform/foundation/FileWatch.h"
#include "platform/foundation/NSRunLoop.h"
#include "platform/phonebus/PhoneBusConnection.h"
#include "platform/foundation/PropertyList.h"
#include "platform/foundation/SignalSource.h"

#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <iostream>
#include <map>
#include <unistd.h>

namespace {

constexpr const char* kLogPath = "tmp/velloq.log";
constexpr const char* kProfilesPath = "var/mobile/Library/Preferences/com.velloq.hushline.profiles.plist";

// Runs the main run loop until a stop signal arrives or the phone stops: its supervisor's end
// is heard at once (a pidfd), whatever clock the phone runs on.
void runUntilStopped(const std::filesystem::path& root)
{
    SignalSource signals({ SIGINT, SIGTERM, SIGHUP }, [](int) { NSRunLoop::main().stop(); });
    auto supervisor = runningSupervisor(root);
    if (!supervisor)
        return;
    ChildExitSource phone(*supervisor, [](const ProcessExit&) { NSRunLoop::main().stop(); });
    // The process file may have named a supervisor that ended before the pidfd was opened.
    if (runningSupervisor(root) != supervisor)
        return;
    NSRunLoop::main().run();
}

std::string valueText(const PlistValue& value)
{
    if (const std::string* text = value.asString())
        return *text;
    if (const double* real = value.asReal()) {
        char number[32];
        std::snprintf(number, sizeof number, "%.4g", *real);
        return number;
    }
    return toJson(value, false);
}

std::string onOff(const PlistValue& value)
{
    return value.boolValue() ? "on" : "off";
}

// The profiles file's titles and applied flags, by identifier.
std::map<int64_t, std::pair<std::string, bool>> profilesApplied(const std::filesystem::path& root)
{
    std::map<int64_t, std::pair<std::string, bool>> applied;
    auto stored = PropertyList::read(root / kProfilesPath);
    const PlistArray* entries = stored ? stored->asArray() : nullptr;
    if (!entries)
        return applied;
    for (const auto& entry : *entries) {
        const std::string* title = entry["title"].asString();
        applied[entry["identifier"].longLongValue()] = { title ? *title : "", entry["applied"].boolValue() };
    }
    return applied;
}

// Reads what was appended to the log file since the last call.
class LogFollower {
public:
    explicit LogFollower(std::filesystem::path file) : m_file(std::move(file)) { }

    void printNew()
    {
        int fd = open(m_file.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
        if (fd < 0)
            return;
        off_t end = lseek(fd, 0, SEEK_END);
        if (end < m_offset)
            m_offset = 0;
        lseek(fd, m_offset, SEEK_SET);
        char buffer[8192];
        ssize_t n;
        while ((n = read(fd, buffer, sizeof buffer)) > 0) {
            std::cout.write(buffer, n);
            m_offset += n;
        }
        close(fd);
        std::cout.flush();
    }

private:
    std::filesystem::path m_file;
    off_t m_offset { 0 };
};

}

std::string describeChange(const PlistDictionary& change)
{
    const PlistValue entry(change);
    const NSDate* date = entry["date"].asDate();
    std::string when = date ? formatLocalTime(*date) : "?";
    const std::string* whatText = entry["what"].asString();
    std::string what = whatText ? *whatText : "?";
    const PlistValue& value = entry["value"];
    const std::string* detailText = entry["detail"].asString();
    std::string detail = detailText ? *detailText : "";
    std::string line;
    if (what == "ringerVolume")
        line = "ringer volume " + valueText(value);
    else if (what == "mediaVolume")
        line = "media volume " + valueText(value);
    else if (what == "doNotDisturb")
        line = "Do Not Disturb " + onOff(value);
    else if (what == "statusBarItem")
        line = "status-bar icon " + detail + (value.boolValue() ? " shown" : " hidden");
    else if (what == "tone")
        line = "tone " + valueText(value) + " played";
    else if (what == "toneStopped")
        line = "tone " + valueText(value) + " stopped";
    else if (what == "vibration")
        line = "vibration " + valueText(value);
    else if (what == "ringVibrate")
        line = "vibrate on ring " + onOff(value);
    else if (what == "silentVibrate")
        line = "vibrate on silent " + onOff(value);
    else if (what == "volumeDisplayEnabled")
        line = std::string("volume display ") + (value.boolValue() ? "enabled" : "disabled");
    else if (what == "volumeDisplayShown")
        line = "volume display shows " + valueText(value);
    else if (what == "backlightFactor")
        line = "backlight " + valueText(value);
    else if (what == "screenOn")
        line = value.boolValue() ? "screen lit" : "screen dark";
    else if (what == "locked")
        line = value.boolValue() ? "locked" : "unlocked";
    else if (what == "alarmIcon")
        line = value.boolValue() ? "alarm icon shown" : "alarm icon hidden";
    else if (what == "alert")
        line = "alert \"" + valueText(value) + "\" shown";
    else if (what == "alertDismissed")
        line = "alert answered with button " + valueText(value);
    else
        line = what + " " + valueText(value);
    if (!detail.empty() && what != "statusBarItem")
        line += "  (" + detail + ")";
    return when + "  " + line;
}

int printPhoneLog(const std::filesystem::path& root, bool follow)
{
    ControlClient client(root);
    PlistDictionary changes = client.changes(0);
    const PlistValue answer(changes);
    std::cout << "== the device's changes ==\n";
    if (const PlistArray* list = answer["changes"].asArray())
        for (const auto& change : *list)
            if (change.isDictionary())
                std::cout << describeChange(*change.asDictionary()) << "\n";
    std::cout << "== /" << kLogPath << " ==\n";
    LogFollower log(root / kLogPath);
    log.printNew();
    if (!follow)
        return 0;
    client.watchChanges([](const PlistDictionary& change) { std::cout << describeChange(change) << std::endl; });
    std::filesystem::create_directories(root / "tmp");
    FileWatch logChanges(root / kLogPath, [&log] { log.printNew(); });
    // Lines written between the first look and the start of the watch.
    log.printNew();
    runUntilStopped(root);
    return 0;
}

int watchPhone(const std::filesystem::path& root)
{
    ControlClient client(root);
    if (!BusDarwinNotifyCenter::installOnPhoneBus())
        throw PhonectlError("the phone at " + root.string() + " is not booted (phonectl boot)");
    std::cout << "watching the phone at " << root.string() << " (Ctrl-C stops)" << std::endl;
    client.watchChanges([](const PlistDictionary& change) { std::cout << describeChange(change) << std::endl; });
    auto known = std::make_shared<std::map<int64_t, std::pair<std::string, bool>>>(profilesApplied(root));
    auto reportProfiles = [root, known](const std::string&) {
        auto now = profilesApplied(root);
        for (const auto& [identifier, profile] : now) {
            auto before = known->find(identifier);
            bool wasApplied = before != known->end() && before->second.second;
            if (profile.second != wasApplied)
                std::cout << formatLocalTime(NSDate::date()) << "  profile \"" << profile.first << "\" "
                          << (profile.second ? "applied" : "reverted") << std::endl;
        }
        *known = std::move(now);
    };
    static const char kObserver = 0;
    auto& center = DarwinNotifyCenter::current();
    for (const char* name : { "com.velloq.ProfileAppliedStateChangedNotification", "com.velloq.ProfileAddedNotification",
             "com.velloq.ProfileChangedNotification", "com.velloq.ProfileDeletedNotification" })
        center.addObserver(&kObserver, name, reportProfiles);
    runUntilStopped(root);
    return 0;
}
