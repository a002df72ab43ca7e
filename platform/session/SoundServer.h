#pragma once

#include "platform/session/CatchUpReads.h"
#include "platform/session/PulseLoop.h"
#include "platform/session/RemoteValue.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <map>
#include <string>
#include <vector>

struct pa_context;
struct pa_operation;
class FileWatch;
class RouteSettingsWatch;

// The session's sound server (PulseAudio, or PipeWire's pulse server) as the phone's two
// volumes, through libpulse on the main run loop:
//   - the ringer: the event-role volume, the stream-restore entry
//     "sink-input-by-media-role:event" (what calls and messages ring at). A missing entry, or one
//     without a volume (a fresh server's first event sound leaves one), reads as 100 % and is
//     never written back as it is;
//   - the media volume: the default sink's volume, its loudest channel. A write scales every
//     channel alike, so that the balance stays and a later restore is exact, and goes to the sink
//     the value was read from, never to another that has become the default meanwhile.
// Volumes are in the server's own units (PA_VOLUME_NORM = 100 %) and compared in them, so that a
// value read back is never taken for a change; a read-back a few units off a write (PipeWire keeps
// floats) is that write.
//
// A value that comes back equal to one of our pending writes is ours; any other new value is the
// owner's, even one that arrives while our write is on its way. A write of what the server will
// hold anyway is done at once; the writes on their way when the server goes are told they did not
// land. A new default sink (a headset,
// Bluetooth, a call's route) or a new active port is no change of the owner's: the media volume is
// then that sink's, reported through defaultSinkChanged.
//
// When the server goes away, the server's socket is watched (inotify) and the connection made
// again when it is back; nothing polls. Both values are then read again.
class SoundServer : public std::enable_shared_from_this<SoundServer> {
public:
    struct Handlers {
        std::function<void(uint32_t)> ownerChangedRinger;
        std::function<void(uint32_t)> ownerChangedMedia;
        std::function<void(const std::string& sink)> defaultSinkChanged;
        std::function<void(bool connected)> connectionChanged;
    };

    // Starts connecting (PULSE_SERVER, else the user's server); the values arrive on the loop.
    static std::shared_ptr<SoundServer> connect(Handlers);
    ~SoundServer();
    SoundServer(const SoundServer&) = delete;
    SoundServer& operator=(const SoundServer&) = delete;

    bool isConnected() const { return m_connected; }
    std::optional<uint32_t> eventRoleVolume() const { return m_eventRole.value(); }
    std::optional<uint32_t> mediaVolume() const { return m_media.value(); }
    std::optional<std::string> mediaSink() const { return m_sink; }
    // When the server last told of a change (its subscription events): a measure of how long the
    // phone then takes.
    std::chrono::steady_clock::time_point lastReport() const { return m_lastReport; }
    // The default sink's channels as they are now.
    std::vector<uint32_t> mediaChannels() const;

    // `done` is told once the server has the value and a read gave it back (false when it
    // refused, or there is no server).
    void setEventRoleVolume(uint32_t, std::function<void(bool)> done = {});
    void setMediaVolume(uint32_t, std::function<void(bool)> done = {});
    // Gives a sink exactly these channels (the owner's values, kept since before a crash).
    void setSinkChannels(const std::string& sink, const std::vector<uint32_t>& channels, std::function<void(bool)> done = {});
    // Reads the event-role volume again (for servers that do not tell of its changes).
    void refreshEventRole(std::function<void()> done = {});

    static constexpr const char* kEventRoleEntry = "sink-input-by-media-role:event";

private:
    using Volume = RemoteValue<uint32_t>;
    struct Request;

    SoundServer();
    Request* newRequest(std::function<void(SoundServer&, bool)> finished = {});
    // A read's request: `after` runs once the read is done, whatever it found.
    Request* newRead(std::function<void()> after);
    // Lets go of a read under way (its request lives until its callback); a read that could not
    // start drops its request.
    void readStarted(pa_operation*, Request*);
    std::unique_ptr<Request> take(Request*);
    void start();
    void stateChanged();
    void connected();
    void disconnected();
    void setConnected(bool);
    void watchForServer();
    void readEventRole(std::function<void()> after = {});
    // Reads the entry until the write is seen there: `attemptsLeft` more times at once, then over
    // the catch-up's schedule.
    void readBackEventRole(Volume::Write, int attemptsLeft);
    void endReadBacks();
    void readServer(std::function<void()> after = {});
    void readSink(const std::string& name, std::function<void(SoundServer&, bool)> after);
    void serverNamed(const std::string& name);
    void eventRoleArrived(uint32_t);
    void mediaArrived(uint32_t, const std::string& sink, const std::string& port);
    void writeSink(const std::string& sink, std::vector<uint32_t> channels, uint32_t volume, Volume::Write);
    // Sends the sink's new channels; `finished` is told whether the server took them.
    void sendSinkVolume(const std::string& sink, std::vector<uint32_t> channels, uint32_t volume, std::function<void(SoundServer&, bool)> finished);
    void reconnectSoon();
    void announceWhenRead();

    Handlers m_handlers;
    PulseLoop m_loop;
    pa_context* m_context { nullptr };
    bool m_connected { false };
    bool m_absenceLogged { false };
    Volume m_eventRole;
    Volume m_media;
    std::optional<std::string> m_sink;
    std::string m_port;
    std::vector<uint32_t> m_channels;
    bool m_eventRoleMuted { false };
    bool m_announced { false };
    // Per sink, its channels when last above 0: a volume set after 0 gets its balance back.
    std::map<std::string, std::vector<uint32_t>> m_balance;
    std::unique_ptr<FileWatch> m_socketWatch;
    std::unique_ptr<RouteSettingsWatch> m_routeWatch;
    bool m_routeWatchMissingLogged { false };
    std::vector<std::unique_ptr<Request>> m_requests;
    CatchUpReads m_eventRoleCatchUp;
    // Our writes of the entry that the catch-up's reads are waiting to see.
    std::vector<Volume::Write> m_awaitingEcho;
    std::chrono::steady_clock::time_point m_lastReport;
};
