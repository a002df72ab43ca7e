#pragma once

#include "platform/foundation/NSRunLoop.h"
#include "platform/foundation/RunLoopSource.h"
#include "platform/foundation/RunLoopTimer.h"

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

struct sd_bus;
struct sd_bus_message;
class NSObject;

// One process's connection to the phone's bus (sd-bus), served by the main run loop: the
// connection's socket is a source of the loop, watched for what sd-bus waits for (reading,
// writing), and sd-bus's own deadlines (a pending reply's time-out, messages already read and
// queued) arm a run-loop timer on the monotonic clock. Nothing polls: the loop sleeps until
// the socket or the deadline needs it. Handlers of incoming messages therefore run on the
// thread that runs the main run loop, one at a time. When the bus goes away, every pending call
// gets its failure and the matches get the local Disconnected signal
// (org.freedesktop.DBus.Local) before the connection closes.
//
// sd-bus is not thread-safe: the connection belongs to the thread that opened it (the main
// thread). Work from another thread goes through perform(), which hands it to the main run loop.
class PhoneBusConnection : public std::enable_shared_from_this<PhoneBusConnection> {
public:
    // Connects to the bus at the D-Bus address and waits until the bus has accepted the
    // connection. Throws std::runtime_error when it cannot connect.
    static std::shared_ptr<PhoneBusConnection> open(const std::string& address);

    // The process's connection to the bus of its device root (DeviceRoot::path()), opened on
    // first use from the root's address file and opened again when the root has changed or the
    // connection was lost. Empty when the phone's bus is not running.
    static std::shared_ptr<PhoneBusConnection> process();
    // Closes the process's connection (the next process() opens a new one).
    static void closeProcessConnection();

    ~PhoneBusConnection();
    PhoneBusConnection(const PhoneBusConnection&) = delete;
    PhoneBusConnection& operator=(const PhoneBusConnection&) = delete;

    sd_bus* bus() const { return m_bus; }
    bool isOpen() const { return m_bus != nullptr; }
    // The bus's name for this connection (":1.4").
    std::string uniqueName() const;

    // Sends a message (taking a reference of its own); false, with a log line, when sd-bus
    // refuses it or the connection is closed.
    bool send(sd_bus_message*);
    // Blocks until everything queued for sending has been written (a short-lived process calls
    // it before it exits).
    void flush();
    // Runs the work now when called on the connection's thread, otherwise on the main run loop.
    void perform(std::function<void()>);
    // Re-arms the run loop's watch after the connection was used directly through bus(): a
    // synchronous call may have read messages that now wait to be dispatched.
    void updateWatch();

    // Keeps an object alive while the connection is open (a running message server keeps
    // itself, as on the phone); release() lets it go.
    void hold(std::shared_ptr<NSObject>);
    void release(const NSObject*);

    // Stops serving, drops what it holds, flushes and closes the connection.
    void close();

private:
    PhoneBusConnection() = default;
    void attach();
    void serve();
    void finishClosing();
    void armDeadline();

    sd_bus* m_bus { nullptr };
    std::thread::id m_thread;
    RunLoopSource m_socketSource;
    std::unique_ptr<RunLoopTimer> m_deadline;
    uint32_t m_watchedEvents { 0 };
    std::vector<std::shared_ptr<NSObject>> m_held;
    std::filesystem::path m_root;
};
