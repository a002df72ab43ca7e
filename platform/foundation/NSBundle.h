#pragma once

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

// A bundle: a folder of the phone with an identifier and string tables.
class NSBundle {
public:
    // The process's own bundle. Its identifier is set by the host program at start
    // ("com.apple.springboard", "com.apple.Preferences"); HUSHLINE_BUNDLE_IDENTIFIER names it
    // otherwise.
    static std::shared_ptr<NSBundle> mainBundle();
    static void setMainBundleIdentifier(const std::string& identifier);

    // The bundle at a phone path, or null when the folder does not exist.
    static std::shared_ptr<NSBundle> bundleWithPath(const std::string& phonePath);

    NSBundle(std::string identifier, std::optional<std::filesystem::path> folder)
        : m_identifier(std::move(identifier)), m_folder(std::move(folder)) { }

    const std::string& bundleIdentifier() const { return m_identifier; }
    const std::optional<std::filesystem::path>& bundlePath() const { return m_folder; }

    // The text of a key in "<language>.lproj/<table>.strings" (table "Localizable" when empty),
    // trying the user's languages and then English; with no entry the value when one is given,
    // else the key.
    std::string localizedStringForKey(const std::string& key, const std::string& value = {}, const std::string& table = {}) const;

private:
    std::string m_identifier;
    std::optional<std::filesystem::path> m_folder;
};

// The user's languages, most preferred first: "AppleLanguages" of the phone's global
// preferences, else English.
std::vector<std::string> NSLocalePreferredLanguages();
