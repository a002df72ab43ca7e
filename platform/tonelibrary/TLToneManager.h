#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

// ToneLibrary's catalogue of the phone's tones. The tones are the sound files of the phone:
// ringtones "/Library/Ringtones/<Name>.m4r" (identifier "ringtone:<Name>") and text tones
// "/System/Library/Audio/UISounds/New/<Name>.caf" (identifier "texttone:<Name>"), each list
// sorted by name.
class TLToneManager {
public:
    struct Tone {
        std::string identifier;
        std::string name;
    };

    static constexpr const char* kRingtonesFolder = "/Library/Ringtones";
    static constexpr const char* kTextTonesFolder = "/System/Library/Audio/UISounds/New";

    static TLToneManager& sharedToneManager();

    std::vector<Tone> ringtones() const;
    std::vector<Tone> textTones() const;
    // The tone's name, when the phone has that tone.
    std::optional<std::string> nameForToneIdentifier(const std::string& identifier) const;

    // Lays the tones that the phone's system ships into a device root, leaving files that are
    // there alone.
    static void installSystemTones(const std::filesystem::path& root);
};
