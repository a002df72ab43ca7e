#include "platform/session/testsupport/MockWifi.h"

#include "platform/session/NetworkManagerNames.h"
#include "platform/session/testsupport/NetworkManagerMock.h"

#include <cstdio>
#include <vector>

namespace TestSession {

using namespace NetworkManagerNames;

namespace {

// D-Bus strings must be UTF-8; an SSID need not be.
bool isUtf8(const std::string& text)
{
    size_t i = 0;
    while (i < text.size()) {
        auto c = static_cast<unsigned char>(text[i]);
        size_t length = c < 0x80 ? 1 : (c >> 5) == 0x6 ? 2 : (c >> 4) == 0xe ? 3 : (c >> 3) == 0x1e ? 4 : 0;
        if (length == 0 || i + length > text.size())
            return false;
        for (size_t k = 1; k < length; ++k)
            if ((static_cast<unsigned char>(text[i + k]) & 0xc0) != 0x80)
                return false;
        i += length;
    }
    return true;
}

}

std::string MockWifi::savedConnection(const std::string& ssid)
{
    if (auto it = m_saved.find(ssid); it != m_saved.end())
        return it->second;
    // NetworkManager names a connection after its network; a name that is no text gets another.
    std::string number = std::to_string(m_nextObject++);
    std::string id = isUtf8(ssid) ? ssid : "Wi-Fi " + number;
    std::string uuid = "6d8f1a3c-0000-4000-8000-" + std::string(12 - number.size(), '0') + number;
    std::string path = m_mock.addConnection(id, uuid, ssid);
    m_saved[ssid] = path;
    return path;
}

void MockWifi::removeSaved(const std::string& ssid)
{
    auto it = m_saved.find(ssid);
    if (it == m_saved.end())
        return;
    std::string path = it->second;
    m_saved.erase(it);
    std::vector<std::string> remaining;
    for (const auto& [_, other] : m_saved)
        remaining.push_back(other);
    m_mock.removeConnection(path, remaining);
}

void MockWifi::addSaved(const std::string& ssid)
{
    savedConnection(ssid);
}

void MockWifi::join(const std::string& ssid)
{
    if (m_joined)
        leave(true);
    Joined network;
    network.ssid = ssid;
    std::string apName = nextName("ap");
    char bssid[18];
    snprintf(bssid, sizeof bssid, "02:00:00:00:%02x:%02x", (m_nextObject >> 8) & 0xff, m_nextObject & 0xff);
    network.accessPoint = m_mock.addAccessPoint(apName, ssid, bssid);
    std::string connection = savedConnection(ssid);
    network.activeConnection = m_mock.addActiveConnection(nextName("active"), connection, network.accessPoint);
    m_joined = network;
    // Last, as NetworkManager does once associated: the device names its access point. A
    // sleeping NetworkManager joins nothing until it wakes.
    if (!m_asleep)
        m_mock.setActiveAccessPoint(network.accessPoint);
}

void MockWifi::leave(bool keepSaved)
{
    if (!m_joined)
        return;
    Joined network = *m_joined;
    m_joined.reset();
    if (!m_asleep)
        m_mock.setActiveAccessPoint("/");
    m_mock.removeActiveConnection(network.activeConnection);
    m_mock.removeAccessPoint(network.accessPoint);
    if (!keepSaved)
        removeSaved(network.ssid);
}

void MockWifi::setAsleep(bool sleep)
{
    if (sleep == m_asleep)
        return;
    if (sleep) {
        m_mock.setState(kStateAsleep);
        m_asleep = true;
        if (m_joined)
            m_mock.setActiveAccessPoint("/");
        return;
    }
    m_asleep = false;
    m_mock.setState(kStateDisconnected);
    if (m_joined)
        m_mock.setActiveAccessPoint(m_joined->accessPoint);
    m_mock.setState(kStateConnectedGlobal);
}

}
