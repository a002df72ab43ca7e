#pragma once

#include "platform/foundation/RunLoopTimer.h"
#include "platform/session/BusCall.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class PhoneBusConnection;

// The phone's Wi-Fi as NetworkManager has it, on the system bus, served by the main run loop:
//   - the joined network: the SSID of the access point that the Wi-Fi device (DeviceType 2)
//     names as its ActiveAccessPoint, or none;
//   - the remembered networks: the SSIDs of the saved Wi-Fi connections, in NetworkManager's
//     order, each once;
//   - whether NetworkManager is on the bus at all.
// SSIDs are bytes (802.11 allows any); they are kept as they are, so that a network compares
// equal only to itself, and displayName() makes text of one for a screen or a log.
//
// One match for PropertiesChanged under /org/freedesktop/NetworkManager wakes the watch; a
// change that can touch what it reports (the manager's State and Devices, a device's
// ActiveAccessPoint, an access point's Ssid, the saved connections) makes it look again from
// scratch (GetManagedObjects, then GetSettings of each saved connection when those changed;
// a saved connection edited in place says so with Settings.Connection.Updated, matched too).
// Changes that arrive while it looks are gathered into one more look. Nothing runs while
// nothing changes. Calls never start NetworkManager by bus activation.
//
// What a user would expect of a phone that sleeps and of a NetworkManager that restarts:
//   - While NetworkManager is asleep (State 10, during a suspend) the network it dropped is no
//     change: nothing is reported. After the wake, and after NetworkManager came back, a new
//     network is reported at once, the same one not at all, and "none" only when no network
//     has come back within settleSeconds (NetworkManager scans and associates again first).
//   - When NetworkManager leaves the bus (a restart, a crash), one log line says so, isPresent()
//     turns false, and the last known networks are kept until it is back; then it is looked at
//     again as after a wake. A NameOwnerChanged from the bus tells both; nothing polls.
//   - Without NetworkManager at the start, one log line says so and the phone has no joined and
//     no remembered network.
// Each handler runs once for the first look (the value goes from unknown to known) and then on
// every change.
class NetworkManagerWatch : public std::enable_shared_from_this<NetworkManagerWatch> {
public:
    struct Handlers {
        std::function<void(const std::optional<std::string>& ssid)> joinedNetworkChanged;
        std::function<void(const std::vector<std::string>& ssids)> rememberedNetworksChanged;
        std::function<void(bool present)> availabilityChanged;
    };
    struct Options {
        // How long after a wake (or NetworkManager's return) the network dropped may take to
        // come back before the phone is told it has left it.
        double settleSeconds { 20 };
    };

    // Connects to the system bus: DBUS_SYSTEM_BUS_ADDRESS, else the default system bus socket.
    // Without a system bus, the watch reports no NetworkManager (and says so once in the log).
    static std::shared_ptr<NetworkManagerWatch> start(Handlers, Options);
    static std::shared_ptr<NetworkManagerWatch> start(Handlers handlers) { return start(std::move(handlers), Options {}); }
    // On a connection of the caller's to the system bus.
    static std::shared_ptr<NetworkManagerWatch> start(std::shared_ptr<PhoneBusConnection> systemBus, Handlers, Options);
    ~NetworkManagerWatch();
    NetworkManagerWatch(const NetworkManagerWatch&) = delete;
    NetworkManagerWatch& operator=(const NetworkManagerWatch&) = delete;

    // Whether the first look has been answered (the accessors below hold known values).
    bool hasLooked() const { return m_joinedKnown; }
    bool isPresent() const { return m_present.value_or(false); }
    bool isAsleep() const { return m_asleep; }
    const std::optional<std::string>& joinedNetwork() const { return m_joined; }
    const std::vector<std::string>& rememberedNetworks() const { return m_remembered; }

    // The SSID as UTF-8 text: bytes that are not UTF-8 become U+FFFD.
    static std::string displayName(const std::string& ssid);
    // DBUS_SYSTEM_BUS_ADDRESS, else the default system bus socket.
    static std::string systemBusAddress();

private:
    struct Snapshot;
    NetworkManagerWatch(std::shared_ptr<PhoneBusConnection>, Handlers, Options);
    void watch();
    void requestLook(bool savedToo);
    void look();
    void lookedAtObjects(uint64_t generation, sd_bus_message* reply, bool savedToo);
    void lookAtSavedConnections(uint64_t generation, const std::vector<std::string>& paths);
    void finishLook();
    void nameOwnerChanged(bool present);
    void setPresent(bool present);
    void applyJoined(const Snapshot&);
    void reportJoined(const std::optional<std::string>&);
    void reportRemembered(const std::vector<std::string>&);
    void beginSettling();
    void endSettling();

    std::shared_ptr<PhoneBusConnection> m_bus;
    Handlers m_handlers;
    Options m_options;

    std::optional<bool> m_present;
    bool m_joinedKnown { false };
    bool m_rememberedKnown { false };
    std::optional<std::string> m_joined;
    std::vector<std::string> m_remembered;
    bool m_asleep { false };
    // The network of the latest look, which a settling period holds back when it is none.
    std::optional<std::string> m_latest;
    bool m_settling { false };
    std::unique_ptr<RunLoopTimer> m_settleTimer;

    bool m_looking { false };
    bool m_lookAgain { false };
    bool m_savedWanted { false };
    uint64_t m_generation { 0 };

    BusCall::Slot m_propertiesMatch;
    BusCall::Slot m_updatedMatch;
    BusCall::Slot m_ownerMatch;
};
