// The phone linked to a private session with Evolution Data Server (GNOME Calendar's calendars):
//   - an event created through EDS to the phone's wake-up timer armed for it, median of 10, with
//     EDS's own part (until its view told the phone, the event's file in the mirror) apart; the
//     phone's debounce runs on its virtual clock, advanced at once;
//   - `phonectl boot --session` warm (the mirror and the calendar cache made by a boot before)
//     with EDS holding no events and 10,000 events, in the same run;
//   - the home-screen host's RSS with EDS read, and the context switches of all its threads
//     (EDS's library's included) over idle seconds.
#include "bench/ProcStatus.h"
#include "platform/machinery/AtomicFile.h"
#include "platform/session/testsupport/GnomeCalendar.h"
#include "platform/session/testsupport/PrivateSession.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <map>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <vector>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kRounds = 10;
constexpr int kManyEvents = 10000;
const char* const kPersonal = "var/mobile/Calendars/local-stub/system-calendar";

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

double millisecondsBetween(Clock::time_point from, Clock::time_point to)
{
    return std::chrono::duration<double, std::milli>(to - from).count();
}

// Checks every `every`: a costly check (a folder of 10,000 files) must not take the CPU from the
// host it waits for.
bool waitFor(const std::function<bool()>& condition, double seconds = 60, std::chrono::milliseconds every = std::chrono::milliseconds(2))
{
    auto deadline = Clock::now() + std::chrono::duration<double>(seconds);
    while (!condition()) {
        if (Clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(every);
    }
    return true;
}

// phonectl's exit status and its output.
std::pair<int, std::string> phonectl(const std::filesystem::path& root, std::vector<std::string> arguments)
{
    arguments.insert(arguments.begin(), { HUSHLINE_PHONECTL, "--root", root.string() });
    std::vector<char*> argv;
    for (auto& argument : arguments)
        argv.push_back(argument.data());
    argv.push_back(nullptr);
    auto out = root.parent_path() / (root.filename().string() + ".out");
    posix_spawn_file_actions_t files;
    posix_spawn_file_actions_init(&files);
    posix_spawn_file_actions_addopen(&files, STDOUT_FILENO, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    pid_t pid = -1;
    int status = -1;
    if (posix_spawn(&pid, argv[0], &files, nullptr, argv.data(), environ) == 0)
        waitpid(pid, &status, 0);
    posix_spawn_file_actions_destroy(&files);
    std::string text;
    readFile(out, text);
    std::filesystem::remove(out);
    return { status, text };
}

// Context switches per thread: a thread that ends between two looks must not take its count away.
std::map<std::string, long> switchesPerThread(const std::string& pid)
{
    std::map<std::string, long> threads;
    std::error_code error;
    for (const auto& task : std::filesystem::directory_iterator("/proc/" + pid + "/task", error))
        threads[task.path().filename().string()] = bench::procStatusField(task.path() / "status", "voluntary_ctxt_switches")
            + bench::procStatusField(task.path() / "status", "nonvoluntary_ctxt_switches");
    return threads;
}

long switchesBetween(const std::map<std::string, long>& before, const std::map<std::string, long>& after)
{
    long total = 0;
    for (const auto& [thread, count] : after) {
        auto known = before.find(thread);
        total += count - (known == before.end() ? 0 : known->second);
    }
    return total;
}

// CPU time of all the process's threads, in clock ticks.
long cpuTicks(const std::string& pid)
{
    std::string text;
    if (!readFile("/proc/" + pid + "/stat", text))
        return -1;
    size_t name = text.rfind(')');
    long user = 0, system = 0;
    // After the command's name: its state, five numbers, five counters, then user and system time.
    if (name == std::string::npos
        || std::sscanf(text.c_str() + name + 1, " %*c %*d %*d %*d %*d %*d %*u %*u %*u %*u %*u %ld %ld", &user, &system) != 2)
        return -1;
    return user + system;
}

// Waits until the process has used no CPU for a second: it has done what it had to.
void waitUntilIdle(const std::string& pid)
{
    long last = -2;
    waitFor([&] {
        long now = cpuTicks(pid);
        bool idle = now == last;
        last = now;
        return idle;
    }, 600, std::chrono::milliseconds(1000));
}

size_t filesIn(const std::filesystem::path& folder)
{
    size_t count = 0;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error))
        count += entry.path().extension() == ".ics";
    return count;
}

class Phone {
public:
    explicit Phone(const char* name) : m_root(std::filesystem::temp_directory_path() / name)
    {
        std::filesystem::remove_all(m_root);
        std::filesystem::create_directories(m_root);
    }
    ~Phone() { std::filesystem::remove_all(m_root); }

    // The time `phonectl boot --session` takes.
    double boot()
    {
        auto start = Clock::now();
        int status = phonectl(m_root, { "boot", "--session", "--clock", "2026-12-08T08:00:00", "--os", "13.7" }).first;
        double took = millisecondsBetween(start, Clock::now());
        if (status != 0)
            std::printf("the phone did not boot\n");
        return took;
    }
    void stop() { phonectl(m_root, { "stop" }); }
    std::string state() { return phonectl(m_root, { "state" }).second; }
    std::string pid()
    {
        std::string text;
        readFile(m_root / "var/run/springboard.launched", text);
        return text.substr(0, text.find('\n'));
    }
    std::filesystem::path personal() const { return m_root / kPersonal; }
    void advance(const char* seconds) { phonectl(m_root, { "clock", "advance", seconds }); }

private:
    std::filesystem::path m_root;
};

void eventToWakeUp(PrivateSession& session)
{
    Phone phone("hushline-bench-evolution-timer");
    phone.boot();
    waitFor([&] { return std::filesystem::exists(phone.personal() / "displayname"); });
    GnomeCalendar gnome(session);
    std::vector<double> view, armed;
    for (int round = 0; round < kRounds; ++round) {
        // Each event earlier than the last: the wake-up timer moves to it.
        int hour = 20 - round;
        char start[32], end[32], time[16], uid[16];
        std::snprintf(start, sizeof start, "2026-12-08T%02d:00:00", hour);
        std::snprintf(end, sizeof end, "2026-12-08T%02d:30:00", hour);
        std::snprintf(time, sizeof time, "%02d:00:00", hour);
        std::snprintf(uid, sizeof uid, "timed-%d", round);
        gnome.run({ "add-event", "system-calendar", GnomeCalendar::event(uid, "Timed", start, end) });
        auto created = Clock::now();
        waitFor([&] { return std::filesystem::exists(phone.personal() / (std::string(uid) + ".ics")); });
        auto mirrored = Clock::now();
        // The debounce of the phone's clock passes at once, as often as it takes: the host may
        // arm it only after this first advance.
        waitFor([&] {
            phone.advance("3");
            return phone.state().find(time) != std::string::npos;
        });
        view.push_back(millisecondsBetween(created, mirrored));
        armed.push_back(millisecondsBetween(created, Clock::now()));
    }
    std::printf("event created through EDS to wake-up timer armed (median of %d): %.0f ms, of which EDS's view %.0f ms\n", kRounds, median(armed),
        median(view));
    phone.stop();
    // The boots that follow start from a calendar without events.
    for (int round = 0; round < kRounds; ++round)
        gnome.run({ "remove-event", "system-calendar", "timed-" + std::to_string(round) });
}

// Boots warm: the first boot made the mirror and the calendar cache.
double warmBoots(Phone& phone, size_t events)
{
    phone.boot();
    waitFor([&] { return filesIn(phone.personal()) >= events; }, 600, std::chrono::milliseconds(100));
    phone.stop();
    std::vector<double> boots;
    for (int round = 0; round < 5; ++round) {
        boots.push_back(phone.boot());
        phone.stop();
    }
    return median(boots);
}

void bootsAndHost(PrivateSession& session, int idleSeconds)
{
    Phone phone("hushline-bench-evolution-boot");
    double empty = warmBoots(phone, 0);
    phone.boot();
    waitUntilIdle(phone.pid());
    long emptyRss = bench::procStatusField("/proc/" + phone.pid() + "/status", "VmRSS");
    phone.stop();
    auto events = session.dir() / "many.ics";
    std::string text = "BEGIN:VCALENDAR\r\nVERSION:2.0\r\n";
    for (int i = 0; i < kManyEvents; ++i) {
        char event[320];
        int day = i % 365;
        std::snprintf(event, sizeof event,
            "BEGIN:VEVENT\r\nUID:many-%d\r\nSUMMARY:Event %d\r\nDTSTART;VALUE=DATE-TIME:2026%02d%02dT%02d0000Z\r\nDURATION:PT30M\r\nEND:VEVENT\r\n", i,
            i, 1 + day / 31 % 12, 1 + day % 28, 6 + i % 12);
        text += event;
    }
    writeFileAtomically(events, text + "END:VCALENDAR\r\n");
    GnomeCalendar(session).run({ "add-events", "system-calendar", events.string() });
    double many = warmBoots(phone, kManyEvents);
    std::printf("warm boot --session (median of 5): EDS without events %.0f ms, with %d events %.0f ms (%+.0f ms)\n", empty, kManyEvents, many,
        many - empty);

    phone.boot();
    auto start = Clock::now();
    std::string pid = phone.pid();
    // The host has checked the mirror against EDS's view of every event once it is idle.
    waitUntilIdle(pid);
    double checked = millisecondsBetween(start, Clock::now()) - 1000;
    long rss = bench::procStatusField("/proc/" + pid + "/status", "VmRSS");
    long peak = bench::procStatusField("/proc/" + pid + "/status", "VmHWM");
    long anonymous = bench::procStatusField("/proc/" + pid + "/status", "RssAnon");
    long mapped = bench::procStatusField("/proc/" + pid + "/status", "RssFile");
    auto before = switchesPerThread(pid);
    std::this_thread::sleep_for(std::chrono::seconds(idleSeconds));
    auto after = switchesPerThread(pid);
    std::printf("home-screen host with EDS read (%d events, mirror checked within %.0f ms of the boot): RSS %.1f MB (heap and other "
                "anonymous memory %.1f MB, mapped files %.1f MB; peak %.1f MB; %.1f MB with EDS holding no events); context switches of all "
                "%zu threads over %d idle seconds: %ld\n",
        kManyEvents, checked, rss / 1024.0, anonymous / 1024.0, mapped / 1024.0, peak / 1024.0, emptyRss / 1024.0, after.size(), idleSeconds,
        switchesBetween(before, after));
    phone.stop();
}

}

int main(int argc, char** argv)
{
    int idleSeconds = argc > 1 ? std::atoi(argv[1]) : 30;
    // Each figure as soon as it is measured.
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    // The events are made in Berlin's time and looked for in the phone's wake-up timers.
    setenv("TZ", "Europe/Berlin", 1);
    PrivateSession::Options options;
    options.networkManager = false;
    options.evolutionDataServer = true;
    auto session = PrivateSession::start(options);
    eventToWakeUp(*session);
    bootsAndHost(*session, idleSeconds);
    return 0;
}
