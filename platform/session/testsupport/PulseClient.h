#pragma once

#include "platform/session/testsupport/Deadline.h"

#include <functional>
#include <string>

struct pa_context;
struct pa_mainloop;
struct pa_operation;

// The private session's own client of the sound server (libpulse on a loop of its own), for
// setting the server up: every question is a round trip, and a wait for a state of the server
// asks again at each of its change events (sinks, the server), never on a timer. Every wait gives
// up at the deadline with std::runtime_error.
namespace TestSession {

class PulseClient {
public:
    // Connects to the server ("unix:<path>", a PULSE_SERVER value).
    PulseClient(const std::string& server, const Deadline&);
    ~PulseClient();
    PulseClient(const PulseClient&) = delete;
    PulseClient& operator=(const PulseClient&) = delete;

    void loadModule(const char* name, const std::string& arguments);
    // Whether the server took the sink as its default.
    bool setDefaultSink(const std::string& sink);
    std::string defaultSink();
    // Waits until `holds` (which may ask the server) is true.
    void waitUntil(const std::function<bool()>& holds, const std::string& what);

private:
    // Runs the loop until `done`; throws when the connection fails or the deadline passes.
    void run(const std::function<bool()>& done, const std::string& what);
    // Runs the loop until the operation has finished.
    void await(pa_operation*, const std::string& what);

    Deadline m_deadline;
    pa_mainloop* m_loop { nullptr };
    pa_context* m_context { nullptr };
    bool m_changed { false };
};

}
