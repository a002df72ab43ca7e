#pragma once

#include "platform/foundation/NSObject.h"
#include "platform/foundation/PlistValue.h"

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <systemd/sd-bus.h>

class PhoneBusConnection;

// A named message server and its clients, on the phone's bus (the D-Bus API is documented in
// dbus/com.velloq.hushline.MessagingCenter.xml, which the server also answers
// Introspect with). A message is a name and a user-info dictionary of property-list values;
// messages are one-way.
//
// Server: runServerOnCurrentThread() puts the centre's object on the process's connection to
// the phone's bus; messages are handled on the main run loop, one at a time, each by the
// handler registered for its name (a name with none is ignored). Other processes reach the
// server by the centre's name, which the server claims on the bus only once
// rocketbootstrap_distributedmessagingcenter_apply has opened it to them, as on the phone,
// where no other process can look the server up without the messaging bootstrap library. A
// running server keeps itself alive until stopServer().
//
// Client: sendMessageName() sends one message to the server of that name in whichever process.
class CPDistributedMessagingCenter : public NSObject {
public:
    using Handler = std::function<void(const std::string& name, const PlistDictionary& userInfo)>;

    static constexpr const char* kInterface = "com.velloq.hushline.MessagingCenter";
    static constexpr const char* kMethod = "SendMessage";

    // [CPDistributedMessagingCenter centerNamed:name]
    static std::shared_ptr<CPDistributedMessagingCenter> centerNamed(const std::string& name);
    // The object path of a centre's server: the name with "." replaced by "/".
    static std::string objectPath(const std::string& centerName);

    explicit CPDistributedMessagingCenter(std::string name);
    ~CPDistributedMessagingCenter() override;

    const std::string& name() const { return m_name; }

    // Server.
    void runServerOnCurrentThread();
    void stopServer();
    bool isServerRunning() const { return m_object != nullptr; }
    // [center registerForMessageName:name target:target selector:selector]: the handler runs
    // for every message of that name; a later registration of the name replaces it. The centre
    // keeps the target as long as the registration.
    void registerForMessageName(const std::string& messageName, std::shared_ptr<NSObject> target, Handler);
    template<class T>
        requires std::is_base_of_v<NSObject, T>
    void registerForMessageName(const std::string& messageName, const std::shared_ptr<T>& target,
        void (T::*selector)(const std::string&, const PlistDictionary&))
    {
        T* object = target.get();
        registerForMessageName(messageName, target, [object, selector](const std::string& name, const PlistDictionary& userInfo) {
            (object->*selector)(name, userInfo);
        });
    }

    // Client: [center sendMessageName:name userInfo:userInfo]. True once the message was handed
    // to the bus for the running server of this centre's name; false, with a log line, when the
    // phone's bus is not running, no server holds the name, or the user info holds something a
    // property list cannot carry.
    bool sendMessageName(const std::string& messageName, const PlistDictionary& userInfo);

    // The messaging bootstrap library's step (rocketbootstrap.h): lets other processes reach
    // the server by name.
    void openToOtherProcesses();
    bool isOpenToOtherProcesses() const { return m_open; }

private:
    struct Registration {
        std::shared_ptr<NSObject> target;
        Handler handler;
    };

    void claimName();
    static int onMessage(sd_bus_message*, void* userdata, sd_bus_error*);
    int handleCall(sd_bus_message*);
    int handleSendMessage(sd_bus_message*);

    std::string m_name;
    bool m_open { false };
    bool m_nameClaimed { false };
    std::shared_ptr<PhoneBusConnection> m_connection;
    sd_bus_slot* m_object { nullptr };
    std::map<std::string, Registration> m_registrations;
};
