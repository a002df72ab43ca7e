#pragma once

#include "platform/session/testsupport/Deadline.h"
#include "platform/session/testsupport/OwnedProcess.h"

#include <cstdint>
#include <functional>
#include <string>
#include <systemd/sd-bus.h>
#include <vector>

// NetworkManager on the session's system bus: python3-dbusmock's template, with one Wi-Fi device
// "wlan0" whose ActiveAccessPoint (which the template lacks) is added at start. Its control
// methods, each one a call answered by the mock (org.freedesktop.DBus.Mock on /org/freedesktop).
namespace TestSession {

class BusClient;
class SessionEnvironment;
class SessionFolder;

class NetworkManagerMock {
public:
    static constexpr const char* kDevicePath = "/org/freedesktop/NetworkManager/Devices/wlan0";

    // Starts the mock without waiting for it; awaitReady() then waits.
    NetworkManagerMock(const SessionFolder&, const SessionEnvironment&, BusClient& systemBus);
    ~NetworkManagerMock();
    NetworkManagerMock(const NetworkManagerMock&) = delete;
    NetworkManagerMock& operator=(const NetworkManagerMock&) = delete;

    // Waits until it serves its name and the device is added; throws std::runtime_error (with the
    // end of its log) when it does not, having ended it.
    void awaitReady(const Deadline&);
    void terminate() { m_process.terminate(); }

    // The object paths of what is added.
    std::string addAccessPoint(const std::string& name, const std::string& ssid, const std::string& bssid);
    void removeAccessPoint(const std::string& path);
    // A saved connection through Settings.AddConnection, as a settings app makes one. The SSID may
    // be any bytes.
    std::string addConnection(const std::string& id, const std::string& uuid, const std::string& ssid);
    // Takes the connection off Settings' list and removes its object, leaving the global state as
    // it is (the mock's Delete sets it).
    void removeConnection(const std::string& path, const std::vector<std::string>& remaining);
    std::string addActiveConnection(const std::string& name, const std::string& connection, const std::string& accessPoint);
    void removeActiveConnection(const std::string& path);
    // The device's ActiveAccessPoint ("/" for none); emits PropertiesChanged.
    void setActiveAccessPoint(const std::string& path);
    // NetworkManager's State.
    void setState(uint32_t);

private:
    std::string callForPath(const char* path, const char* interface, const char* member,
        const std::function<int(sd_bus_message*)>& build, char type = 's');
    void call(const char* path, const char* interface, const char* member, const std::function<int(sd_bus_message*)>& build);

    const SessionFolder& m_folder;
    BusClient& m_systemBus;
    OwnedProcess m_process;
};

}
