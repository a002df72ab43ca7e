#pragma once

#include <filesystem>

// The private session's folder under /tmp: the user's home with its XDG folders, the runtime
// folder (the session bus's socket, the sound server's), the daemons' logs and the session
// bus's service files. Removed when it goes. A folder left by a test process that died without
// its destructors is removed by the next session.
namespace TestSession {

class SessionFolder {
public:
    // Throws std::runtime_error when it cannot be made; nothing is left then.
    SessionFolder();
    ~SessionFolder();
    SessionFolder(const SessionFolder&) = delete;
    SessionFolder& operator=(const SessionFolder&) = delete;

    const std::filesystem::path& path() const { return m_path; }
    std::filesystem::path runtime() const { return m_path / "runtime"; }
    std::filesystem::path home() const { return m_path / "home"; }
    std::filesystem::path config() const { return home() / ".config"; }
    std::filesystem::path data() const { return home() / ".local/share"; }
    std::filesystem::path cache() const { return home() / ".cache"; }
    std::filesystem::path log(const std::string& daemon) const { return m_path / "log" / (daemon + ".log"); }
    std::filesystem::path services() const { return m_path / "services"; }
    // The sound server's socket folder and socket (PulseAudio's or pipewire-pulse's).
    std::filesystem::path soundRuntime() const { return runtime() / "pulse"; }
    std::filesystem::path soundSocket() const { return soundRuntime() / "native"; }
    // The sound server's stored values (PulseAudio's restore databases), kept through a restart.
    std::filesystem::path soundState() const { return config() / "pulse"; }

private:
    void layOut() const;
    std::filesystem::path m_path;
};

}
