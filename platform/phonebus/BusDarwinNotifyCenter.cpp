#include "platform/phonebus/BusDarwinNotifyCenter.h"

#include "platform/foundation/NSLog.h"
#include "platform/phonebus/PhoneBusConnection.h"

#include <algorithm>
#include <cstring>
#include <set>
#include <systemd/sd-bus.h>

namespace {

// The bus daemon and sd-bus read quotes and backslashes in match rules differently, so a name
// with either is observed through the rule without arg0 (every Darwin signal is read and the
// centre keeps the name's own).
bool matchableName(const std::string& name)
{
    return name.find('\'') == std::string::npos && name.find('\\') == std::string::npos;
}

std::string signalRule()
{
    return std::string("type='signal',path='") + BusDarwinNotifyCenter::kObjectPath + "',interface='"
        + BusDarwinNotifyCenter::kInterface + "',member='" + BusDarwinNotifyCenter::kMember + "'";
}

}

BusDarwinNotifyCenter::BusDarwinNotifyCenter(std::shared_ptr<PhoneBusConnection> connection)
    : m_connection(std::move(connection))
{
}

BusDarwinNotifyCenter::~BusDarwinNotifyCenter()
{
    for (auto& [rule, slot] : m_matches)
        sd_bus_slot_unref(slot);
}

bool BusDarwinNotifyCenter::installOnPhoneBus()
{
    auto connection = PhoneBusConnection::process();
    if (!connection)
        return false;
    install(std::make_shared<BusDarwinNotifyCenter>(std::move(connection)));
    return true;
}

std::string BusDarwinNotifyCenter::matchRule(const std::string& name)
{
    if (!matchableName(name))
        return signalRule();
    return signalRule() + ",arg0='" + name + "'";
}

void BusDarwinNotifyCenter::post(const std::string& name)
{
    if (!m_connection)
        return;
    std::weak_ptr<BusDarwinNotifyCenter> weak = weak_from_this();
    if (weak.expired()) {
        recordPost(name);
        send(name);
        return;
    }
    m_connection->perform([weak, name] {
        if (auto self = weak.lock()) {
            self->recordPost(name);
            self->send(name);
        }
    });
}

void BusDarwinNotifyCenter::send(const std::string& name)
{
    if (!m_connection->isOpen()) {
        NSLog("Darwin notify center: not connected to the phone's bus, \"%s\" is not posted", name.c_str());
        return;
    }
    sd_bus_message* message = nullptr;
    int r = sd_bus_message_new_signal(m_connection->bus(), &message, kObjectPath, kInterface, kMember);
    if (r >= 0)
        r = sd_bus_message_append(message, "s", name.c_str());
    if (r < 0)
        NSLog("Darwin notify center: cannot post \"%s\": %s", name.c_str(), strerror(-r));
    else
        m_connection->send(message);
    sd_bus_message_unref(message);
}

void BusDarwinNotifyCenter::addObserver(const void* observer, const std::string& name, Handler handler)
{
    if (!subscribe(name))
        return;
    m_observers.add(observer, name, std::move(handler));
}

void BusDarwinNotifyCenter::removeObserver(const void* observer, const std::string& name)
{
    m_observers.remove(observer, name);
    unsubscribeUnobserved();
}

void BusDarwinNotifyCenter::removeEveryObserver(const void* observer)
{
    m_observers.removeEvery(observer);
    unsubscribeUnobserved();
}

bool BusDarwinNotifyCenter::subscribe(const std::string& name)
{
    if (!m_connection || !m_connection->isOpen()) {
        NSLog("Darwin notify center: not connected to the phone's bus, \"%s\" cannot be observed", name.c_str());
        return false;
    }
    std::string rule = matchRule(name);
    if (m_matches.contains(rule))
        return true;
    // Synchronous: once the bus has the rule, every later post of the name reaches this process.
    sd_bus_slot* slot = nullptr;
    int r = sd_bus_add_match(m_connection->bus(), &slot, rule.c_str(), &BusDarwinNotifyCenter::onSignal, this);
    m_connection->updateWatch();
    if (r < 0) {
        NSLog("Darwin notify center: cannot observe \"%s\": %s", name.c_str(), strerror(-r));
        return false;
    }
    m_matches.emplace(rule, slot);
    return true;
}

void BusDarwinNotifyCenter::unsubscribeUnobserved()
{
    std::set<std::string> needed;
    for (const auto& name : m_observers.names())
        needed.insert(matchRule(name));
    for (auto it = m_matches.begin(); it != m_matches.end();) {
        if (needed.contains(it->first)) {
            ++it;
            continue;
        }
        sd_bus_slot_unref(it->second);
        it = m_matches.erase(it);
    }
    if (m_connection)
        m_connection->updateWatch();
}

int BusDarwinNotifyCenter::onSignal(sd_bus_message* message, void* userdata, sd_bus_error*)
{
    auto* center = static_cast<BusDarwinNotifyCenter*>(userdata);
    // An observer may replace the process's centre; this one stays until its observers are done.
    std::shared_ptr<BusDarwinNotifyCenter> keep = center->weak_from_this().lock();
    try {
        center->dispatch(message);
    } catch (const std::exception& error) {
        NSLog("Darwin notify center: an observer threw: %s", error.what());
    } catch (...) {
        NSLog("Darwin notify center: an observer threw");
    }
    return 0;
}

void BusDarwinNotifyCenter::dispatch(sd_bus_message* message)
{
    const char* text = nullptr;
    if (sd_bus_message_read(message, "s", &text) < 0 || !text)
        return;
    std::string name = text;
    const char* sender = sd_bus_message_get_sender(message);
    uint64_t cookie = 0;
    sd_bus_message_get_cookie(message, &cookie);
    std::string from = sender ? sender : "";
    if (from == m_lastSender && cookie == m_lastCookie)
        return;
    m_lastSender = from;
    m_lastCookie = cookie;

    m_observers.deliver(name);
}
