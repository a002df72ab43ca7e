#include "platform/session/SoundServer.h"

#include "platform/session/RouteSettingsWatch.h"
#include "platform/session/SameVolume.h"

#include "platform/foundation/FileWatch.h"
#include "platform/foundation/NSLog.h"
#include "platform/foundation/NSRunLoop.h"

#include <algorithm>
#include <cstdlib>
#include <pulse/context.h>
#include <pulse/ext-stream-restore.h>
#include <pulse/introspect.h>
#include <pulse/subscribe.h>
#include <pulse/error.h>
#include <pulse/volume.h>

// One request to the server: what to do with its answer. Freed once the answer has come; a
// request whose context went away is never answered (libpulse cancels it) and freed with it.
struct SoundServer::Request {
    // Alive while libpulse may still answer: the server drops its context (which then answers
    // nothing more) before it goes.
    SoundServer* server { nullptr };
    std::function<void(SoundServer&, bool ok)> finished;
    // A read of the event-role entry: what it found.
    std::optional<uint32_t> eventRole;
    bool muted { false };

    static void succeeded(pa_context*, int success, void* userdata)
    {
        auto* raw = static_cast<Request*>(userdata);
        SoundServer* server = raw->server;
        auto request = server->take(raw);
        if (request && request->finished)
            request->finished(*server, success != 0);
    }
};

namespace {

// How often a write's entry is read again at once before the reads are spread out in time.
constexpr int kReadBackAttempts = 10;

// When, after a confirmed write or a report of the entry's change, the entry is read again for a
// server that has not yet taken the change into its own copy (seconds after the write or report).
const std::vector<double> kEventRoleCatchUp { 0.01, 0.03, 0.1, 0.3, 1.0, 2.0 };

std::vector<uint32_t> channelsOf(const pa_cvolume& volume)
{
    return std::vector<uint32_t>(volume.values, volume.values + volume.channels);
}

uint32_t loudest(const std::vector<uint32_t>& channels)
{
    return channels.empty() ? 0 : *std::max_element(channels.begin(), channels.end());
}

// The server's socket, whose appearance means the server is back.
std::optional<std::filesystem::path> serverSocket()
{
    const char* server = std::getenv("PULSE_SERVER");
    if (server && std::string(server).rfind("unix:", 0) == 0)
        return std::filesystem::path(server + 5);
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (!server && runtime && *runtime)
        return std::filesystem::path(runtime) / "pulse" / "native";
    return std::nullopt;
}

}

SoundServer::Request* SoundServer::newRequest(std::function<void(SoundServer&, bool)> finished)
{
    m_requests.push_back(std::make_unique<Request>());
    m_requests.back()->server = this;
    m_requests.back()->finished = std::move(finished);
    return m_requests.back().get();
}

SoundServer::Request* SoundServer::newRead(std::function<void()> after)
{
    return newRequest([after = std::move(after)](SoundServer&, bool) {
        if (after)
            after();
    });
}

void SoundServer::readStarted(pa_operation* operation, Request* request)
{
    if (operation)
        pa_operation_unref(operation);
    else
        take(request);
}

std::unique_ptr<SoundServer::Request> SoundServer::take(Request* request)
{
    auto it = std::find_if(m_requests.begin(), m_requests.end(), [request](const auto& held) { return held.get() == request; });
    if (it == m_requests.end())
        return nullptr;
    std::unique_ptr<Request> taken = std::move(*it);
    m_requests.erase(it);
    return taken;
}

SoundServer::SoundServer()
    : m_eventRole(sameVolume)
    , m_media(sameVolume)
    , m_eventRoleCatchUp(
          kEventRoleCatchUp, [this](CatchUpReads::Answered answered) { readEventRole(std::move(answered)); },
          [this] { endReadBacks(); })
{
}

std::shared_ptr<SoundServer> SoundServer::connect(Handlers handlers)
{
    std::shared_ptr<SoundServer> server(new SoundServer());
    server->m_handlers = std::move(handlers);
    server->start();
    return server;
}

SoundServer::~SoundServer()
{
    if (m_context) {
        pa_context_set_state_callback(m_context, nullptr, nullptr);
        pa_context_set_subscribe_callback(m_context, nullptr, nullptr);
        pa_ext_stream_restore_set_subscribe_cb(m_context, nullptr, nullptr);
        pa_context_disconnect(m_context);
        pa_context_unref(m_context);
    }
    m_requests.clear();
}

void SoundServer::start()
{
    m_context = pa_context_new(m_loop.api(), "Hushline");
    pa_context_set_state_callback(
        m_context, [](pa_context*, void* self) { static_cast<SoundServer*>(self)->stateChanged(); }, this);
    if (pa_context_connect(m_context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0)
        disconnected();
}

void SoundServer::stateChanged()
{
    switch (pa_context_get_state(m_context)) {
    case PA_CONTEXT_READY:
        connected();
        break;
    case PA_CONTEXT_FAILED:
    case PA_CONTEXT_TERMINATED:
        disconnected();
        break;
    default:
        break;
    }
}

void SoundServer::connected()
{
    setConnected(true);
    m_socketWatch.reset();
    if (m_absenceLogged)
        NSLog("Session: the sound server is back");
    m_absenceLogged = false;
    pa_context_set_subscribe_callback(
        m_context,
        [](pa_context*, pa_subscription_event_type_t, uint32_t, void* self) {
            // Events carry no detail: the default sink and its volume are read again.
            static_cast<SoundServer*>(self)->m_lastReport = std::chrono::steady_clock::now();
            static_cast<SoundServer*>(self)->readServer();
        },
        this);
    pa_operation_unref(pa_context_subscribe(m_context, static_cast<pa_subscription_mask_t>(PA_SUBSCRIPTION_MASK_SINK | PA_SUBSCRIPTION_MASK_SERVER),
        nullptr, nullptr));
    pa_ext_stream_restore_set_subscribe_cb(
        m_context,
        [](pa_context*, void* self) {
            static_cast<SoundServer*>(self)->m_lastReport = std::chrono::steady_clock::now();
            static_cast<SoundServer*>(self)->readEventRole();
        },
        this);
    pa_operation_unref(pa_ext_stream_restore_subscribe(m_context, 1, nullptr, nullptr));
    readEventRole();
    readServer();
}

void SoundServer::disconnected()
{
    m_routeWatch.reset();
    m_eventRoleCatchUp.stop();
    m_awaitingEcho.clear();
    bool wasConnected = m_connected;
    m_announced = false;
    // The values of a server that comes back are its own again, not changes of the owner.
    m_eventRole.read(std::nullopt);
    m_media.read(std::nullopt);
    setConnected(false);
    if (!m_absenceLogged) {
        NSLog("Session: no sound server (%s); the volumes stay the phone's own until it is there",
            pa_strerror(pa_context_errno(m_context)));
        m_absenceLogged = true;
    }
    if (wasConnected && m_handlers.connectionChanged)
        m_handlers.connectionChanged(false);
    watchForServer();
}

// Both values can be written while connected; the writes on their way when the server goes are
// told they did not land.
void SoundServer::setConnected(bool connected)
{
    m_connected = connected;
    m_eventRole.setPresent(connected);
    m_media.setPresent(connected);
}

void SoundServer::watchForServer()
{
    auto socket = serverSocket();
    if (!socket)
        return;
    std::weak_ptr<SoundServer> weak = weak_from_this();
    m_socketWatch = std::make_unique<FileWatch>(*socket, [weak, socket] {
        std::error_code error;
        if (auto server = weak.lock(); server && std::filesystem::exists(*socket, error))
            server->reconnectSoon();
    });
    // It may have come back between the failure and the watch.
    std::error_code error;
    if (std::filesystem::exists(*socket, error) && weak_from_this().lock())
        reconnectSoon();
}

// A context cannot be freed from its own callback; the new one is made on the next turn.
void SoundServer::reconnectSoon()
{
    std::weak_ptr<SoundServer> weak = weak_from_this();
    NSRunLoop::main().performBlock([weak] {
        auto server = weak.lock();
        if (!server || server->m_connected)
            return;
        pa_context_state_t state = pa_context_get_state(server->m_context);
        if (state != PA_CONTEXT_FAILED && state != PA_CONTEXT_TERMINATED && state != PA_CONTEXT_UNCONNECTED)
            return;
        pa_context_set_state_callback(server->m_context, nullptr, nullptr);
        pa_context_unref(server->m_context);
        // The old context answers nothing more.
        server->m_requests.clear();
        server->start();
    });
}

void SoundServer::readEventRole(std::function<void()> after)
{
    if (!m_connected)
        return;
    auto* request = newRead(std::move(after));
    auto* operation = pa_ext_stream_restore_read(
        m_context,
        [](pa_context*, const pa_ext_stream_restore_info* info, int eol, void* userdata) {
            auto* request = static_cast<Request*>(userdata);
            if (!eol && info && info->name && std::string(info->name) == kEventRoleEntry) {
                // No volume (channels 0) is how a fresh server keeps it before anyone set it.
                if (info->volume.channels > 0)
                    request->eventRole = pa_cvolume_max(&info->volume);
                request->muted = info->mute != 0;
                return;
            }
            if (!eol)
                return;
            SoundServer* server = request->server;
            auto done = server->take(request);
            if (!done)
                return;
            server->m_eventRoleMuted = done->muted;
            if (eol > 0)
                server->eventRoleArrived(done->eventRole.value_or(PA_VOLUME_NORM));
            if (done->finished)
                done->finished(*server, eol > 0);
        },
        request);
    readStarted(operation, request);
}

void SoundServer::readBackEventRole(Volume::Write write, int attemptsLeft)
{
    readEventRole([this, write, attemptsLeft] {
        // PipeWire's pulse server may answer with the entry as it was before the write it has just
        // confirmed: the entry is read again a few times at once, then over the catch-up's
        // schedule, while the write is not seen.
        if (!m_eventRole.isPending(write))
            return;
        if (attemptsLeft > 0) {
            readBackEventRole(write, attemptsLeft - 1);
            return;
        }
        m_awaitingEcho.push_back(write);
        m_eventRoleCatchUp.start();
    });
}

// A write still not seen when the catch-up's reads are done, overtaken by the owner's before it
// came back or kept by the server in a form we do not read back, is done all the same.
void SoundServer::endReadBacks()
{
    auto writes = std::move(m_awaitingEcho);
    m_awaitingEcho.clear();
    for (auto write : writes)
        m_eventRole.finish(write, true);
}

void SoundServer::refreshEventRole(std::function<void()> done)
{
    readEventRole(std::move(done));
}

void SoundServer::readServer(std::function<void()> after)
{
    if (!m_connected)
        return;
    auto* request = newRead(std::move(after));
    auto* operation = pa_context_get_server_info(
        m_context,
        [](pa_context*, const pa_server_info* info, void* userdata) {
            auto* raw = static_cast<Request*>(userdata);
            SoundServer* server = raw->server;
            auto request = server->take(raw);
            if (info && info->server_name)
                server->serverNamed(info->server_name);
            if (info && info->default_sink_name)
                server->readSink(info->default_sink_name, request ? std::move(request->finished) : nullptr);
        },
        request);
    readStarted(operation, request);
}

// PipeWire before 1.1.81 does not tell of the event-role entry's changes: its metadata does.
void SoundServer::serverNamed(const std::string& name)
{
    if (m_routeWatch || !RouteSettingsWatch::isNeededFor(name))
        return;
    m_routeWatch = RouteSettingsWatch::start([this] {
        readEventRole();
        m_eventRoleCatchUp.start();
    });
    if (!m_routeWatch && !m_routeWatchMissingLogged)
        NSLog("Session: %s does not tell of the ringer's changes and pw-metadata is not installed: the owner's ringer is read only at "
              "the phone's own changes",
            name.c_str());
    m_routeWatchMissingLogged = true;
}

void SoundServer::readSink(const std::string& name, std::function<void(SoundServer&, bool)> after)
{
    auto* request = newRequest(std::move(after));
    auto* operation = pa_context_get_sink_info_by_name(
        m_context, name.c_str(),
        [](pa_context*, const pa_sink_info* info, int eol, void* userdata) {
            auto* request = static_cast<Request*>(userdata);
            SoundServer* server = request->server;
            if (eol) {
                auto done = server->take(request);
                if (done && done->finished)
                    done->finished(*server, eol > 0);
                return;
            }
            if (!info)
                return;
            std::vector<uint32_t> channels = channelsOf(info->volume);
            server->m_channels = channels;
            if (loudest(channels) > 0)
                server->m_balance[info->name] = channels;
            server->mediaArrived(loudest(channels), info->name, info->active_port && info->active_port->name ? info->active_port->name : "");
        },
        request);
    readStarted(operation, request);
}

void SoundServer::announceWhenRead()
{
    if (m_announced || !m_eventRole.value() || !m_media.value())
        return;
    m_announced = true;
    if (m_handlers.connectionChanged)
        m_handlers.connectionChanged(true);
}

// The first value read from a server is what it holds, no change of the owner's.
void SoundServer::eventRoleArrived(uint32_t volume)
{
    bool first = !m_eventRole.value();
    bool owners = m_eventRole.arrived(volume) && !first;
    announceWhenRead();
    if (owners && m_handlers.ownerChangedRinger)
        m_handlers.ownerChangedRinger(volume);
}

void SoundServer::mediaArrived(uint32_t volume, const std::string& sink, const std::string& port)
{
    bool first = !m_media.value();
    bool otherSink = !first && (m_sink != sink || port != m_port);
    m_sink = sink;
    m_port = port;
    if (otherSink) {
        // Another sink or route: its volume is what the media volume is now, nobody changed it.
        // The writes to the one before are done with.
        m_media.read(volume);
        m_media.endWrites(true);
        if (m_handlers.defaultSinkChanged)
            m_handlers.defaultSinkChanged(sink);
        return;
    }
    bool owners = m_media.arrived(volume) && !first;
    announceWhenRead();
    if (owners && m_handlers.ownerChangedMedia)
        m_handlers.ownerChangedMedia(volume);
}

void SoundServer::setEventRoleVolume(uint32_t volume, std::function<void(bool)> done)
{
    auto write = m_eventRole.beginWrite(volume, std::move(done));
    if (!write)
        return;
    pa_ext_stream_restore_info info {};
    info.name = kEventRoleEntry;
    pa_channel_map_init_mono(&info.channel_map);
    pa_cvolume_set(&info.volume, 1, volume);
    info.device = nullptr;
    info.mute = m_eventRoleMuted;
    auto* request = newRequest([write](SoundServer& server, bool ok) {
        if (!ok) {
            server.m_eventRole.refused(write);
            return;
        }
        // Read back, as a server may tell of no change of this entry (PipeWire before 1.1.81).
        server.readBackEventRole(write, kReadBackAttempts);
    });
    auto* operation = pa_ext_stream_restore_write(m_context, PA_UPDATE_REPLACE, &info, 1, 1, &Request::succeeded, request);
    if (operation)
        pa_operation_unref(operation);
    else
        Request::succeeded(m_context, 0, request);
}

std::vector<uint32_t> SoundServer::mediaChannels() const
{
    return m_channels;
}

void SoundServer::setMediaVolume(uint32_t volume, std::function<void(bool)> done)
{
    if (!m_sink) {
        if (done)
            done(false);
        return;
    }
    auto write = m_media.beginWrite(volume, std::move(done));
    if (!write)
        return;
    auto balance = m_balance.find(*m_sink);
    writeSink(*m_sink, balance != m_balance.end() ? balance->second : m_channels, volume, write);
}

void SoundServer::setSinkChannels(const std::string& sink, const std::vector<uint32_t>& channels, std::function<void(bool)> done)
{
    if (!m_connected || channels.empty() || channels.size() > PA_CHANNELS_MAX) {
        if (done)
            done(false);
        return;
    }
    uint32_t volume = loudest(channels);
    // Another sink than the media volume's: nothing of it is followed.
    if (sink != m_sink) {
        sendSinkVolume(sink, channels, volume, [done = std::move(done)](SoundServer&, bool ok) {
            if (done)
                done(ok);
        });
        return;
    }
    // The channels may differ where the loudest does not: written even at the same volume.
    writeSink(sink, channels, volume, m_media.beginWriteAnyway(volume, std::move(done)));
}

// A write of the media volume, done once a read of the sink gave it back.
void SoundServer::writeSink(const std::string& sink, std::vector<uint32_t> channels, uint32_t volume, Volume::Write write)
{
    sendSinkVolume(sink, std::move(channels), volume, [write](SoundServer& server, bool ok) {
        if (!ok) {
            server.m_media.refused(write);
            return;
        }
        server.readServer([&server, write] { server.m_media.finish(write, true); });
    });
}

void SoundServer::sendSinkVolume(const std::string& sink, std::vector<uint32_t> channels, uint32_t volume, std::function<void(SoundServer&, bool)> finished)
{
    if (channels.empty())
        channels = { volume, volume };
    pa_cvolume levels {};
    levels.channels = static_cast<uint8_t>(std::min<size_t>(channels.size(), PA_CHANNELS_MAX));
    std::copy_n(channels.begin(), levels.channels, levels.values);
    // Every channel scaled alike: the loudest becomes the volume, the balance stays.
    pa_cvolume_scale(&levels, volume);
    auto* request = newRequest(std::move(finished));
    auto* operation = pa_context_set_sink_volume_by_name(m_context, sink.c_str(), &levels, &Request::succeeded, request);
    if (operation)
        pa_operation_unref(operation);
    else
        Request::succeeded(m_context, 0, request);
}
