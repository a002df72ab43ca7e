// Another process of the simulated phone, for the tests that cross processes. It finds the
// phone's bus through HUSHLINE_DEVICE_ROOT, as every process of the phone does, and writes
// what it did or heard to its standard output, one line each:
//
//   phone_bus_peer post NAME...                 posts each Darwin notification   -> "posted"
//   phone_bus_peer observe LAST NAME...         observes the names and LAST      -> "ready",
//                                               then "heard NAME" for each one heard, and ends
//                                               once LAST was heard
//   phone_bus_peer send CENTER MESSAGE [PLIST]  sends a message whose user info is the
//                                               dictionary in the property-list file
//                                               -> "sent" or "not sent"
//
// Exit status 0 on success, 1 when it failed or timed out, 2 for a wrong command line.

#include "platform/appsupport/CPDistributedMessagingCenter.h"
#include "platform/phonebus/BusDarwinNotifyCenter.h"
#include "platform/foundation/DarwinNotifyCenter.h"
#include "platform/foundation/NSRunLoop.h"
#include "platform/phonebus/PhoneBusConnection.h"
#include "platform/foundation/PropertyList.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr double kObserveTimeout = 20;

void say(const std::string& line)
{
    printf("%s\n", line.c_str());
    fflush(stdout);
}

int post(const std::vector<std::string>& names)
{
    if (!BusDarwinNotifyCenter::installOnPhoneBus())
        return 1;
    for (const auto& name : names)
        notify_post(name.c_str());
    PhoneBusConnection::process()->flush();
    say("posted");
    return 0;
}

struct Observer {
    std::string last;
    bool done { false };
};

void heard(CFNotificationCenterRef, void* observer, const std::string& name, const void*, const void*)
{
    auto* self = static_cast<Observer*>(observer);
    say("heard " + name);
    if (name == self->last)
        self->done = true;
}

int observe(const std::string& last, const std::vector<std::string>& names)
{
    if (!BusDarwinNotifyCenter::installOnPhoneBus())
        return 1;
    Observer observer { last };
    auto center = CFNotificationCenterGetDarwinNotifyCenter();
    for (const auto& name : names)
        CFNotificationCenterAddObserver(center, &observer, heard, name, nullptr, CFNotificationSuspensionBehaviorDeliverImmediately);
    CFNotificationCenterAddObserver(center, &observer, heard, last, nullptr, CFNotificationSuspensionBehaviorDeliverImmediately);
    say("ready");
    return NSRunLoop::main().runUntilCondition([&] { return observer.done; }, kObserveTimeout) ? 0 : 1;
}

int send(const std::string& centerName, const std::string& message, const char* plistFile)
{
    PlistDictionary userInfo;
    if (plistFile) {
        std::string error;
        auto value = PropertyList::read(plistFile, &error);
        if (!value || !value->asDictionary()) {
            fprintf(stderr, "phone_bus_peer: %s holds no dictionary %s\n", plistFile, error.c_str());
            return 2;
        }
        userInfo = *value->asDictionary();
    }
    bool sent = CPDistributedMessagingCenter::centerNamed(centerName)->sendMessageName(message, userInfo);
    say(sent ? "sent" : "not sent");
    return sent ? 0 : 1;
}

}

int main(int argc, char** argv)
{
    std::vector<std::string> words(argv + 1, argv + argc);
    if (words.size() >= 2 && words[0] == "post")
        return post({ words.begin() + 1, words.end() });
    if (words.size() >= 2 && words[0] == "observe")
        return observe(words[1], { words.begin() + 2, words.end() });
    if ((words.size() == 3 || words.size() == 4) && words[0] == "send")
        return send(words[1], words[2], words.size() == 4 ? argv[4] : nullptr);
    fprintf(stderr, "usage: phone_bus_peer post NAME... | observe LAST NAME... | send CENTER MESSAGE [PLIST]\n");
    return 2;
}
