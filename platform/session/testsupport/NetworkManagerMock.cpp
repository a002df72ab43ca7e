#include "platform/session/testsupport/NetworkManagerMock.h"

#include "platform/session/NetworkManagerNames.h"
#include "platform/session/testsupport/BusClient.h"
#include "platform/session/testsupport/SessionEnvironment.h"
#include "platform/session/testsupport/SessionFolder.h"

#include <stdexcept>
#include <unistd.h>

namespace TestSession {

using namespace NetworkManagerNames;

namespace {

constexpr const char* kPython = "/usr/bin/python3";
constexpr const char* kMockPath = kObjectManagerPath;
constexpr const char* kMockInterface = "org.freedesktop.DBus.Mock";
constexpr const char* kPropertiesInterface = "org.freedesktop.DBus.Properties";

ChildOptions mockProcess(const SessionFolder& folder, const SessionEnvironment& environment)
{
    // Debian's python3, which has dbusmock, whatever python3 comes first on PATH.
    if (access(kPython, X_OK) != 0)
        throw std::runtime_error("private session: /usr/bin/python3 is not installed (Debian package python3-dbusmock)");
    return environment.daemon({ kPython, "-m", "dbusmock", "--template", "networkmanager" }, folder.log("networkmanager"),
        { { "PYTHONUNBUFFERED", "1" } });
}

// Settings' "a{sa{sv}}" of a Wi-Fi connection; the SSID goes as bytes.
int appendWifiSettings(sd_bus_message* m, const std::string& id, const std::string& uuid, const std::string& ssid)
{
    int r = sd_bus_message_open_container(m, 'a', "{sa{sv}}");
    if (r >= 0)
        r = sd_bus_message_append(m, "{sa{sv}}", "connection", 3, "id", "s", id.c_str(), "type", "s", "802-11-wireless", "uuid", "s",
            uuid.c_str());
    if (r >= 0)
        r = sd_bus_message_open_container(m, 'e', "sa{sv}");
    if (r >= 0)
        r = sd_bus_message_append(m, "s", "802-11-wireless");
    if (r >= 0)
        r = sd_bus_message_open_container(m, 'a', "{sv}");
    if (r >= 0)
        r = sd_bus_message_open_container(m, 'e', "sv");
    if (r >= 0)
        r = sd_bus_message_append(m, "s", "ssid");
    if (r >= 0)
        r = sd_bus_message_open_container(m, 'v', "ay");
    if (r >= 0)
        r = sd_bus_message_append_array(m, 'y', ssid.data(), ssid.size());
    for (int i = 0; i < 2 && r >= 0; ++i)
        r = sd_bus_message_close_container(m);
    if (r >= 0)
        r = sd_bus_message_append(m, "{sv}", "mode", "s", "infrastructure");
    for (int i = 0; i < 3 && r >= 0; ++i)
        r = sd_bus_message_close_container(m);
    return r;
}

int appendPathList(sd_bus_message* m, const std::vector<std::string>& paths)
{
    int r = sd_bus_message_open_container(m, 'v', "ao");
    if (r >= 0)
        r = sd_bus_message_open_container(m, 'a', "o");
    for (const auto& path : paths)
        if (r >= 0)
            r = sd_bus_message_append(m, "o", path.c_str());
    for (int i = 0; i < 2 && r >= 0; ++i)
        r = sd_bus_message_close_container(m);
    return r;
}

}

NetworkManagerMock::NetworkManagerMock(const SessionFolder& folder, const SessionEnvironment& environment, BusClient& systemBus)
    : m_folder(folder)
    , m_systemBus(systemBus)
    , m_process(mockProcess(folder, environment))
{
}

NetworkManagerMock::~NetworkManagerMock() = default;

void NetworkManagerMock::awaitReady(const Deadline& deadline)
{
    if (!m_systemBus.waitForName(kService, true, deadline, m_process.endFd())) {
        m_process.stop();
        throw std::runtime_error("private session: the NetworkManager mock did not appear on the system bus: "
            + tailOfFile(m_folder.log("networkmanager"), kLogTail));
    }
    // Calls wait until the template is loaded: the mock takes its name before that.
    call(kMockPath, kMockInterface, "AddWiFiDevice", [](sd_bus_message* m) {
        return sd_bus_message_append(m, "ssi", "wlan0", "wlan0", static_cast<int32_t>(kDeviceStateDisconnected));
    });
    call(kDevicePath, kMockInterface, "AddProperty",
        [](sd_bus_message* m) { return sd_bus_message_append(m, "ssv", kWirelessInterface, "ActiveAccessPoint", "o", "/"); });
}

void NetworkManagerMock::call(const char* path, const char* interface, const char* member, const std::function<int(sd_bus_message*)>& build)
{
    m_systemBus.call(kService, path, interface, member, build, {}, std::string("NetworkManager mock ") + member);
}

std::string NetworkManagerMock::callForPath(const char* path, const char* interface, const char* member,
    const std::function<int(sd_bus_message*)>& build, char type)
{
    std::string result;
    m_systemBus.call(
        kService, path, interface, member, build,
        [&](sd_bus_message* reply) {
            const char* value = nullptr;
            int r = sd_bus_message_read_basic(reply, type, &value);
            if (r >= 0 && value)
                result = value;
            return r;
        },
        std::string("NetworkManager mock ") + member);
    return result;
}

std::string NetworkManagerMock::addAccessPoint(const std::string& name, const std::string& ssid, const std::string& bssid)
{
    return callForPath(kMockPath, kMockInterface, "AddAccessPoint", [&](sd_bus_message* m) {
        return sd_bus_message_append(m, "ssssuuuyu", kDevicePath, name.c_str(), ssid.c_str(), bssid.c_str(), 2u, 2412u, 54000u,
            static_cast<uint8_t>(80), kSecurityWpaPsk);
    });
}

void NetworkManagerMock::removeAccessPoint(const std::string& path)
{
    call(kMockPath, kMockInterface, "RemoveAccessPoint",
        [&](sd_bus_message* m) { return sd_bus_message_append(m, "ss", kDevicePath, path.c_str()); });
}

std::string NetworkManagerMock::addConnection(const std::string& id, const std::string& uuid, const std::string& ssid)
{
    return callForPath(
        kSettingsPath, kSettingsInterface, "AddConnection", [&](sd_bus_message* m) { return appendWifiSettings(m, id, uuid, ssid); }, 'o');
}

void NetworkManagerMock::removeConnection(const std::string& path, const std::vector<std::string>& remaining)
{
    call(kSettingsPath, kPropertiesInterface, "Set", [&](sd_bus_message* m) {
        int r = sd_bus_message_append(m, "ss", kSettingsInterface, "Connections");
        return r >= 0 ? appendPathList(m, remaining) : r;
    });
    call(kMockPath, kMockInterface, "RemoveObject", [&](sd_bus_message* m) { return sd_bus_message_append(m, "o", path.c_str()); });
}

std::string NetworkManagerMock::addActiveConnection(const std::string& name, const std::string& connection, const std::string& accessPoint)
{
    return callForPath(kMockPath, kMockInterface, "AddActiveConnection", [&](sd_bus_message* m) {
        return sd_bus_message_append(m, "assssu", 1, kDevicePath, connection.c_str(), accessPoint.c_str(), name.c_str(),
            kActiveConnectionActivated);
    });
}

void NetworkManagerMock::removeActiveConnection(const std::string& path)
{
    call(kMockPath, kMockInterface, "RemoveActiveConnection",
        [&](sd_bus_message* m) { return sd_bus_message_append(m, "ss", kDevicePath, path.c_str()); });
}

void NetworkManagerMock::setActiveAccessPoint(const std::string& path)
{
    call(kDevicePath, kPropertiesInterface, "Set",
        [&](sd_bus_message* m) { return sd_bus_message_append(m, "ssv", kWirelessInterface, "ActiveAccessPoint", "o", path.c_str()); });
}

void NetworkManagerMock::setState(uint32_t state)
{
    call(kMockPath, kMockInterface, "SetGlobalConnectionState", [&](sd_bus_message* m) { return sd_bus_message_append(m, "u", state); });
}

}
