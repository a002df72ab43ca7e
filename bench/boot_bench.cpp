// `phonectl boot` as a person runs it, until the home screen has launched, on the 10,000-event
// calendar database with 5 profiles, side by side in one run:
//   - warm: the calendar cache holds every file (the usual boot of a phone in use);
//   - cold: the cache is removed before each boot (the first boot, or one after a time-zone change);
//   - no cache: neither $XDG_CACHE_HOME nor $HOME is set, so the home screen parses every file,
//     as it did before it read the cache;
//   - empty: the same profiles on a phone without calendars;
//   - installed: the empty phone booted by the phonectl of an install of this build
//     (`cmake --install` into a scratch folder), whose boot links the payload into the phone.
// Then the empty phone's boot from the build tree and from the install, median of 20 each, taken
// in turns.
// Then, for each, the home-screen host's memory (RSS) after the boot and after a whole day run with
// `clock advance 86400`, and its context switches over 5 idle seconds.
#include "bench/BenchProfiles.h"
#include "bench/CalendarDatabase.h"
#include "bench/ProcStatus.h"
#include "core/profile/HLProfilesManager.h"
#include "platform/foundation/PropertyList.h"
#include "platform/machinery/AtomicFile.h"

#include <algorithm>
#include <benchmark/benchmark.h>
#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <map>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace {

struct Setup {
    const char* name;
    bool calendars;
    bool cache;
    bool removeCacheFirst;
    bool installed;
};

const Setup kSetups[] = { { "warm", true, true, false, false }, { "cold", true, true, true, false },
    { "no cache", true, false, false, false }, { "empty", false, true, false, false }, { "installed", false, true, false, true } };

std::filesystem::path installFolder() { return bench::database().root.string() + "-install"; }

// This build installed into a scratch folder (once); its phonectl.
const std::string& installedPhonectl()
{
    static const std::string program = [] {
        std::filesystem::remove_all(installFolder());
        std::string command = "DESTDIR='" + installFolder().string() + "' cmake --install '" HUSHLINE_BUILD_DIR "' >/dev/null";
        if (std::system(command.c_str()) != 0)
            std::fprintf(stderr, "cannot install the build into %s\n", installFolder().c_str());
        return (installFolder() / std::string(HUSHLINE_INSTALL_BINDIR "/phonectl").substr(1)).string();
    }();
    return program;
}

std::filesystem::path cacheHome() { return bench::database().root.string() + "-cache"; }
std::filesystem::path emptyRoot() { return bench::database().root.string() + "-empty"; }
std::filesystem::path rootOf(const Setup& setup) { return setup.calendars ? bench::database().root : emptyRoot(); }


// Runs phonectl on the setup's phone, with the setup's cache folder (or none); its exit status.
int phonectl(const Setup& setup, std::vector<std::string> arguments)
{
    arguments.insert(arguments.begin(), { setup.installed ? installedPhonectl() : HUSHLINE_PHONECTL, "--root", rootOf(setup).string() });
    std::vector<char*> argv;
    for (auto& argument : arguments)
        argv.push_back(argument.data());
    argv.push_back(nullptr);
    std::vector<std::string> environment;
    for (char** variable = environ; *variable; ++variable) {
        std::string entry = *variable;
        if (!entry.starts_with("XDG_CACHE_HOME=") && !entry.starts_with("HOME="))
            environment.push_back(entry);
    }
    if (setup.cache)
        environment.push_back("XDG_CACHE_HOME=" + cacheHome().string());
    std::vector<char*> envp;
    for (auto& entry : environment)
        envp.push_back(entry.data());
    envp.push_back(nullptr);
    posix_spawn_file_actions_t files;
    posix_spawn_file_actions_init(&files);
    posix_spawn_file_actions_addopen(&files, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t pid = -1;
    int status = -1;
    if (posix_spawn(&pid, argv[0], &files, nullptr, argv.data(), envp.data()) == 0)
        waitpid(pid, &status, 0);
    posix_spawn_file_actions_destroy(&files);
    return status;
}

int boot(const Setup& setup)
{
    if (setup.removeCacheFirst)
        std::filesystem::remove_all(cacheHome());
    return phonectl(setup, { "boot", "--clock", "now" });
}

void BM_Boot(benchmark::State& state)
{
    const Setup& setup = kSetups[state.range(0)];
    state.SetLabel(setup.name);
    for (auto _ : state) {
        auto start = std::chrono::steady_clock::now();
        int status = boot(setup);
        state.SetIterationTime(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
        phonectl(setup, { "stop" });
        if (status != 0)
            state.SkipWithError("phonectl boot failed");
    }
}
BENCHMARK(BM_Boot)->DenseRange(0, 4)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(10);

// A field of /proc/<pid>/status, as a number (kB for memory).
long statusField(const std::string& pid, const std::string& field)
{
    return bench::procStatusField("/proc/" + pid + "/status", field);
}

void reportHost(const Setup& setup)
{
    if (boot(setup) != 0) {
        printf("%-9s the phone did not boot\n", setup.name);
        return;
    }
    std::string pid;
    readFile(rootOf(setup) / "var/run/springboard.launched", pid);
    pid = pid.substr(0, pid.find('\n'));
    long bootRss = statusField(pid, "VmRSS");
    auto switches = [&] { return statusField(pid, "voluntary_ctxt_switches") + statusField(pid, "nonvoluntary_ctxt_switches"); };
    long before = switches();
    std::this_thread::sleep_for(std::chrono::seconds(5));
    long idle = switches() - before;
    phonectl(setup, { "clock", "advance", "86400" });
    long dayRss = statusField(pid, "VmRSS");
    phonectl(setup, { "stop" });
    printf("%-9s host RSS after boot %.1f MB, after a day %.1f MB; context switches over 5 idle seconds: %ld\n", setup.name,
        bootRss / 1024.0, dayRss / 1024.0, idle);
}

// The empty phone's boot from the build tree and from the install, in turns: median of 20 each.
void reportBootMedians()
{
    std::vector<double> build, installed;
    for (int i = 0; i < 20; ++i) {
        for (const Setup* setup : { &kSetups[3], &kSetups[4] }) {
            auto start = std::chrono::steady_clock::now();
            int status = boot(*setup);
            double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
            phonectl(*setup, { "stop" });
            if (status == 0)
                (setup->installed ? installed : build).push_back(ms);
        }
    }
    auto median = [](std::vector<double> values) {
        if (values.empty())
            return -1.0;
        std::sort(values.begin(), values.end());
        return (values[(values.size() - 1) / 2] + values[values.size() / 2]) / 2;
    };
    printf("empty phone's boot to ready, median of 20: from the build tree %.1f ms, from the installed files %.1f ms\n",
        median(build), median(installed));
}

}

int main(int argc, char** argv)
{
    bench::database();
    std::filesystem::create_directories(emptyRoot() / "var/mobile/Library/Preferences");
    bench::writeProfiles(bench::database().root);
    bench::writeProfiles(emptyRoot());
    // The cache starts warm: one boot has read the calendars.
    boot(kSetups[1]);
    phonectl(kSetups[1], { "stop" });
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    boot(kSetups[1]);
    phonectl(kSetups[1], { "stop" });
    reportBootMedians();
    for (const auto& setup : kSetups)
        reportHost(setup);
    benchmark::Shutdown();
    std::filesystem::remove_all(installFolder());
    std::filesystem::remove_all(cacheHome());
    std::filesystem::remove_all(emptyRoot());
    return 0;
}
