#pragma once

#include "platform/session/testsupport/Deadline.h"

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <systemd/sd-bus.h>

// The private session's own connection to one of its buses, for its control calls: synchronous
// calls, and waits for a name's owner that the bus itself answers (NameOwnerChanged).
namespace TestSession {

class BusClient {
public:
    // Throws std::runtime_error when the bus cannot be reached.
    explicit BusClient(const std::string& address);
    ~BusClient();
    BusClient(const BusClient&) = delete;
    BusClient& operator=(const BusClient&) = delete;

    using Build = std::function<int(sd_bus_message*)>;
    using Read = std::function<int(sd_bus_message*)>;
    // A method call and its reply; `what` names it in the std::runtime_error of a failure.
    void call(const char* destination, const char* path, const char* interface, const char* member, const Build& build,
        const Read& read, const std::string& what);

    // Waits until the name has an owner (present) or none. A readable `abortFd` (a process's end,
    // see OwnedProcess::endFd) ends the wait early: the answer is then false.
    bool waitForName(const char* name, bool present, const Deadline&, int abortFd = -1);
    // The process that owns the name, none when it has no owner.
    std::optional<pid_t> processOwning(const char* name);
    // Gives the bus's activated services these variables.
    void updateActivationEnvironment(const std::map<std::string, std::string>&);

private:
    // None when the bus did not answer.
    std::optional<bool> nameHasOwner(const char* name);
    // Dispatches the connection's messages until `done` is set, the deadline passes, abortFd
    // becomes readable or the connection is lost.
    void runUntil(const bool& done, const Deadline&, int abortFd);

    sd_bus* m_bus { nullptr };
};

}
