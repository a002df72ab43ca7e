// The phone linked to a real session (a private one: real PulseAudio, feedbackd, dconf; the
// NetworkManager mock), figures as medians of 20:
//   - a write of the link, from the call to the value being at the service and read back:
//     feedbackd's level, the event-role volume, the sink volume, show-banners;
//   - an owner's change, from the moment the service reports it on the bus or the server's
//     socket (the message arriving) to the link's handler, which enters it into the phone; and
//     from the owner's write to the handler, which includes the server's own delay;
//   - the home-screen host's RSS and threads booted with and without --session, and the context switches of
//     all its threads over 60 idle seconds with --session.
#include "bench/ProcStatus.h"
#include "platform/foundation/NSRunLoop.h"
#include "platform/machinery/AtomicFile.h"
#include "platform/phonebus/PhoneBusConnection.h"
#include "platform/session/FeedbackService.h"
#include "platform/session/NotificationBanners.h"
#include "platform/session/SoundServer.h"
#include "platform/session/testsupport/PrivateSession.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <vector>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kRounds = 20;

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

double millisecondsSince(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

bool until(const std::function<bool()>& condition) { return NSRunLoop::main().runUntilCondition(condition, 5); }

// The time to `done(true)` of a write started by `write`.
double timeWrite(const std::function<void(std::function<void(bool)>)>& write)
{
    bool done = false;
    auto start = Clock::now();
    write([&](bool) { done = true; });
    until([&] { return done; });
    return millisecondsSince(start);
}

void writes(PrivateSession&)
{
    auto bus = PhoneBusConnection::open(std::getenv("DBUS_SESSION_BUS_ADDRESS"));
    auto feedback = FeedbackService::connect(bus, {});
    auto banners = NotificationBanners::connect({});
    auto sound = SoundServer::connect({});
    until([&] { return sound->isConnected() && sound->eventRoleVolume() && sound->mediaVolume(); });
    std::vector<double> level, event, sink, shown;
    for (int round = 0; round < kRounds; ++round) {
        level.push_back(timeWrite([&](auto done) { feedback->setLevel(round % 2 ? FeedbackLevel::Full : FeedbackLevel::Quiet, done); }));
        event.push_back(timeWrite([&](auto done) { sound->setEventRoleVolume(4096u * (1 + round % 2), done); }));
        sink.push_back(timeWrite([&](auto done) { sound->setMediaVolume(round % 2 ? 65536u : 0u, done); }));
        shown.push_back(timeWrite([&](auto done) { banners->setShown(round % 2, done); }));
    }
    printf("write to read back (median of %d): feedbackd level %.2f ms, event-role volume %.2f ms, sink volume %.2f ms, show-banners %.2f ms\n",
        kRounds, median(level), median(event), median(sink), median(shown));
    bus->close();
}

// An owner's change: from his write to the phone's handler, and from the server's report (its
// subscription event arriving at the phone's client) to the handler.
void ownerChanges(PrivateSession& session)
{
    Clock::time_point handled;
    bool seen = false;
    auto seenNow = [&] {
        handled = Clock::now();
        seen = true;
    };
    auto phone = SoundServer::connect({ .ownerChangedRinger = [&](uint32_t) { seenNow(); },
        .ownerChangedMedia = [&](uint32_t) { seenNow(); },
        .defaultSinkChanged = nullptr,
        .connectionChanged = nullptr });
    auto owner = SoundServer::connect({});
    until([&] { return phone->isConnected() && owner->isConnected() && phone->mediaVolume() && owner->mediaVolume(); });
    for (const char* what : { "sink volume", "event-role volume" }) {
        std::vector<double> total, afterReport;
        bool sinkCase = std::string(what) == "sink volume";
        for (int round = 0; round < kRounds; ++round) {
            seen = false;
            uint32_t volume = 8192u * (1 + round % 4);
            bool written = false;
            auto start = Clock::now();
            if (sinkCase)
                owner->setMediaVolume(volume, [&](bool) { written = true; });
            else
                owner->setEventRoleVolume(volume, [&](bool) { written = true; });
            until([&] { return seen && written; });
            total.push_back(std::chrono::duration<double, std::milli>(handled - start).count());
            afterReport.push_back(std::chrono::duration<double, std::milli>(handled - phone->lastReport()).count());
        }
        printf("owner's change of the %s (PulseAudio, median of %d): %.2f ms from his write, %.2f ms from the server's report\n", what,
            kRounds, median(total), median(afterReport));
    }
    (void)session;
}

pid_t spawn(std::vector<std::string> arguments)
{
    std::vector<char*> argv;
    for (auto& argument : arguments)
        argv.push_back(argument.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t files;
    posix_spawn_file_actions_init(&files);
    posix_spawn_file_actions_addopen(&files, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t pid = -1;
    posix_spawn(&pid, argv[0], &files, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&files);
    return pid;
}

int phonectl(const std::filesystem::path& root, std::vector<std::string> arguments)
{
    arguments.insert(arguments.begin(), { HUSHLINE_PHONECTL, "--root", root.string() });
    int status = -1;
    waitpid(spawn(arguments), &status, 0);
    return status;
}

// Every thread's context switches (libcanberra's, GLib's, libpulse's as much as the main one).
long switchesOfAllThreads(const std::string& pid)
{
    long total = 0;
    std::error_code error;
    for (const auto& task : std::filesystem::directory_iterator("/proc/" + pid + "/task", error))
        total += bench::procStatusField(task.path() / "status", "voluntary_ctxt_switches")
            + bench::procStatusField(task.path() / "status", "nonvoluntary_ctxt_switches");
    return total;
}

long threadsOf(const std::string& pid)
{
    long threads = 0;
    std::error_code error;
    for ([[maybe_unused]] const auto& task : std::filesystem::directory_iterator("/proc/" + pid + "/task", error))
        ++threads;
    return threads;
}

void host(bool session, int idleSeconds)
{
    auto root = std::filesystem::temp_directory_path() / (session ? "hushline-bench-session" : "hushline-bench-plain");
    std::filesystem::remove_all(root);
    std::filesystem::create_directories(root);
    std::vector<std::string> boot { "boot", "--os", "13.7" };
    if (session)
        boot.push_back("--session");
    if (phonectl(root, boot) != 0) {
        printf("the phone did not boot%s\n", session ? " with --session" : "");
        return;
    }
    std::string pid;
    readFile(root / "var/run/springboard.launched", pid);
    pid = pid.substr(0, pid.find('\n'));
    std::this_thread::sleep_for(std::chrono::seconds(2));
    long rss = bench::procStatusField("/proc/" + pid + "/status", "VmRSS");
    long before = switchesOfAllThreads(pid);
    std::this_thread::sleep_for(std::chrono::seconds(idleSeconds));
    long idle = switchesOfAllThreads(pid) - before;
    printf("home-screen host %s: RSS %.1f MB, %ld threads; context switches of all threads over %d idle seconds: %ld\n",
        session ? "with --session" : "without --session", rss / 1024.0, threadsOf(pid), idleSeconds, idle);
    phonectl(root, { "stop" });
    std::filesystem::remove_all(root);
}

}

int main(int argc, char** argv)
{
    int idleSeconds = argc > 1 ? std::atoi(argv[1]) : 60;
    auto session = PrivateSession::start();
    writes(*session);
    ownerChanges(*session);
    host(false, idleSeconds);
    host(true, idleSeconds);
    return 0;
}
