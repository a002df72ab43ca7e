#pragma once

#include <string>

// The service manager's notification socket (NOTIFY_SOCKET), as systemd's Type=notify uses it.
// It is taken out of the environment when the notifier is made, with the other variables that
// speak to this one process (the watchdog's, socket activation's): the processes of the phone,
// started afterwards, never inherit them, so that only this process tells the service manager
// its state — a dbus-daemon or a host saying READY=1 would be taken for the service's word.
class ServiceNotifier {
public:
    ServiceNotifier();
    ServiceNotifier(const ServiceNotifier&) = delete;
    ServiceNotifier& operator=(const ServiceNotifier&) = delete;

    // Sends the state ("READY=1\nSTATUS=..."); nothing without a service manager. False when the
    // socket would not take it.
    bool notify(const std::string& state) const;

private:
    std::string m_socket;
};
