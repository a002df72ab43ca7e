#include "platform/tonelibrary/TLToneManager.h"

#include "platform/machinery/DeviceRoot.h"

#include <algorithm>
#include <fstream>

namespace {

const char* const kShippedRingtones[] = { "Opening", "Apex", "Beacon", "Bulletin", "By The Seaside", "Chimes", "Circuit",
    "Constellation", "Cosmic", "Crystals", "Hillside", "Illuminate", "Night Owl", "Playtime", "Presto", "Radar", "Radiate",
    "Ripples", "Sencha", "Signal", "Silk", "Slow Rise", "Stargaze", "Summit", "Twinkle", "Uplift", "Waves" };

const char* const kShippedTextTones[] = { "Note", "Aurora", "Bamboo", "Calendar Alert", "Chord", "Circles", "Complete", "Hello",
    "Input", "Keys", "Popcorn", "Pulse", "Synth", "Tri-tone", "Chime", "Glass", "Horn", "Bell", "Electronic", "Anticipate",
    "Bloom", "Calypso", "Choo Choo", "Descent", "Fanfare", "Ladder", "Minuet", "News Flash", "Noir", "Sherwood Forest", "Spell",
    "Suspense", "Telegraph", "Tiptoes", "Typewriters", "Update" };

std::vector<TLToneManager::Tone> tonesIn(const char* folder, const std::string& extension, const std::string& prefix)
{
    std::vector<TLToneManager::Tone> tones;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(DeviceRoot::resolve(folder), error)) {
        if (!entry.is_regular_file(error) || entry.path().extension() != extension)
            continue;
        auto name = entry.path().stem().string();
        tones.push_back({ prefix + name, name });
    }
    std::sort(tones.begin(), tones.end(), [](const auto& a, const auto& b) { return a.name < b.name; });
    return tones;
}

void install(const std::filesystem::path& folder, const char* const* names, size_t count, const std::string& extension)
{
    std::filesystem::create_directories(folder);
    for (size_t i = 0; i < count; ++i) {
        auto file = folder / (std::string(names[i]) + extension);
        if (!std::filesystem::exists(file))
            std::ofstream(file, std::ios::binary);
    }
}

std::filesystem::path under(const std::filesystem::path& root, const char* phonePath)
{
    return root / std::filesystem::path(phonePath).relative_path();
}

}

TLToneManager& TLToneManager::sharedToneManager()
{
    static TLToneManager manager;
    return manager;
}

std::vector<TLToneManager::Tone> TLToneManager::ringtones() const
{
    return tonesIn(kRingtonesFolder, ".m4r", "ringtone:");
}

std::vector<TLToneManager::Tone> TLToneManager::textTones() const
{
    return tonesIn(kTextTonesFolder, ".caf", "texttone:");
}

std::optional<std::string> TLToneManager::nameForToneIdentifier(const std::string& identifier) const
{
    for (const auto& list : { ringtones(), textTones() })
        for (const auto& tone : list)
            if (tone.identifier == identifier)
                return tone.name;
    return std::nullopt;
}

void TLToneManager::installSystemTones(const std::filesystem::path& root)
{
    install(under(root, kRingtonesFolder), kShippedRingtones, std::size(kShippedRingtones), ".m4r");
    install(under(root, kTextTonesFolder), kShippedTextTones, std::size(kShippedTextTones), ".caf");
}
