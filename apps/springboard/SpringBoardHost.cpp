#include "apps/springboard/SpringBoardHost.h"

#include "apps/common/StopSignals.h"
#include "apps/common/LocalTime.h"
#include "apps/springboard/MidnightWatch.h"
#include "apps/springboard/PhoneControlService.h"
#include "apps/springboard/ResumeWatch.h"
#include "apps/springboard/SessionLink.h"
#include "apps/springboard/SubstrateLoader.h"
#include "apps/springboard/WakeTimerReport.h"
#include "platform/eventkit/CalendarCache.h"
#include "platform/eventkit/EKEventStore.h"
#include "platform/device/PhoneControl.h"
#include "platform/machinery/AtomicFile.h"
#include "platform/phonebus/BusDarwinNotifyCenter.h"
#include "platform/foundation/Clock.h"
#include "platform/machinery/DeviceRoot.h"
#include "platform/foundation/NSBundle.h"
#include "platform/foundation/NSLog.h"
#include "platform/foundation/NSRunLoop.h"
#include "platform/persistentconnection/WakeUpTimerQueue.h"
#include "platform/phonebus/PhoneBusConnection.h"
#include "platform/foundation/SharedClock.h"
#include "platform/springboard/SBWiFiManager.h"
#include "platform/springboard/SpringBoard.h"

#include <csignal>
#include <stdexcept>
#include <sys/epoll.h>
#include <unistd.h>

namespace {

constexpr const char* kBundleIdentifier = "com.apple.springboard";
// How long a stopping host waits for the session to have its owner's values back.
constexpr double kGiveBackSeconds = 5.0;

void installClock(const std::filesystem::path& root, const std::optional<std::string>& clock)
{
    if (!clock) {
        SharedClockFile::remove(root);
        Clock::installSystem();
        return;
    }
    std::optional<NSTimeInterval> start;
    if (*clock == "now") {
        SystemClock system;
        start = system.now();
    } else if (*clock != "resume") {
        auto date = parseLocalTime(*clock);
        if (!date)
            throw std::runtime_error("--clock " + *clock + ": expected now, resume or a local time YYYY-MM-DDTHH:MM:SS");
        start = date->timeIntervalSince1970();
    }
    Clock::install(SharedClock::open(root, start ? &*start : nullptr));
}

// What a change of the wall clock makes the phone do, done after a wake-up from a suspend: the
// work and wake-ups whose time came while it slept run now, and a day that ended meanwhile is a
// midnight passed.
void checkWhatBecameDue(MidnightWatch* midnight)
{
    NSRunLoop::main().runPending();
    WakeUpTimerQueue::shared().fireDueTimers();
    if (midnight)
        midnight->clockWasSet();
}

}

int runSpringBoardHost(const SpringBoardHostOptions& options)
{
    NSBundle::setMainBundleIdentifier(kBundleIdentifier);
    std::filesystem::path root = DeviceRoot::path();
    std::error_code error;
    if (!std::filesystem::is_directory(root, error))
        throw std::runtime_error("the device root " + root.string() + " does not exist");
    installClock(root, options.clock);
    auto launched = PhoneControl::launchedPath(root);
    std::filesystem::remove(launched, error);

    // The calendars are read through the cache that the looks at today keep too: a boot takes
    // every file unchanged since from it, and decodes only those a query meets.
    EKEventStore::keepReadCalendarsIn(CalendarCache::userCacheFile(EKEventStore::calendarsFolder()), EKEventStore::CacheUpdates::AfterQueries);

    auto springBoard = SpringBoard::sharedApplication();
    if (!BusDarwinNotifyCenter::installOnPhoneBus())
        throw std::runtime_error("the phone's bus is not running for " + root.string() + " (boot the phone with phonectl boot)");
    StopSignals stopSignals;
    auto connection = PhoneBusConnection::process();
    std::unique_ptr<MidnightWatch> midnight;
    PhoneControlService control(connection, { .clockWasSet = [&midnight] {
        if (midnight)
            midnight->clockWasSet();
    } });
    SBWiFiManager::observeNetworkChanges();
    std::unique_ptr<SessionLink> session;
    if (options.session)
        session = SessionLink::start();

    size_t plugins = SubstrateLoader::loadLibraries(kBundleIdentifier);
    springBoard->applicationDidFinishLaunching(springBoard);
    if (session)
        session->phoneStarted();
    midnight = std::make_unique<MidnightWatch>([springBoard] { springBoard->_midnightPassed(); });
    midnight->start();
    std::unique_ptr<ResumeWatch> resume;
    if (session)
        resume = ResumeWatch::start([&midnight] { checkWhatBecameDue(midnight.get()); });

    std::string why;
    if (!writeFileAtomically(launched, std::to_string(getpid()) + "\n", &why))
        throw std::runtime_error("cannot write " + launched.string() + ": " + why);
    NSLog("SpringBoard: launched with %zu plug-in(s) on the %s clock", plugins, Clock::process().isVirtual() ? "virtual" : "system");
    NSLog("%s", wakeTimerReport().c_str());

    NSRunLoop::main().run();

    std::filesystem::remove(launched, error);
    resume.reset();
    if (session) {
        session->giveBackOwnersValues(kGiveBackSeconds);
        session.reset();
    }
    NSLog("SpringBoard: stopped by signal %d", stopSignals.received());
    connection->flush();
    return 0;
}
