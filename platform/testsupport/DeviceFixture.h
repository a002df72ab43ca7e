#pragma once

#include "platform/foundation/Clock.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <memory>
#include <string>

// Every test gets a phone of its own: a fresh device root (removed afterwards), a virtual
// clock, the time zone it asks for, clean notification centres, and the error stream captured
// so that log lines can be asserted.
class DeviceFixture : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Local time in the fixture's time zone: "2026-12-08T09:00:00".
    static NSTimeInterval localTime(const std::string& isoLocal);
    void setClock(const std::string& isoLocal);

    std::filesystem::path phonePath(const std::string& phonePath) const;
    // Lays the settings bundle's resources into the device root, as the package would.
    void installSettingsBundle() const;
    void writeSystemVersion(const std::string& version) const;

    // Everything logged since the test began (or since the last clearLog()).
    std::string logText() const;
    void clearLog();
    // How often a text occurs in the log.
    size_t logCount(const std::string& text) const;
    // How often the needle occurs in the text, occurrences not overlapping.
    static size_t occurrences(const std::string& text, const std::string& needle);

    // Override to pick another zone or start.
    virtual const char* timeZone() const { return "Europe/Berlin"; }
    virtual const char* startTime() const { return "2026-12-08T08:00:00"; }

    std::filesystem::path m_root;
    std::shared_ptr<VirtualClock> m_clock;

private:
    int m_savedStderr { -1 };
    std::filesystem::path m_logPath;
    long m_logStart { 0 };
};
