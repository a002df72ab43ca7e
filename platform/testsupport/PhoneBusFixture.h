#pragma once

#include "platform/machinery/PhoneBus.h"
#include "platform/phonebus/PhoneBusConnection.h"
#include "platform/testsupport/DeviceFixture.h"

#include <filesystem>
#include <functional>
#include <memory>
#include <string>

// A device fixture whose phone is booted as far as its bus: a private dbus-daemon for the
// test's device root (tests never share a bus), the test process connected to it through the
// main run loop, and the Darwin centre on that bus installed as the process's. Other processes
// of the same phone (PeerProcess running peerProgram()) find the bus through the root.
//
// The main run loop is emptied before the connection is made; a test must not reset it
// afterwards (that would drop the connection's sources).
class PhoneBusFixture : public DeviceFixture {
protected:
    void SetUp() override;
    void TearDown() override;

    // Turns the main run loop until the condition holds or `seconds` of real time have passed,
    // for what another process sends. Returns whether the condition holds.
    bool waitFor(const std::function<bool()>& condition, double seconds = 10);

    // The helper program that plays another process of the phone (see PhoneBusPeer.cpp).
    static std::string peerProgram();
    // A file of the source tree.
    static std::filesystem::path sourcePath(const std::string& relative);

    std::unique_ptr<PhoneBus> m_bus;
    std::shared_ptr<PhoneBusConnection> m_connection;
};
