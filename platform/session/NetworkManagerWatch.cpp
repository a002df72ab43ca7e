#include "platform/session/NetworkManagerWatch.h"

#include "platform/foundation/NSLog.h"
#include "platform/session/NetworkManagerNames.h"
#include "platform/phonebus/PhoneBusConnection.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <map>

namespace {

using namespace NetworkManagerNames;

constexpr const char* kDefaultSystemBus = "unix:path=/run/dbus/system_bus_socket";

// What a look at NetworkManager may bring: a change of one of these can change what is reported.
enum class Relevance { None, Joined, Saved };

Relevance relevanceOf(const std::string& interface, const std::string& property)
{
    if (interface == kManagerInterface)
        return property == "State" || property == "Devices" ? Relevance::Joined : Relevance::None;
    if (interface == kWirelessInterface)
        return property == "ActiveAccessPoint" ? Relevance::Joined : Relevance::None;
    if (interface == kAccessPointInterface)
        return property == "Ssid" ? Relevance::Joined : Relevance::None;
    if (interface == kSettingsInterface)
        return property == "Connections" ? Relevance::Saved : Relevance::None;
    if (interface == kConnectionInterface)
        return Relevance::Saved;
    return Relevance::None;
}

// The relevance of a PropertiesChanged (s interface, a{sv} changed, as invalidated): the most
// any of its properties has. Access points report their signal strength every few seconds; those
// must not make the watch look again.
Relevance relevanceOf(sd_bus_message* message)
{
    const char* interface = nullptr;
    if (sd_bus_message_read(message, "s", &interface) < 0 || !interface)
        return Relevance::None;
    std::string name = interface;
    Relevance most = Relevance::None;
    auto consider = [&](const char* property) {
        if (property)
            most = std::max(most, relevanceOf(name, property));
    };
    if (sd_bus_message_enter_container(message, 'a', "{sv}") > 0) {
        while (sd_bus_message_enter_container(message, 'e', "sv") > 0) {
            const char* property = nullptr;
            sd_bus_message_read(message, "s", &property);
            consider(property);
            sd_bus_message_skip(message, "v");
            sd_bus_message_exit_container(message);
        }
        sd_bus_message_exit_container(message);
    }
    if (sd_bus_message_enter_container(message, 'a', "s") > 0) {
        const char* property = nullptr;
        while (sd_bus_message_read(message, "s", &property) > 0)
            consider(property);
        sd_bus_message_exit_container(message);
    }
    return most;
}

// Whether the next item is a variant holding the signature; it is skipped when not.
bool variantHolds(sd_bus_message* message, const char* signature)
{
    char type = 0;
    const char* contents = nullptr;
    if (sd_bus_message_peek_type(message, &type, &contents) > 0 && type == 'v' && contents && strcmp(contents, signature) == 0)
        return true;
    sd_bus_message_skip(message, "v");
    return false;
}

std::optional<uint32_t> readUnsigned(sd_bus_message* message)
{
    uint32_t value = 0;
    if (!variantHolds(message, "u") || sd_bus_message_read(message, "v", "u", &value) < 0)
        return std::nullopt;
    return value;
}

std::optional<std::string> readString(sd_bus_message* message, const char* signature)
{
    const char* value = nullptr;
    if (!variantHolds(message, signature) || sd_bus_message_read(message, "v", signature, &value) < 0 || !value)
        return std::nullopt;
    return std::string(value);
}

std::optional<std::string> readBytes(sd_bus_message* message)
{
    if (!variantHolds(message, "ay") || sd_bus_message_enter_container(message, 'v', "ay") <= 0)
        return std::nullopt;
    const void* data = nullptr;
    size_t size = 0;
    int r = sd_bus_message_read_array(message, 'y', &data, &size);
    sd_bus_message_exit_container(message);
    if (r < 0)
        return std::nullopt;
    return std::string(static_cast<const char*>(data), size);
}

std::vector<std::string> readPaths(sd_bus_message* message)
{
    std::vector<std::string> paths;
    if (!variantHolds(message, "ao") || sd_bus_message_enter_container(message, 'v', "ao") <= 0)
        return paths;
    if (sd_bus_message_enter_container(message, 'a', "o") > 0) {
        const char* path = nullptr;
        while (sd_bus_message_read(message, "o", &path) > 0)
            paths.emplace_back(path);
        sd_bus_message_exit_container(message);
    }
    sd_bus_message_exit_container(message);
    return paths;
}

// Walks a{s a{sv}} (a connection's settings, an object's interfaces): `visit` gets each
// group's name, each key, and reads or skips the variant.
template<class Visit>
bool walkGroups(sd_bus_message* message, Visit&& visit)
{
    if (sd_bus_message_enter_container(message, 'a', "{sa{sv}}") <= 0)
        return false;
    while (sd_bus_message_enter_container(message, 'e', "sa{sv}") > 0) {
        const char* group = nullptr;
        sd_bus_message_read(message, "s", &group);
        std::string groupName = group ? group : "";
        if (sd_bus_message_enter_container(message, 'a', "{sv}") > 0) {
            while (sd_bus_message_enter_container(message, 'e', "sv") > 0) {
                const char* key = nullptr;
                sd_bus_message_read(message, "s", &key);
                visit(groupName, std::string(key ? key : ""));
                sd_bus_message_exit_container(message);
            }
            sd_bus_message_exit_container(message);
        }
        sd_bus_message_exit_container(message);
    }
    sd_bus_message_exit_container(message);
    return true;
}

bool isAbsence(const std::string& error)
{
    return error == "org.freedesktop.DBus.Error.ServiceUnknown" || error == "org.freedesktop.DBus.Error.NameHasNoOwner";
}

// A watcher must never start NetworkManager by bus activation.
int noAutoStart(sd_bus_message* call)
{
    return sd_bus_message_set_auto_start(call, 0);
}

// What a look needs of NetworkManager's objects (GetManagedObjects: a{o a{s a{sv}}}), each map
// keyed by the object's path.
struct ManagedObjects {
    uint32_t state { 0 };
    std::vector<std::string> devices;
    std::map<std::string, uint32_t> deviceTypes;
    std::map<std::string, std::string> activeAccessPoints;
    std::map<std::string, std::string> ssids;
    std::vector<std::string> connections;
};

// Reads the property's variant when a look needs it, else skips it.
void readObjectProperty(sd_bus_message* reply, const std::string& path, const std::string& interface, const std::string& property,
    ManagedObjects& objects)
{
    if (interface == kManagerInterface && path == kManagerPath && property == "State")
        objects.state = readUnsigned(reply).value_or(0);
    else if (interface == kManagerInterface && path == kManagerPath && property == "Devices")
        objects.devices = readPaths(reply);
    else if (interface == kDeviceInterface && property == "DeviceType")
        objects.deviceTypes[path] = readUnsigned(reply).value_or(0);
    else if (interface == kWirelessInterface && property == "ActiveAccessPoint")
        objects.activeAccessPoints[path] = readString(reply, "o").value_or("/");
    else if (interface == kAccessPointInterface && property == "Ssid")
        objects.ssids[path] = readBytes(reply).value_or("");
    else if (interface == kSettingsInterface && property == "Connections")
        objects.connections = readPaths(reply);
    else
        sd_bus_message_skip(reply, "v");
}

ManagedObjects readManagedObjects(sd_bus_message* reply)
{
    ManagedObjects objects;
    if (sd_bus_message_enter_container(reply, 'a', "{oa{sa{sv}}}") <= 0)
        return objects;
    while (sd_bus_message_enter_container(reply, 'e', "oa{sa{sv}}") > 0) {
        const char* objectPath = nullptr;
        sd_bus_message_read(reply, "o", &objectPath);
        std::string path = objectPath ? objectPath : "";
        walkGroups(reply, [&](const std::string& interface, const std::string& property) {
            readObjectProperty(reply, path, interface, property, objects);
        });
        sd_bus_message_exit_container(reply);
    }
    sd_bus_message_exit_container(reply);
    return objects;
}

// The SSID of the access point the first Wi-Fi device with a named one is on, if any.
std::optional<std::string> joinedSsid(const ManagedObjects& objects)
{
    // The manager's order of devices decides between two Wi-Fi devices (a phone has one).
    std::vector<std::string> devices = objects.devices;
    if (devices.empty())
        for (const auto& [path, _] : objects.deviceTypes)
            devices.push_back(path);
    for (const auto& device : devices) {
        auto type = objects.deviceTypes.find(device);
        auto accessPoint = objects.activeAccessPoints.find(device);
        if (type == objects.deviceTypes.end() || type->second != kDeviceTypeWifi || accessPoint == objects.activeAccessPoints.end())
            continue;
        auto ssid = objects.ssids.find(accessPoint->second);
        // An access point whose name NetworkManager does not know (yet) matches no network.
        if (ssid != objects.ssids.end() && !ssid->second.empty())
            return ssid->second;
    }
    return std::nullopt;
}

}

struct NetworkManagerWatch::Snapshot {
    uint32_t state { 0 };
    std::optional<std::string> joined;
    std::vector<std::string> connections;
};

std::string NetworkManagerWatch::systemBusAddress()
{
    const char* address = getenv("DBUS_SYSTEM_BUS_ADDRESS");
    return address && *address ? address : kDefaultSystemBus;
}

std::string NetworkManagerWatch::displayName(const std::string& ssid)
{
    static const char* replacement = "\xEF\xBF\xBD";
    std::string text;
    size_t i = 0;
    while (i < ssid.size()) {
        auto c = static_cast<unsigned char>(ssid[i]);
        size_t length = 0;
        uint32_t code = 0;
        if (c < 0x80) {
            length = 1;
            code = c;
        } else if (c >= 0xC2 && c <= 0xDF) {
            length = 2;
            code = c & 0x1F;
        } else if (c >= 0xE0 && c <= 0xEF) {
            length = 3;
            code = c & 0x0F;
        } else if (c >= 0xF0 && c <= 0xF4) {
            length = 4;
            code = c & 0x07;
        }
        bool valid = length > 0 && i + length <= ssid.size();
        for (size_t k = 1; valid && k < length; ++k) {
            auto next = static_cast<unsigned char>(ssid[i + k]);
            valid = (next & 0xC0) == 0x80;
            code = (code << 6) | (next & 0x3F);
        }
        // Overlong forms, UTF-16 surrogates and code points past U+10FFFF are no UTF-8 either.
        if (valid && ((length == 3 && code < 0x800) || (length == 4 && (code < 0x10000 || code > 0x10FFFF))
                         || (code >= 0xD800 && code <= 0xDFFF)))
            valid = false;
        if (!valid) {
            text += replacement;
            ++i;
            continue;
        }
        if (code == 0)
            text += replacement;
        else
            text.append(ssid, i, length);
        i += length;
    }
    return text;
}

std::shared_ptr<NetworkManagerWatch> NetworkManagerWatch::start(Handlers handlers, Options options)
{
    std::shared_ptr<PhoneBusConnection> bus;
    try {
        bus = PhoneBusConnection::open(systemBusAddress());
    } catch (const std::exception& error) {
        NSLog("Session: no system bus (%s); the phone has no Wi-Fi network from NetworkManager", error.what());
    }
    return start(std::move(bus), std::move(handlers), options);
}

std::shared_ptr<NetworkManagerWatch> NetworkManagerWatch::start(std::shared_ptr<PhoneBusConnection> bus, Handlers handlers, Options options)
{
    std::shared_ptr<NetworkManagerWatch> watch(new NetworkManagerWatch(std::move(bus), std::move(handlers), options));
    if (!watch->m_bus || !watch->m_bus->isOpen()) {
        // Said in the log already by whoever failed to connect.
        watch->m_present = false;
        watch->reportJoined(std::nullopt);
        watch->reportRemembered({});
        if (watch->m_handlers.availabilityChanged)
            watch->m_handlers.availabilityChanged(false);
        return watch;
    }
    watch->watch();
    watch->requestLook(true);
    return watch;
}

NetworkManagerWatch::NetworkManagerWatch(std::shared_ptr<PhoneBusConnection> bus, Handlers handlers, Options options)
    : m_bus(std::move(bus))
    , m_handlers(std::move(handlers))
    , m_options(options)
{
}

NetworkManagerWatch::~NetworkManagerWatch() = default;

void NetworkManagerWatch::watch()
{
    std::weak_ptr<NetworkManagerWatch> weak = weak_from_this();
    std::string sender = std::string("type='signal',sender='") + kService + "',";
    m_propertiesMatch = BusCall::match(*m_bus,
        sender + "interface='org.freedesktop.DBus.Properties',member='PropertiesChanged',path_namespace='" + kManagerPath + "'",
        [weak](sd_bus_message* message) {
            auto self = weak.lock();
            Relevance relevance = self ? relevanceOf(message) : Relevance::None;
            if (relevance != Relevance::None)
                self->requestLook(relevance == Relevance::Saved);
        });
    // An edited saved connection (its SSID, say) says only this.
    m_updatedMatch = BusCall::match(*m_bus,
        sender + "interface='" + kConnectionInterface + "',member='Updated',path_namespace='" + kManagerPath + "/Settings'",
        [weak](sd_bus_message*) {
            if (auto self = weak.lock())
                self->requestLook(true);
        });
    m_ownerMatch = BusCall::match(*m_bus,
        std::string("type='signal',sender='org.freedesktop.DBus',interface='org.freedesktop.DBus',member='NameOwnerChanged',arg0='")
            + kService + "'",
        [weak](sd_bus_message* message) {
            auto self = weak.lock();
            const char *name = nullptr, *from = nullptr, *to = nullptr;
            if (self && sd_bus_message_read(message, "sss", &name, &from, &to) >= 0 && to)
                self->nameOwnerChanged(*to != 0);
        });
    if (!m_propertiesMatch || !m_updatedMatch || !m_ownerMatch)
        NSLog("Session: cannot watch NetworkManager on the system bus; its changes will not be seen");
}

void NetworkManagerWatch::requestLook(bool savedToo)
{
    m_savedWanted = m_savedWanted || savedToo;
    if (m_looking) {
        m_lookAgain = true;
        return;
    }
    look();
}

void NetworkManagerWatch::look()
{
    m_looking = true;
    m_lookAgain = false;
    bool savedToo = m_savedWanted;
    m_savedWanted = false;
    uint64_t generation = ++m_generation;
    std::weak_ptr<NetworkManagerWatch> weak = weak_from_this();
    bool sent = BusCall::call(*m_bus, kService, kObjectManagerPath, "org.freedesktop.DBus.ObjectManager", "GetManagedObjects", noAutoStart,
        [weak, generation, savedToo](sd_bus_message* reply) {
            if (auto self = weak.lock(); self && self->m_generation == generation)
                self->lookedAtObjects(generation, reply, savedToo);
        });
    if (!sent) {
        // The connection to the system bus is gone: nothing more will be heard.
        m_looking = false;
        setPresent(false);
    }
}

void NetworkManagerWatch::lookedAtObjects(uint64_t generation, sd_bus_message* reply, bool savedToo)
{
    auto self = shared_from_this();
    std::string error = BusCall::errorName(reply);
    if (!error.empty()) {
        m_savedWanted = m_savedWanted || savedToo;
        if (isAbsence(error)) {
            setPresent(false);
        } else if (error != "org.freedesktop.DBus.Error.NoReply") {
            // A restart ends pending calls with NoReply, and NameOwnerChanged follows; anything
            // else is worth a line.
            NSLog("Session: NetworkManager did not answer: %s", error.c_str());
        }
        finishLook();
        return;
    }

    auto objects = readManagedObjects(reply);
    Snapshot snapshot;
    snapshot.state = objects.state;
    snapshot.joined = joinedSsid(objects);
    snapshot.connections = std::move(objects.connections);
    setPresent(true);
    applyJoined(snapshot);
    if (m_generation != generation)
        return;
    if (savedToo || !m_rememberedKnown)
        lookAtSavedConnections(generation, snapshot.connections);
    else
        finishLook();
}

void NetworkManagerWatch::lookAtSavedConnections(uint64_t generation, const std::vector<std::string>& paths)
{
    struct Gathering {
        std::vector<std::optional<std::string>> ssids;
        size_t pending { 0 };
    };
    auto gathering = std::make_shared<Gathering>();
    gathering->ssids.resize(paths.size());
    gathering->pending = paths.size() + 1;
    std::weak_ptr<NetworkManagerWatch> weak = weak_from_this();
    auto arrived = [weak, generation, gathering] {
        auto self = weak.lock();
        if (!self || self->m_generation != generation || --gathering->pending > 0)
            return;
        std::vector<std::string> remembered;
        for (const auto& ssid : gathering->ssids)
            if (ssid && std::find(remembered.begin(), remembered.end(), *ssid) == remembered.end())
                remembered.push_back(*ssid);
        self->reportRemembered(remembered);
        if (self->m_generation == generation)
            self->finishLook();
    };
    for (size_t i = 0; i < paths.size(); ++i) {
        bool sent = BusCall::call(*m_bus, kService, paths[i].c_str(), kConnectionInterface, "GetSettings", noAutoStart,
            [gathering, i, arrived](sd_bus_message* reply) {
                // A connection deleted meanwhile answers with an error; the list's change that
                // follows brings another look.
                if (BusCall::errorName(reply).empty()) {
                    std::string type;
                    std::optional<std::string> ssid;
                    walkGroups(reply, [&](const std::string& group, const std::string& key) {
                        if (group == "connection" && key == "type")
                            type = readString(reply, "s").value_or("");
                        else if (group == "802-11-wireless" && key == "ssid")
                            ssid = readBytes(reply);
                        else
                            sd_bus_message_skip(reply, "v");
                    });
                    if (type == "802-11-wireless" && ssid && !ssid->empty())
                        gathering->ssids[i] = ssid;
                }
                arrived();
            });
        if (!sent)
            arrived();
    }
    arrived();
}

void NetworkManagerWatch::finishLook()
{
    m_looking = false;
    // Only a change that arrived meanwhile brings another look: a failed one waits for the next
    // change, or it would ask again and again.
    if (m_lookAgain)
        look();
}

void NetworkManagerWatch::nameOwnerChanged(bool present)
{
    auto self = shared_from_this();
    // Whatever was asked of the old NetworkManager is answered by nobody: look afresh.
    ++m_generation;
    m_looking = false;
    m_lookAgain = false;
    if (!present) {
        m_asleep = false;
        setPresent(false);
        return;
    }
    setPresent(true);
    // A NetworkManager that starts takes a while to take its devices and connections back.
    m_asleep = false;
    beginSettling();
    requestLook(true);
}

void NetworkManagerWatch::setPresent(bool present)
{
    if (m_present == present)
        return;
    bool first = !m_present.has_value();
    m_present = present;
    if (present) {
        if (!first)
            NSLog("Session: NetworkManager is on the system bus again");
    } else {
        endSettling();
        if (first || !m_joinedKnown)
            NSLog("Session: no NetworkManager on the system bus; the phone has no Wi-Fi network from it");
        else if (m_joined)
            NSLog("Session: NetworkManager left the system bus; the phone stays on \"%s\" until it is back", displayName(*m_joined).c_str());
        else
            NSLog("Session: NetworkManager left the system bus; the phone stays without a Wi-Fi network until it is back");
        if (!m_joinedKnown)
            reportJoined(std::nullopt);
        if (!m_rememberedKnown)
            reportRemembered({});
    }
    if (m_handlers.availabilityChanged)
        m_handlers.availabilityChanged(present);
}

void NetworkManagerWatch::applyJoined(const Snapshot& snapshot)
{
    bool asleep = snapshot.state == kStateAsleep;
    if (!m_joinedKnown) {
        m_asleep = asleep;
        m_latest = snapshot.joined;
        reportJoined(snapshot.joined);
        return;
    }
    if (asleep) {
        // What NetworkManager drops for a suspend is no change of network.
        if (!m_asleep)
            endSettling();
        m_asleep = true;
        return;
    }
    if (m_asleep) {
        m_asleep = false;
        beginSettling();
    }
    m_latest = snapshot.joined;
    if (snapshot.joined == m_joined) {
        endSettling();
        return;
    }
    if (m_settling && !snapshot.joined)
        return;
    endSettling();
    reportJoined(snapshot.joined);
}

void NetworkManagerWatch::beginSettling()
{
    if (!m_joined)
        return;
    m_settling = true;
    if (!m_settleTimer) {
        std::weak_ptr<NetworkManagerWatch> weak = weak_from_this();
        m_settleTimer = std::make_unique<RunLoopTimer>(TimerClock::Monotonic, [weak](TimerEvent event) {
            auto self = weak.lock();
            if (!self || event != TimerEvent::Fired || !self->m_settling)
                return;
            self->m_settling = false;
            if (self->m_present.value_or(false) && !self->m_asleep && self->m_latest != self->m_joined)
                self->reportJoined(self->m_latest);
        });
    }
    if (!m_settleTimer->armAfter(m_options.settleSeconds))
        NSLog("Session: cannot arm the Wi-Fi settling timer: %s", strerror(errno));
}

void NetworkManagerWatch::endSettling()
{
    m_settling = false;
    if (m_settleTimer)
        m_settleTimer->disarm();
}

void NetworkManagerWatch::reportJoined(const std::optional<std::string>& ssid)
{
    bool known = m_joinedKnown;
    m_joinedKnown = true;
    if (known && m_joined == ssid)
        return;
    m_joined = ssid;
    if (m_handlers.joinedNetworkChanged)
        m_handlers.joinedNetworkChanged(ssid);
}

void NetworkManagerWatch::reportRemembered(const std::vector<std::string>& ssids)
{
    bool known = m_rememberedKnown;
    m_rememberedKnown = true;
    if (known && m_remembered == ssids)
        return;
    m_remembered = ssids;
    if (m_handlers.rememberedNetworksChanged)
        m_handlers.rememberedNetworksChanged(ssids);
}
