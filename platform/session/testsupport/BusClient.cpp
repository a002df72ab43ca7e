#include "platform/session/testsupport/BusClient.h"

#include "platform/machinery/SdBusHandles.h"

#include <cerrno>
#include <cstring>
#include <poll.h>
#include <stdexcept>

namespace TestSession {

namespace {

constexpr uint64_t kCallTimeoutUsec = 15'000'000;
constexpr const char* kBusName = "org.freedesktop.DBus";
constexpr const char* kBusPath = "/org/freedesktop/DBus";

std::string errorText(const sd_bus_error& error, int r)
{
    if (error.name)
        return std::string(error.name) + (error.message ? std::string(": ") + error.message : "");
    return strerror(-r);
}

void check(int r, const std::string& what)
{
    if (r < 0)
        throw std::runtime_error("private session: " + what + ": " + strerror(-r));
}

struct SlotHolder {
    sd_bus_slot* slot { nullptr };
    ~SlotHolder() { sd_bus_slot_unref(slot); }
};

}

BusClient::BusClient(const std::string& address)
{
    int r = sdBusOpenClient(address.c_str(), &m_bus);
    if (r < 0)
        throw std::runtime_error("private session: cannot connect to " + address + ": " + strerror(-r));
}

BusClient::~BusClient()
{
    sd_bus_flush_close_unref(m_bus);
}

void BusClient::call(const char* destination, const char* path, const char* interface, const char* member, const Build& build,
    const Read& read, const std::string& what)
{
    SdBusMessage call;
    SdBusMessage reply;
    SdBusError error;
    check(sd_bus_message_new_method_call(m_bus, &call.message, destination, path, interface, member), what);
    if (build)
        check(build(call.message), what);
    int r = sd_bus_call(m_bus, call.message, kCallTimeoutUsec, &error.error, &reply.message);
    if (r < 0)
        throw std::runtime_error("private session: " + what + ": " + errorText(error.error, r));
    if (read)
        check(read(reply.message), what + " reply");
}

std::optional<bool> BusClient::nameHasOwner(const char* name)
{
    SdBusError error;
    SdBusMessage reply;
    int has = 0;
    if (sd_bus_call_method(m_bus, kBusName, kBusPath, kBusName, "NameHasOwner", &error.error, &reply.message, "s", name) < 0
        || sd_bus_message_read(reply.message, "b", &has) < 0)
        return std::nullopt;
    return has != 0;
}

void BusClient::runUntil(const bool& done, const Deadline& deadline, int abortFd)
{
    for (;;) {
        // A synchronous call may have left messages queued in memory: they are dispatched first.
        int r = 0;
        while (!done && (r = sd_bus_process(m_bus, nullptr)) > 0) { }
        if (done || r < 0)
            return;
        int events = sd_bus_get_events(m_bus);
        pollfd fds[2] = { { sd_bus_get_fd(m_bus), static_cast<short>(events > 0 ? events : POLLIN), 0 }, { abortFd, POLLIN, 0 } };
        int n = poll(fds, abortFd >= 0 ? 2 : 1, deadline.remainingMs());
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return;
        if (abortFd >= 0 && (fds[1].revents & POLLIN)) {
            // What the bus said before the end still counts.
            while (!done && sd_bus_process(m_bus, nullptr) > 0) { }
            return;
        }
    }
}

bool BusClient::waitForName(const char* name, bool present, const Deadline& deadline, int abortFd)
{
    struct State {
        bool present;
        bool reached { false };
    } state { present };
    std::string rule = std::string("type='signal',sender='org.freedesktop.DBus',interface='org.freedesktop.DBus',"
                                   "member='NameOwnerChanged',arg0='")
        + name + "'";
    SlotHolder match;
    check(sd_bus_add_match(
              m_bus, &match.slot, rule.c_str(),
              [](sd_bus_message* message, void* userdata, sd_bus_error*) {
                  auto* state = static_cast<State*>(userdata);
                  const char *which = nullptr, *from = nullptr, *to = nullptr;
                  if (sd_bus_message_read(message, "sss", &which, &from, &to) >= 0 && to)
                      state->reached = (*to != 0) == state->present;
                  return 0;
              },
              &state),
        "add a match");
    // Asked after the match is in place, so that a change in between is not missed.
    if (nameHasOwner(name) == present)
        return true;
    runUntil(state.reached, deadline, abortFd);
    return state.reached;
}

std::optional<pid_t> BusClient::processOwning(const char* name)
{
    SdBusError error;
    SdBusMessage reply;
    uint32_t pid = 0;
    int r = sd_bus_call_method(m_bus, kBusName, kBusPath, kBusName, "GetConnectionUnixProcessID", &error.error, &reply.message, "s", name);
    if (r < 0 || sd_bus_message_read(reply.message, "u", &pid) < 0 || pid == 0)
        return std::nullopt;
    return static_cast<pid_t>(pid);
}

void BusClient::updateActivationEnvironment(const std::map<std::string, std::string>& variables)
{
    call(
        kBusName, kBusPath, kBusName, "UpdateActivationEnvironment",
        [&](sd_bus_message* m) {
            int r = sd_bus_message_open_container(m, 'a', "{ss}");
            for (const auto& [name, value] : variables)
                if (r >= 0)
                    r = sd_bus_message_append(m, "{ss}", name.c_str(), value.c_str());
            return r >= 0 ? sd_bus_message_close_container(m) : r;
        },
        {}, "UpdateActivationEnvironment");
}

}
