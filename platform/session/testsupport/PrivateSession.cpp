#include "platform/session/testsupport/PrivateSession.h"

#include "platform/machinery/ChildProcess.h"
#include "platform/session/testsupport/BusClient.h"
#include "platform/session/testsupport/MockWifi.h"
#include "platform/session/testsupport/NetworkManagerMock.h"
#include "platform/session/testsupport/PipeWireProcesses.h"
#include "platform/session/testsupport/PrivateBus.h"
#include "platform/session/testsupport/PulseAudioProcess.h"
#include "platform/session/testsupport/ScopedVariables.h"
#include "platform/session/testsupport/SessionEnvironment.h"
#include "platform/session/testsupport/SessionFolder.h"
#include "platform/session/testsupport/SessionServices.h"
#include "platform/session/testsupport/ShellCommand.h"

#include <stdexcept>

using namespace TestSession;

// The parts, in the order they start. Every one is ended by ~Impl, also after a start that
// failed half-way.
struct PrivateSession::Impl {
    Options options;
    std::unique_ptr<SessionFolder> folder;
    SessionEnvironment environment;
    std::unique_ptr<PrivateBus> systemBus;
    std::unique_ptr<PrivateBus> sessionBus;
    // The session's own connections, for its control calls.
    std::unique_ptr<BusClient> systemClient;
    std::unique_ptr<BusClient> sessionClient;
    std::unique_ptr<SessionServices> services;
    std::unique_ptr<NetworkManagerMock> networkManager;
    std::unique_ptr<MockWifi> wifi;
    std::unique_ptr<SoundServerProcess> sound;
    // Set last, once everything runs.
    std::unique_ptr<ScopedVariables> variables;

    ~Impl();
    void endClients();
    void endBuses();
    void setFolderVariables();
    void startBuses();
    void launchNetworkManager();
    void awaitNetworkManager();
    void startSoundServer();
    MockWifi& requireWifi();
};

namespace {

constexpr const char* kFeedbackdName = "org.sigxcpu.Feedback";
constexpr const char* kFeedbackdServiceFile = "org.sigxcpu.Feedback.service";
constexpr const char* kRegistryName = "org.gnome.evolution.dataserver.Sources5";
constexpr const char* kCalendarFactoryName = "org.gnome.evolution.dataserver.Calendar8";
constexpr const char* kEvolutionPackage = "evolution-data-server";

}

// Clients first, buses last; then the variables are put back and the folder removed.
PrivateSession::Impl::~Impl()
{
    endClients();
    endBuses();
    variables.reset();
    folder.reset();
}

// The mock, the services and the sound server are asked to end together, then waited for.
void PrivateSession::Impl::endClients()
{
    wifi.reset();
    if (networkManager)
        networkManager->terminate();
    if (sound)
        sound->terminate();
    if (services)
        services->terminate();
    if (sessionBus)
        sessionBus->endServices();
    networkManager.reset();
    sound.reset();
    services.reset();
    systemClient.reset();
    sessionClient.reset();
}

void PrivateSession::Impl::endBuses()
{
    for (auto* bus : { &sessionBus, &systemBus })
        if (*bus)
            (*bus)->terminate();
    sessionBus.reset();
    systemBus.reset();
}

void PrivateSession::Impl::setFolderVariables()
{
    environment.set("XDG_RUNTIME_DIR", folder->runtime().string());
    environment.set("HOME", folder->home().string());
    environment.set("XDG_CONFIG_HOME", folder->config().string());
    environment.set("XDG_DATA_HOME", folder->data().string());
    environment.set("XDG_CACHE_HOME", folder->cache().string());
    if (options.soundServer)
        environment.set("PULSE_SERVER", "unix:" + folder->soundSocket().string());
    // GSettings goes through dconf, as on the phone's desktop, whatever the test runner set.
    environment.set("GSETTINGS_BACKEND", "dconf");
    // GIO's local files only: no virtual file system daemon of the machine's is reached.
    environment.set("GIO_USE_VFS", "local");
}

// The system bus first: the session's services may look for it as they start. NetworkManager's
// mock (python, the slowest to start) starts on it meanwhile: it needs only the system bus.
void PrivateSession::Impl::startBuses()
{
    systemBus = std::make_unique<PrivateBus>(PrivateBus::Setup { "system-bus", "system", folder->path() / "system_bus_socket", {} },
        *folder, environment);
    environment.set("DBUS_SYSTEM_BUS_ADDRESS", systemBus->address());
    if (options.networkManager)
        launchNetworkManager();
    sessionBus = std::make_unique<PrivateBus>(PrivateBus::Setup { "session-bus", "session", folder->runtime() / "bus", folder->services() },
        *folder, environment);
    environment.set("DBUS_SESSION_BUS_ADDRESS", sessionBus->address());
    sessionClient = std::make_unique<BusClient>(sessionBus->address());
    // Bus-activated services get the bus daemon's environment: it has the session's variables
    // from its start; saying them again keeps them whatever the daemon did with its own.
    sessionClient->updateActivationEnvironment(environment.variables());
}

void PrivateSession::Impl::launchNetworkManager()
{
    if (!systemClient)
        systemClient = std::make_unique<BusClient>(systemBus->address());
    networkManager = std::make_unique<NetworkManagerMock>(*folder, environment, *systemClient);
}

void PrivateSession::Impl::awaitNetworkManager()
{
    try {
        networkManager->awaitReady(Deadline::in(kStartTimeout));
    } catch (...) {
        networkManager.reset();
        throw;
    }
    wifi = std::make_unique<MockWifi>(*networkManager);
}

void PrivateSession::Impl::startSoundServer()
{
    if (options.soundServerKind == SoundServerKind::PipeWire)
        sound = std::make_unique<PipeWireProcesses>(*folder, environment, *sessionClient);
    else
        sound = std::make_unique<PulseAudioProcess>(*folder, environment);
    sound->start();
}

MockWifi& PrivateSession::Impl::requireWifi()
{
    if (!wifi)
        throw std::runtime_error("private session: the NetworkManager mock is not running");
    return *wifi;
}

bool PrivateSession::isInstalled(SoundServerKind kind)
{
    return kind == SoundServerKind::PipeWire ? PipeWireProcesses::isInstalled() : !findProgram("pulseaudio").empty();
}

std::unique_ptr<PrivateSession> PrivateSession::start(Options options)
{
    auto impl = std::make_unique<Impl>();
    impl->options = options;
    impl->folder = std::make_unique<SessionFolder>();
    impl->setFolderVariables();
    impl->services = std::make_unique<SessionServices>(*impl->folder, impl->environment);
    impl->services->install("ca.desrt.dconf.service", "dconf-service");
    if (options.feedbackd)
        impl->services->install(kFeedbackdServiceFile, "feedbackd");
    if (options.evolutionDataServer) {
        impl->services->install((std::string(kRegistryName) + ".service").c_str(), kEvolutionPackage);
        impl->services->install((std::string(kCalendarFactoryName) + ".service").c_str(), kEvolutionPackage);
    }
    impl->startBuses();
    if (options.soundServer)
        impl->startSoundServer();
    if (options.networkManager)
        impl->awaitNetworkManager();
    impl->variables = std::make_unique<ScopedVariables>(SessionEnvironment::names(), impl->environment.variables());
    return std::unique_ptr<PrivateSession>(new PrivateSession(std::move(impl)));
}

PrivateSession::PrivateSession(std::unique_ptr<Impl> impl)
    : m_impl(std::move(impl))
{
}

PrivateSession::~PrivateSession() = default;

const std::filesystem::path& PrivateSession::dir() const
{
    return m_impl->folder->path();
}

std::string PrivateSession::sessionBusAddress() const
{
    return m_impl->environment.value("DBUS_SESSION_BUS_ADDRESS");
}

std::string PrivateSession::systemBusAddress() const
{
    return m_impl->environment.value("DBUS_SYSTEM_BUS_ADDRESS");
}

std::string PrivateSession::soundServerAddress() const
{
    return m_impl->environment.value("PULSE_SERVER");
}

std::map<std::string, std::string> PrivateSession::environment() const
{
    return m_impl->environment.variables();
}

std::string PrivateSession::run(const std::string& command) const
{
    CommandResult result = runShellCommand(command, m_impl->environment.forChild());
    if (result.status != 0) {
        while (!result.errors.empty() && result.errors.back() == '\n')
            result.errors.pop_back();
        throw std::runtime_error("private session: `" + command + "` failed ("
            + (result.status < 0 ? "killed" : "exit " + std::to_string(result.status)) + ")"
            + (result.errors.empty() ? "" : ": " + result.errors));
    }
    return result.output;
}

std::string PrivateSession::runTrimmed(const std::string& command) const
{
    std::string output = run(command);
    while (!output.empty() && (output.back() == '\n' || output.back() == ' '))
        output.pop_back();
    return output;
}

std::string PrivateSession::sinkVolume(const std::string& sink) const
{
    return runTrimmed("pactl get-sink-volume " + sink + " | head -n 1 | awk '{print $3, $10}'");
}

void PrivateSession::stopSoundServer()
{
    if (m_impl->sound)
        m_impl->sound->stop();
}

void PrivateSession::startSoundServer()
{
    if (!m_impl->options.soundServer)
        throw std::runtime_error("private session: started without a sound server");
    if (isSoundServerRunning())
        return;
    // What is left of one that crashed (PipeWire's other daemons) goes first.
    m_impl->sound->stop();
    m_impl->sound->start();
}

bool PrivateSession::isSoundServerRunning() const
{
    return m_impl->sound && m_impl->sound->isRunning();
}

void PrivateSession::killFeedbackd()
{
    m_impl->services->kill(*m_impl->sessionClient, kFeedbackdName);
}

void PrivateSession::killDconf()
{
    m_impl->services->kill(*m_impl->sessionClient, "ca.desrt.dconf");
}

void PrivateSession::installFeedbackd()
{
    m_impl->services->install(kFeedbackdServiceFile, "feedbackd");
}

void PrivateSession::startFeedbackd()
{
    m_impl->services->startDirectly("/usr/libexec/feedbackd", "feedbackd", kFeedbackdName, *m_impl->sessionClient);
}

void PrivateSession::installEvolutionDataServer()
{
    m_impl->services->install((std::string(kRegistryName) + ".service").c_str(), kEvolutionPackage);
    m_impl->services->install((std::string(kCalendarFactoryName) + ".service").c_str(), kEvolutionPackage);
}

void PrivateSession::killEvolutionDataServer()
{
    m_impl->services->kill(*m_impl->sessionClient, kCalendarFactoryName);
    m_impl->services->kill(*m_impl->sessionClient, kRegistryName);
}

// The session's own connection stays, closed by the bus's end, so that a later call fails as a
// client's would. The services the bus started end with the session.
void PrivateSession::killSessionBus()
{
    m_impl->sessionBus->kill();
}

void PrivateSession::joinNetwork(const std::string& ssid)
{
    m_impl->requireWifi().join(ssid);
}

void PrivateSession::leaveNetwork(bool keepSaved)
{
    m_impl->requireWifi().leave(keepSaved);
}

void PrivateSession::addSavedNetwork(const std::string& ssid)
{
    m_impl->requireWifi().addSaved(ssid);
}

void PrivateSession::setNetworkManagerAsleep(bool asleep)
{
    m_impl->requireWifi().setAsleep(asleep);
}

void PrivateSession::stopNetworkManager()
{
    m_impl->wifi.reset();
    m_impl->networkManager.reset();
}

void PrivateSession::startNetworkManager()
{
    if (m_impl->networkManager)
        return;
    m_impl->launchNetworkManager();
    m_impl->awaitNetworkManager();
}
