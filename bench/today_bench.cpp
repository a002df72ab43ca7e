// `phonectl today` as a person runs it, a whole process each time (its shadow phone reads the
// calendar database from cold), for 5 profiles over the 10,000-event calendar database; and, as
// the peer, khal's `khal list today today` on the same folders (bench/khal_peer.sh).
#include "bench/BenchProfiles.h"
#include "bench/CalendarDatabase.h"
#include "bench/KhalPeer.h"
#include "core/profile/HLProfilesManager.h"
#include "platform/foundation/PropertyList.h"

#include <benchmark/benchmark.h>
#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <map>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

int runPhonectlToday()
{
    std::string root = bench::database().root.string();
    std::vector<std::string> arguments { HUSHLINE_PHONECTL, "--root", root, "today" };
    std::vector<char*> argv;
    for (auto& argument : arguments)
        argv.push_back(argument.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t files;
    posix_spawn_file_actions_init(&files);
    posix_spawn_file_actions_addopen(&files, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t pid = -1;
    int status = -1;
    if (posix_spawn(&pid, argv[0], &files, nullptr, argv.data(), environ) == 0)
        waitpid(pid, &status, 0);
    posix_spawn_file_actions_destroy(&files);
    return status;
}

void BM_PhonectlToday(benchmark::State& state)
{
    for (auto _ : state)
        if (runPhonectlToday() != 0)
            state.SkipWithError("phonectl today failed");
}
BENCHMARK(BM_PhonectlToday)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(20);

class Reporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        for (const auto& run : runs)
            if (run.run_type == Run::RT_Iteration)
                milliseconds = run.GetAdjustedRealTime();
        ConsoleReporter::ReportRuns(runs);
    }
    double milliseconds { 0 };
};

}

int main(int argc, char** argv)
{
    bench::database();
    // The calendar cache of these runs lives beside the benchmark's phone and goes with it.
    std::filesystem::path cacheHome = bench::database().root.string() + "-cache";
    setenv("XDG_CACHE_HOME", cacheHome.c_str(), 1);
    bench::writeProfiles(bench::database().root);
    // The first run parses every calendar file and leaves what it read in phonectl's calendar
    // cache (as khal's first run fills its database); the runs measured take it from there, as
    // every later look on a phone in use does.
    auto coldStart = std::chrono::steady_clock::now();
    runPhonectlToday();
    double coldMs = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - coldStart).count();
    benchmark::Initialize(&argc, argv);
    Reporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    printf("phonectl today: cold (first run) %.1f ms\n", coldMs);
    if (!std::getenv("HUSHLINE_BENCH_NO_KHAL"))
        printKhalComparison("phonectl today warm", reporter.milliseconds);
    benchmark::Shutdown();
    std::filesystem::remove_all(cacheHome);
    return 0;
}
