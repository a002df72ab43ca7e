#pragma once

#include <filesystem>

// The device root of a shadow phone: a temporary folder holding copies of what decides a real
// phone's day (the profiles file, the settings file, the Wi-Fi state, the OS version and the
// volumes), and the real phone's calendar folder linked in, to be read in place. Nothing of the
// real root is written: files are only read to be copied. Removed with the object (the link,
// never what it points to).
class ShadowRoot {
public:
    // Copies from the real root; with `startOfDay` the copied profiles are marked not applied, as
    // they are when a day is looked at from its beginning. Throws std::runtime_error when the
    // folder cannot be made.
    ShadowRoot(const std::filesystem::path& realRoot, bool startOfDay);
    ~ShadowRoot();
    ShadowRoot(const ShadowRoot&) = delete;
    ShadowRoot& operator=(const ShadowRoot&) = delete;

    const std::filesystem::path& path() const { return m_path; }

private:
    void copy(const std::filesystem::path& realRoot, const char* phonePath);
    void linkCalendars(const std::filesystem::path& realRoot);
    void markNothingApplied();

    std::filesystem::path m_path;
};
