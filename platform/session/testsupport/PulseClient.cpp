#include "platform/session/testsupport/PulseClient.h"

#include <pulse/context.h>
#include <pulse/error.h>
#include <pulse/introspect.h>
#include <pulse/mainloop.h>
#include <pulse/subscribe.h>
#include <stdexcept>

namespace TestSession {

namespace {

bool isReady(pa_context* context)
{
    return pa_context_get_state(context) == PA_CONTEXT_READY;
}

}

PulseClient::PulseClient(const std::string& server, const Deadline& deadline)
    : m_deadline(deadline)
    , m_loop(pa_mainloop_new())
    , m_context(pa_context_new(pa_mainloop_get_api(m_loop), "private-session"))
{
    if (pa_context_connect(m_context, server.c_str(), PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0) {
        std::string why = pa_strerror(pa_context_errno(m_context));
        pa_context_unref(m_context);
        pa_mainloop_free(m_loop);
        throw std::runtime_error("private session: cannot connect to the sound server at " + server + ": " + why);
    }
    try {
        run([this] { return isReady(m_context); }, "connecting to the sound server");
        pa_context_set_subscribe_callback(
            m_context, [](pa_context*, pa_subscription_event_type_t, uint32_t, void* self) { static_cast<PulseClient*>(self)->m_changed = true; },
            this);
        await(pa_context_subscribe(m_context, static_cast<pa_subscription_mask_t>(PA_SUBSCRIPTION_MASK_SINK | PA_SUBSCRIPTION_MASK_SERVER),
                  nullptr, nullptr),
            "subscribing to the sound server's changes");
    } catch (...) {
        pa_context_disconnect(m_context);
        pa_context_unref(m_context);
        pa_mainloop_free(m_loop);
        throw;
    }
}

PulseClient::~PulseClient()
{
    pa_context_disconnect(m_context);
    pa_context_unref(m_context);
    pa_mainloop_free(m_loop);
}

void PulseClient::run(const std::function<bool()>& done, const std::string& what)
{
    while (!done()) {
        if (!PA_CONTEXT_IS_GOOD(pa_context_get_state(m_context)))
            throw std::runtime_error("private session: " + what + ": " + pa_strerror(pa_context_errno(m_context)));
        if (m_deadline.hasPassed())
            throw std::runtime_error("private session: " + what + ": the sound server did not answer in time");
        pa_mainloop_prepare(m_loop, m_deadline.remainingMs() * 1000);
        pa_mainloop_poll(m_loop);
        pa_mainloop_dispatch(m_loop);
    }
}

void PulseClient::await(pa_operation* operation, const std::string& what)
{
    if (!operation)
        throw std::runtime_error("private session: " + what + ": " + pa_strerror(pa_context_errno(m_context)));
    try {
        run([operation] { return pa_operation_get_state(operation) != PA_OPERATION_RUNNING; }, what);
    } catch (...) {
        pa_operation_cancel(operation);
        pa_operation_unref(operation);
        throw;
    }
    pa_operation_unref(operation);
}

void PulseClient::loadModule(const char* name, const std::string& arguments)
{
    struct Loaded {
        bool ok { false };
    } loaded;
    await(pa_context_load_module(
              m_context, name, arguments.c_str(),
              [](pa_context*, uint32_t index, void* result) { static_cast<Loaded*>(result)->ok = index != PA_INVALID_INDEX; }, &loaded),
        std::string("loading ") + name);
    if (!loaded.ok)
        throw std::runtime_error(std::string("private session: the sound server did not load ") + name + " " + arguments);
}

bool PulseClient::setDefaultSink(const std::string& sink)
{
    bool done = false;
    await(pa_context_set_default_sink(
              m_context, sink.c_str(), [](pa_context*, int success, void* result) { *static_cast<bool*>(result) = success; }, &done),
        "setting the default sink");
    return done;
}

std::string PulseClient::defaultSink()
{
    std::string name;
    await(pa_context_get_server_info(
              m_context,
              [](pa_context*, const pa_server_info* info, void* result) {
                  if (info && info->default_sink_name)
                      *static_cast<std::string*>(result) = info->default_sink_name;
              },
              &name),
        "reading the server");
    return name;
}

void PulseClient::waitUntil(const std::function<bool()>& holds, const std::string& what)
{
    for (;;) {
        // A change while `holds` asks is kept, so that it is not missed.
        m_changed = false;
        if (holds())
            return;
        run([this] { return m_changed; }, what);
    }
}

}
