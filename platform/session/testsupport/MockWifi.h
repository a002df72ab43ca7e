#pragma once

#include <map>
#include <optional>
#include <string>

// What the user's Wi-Fi does, played on NetworkManager's mock in NetworkManager's own order:
// joining and leaving networks, saved networks, sleeping around a suspend.
namespace TestSession {

class NetworkManagerMock;

class MockWifi {
public:
    explicit MockWifi(NetworkManagerMock& mock)
        : m_mock(mock)
    {
    }

    // An access point with the SSID, a saved connection (reused when the network is saved
    // already) and an active connection; the device's ActiveAccessPoint last. A network joined
    // before is left first, staying saved. Asleep, the device names the access point at the wake.
    void join(const std::string& ssid);
    // Removes the joined network's access point, active connection and (unless keepSaved) saved
    // connection.
    void leave(bool keepSaved);
    // A saved connection without joining; the SSID may be any bytes.
    void addSaved(const std::string& ssid);
    // Asleep: State NM_STATE_ASLEEP, the access point dropped. Awake: NM_STATE_DISCONNECTED, the
    // joined network's access point again, NM_STATE_CONNECTED_GLOBAL.
    void setAsleep(bool);

private:
    struct Joined {
        std::string ssid;
        std::string accessPoint;
        std::string activeConnection;
    };
    std::string nextName(const char* prefix) { return prefix + std::to_string(m_nextObject++); }
    // The saved connection's path, made when there is none.
    std::string savedConnection(const std::string& ssid);
    void removeSaved(const std::string& ssid);

    NetworkManagerMock& m_mock;
    std::optional<Joined> m_joined;
    std::map<std::string, std::string> m_saved;
    bool m_asleep { false };
    unsigned m_nextObject { 0 };
};

}
