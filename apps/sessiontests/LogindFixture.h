#pragma once

#include "platform/session/testsupport/BusClient.h"
#include "platform/session/testsupport/OwnedProcess.h"

#include <filesystem>
#include <map>
#include <string>

// logind on a private system bus: python3-dbusmock's logind template, whose manager object's
// PrepareForSleep a test emits as a suspend and a wake-up would (include in tests only).
class LogindMock {
public:
    // Starts the mock on the bus with the environment and waits until it serves
    // org.freedesktop.login1; throws std::runtime_error (with the end of its log) when it does not.
    LogindMock(const std::string& systemBusAddress, const std::map<std::string, std::string>& environment, const std::filesystem::path& log);

    // PrepareForSleep(true) before a suspend, (false) after the wake-up; returns once the mock
    // has sent it.
    void prepareForSleep(bool goingToSleep);

private:
    TestSession::BusClient m_bus;
    std::filesystem::path m_log;
    TestSession::OwnedProcess m_process;
};
