// Load and save of the profiles file at 100 and 1,000 profiles, on a real file system.
#include "core/profile/HLProfilesManager.h"
#include "platform/foundation/Clock.h"
#include "platform/foundation/PropertyList.h"

#include <benchmark/benchmark.h>
#include <cstdlib>
#include <filesystem>

namespace {

struct BenchRoot {
    BenchRoot()
    {
        char pattern[] = "/tmp/hushline-bench-XXXXXX";
        path = mkdtemp(pattern);
        setenv("HUSHLINE_DEVICE_ROOT", path.c_str(), 1);
        std::filesystem::create_directories(path / "var/mobile/Library/Preferences");
        Clock::installVirtual(1765180800.0);
    }
    ~BenchRoot() { std::filesystem::remove_all(path); }
    std::filesystem::path path;
};

BenchRoot& root()
{
    static BenchRoot instance;
    return instance;
}

void fillStore(size_t count, PropertyList::Format format)
{
    auto& store = HLProfilesManager::sharedManager();
    store.profiles().clear();
    for (size_t i = 0; i < count; ++i) {
        auto profile = HLProfile::defaultProfile();
        profile->setTitle("Profile " + std::to_string(i));
        profile->setIdentifier(static_cast<int64_t>(1765180800 + i));
        profile->setCalendarIdentifiers(std::vector<std::string> { "work/meetings", "home/family" });
        profile->wifiNetworks().push_back("Office");
        store.profiles().push_back(profile);
    }
    PlistArray entries;
    for (const auto& p : store.profiles())
        entries.emplace_back(p->dictionaryRepresentation());
    PropertyList::write(HLProfilesManager::profilesFilePath(), PlistValue(entries), format);
}

void BM_LoadProfiles(benchmark::State& state, PropertyList::Format format)
{
    root();
    // The load logs one line per record; keep the figures about the store, not the terminal.
    FILE* quiet = freopen("/dev/null", "w", stderr);
    (void)quiet;
    fillStore(static_cast<size_t>(state.range(0)), format);
    auto& store = HLProfilesManager::sharedManager();
    for (auto _ : state) {
        store.loadProfiles();
        benchmark::DoNotOptimize(store.profiles().data());
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

void BM_SaveProfiles(benchmark::State& state)
{
    root();
    FILE* quiet = freopen("/dev/null", "w", stderr);
    (void)quiet;
    fillStore(static_cast<size_t>(state.range(0)), PropertyList::Format::XML);
    auto& store = HLProfilesManager::sharedManager();
    for (auto _ : state)
        benchmark::DoNotOptimize(store.saveAllProfilesToDisk(nullptr, false, ""));
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

}

BENCHMARK_CAPTURE(BM_LoadProfiles, xml, PropertyList::Format::XML)->Arg(100)->Arg(1000)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_LoadProfiles, binary, PropertyList::Format::Binary)->Arg(100)->Arg(1000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_SaveProfiles)->Arg(100)->Arg(1000)->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
