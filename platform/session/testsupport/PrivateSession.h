#pragma once

#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <sys/types.h>

// A private user session for one test: the real daemons a Linux phone runs, started in a fresh
// folder so that parallel test processes never share a value.
//   - XDG_RUNTIME_DIR, HOME, XDG_CONFIG_HOME, XDG_DATA_HOME, XDG_CACHE_HOME under the folder;
//   - two dbus-daemons: the session bus (DBUS_SESSION_BUS_ADDRESS) and one standing in for the
//     system bus (DBUS_SYSTEM_BUS_ADDRESS);
//   - a real sound server with a null sink "test_sink" as its default sink (PULSE_SERVER):
//     PulseAudio with stream-restore, its stored values kept in the folder, so that a restart
//     keeps them; or PipeWire (pipewire, wireplumber, pipewire-pulse);
//   - feedbackd and dconf-service, started by bus activation on first use;
//   - NetworkManager through python3-dbusmock's template on the system bus.
// start() sets those variables in this process (and the activation environment of the session
// bus); the destructor stops exactly what it started, clients first and buses last, puts the
// variables back and removes the folder. A start that fails half-way leaves nothing behind.
// The parts live beside this file, one file pair each (namespace TestSession).
class PrivateSession {
public:
    enum class SoundServerKind {
        PulseAudio,
        // pipewire, wireplumber and pipewire-pulse, headless: the sound server of today's Phosh
        // images.
        PipeWire,
    };
    struct Options {
        bool soundServer { true };
        bool networkManager { true };
        // Without it, feedbackd's service file is hidden from the session bus (a desktop
        // without feedbackd).
        bool feedbackd { true };
        // Which sound server runs when soundServer is true.
        SoundServerKind soundServerKind { SoundServerKind::PulseAudio };
        // Evolution Data Server's registry and calendar factory, started by bus activation on
        // first use (GNOME Calendar's calendars); their files under the session's folder.
        bool evolutionDataServer { false };
    };
    // Whether the sound server's programs are installed (a test of PipeWire skips without them).
    static bool isInstalled(SoundServerKind);
    // Throws std::runtime_error, saying what did not start.
    static std::unique_ptr<PrivateSession> start(Options);
    static std::unique_ptr<PrivateSession> start() { return start(Options {}); }
    ~PrivateSession();
    PrivateSession(const PrivateSession&) = delete;
    PrivateSession& operator=(const PrivateSession&) = delete;

    const std::filesystem::path& dir() const;
    std::string sessionBusAddress() const;
    std::string systemBusAddress() const;
    // "unix:<dir>/runtime/pulse/native": the value of PULSE_SERVER ("" without a sound server).
    std::string soundServerAddress() const;
    // Every variable the session sets, for a child process.
    std::map<std::string, std::string> environment() const;

    // Runs a shell command with the session's environment; returns its standard output. Throws
    // std::runtime_error when it exits with a failure.
    std::string run(const std::string& command) const;
    // run(), its output as one value: without the trailing line ends and blanks.
    std::string runTrimmed(const std::string& command) const;
    // The sink's volume as its first two channels' raw values ("45875 22937"), as pactl says it.
    std::string sinkVolume(const std::string& sink = "test_sink") const;

    // The sound server: stopping it keeps its stored values (PulseAudio's stream-restore database,
    // WirePlumber's state), so that start again is a restart.
    void stopSoundServer();
    void startSoundServer();
    bool isSoundServerRunning() const;
    // Restarts a bus-activated service: kills its process; the next call activates it again.
    void killFeedbackd();
    void killDconf();
    // feedbackd arriving after the start of a session begun without it: installFeedbackd() lays
    // its service file where the session bus looks (the bus notices it by itself, as after a
    // package's installation, and can start it from then on); startFeedbackd() runs it directly,
    // its name appearing on the bus (ended with the session, or by killFeedbackd()).
    void installFeedbackd();
    void startFeedbackd();
    // Evolution Data Server arriving after the start of a session begun without it (its
    // services become activatable, as after a package's installation), and its end as a crash
    // ends it (the calendar factory and the registry killed; the next client activates them).
    void installEvolutionDataServer();
    void killEvolutionDataServer();
    // A crashed session: its bus dies at once (SIGKILL). The services it had started are ended
    // with the session.
    void killSessionBus();

    // NetworkManager (the mock): one Wi-Fi device "wlan0" is added at start.
    // Joins the network: an access point with the SSID, a saved connection (Settings.
    // AddConnection, reused when the network is saved already) and an active connection; the
    // device's ActiveAccessPoint points to the access point (PropertiesChanged), last. A network
    // joined before is left first, staying saved. While NetworkManager sleeps, the device names
    // the access point only at the wake. The SSID must be UTF-8 (the mock's access points take a
    // D-Bus string).
    void joinNetwork(const std::string& ssid);
    // Leaves the joined network, removing its access point, active connection and saved
    // connection (keepSaved keeps the saved connection).
    void leaveNetwork(bool keepSaved = false);
    // A saved Wi-Fi connection without joining. The SSID may be any bytes (not only UTF-8).
    void addSavedNetwork(const std::string& ssid);
    // NetworkManager's State NM_STATE_ASLEEP (10) as around a suspend, and back
    // (NM_STATE_CONNECTED_GLOBAL, 70). As the real one, it drops the device's access point when
    // it goes to sleep; at the wake it is NM_STATE_DISCONNECTED (20) first, then the device names
    // the joined network's access point again, then it is connected.
    void setNetworkManagerAsleep(bool asleep);
    // Stops and starts the mock (a restart of NetworkManager): the joined network is gone.
    void stopNetworkManager();
    void startNetworkManager();

private:
    struct Impl;
    explicit PrivateSession(std::unique_ptr<Impl>);
    std::unique_ptr<Impl> m_impl;
};
