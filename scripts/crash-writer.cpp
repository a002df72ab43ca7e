// The two sides of scripts/crash-test.sh, in the device root named by HUSHLINE_DEVICE_ROOT.
//   crash-writer init            lays out the profiles file and the settings file (save 0 of each)
//   crash-writer write           saves both files in turn, without end, until it is killed
//   crash-writer verify LOG      checks the files after a kill
// Every completed save is numbered and told on the standard output ("P 12", "S 12") before the
// next one begins; the script appends that to LOG. After a kill each file must hold, byte for
// byte, the content of the last save told or of the one that was in flight, and read back
// through the system's own reading code.
#include "core/profile/HLProfilesManager.h"
#include "platform/machinery/AtomicFile.h"
#include "platform/foundation/Clock.h"
#include "platform/foundation/PropertyList.h"

#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <unistd.h>

namespace {

constexpr int64_t kFirstIdentifier = 1765180800;
constexpr NSTimeInterval kFirstSaveTime = 1765180800.0;
// Enough profiles that a save takes a while to write (about 50 KB of XML).
constexpr int kProfileCount = 40;
// The settings file's one key besides the master switch: which save wrote it.
constexpr const char* kSaveNumberKey = "crashTestSave";
// A killed save of each file may leave its temporary file until the next save of that file.
constexpr int kMaxTemporaries = 2;

// Profile 0 carries the save's number in its title and its ringer volume; its updated date is
// the clock at the save, which is the save's number in seconds after the first. The others
// have none: the store never reads an updated date back from the file.
std::shared_ptr<HLProfile> makeProfile(int index, long save)
{
    auto profile = HLProfile::init();
    profile->setIdentifier(kFirstIdentifier + index);
    profile->setTitle(index == 0 ? "Save " + std::to_string(save) : "Profile " + std::to_string(index));
    profile->setEnabled(index % 2 == 0);
    profile->setAllDay(index % 3 == 0);
    profile->setRingerVolume(index == 0 ? static_cast<double>(save % 101) / 100 : 0.25);
    profile->setPlayBackVolume(0.5);
    profile->setApplyProfileEventStatus(index % 4);
    profile->setCalendarIdentifiers(std::vector<std::string> { "work/meetings", "home/family" });
    profile->setStartTime("9:00 AM");
    profile->setEndTime("5:00 PM");
    profile->setWifiNetworks(std::vector<std::string> { "Office" });
    if (index == 0)
        profile->setUpdatedDate(NSDate(kFirstSaveTime + save));
    return profile;
}

PlistValue expectedProfiles(long save)
{
    PlistArray entries;
    for (int index = 0; index < kProfileCount; ++index)
        entries.emplace_back(makeProfile(index, save)->dictionaryRepresentation());
    return PlistValue(std::move(entries));
}

PlistValue expectedSettings(long save)
{
    return PlistValue(PlistDictionary { { kHLEnabledKey, save % 2 == 0 }, { kSaveNumberKey, int64_t(save) } });
}

// The master switch as the settings screen writes it: the whole dictionary, binary.
bool saveSettings(long save)
{
    return PropertyList::write(HLProfilesManager::settingsFilePath(), expectedSettings(save), PropertyList::Format::Binary);
}

void tell(char file, long save)
{
    std::string line = std::string(1, file) + " " + std::to_string(save) + "\n";
    // One write(2): once it returns the line is the kernel's, whenever the kill comes.
    if (::write(STDOUT_FILENO, line.data(), line.size()) != static_cast<ssize_t>(line.size()))
        _exit(4);
}

[[noreturn]] void die(const std::string& why)
{
    fprintf(stdout, "E %s\n", why.c_str());
    fflush(stdout);
    _exit(3);
}

int init()
{
    auto clock = Clock::installVirtual(kFirstSaveTime);
    auto& store = HLProfilesManager::sharedManager();
    for (int index = 0; index < kProfileCount; ++index)
        store.addProfile(makeProfile(index, 0), nullptr, [](const NSError&) { die("cannot add a profile"); });
    if (!saveSettings(0))
        die("cannot write the settings file");
    tell('P', 0);
    tell('S', 0);
    return 0;
}

// The number of the save that the files hold now (checked by verify before every start).
long currentSave(HLProfilesManager& store)
{
    auto profile = store.profileByIdentifier(kFirstIdentifier, true);
    if (!profile || !profile->title() || !profile->title()->starts_with("Save "))
        die("the profiles file holds no numbered save");
    return std::stol(profile->title()->substr(5));
}

int write()
{
    auto clock = Clock::installVirtual(kFirstSaveTime);
    auto& store = HLProfilesManager::sharedManager();
    long profiles = currentSave(store);
    auto settings = PropertyList::read(HLProfilesManager::settingsFilePath());
    if (!settings || !(*settings)[kSaveNumberKey].asInteger())
        die("the settings file holds no numbered save");
    long switches = *(*settings)[kSaveNumberKey].asInteger();
    tell('P', profiles);
    tell('S', switches);
    for (;;) {
        auto profile = store.profileByIdentifier(kFirstIdentifier);
        ++profiles;
        profile->setTitle("Save " + std::to_string(profiles));
        profile->setRingerVolume(static_cast<double>(profiles % 101) / 100);
        clock->set(kFirstSaveTime + profiles);
        store.updateProfile(profile, nullptr, [](const NSError&) { die("cannot save the profiles"); });
        tell('P', profiles);
        if (!saveSettings(++switches))
            die("cannot write the settings file");
        tell('S', switches);
    }
}

struct Told {
    long profiles { -1 };
    long settings { -1 };
    std::string error;
};

Told lastTold(const char* logPath)
{
    Told told;
    std::ifstream log(logPath);
    std::string line;
    while (std::getline(log, line)) {
        if (line.starts_with("P "))
            told.profiles = std::stol(line.substr(2));
        else if (line.starts_with("S "))
            told.settings = std::stol(line.substr(2));
        else if (line.starts_with("E "))
            told.error = line.substr(2);
    }
    return told;
}

// Which of the two allowed saves the file holds, byte for byte and as read back: 0 for the last
// one told, 1 for the one in flight, -1 for neither.
int matchingSave(const std::filesystem::path& path, long told, PlistValue (*expected)(long), PropertyList::Format format)
{
    std::string bytes;
    auto read = PropertyList::read(path);
    if (!read || !readFile(path, bytes))
        return -1;
    for (int step = 0; step <= 1; ++step) {
        auto value = expected(told + step);
        if (*read == value && bytes == PropertyList::serialize(value, format))
            return step;
    }
    return -1;
}

int temporaryFiles()
{
    int count = 0;
    for (const auto& entry : std::filesystem::directory_iterator(HLProfilesManager::profilesFilePath().parent_path()))
        if (entry.path().filename().string().starts_with(".com.velloq.hushline."))
            ++count;
    return count;
}

// Prints "ok <profiles step> <settings step> <temporaries>" or "FAIL <what>"; 1 when failed.
int verify(const char* logPath)
{
    Told told = lastTold(logPath);
    if (!told.error.empty())
        return printf("FAIL the writer stopped: %s\n", told.error.c_str()), 1;
    int profiles = matchingSave(HLProfilesManager::profilesFilePath(), told.profiles, expectedProfiles, PropertyList::Format::XML);
    int settings = matchingSave(HLProfilesManager::settingsFilePath(), told.settings, expectedSettings, PropertyList::Format::Binary);
    int temporaries = temporaryFiles();
    std::string failures;
    if (profiles < 0)
        failures += " profiles file is neither save " + std::to_string(told.profiles) + " nor the next;";
    if (settings < 0)
        failures += " settings file is neither save " + std::to_string(told.settings) + " nor the next;";
    if (profiles >= 0) {
        // The store's own reading: every profile, and the number where it belongs.
        auto& store = HLProfilesManager::sharedManager();
        store.loadProfiles();
        auto first = store.profileByIdentifier(kFirstIdentifier);
        if (store.profiles().size() != kProfileCount || !first || first->title() != "Save " + std::to_string(told.profiles + profiles))
            failures += " the store reads the profiles file otherwise;";
    }
    if (settings >= 0 && HLProfilesManager::isHushlineEnabled() != ((told.settings + settings) % 2 == 0))
        failures += " the master switch reads otherwise;";
    if (temporaries > kMaxTemporaries)
        failures += " " + std::to_string(temporaries) + " temporary files;";
    if (!failures.empty())
        return printf("FAIL%s\n", failures.c_str()), 1;
    printf("ok %d %d %d\n", profiles, settings, temporaries);
    return 0;
}

}

int main(int argc, char** argv)
{
    if (argc == 2 && !strcmp(argv[1], "init"))
        return init();
    if (argc == 2 && !strcmp(argv[1], "write"))
        return write();
    if (argc == 3 && !strcmp(argv[1], "verify"))
        return verify(argv[2]);
    fprintf(stderr, "usage: %s init | write | verify LOG\n", argv[0]);
    return 2;
}
