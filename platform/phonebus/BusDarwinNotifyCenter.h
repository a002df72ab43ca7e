#pragma once

#include "platform/foundation/DarwinNotifyCenter.h"

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <systemd/sd-bus.h>
#include <vector>

class PhoneBusConnection;

// The Darwin notify centre of a process on the phone's bus. A post is a broadcast signal
//
//   path /com/velloq/DarwinNotifyCenter, interface com.velloq.DarwinNotifyCenter,
//   member Notification, one string argument: the notification's name
//
// and an observed name is a match rule on that signal with arg0 = the name, so the bus sends a
// process only the names it observes. Observers are called on the main run loop, in the order
// they were added, once per signal, whichever process posted it: a process's own posts come
// back to it through the bus, as on the phone, so its own observers hear them exactly once
// and only after the loop turns. No payload, as on the phone. The interface is documented in
// dbus/com.velloq.DarwinNotifyCenter.xml.
//
// Observing and posting belong to the main thread; a post from another thread is handed to the
// main run loop and sent from there.
class BusDarwinNotifyCenter final : public DarwinNotifyCenter, public std::enable_shared_from_this<BusDarwinNotifyCenter> {
public:
    static constexpr const char* kObjectPath = "/com/velloq/DarwinNotifyCenter";
    static constexpr const char* kInterface = "com.velloq.DarwinNotifyCenter";
    static constexpr const char* kMember = "Notification";

    explicit BusDarwinNotifyCenter(std::shared_ptr<PhoneBusConnection>);
    ~BusDarwinNotifyCenter() override;

    // Installs a centre on the process's connection to its phone's bus as the process's Darwin
    // centre; false (and nothing installed) when the phone's bus is not running.
    static bool installOnPhoneBus();

    // The match rule that selects the signal of one name.
    static std::string matchRule(const std::string& name);

    void post(const std::string& name) override;
    void addObserver(const void* observer, const std::string& name, Handler) override;
    void removeObserver(const void* observer, const std::string& name) override;
    void removeEveryObserver(const void* observer) override;

    const std::shared_ptr<PhoneBusConnection>& connection() const { return m_connection; }

private:
    void send(const std::string& name);
    bool subscribe(const std::string& name);
    void unsubscribeUnobserved();
    void dispatch(sd_bus_message*);
    static int onSignal(sd_bus_message*, void* userdata, sd_bus_error*);

    std::shared_ptr<PhoneBusConnection> m_connection;
    DarwinObservers m_observers;
    // One match (and so one delivery) per observed name, however many observers it has.
    std::map<std::string, sd_bus_slot*> m_matches;
    // The signal last handed to the observers (sender and serial), so that a match installed
    // while the bus is dispatching that same signal does not deliver it a second time.
    std::string m_lastSender;
    uint64_t m_lastCookie { 0 };
};
