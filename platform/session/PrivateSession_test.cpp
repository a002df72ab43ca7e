#include "platform/session/testsupport/PrivateSession.h"

#include "platform/session/testsupport/ProcessTree.h"

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <gtest/gtest.h>
#include <optional>
#include <pulse/ext-stream-restore.h>
#include <pulse/mainloop.h>
#include <pulse/pulseaudio.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

constexpr const char* kEventRole = "sink-input-by-media-role:event";

std::optional<std::string> variable(const char* name)
{
    const char* value = getenv(name);
    return value ? std::optional<std::string>(value) : std::nullopt;
}

bool acceptsConnections(const std::filesystem::path& socketPath)
{
    sockaddr_un address { };
    address.sun_family = AF_UNIX;
    strncpy(address.sun_path, socketPath.c_str(), sizeof address.sun_path - 1);
    int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    bool connected = connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    close(fd);
    return connected;
}

// feedbackd mirrors its level into GSettings on its own time (a kill before that loses it), and
// nothing tells when dconf has it: the command's answer is asked for until it is the expected one.
bool readsEventually(const PrivateSession& session, const std::string& command, const std::string& expected)
{
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    do {
        if (session.runTrimmed(command) == expected)
            return true;
    } while (std::chrono::steady_clock::now() < deadline);
    return false;
}

// The folders of private sessions under /tmp that this process owns.
std::vector<std::filesystem::path> ownSessionFolders()
{
    std::vector<std::filesystem::path> found;
    for (const auto& entry : std::filesystem::directory_iterator("/tmp")) {
        long owner = 0;
        if (entry.path().filename().string().rfind("hl-session-", 0) == 0 && std::ifstream(entry.path() / "owner") >> owner
            && owner == getpid())
            found.push_back(entry.path());
    }
    return found;
}

// Gone, or ended and waiting only to be reaped by a parent that does not (a zombie).
bool hasEnded(pid_t pid)
{
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    size_t close = text.rfind(')');
    return close == std::string::npos || text.compare(close + 1, 3, " Z ") == 0;
}

// PATH holding only dbus-daemon for as long as it lives: a machine without the sound server.
class PathWithOnlyTheBus {
public:
    PathWithOnlyTheBus()
        : m_before(variable("PATH").value_or(""))
    {
        std::string pattern = "/tmp/hl-path-XXXXXX";
        m_dir = mkdtemp(pattern.data());
        std::filesystem::create_symlink("/usr/bin/dbus-daemon", m_dir / "dbus-daemon");
        setenv("PATH", m_dir.c_str(), 1);
    }
    ~PathWithOnlyTheBus()
    {
        setenv("PATH", m_before.c_str(), 1);
        std::filesystem::remove_all(m_dir);
    }

private:
    std::string m_before;
    std::filesystem::path m_dir;
};

// The event role's stream-restore entry, through libpulse as a mixer reads and writes it.
class StreamRestoreClient {
public:
    StreamRestoreClient()
    {
        m_loop = pa_mainloop_new();
        m_context = pa_context_new(pa_mainloop_get_api(m_loop), "private-session-test");
        pa_context_connect(m_context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr);
        while (PA_CONTEXT_IS_GOOD(pa_context_get_state(m_context)) && pa_context_get_state(m_context) != PA_CONTEXT_READY)
            pa_mainloop_iterate(m_loop, 1, nullptr);
    }
    ~StreamRestoreClient()
    {
        pa_context_disconnect(m_context);
        pa_context_unref(m_context);
        pa_mainloop_free(m_loop);
    }

    bool isConnected() const { return pa_context_get_state(m_context) == PA_CONTEXT_READY; }

    // None when there is no entry or it holds no volume.
    std::optional<pa_volume_t> eventVolume()
    {
        struct Read {
            std::optional<pa_volume_t> volume;
        } read;
        wait(pa_ext_stream_restore_read(
            m_context,
            [](pa_context*, const pa_ext_stream_restore_info* info, int eol, void* userdata) {
                if (eol || !info || strcmp(info->name, kEventRole) != 0 || info->volume.channels == 0)
                    return;
                static_cast<Read*>(userdata)->volume = pa_cvolume_avg(&info->volume);
            },
            &read));
        return read.volume;
    }

    void setEventVolume(pa_volume_t volume)
    {
        pa_ext_stream_restore_info info { };
        info.name = kEventRole;
        pa_channel_map_init_mono(&info.channel_map);
        pa_cvolume_set(&info.volume, 1, volume);
        wait(pa_ext_stream_restore_write(m_context, PA_UPDATE_REPLACE, &info, 1, 1, nullptr, nullptr));
    }

private:
    void wait(pa_operation* operation)
    {
        ASSERT_TRUE(operation) << pa_strerror(pa_context_errno(m_context));
        while (pa_operation_get_state(operation) == PA_OPERATION_RUNNING)
            pa_mainloop_iterate(m_loop, 1, nullptr);
        pa_operation_unref(operation);
    }

    pa_mainloop* m_loop { nullptr };
    pa_context* m_context { nullptr };
};

}

// Parallel test processes each start a session; nothing one writes may show in another, and a
// session ended leaves the process as it found it.
TEST(PrivateSessionTest, SessionsKeepTheirValuesApartAndLeaveNothingBehind)
{
    auto before = variable("DBUS_SESSION_BUS_ADDRESS");
    auto beforeHome = variable("HOME");
    std::filesystem::path firstDir;
    {
        PrivateSession::Options options;
        options.networkManager = false;
        auto first = PrivateSession::start(options);
        firstDir = first->dir();
        EXPECT_EQ(variable("DBUS_SESSION_BUS_ADDRESS"), first->sessionBusAddress());
        EXPECT_EQ(variable("HOME"), first->environment().at("HOME"));
        first->run("gsettings set org.gnome.desktop.notifications show-banners false");
        {
            auto second = PrivateSession::start(options);
            EXPECT_NE(second->dir(), first->dir());
            EXPECT_EQ(second->runTrimmed("gsettings get org.gnome.desktop.notifications show-banners"), "true");
            EXPECT_EQ(first->runTrimmed("gsettings get org.gnome.desktop.notifications show-banners"), "false")
                << "each session's commands reach its own dconf, even while another session is the process's";
        }
        EXPECT_EQ(variable("DBUS_SESSION_BUS_ADDRESS"), first->sessionBusAddress()) << "the inner session put the outer one's back";
        EXPECT_THROW(first->run("exit 3"), std::runtime_error);
    }
    EXPECT_EQ(variable("DBUS_SESSION_BUS_ADDRESS"), before);
    EXPECT_EQ(variable("HOME"), beforeHome);
    EXPECT_FALSE(std::filesystem::exists(firstDir));
    EXPECT_EQ(TestSession::descendantsOf(getpid()), std::vector<pid_t> {}) << "dconf, the sound server and the buses ended";

    auto later = PrivateSession::start(PrivateSession::Options { false, false, true });
    EXPECT_EQ(later->runTrimmed("gsettings get org.gnome.desktop.notifications show-banners"), "true");
}

TEST(PrivateSessionTest, FeedbackdIsActivatedOnTheSessionBusAndKeepsItsLevelThroughAKill)
{
    PrivateSession::Options options;
    options.soundServer = false;
    options.networkManager = false;
    auto session = PrivateSession::start(options);
    const std::string get = "busctl --user get-property org.sigxcpu.Feedback /org/sigxcpu/Feedback org.sigxcpu.Feedback Profile";
    const std::string pid = "busctl --user call org.freedesktop.DBus /org/freedesktop/DBus org.freedesktop.DBus "
                            "GetConnectionUnixProcessID s org.sigxcpu.Feedback";
    EXPECT_EQ(session->runTrimmed(get), "s \"full\"");
    std::string firstPid = session->run(pid);

    session->run("busctl --user set-property org.sigxcpu.Feedback /org/sigxcpu/Feedback org.sigxcpu.Feedback Profile s quiet");
    ASSERT_TRUE(readsEventually(*session, "gsettings get org.sigxcpu.feedbackd profile", "'quiet'"))
        << "feedbackd mirrored its level into GSettings before the kill";
    session->killFeedbackd();
    EXPECT_EQ(session->runTrimmed(get), "s \"quiet\"") << "feedbackd keeps its level in the session's GSettings";
    EXPECT_NE(session->run(pid), firstPid) << "the call after the kill started a new feedbackd";
    session->killDconf();
    EXPECT_EQ(session->runTrimmed("gsettings get org.sigxcpu.feedbackd profile"), "'quiet'");
}

TEST(PrivateSessionTest, WithoutFeedbackdTheSessionBusCannotStartIt)
{
    auto session = PrivateSession::start(PrivateSession::Options { false, false, false });
    EXPECT_THROW(session->run("busctl --user get-property org.sigxcpu.Feedback /org/sigxcpu/Feedback org.sigxcpu.Feedback Profile"),
        std::runtime_error);
    EXPECT_EQ(session->runTrimmed("gsettings get org.gnome.desktop.notifications show-banners"), "true") << "dconf is still there";
}

TEST(PrivateSessionTest, TheSoundServerKeepsTheEventVolumeThroughARestart)
{
    PrivateSession::Options options;
    options.networkManager = false;
    auto session = PrivateSession::start(options);
    EXPECT_NE(session->run("pactl info").find("test_sink"), std::string::npos);
    {
        StreamRestoreClient client;
        ASSERT_TRUE(client.isConnected());
        EXPECT_EQ(client.eventVolume(), std::nullopt) << "a fresh server has no entry (100 %)";
        client.setEventVolume(PA_VOLUME_NORM / 4);
    }
    session->stopSoundServer();
    EXPECT_FALSE(session->isSoundServerRunning());
    EXPECT_FALSE(acceptsConnections(session->soundServerAddress().substr(strlen("unix:"))));
    EXPECT_THROW(session->run("pactl info"), std::runtime_error) << "no client starts a server of its own";

    session->startSoundServer();
    EXPECT_TRUE(session->isSoundServerRunning());
    StreamRestoreClient client;
    ASSERT_TRUE(client.isConnected());
    EXPECT_EQ(client.eventVolume(), PA_VOLUME_NORM / 4);
}

TEST(PrivateSessionTest, TheNetworkManagerMockShowsJoinedAndSavedNetworksOnTheSystemBus)
{
    PrivateSession::Options options;
    options.soundServer = false;
    auto session = PrivateSession::start(options);
    const std::string activeAccessPoint = "busctl --system get-property org.freedesktop.NetworkManager "
                                          "/org/freedesktop/NetworkManager/Devices/wlan0 "
                                          "org.freedesktop.NetworkManager.Device.Wireless ActiveAccessPoint";
    const std::string connections = "busctl --system call org.freedesktop.NetworkManager /org/freedesktop/NetworkManager/Settings "
                                    "org.freedesktop.NetworkManager.Settings ListConnections";
    EXPECT_EQ(session->runTrimmed(activeAccessPoint), "o \"/\"");

    session->joinNetwork("Home");
    std::string reply = session->runTrimmed(activeAccessPoint);
    ASSERT_EQ(reply.rfind("o \"/org/freedesktop/NetworkManager/AccessPoint/", 0), 0u) << reply;
    std::string accessPoint = reply.substr(3, reply.size() - 4);
    EXPECT_EQ(session->runTrimmed("busctl --system get-property org.freedesktop.NetworkManager " + accessPoint
                  + " org.freedesktop.NetworkManager.AccessPoint Ssid"),
        "ay 4 72 111 109 101");
    EXPECT_EQ(session->runTrimmed(connections).rfind("ao 1 ", 0), 0u);

    session->joinNetwork("Work");
    EXPECT_EQ(session->runTrimmed(connections).rfind("ao 2 ", 0), 0u) << "moving on keeps the network left as a saved one";
    session->leaveNetwork();
    EXPECT_EQ(session->runTrimmed(activeAccessPoint), "o \"/\"");
    EXPECT_EQ(session->runTrimmed(connections).rfind("ao 1 ", 0), 0u);

    session->setNetworkManagerAsleep(true);
    EXPECT_EQ(session->runTrimmed("busctl --system get-property org.freedesktop.NetworkManager /org/freedesktop/NetworkManager "
                                   "org.freedesktop.NetworkManager State"),
        "u 10");
    session->stopNetworkManager();
    EXPECT_THROW(session->run(activeAccessPoint), std::runtime_error);
    session->startNetworkManager();
    EXPECT_EQ(session->runTrimmed(activeAccessPoint), "o \"/\"");
}

// The buses and NetworkManager's mock are running when the sound server turns out to be missing.
TEST(PrivateSessionTest, AStartThatFailsHalfWayLeavesNoProcessNoFolderAndNoVariable)
{
    auto beforeHome = variable("HOME");
    {
        PathWithOnlyTheBus noSoundServer;
        try {
            PrivateSession::start();
            ADD_FAILURE() << "started without pulseaudio";
        } catch (const std::runtime_error& error) {
            EXPECT_NE(std::string(error.what()).find("pulseaudio is not installed"), std::string::npos) << error.what();
        }
    }
    EXPECT_EQ(TestSession::descendantsOf(getpid()), std::vector<pid_t> {});
    EXPECT_EQ(ownSessionFolders(), std::vector<std::filesystem::path> {});
    EXPECT_EQ(variable("HOME"), beforeHome);
}

TEST(PrivateSessionTest, APipeWireSessionServesThePulseProtocolWithTheTestSinkThroughARestart)
{
    if (!PrivateSession::isInstalled(PrivateSession::SoundServerKind::PipeWire))
        GTEST_SKIP() << "PipeWire is not installed";
    auto session = PrivateSession::start(
        { .soundServer = true, .networkManager = false, .feedbackd = false, .soundServerKind = PrivateSession::SoundServerKind::PipeWire });
    EXPECT_NE(session->run("pactl info").find("on PipeWire"), std::string::npos);
    EXPECT_EQ(session->runTrimmed("pactl get-default-sink"), "test_sink");

    session->stopSoundServer();
    EXPECT_FALSE(session->isSoundServerRunning());
    EXPECT_THROW(session->run("pactl info"), std::runtime_error);

    session->startSoundServer();
    EXPECT_TRUE(session->isSoundServerRunning());
    EXPECT_EQ(session->runTrimmed("pactl get-default-sink"), "test_sink");
}

// feedbackd arriving after the start, by its package (the bus activates it from then on) or run
// directly (our child); then the session bus crashes: the session still ends everything.
TEST(PrivateSessionTest, FeedbackdArrivingLaterAndACrashedBusLeaveNothingBehind)
{
    const std::string get = "busctl --user get-property org.sigxcpu.Feedback /org/sigxcpu/Feedback org.sigxcpu.Feedback Profile";
    {
        auto session = PrivateSession::start({ .soundServer = false, .networkManager = false, .feedbackd = false });
        session->installFeedbackd();
        EXPECT_EQ(session->runTrimmed(get), "s \"full\"") << "activated from the file laid after the start";
        session->killFeedbackd();

        session->startFeedbackd();
        EXPECT_EQ(session->runTrimmed(get), "s \"full\"");
        session->killFeedbackd();
        session->startFeedbackd();

        session->killSessionBus();
        EXPECT_THROW(session->run(get), std::runtime_error);
    }
    EXPECT_EQ(TestSession::descendantsOf(getpid()), std::vector<pid_t> {});
    EXPECT_EQ(ownSessionFolders(), std::vector<std::filesystem::path> {});
}

// A service that takes its name and then ignores the end of its bus: dbus-daemon started it
// through a double fork (it is no descendant of the bus by then), and the session still ends it.
TEST(PrivateSessionTest, AnActivatedServiceThatOutlivesItsBusIsEndedWithTheSession)
{
    pid_t service = 0;
    {
        auto session = PrivateSession::start({ .soundServer = false, .networkManager = false, .feedbackd = false });
        auto file = session->dir() / "services" / "org.example.Lingering.service";
        std::ofstream(file.string() + ".partial") << "[D-BUS Service]\nName=org.example.Lingering\nExec=/usr/bin/python3 -c \"import dbus, "
                                                     "time; bus = dbus.SessionBus(); bus.request_name('org.example.Lingering'); "
                                                     "time.sleep(600)\"\n";
        std::filesystem::rename(file.string() + ".partial", file);
        // Answered once the service holds its name.
        session->run("busctl --user call org.freedesktop.DBus /org/freedesktop/DBus org.freedesktop.DBus StartServiceByName su "
                     "org.example.Lingering 0");
        service = std::stoi(session->runTrimmed("busctl --user call org.freedesktop.DBus /org/freedesktop/DBus org.freedesktop.DBus "
                                                "GetConnectionUnixProcessID s org.example.Lingering | cut -d' ' -f2"));
    }
    EXPECT_TRUE(hasEnded(service));
    if (!hasEnded(service))
        kill(service, SIGKILL);
}
