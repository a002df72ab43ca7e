#include "platform/session/GLibPump.h"

#include "platform/foundation/Clock.h"
#include "platform/session/GObjectRef.h"
#include "platform/session/testsupport/PrivateSession.h"
#include "platform/testsupport/RunLoopFixture.h"

#include <chrono>
#include <gio/gio.h>
#include <sys/resource.h>
#include <thread>

namespace {

class GLibPumpTest : public RunLoopFixture {
protected:
    void SetUp() override
    {
        RunLoopFixture::SetUp();
        m_pump = GLibPump::shared();
    }
    void TearDown() override
    {
        m_pump.reset();
        RunLoopFixture::TearDown();
    }

    NSRunLoop& loop() { return NSRunLoop::main(); }

    static double cpuSeconds()
    {
        rusage usage {};
        getrusage(RUSAGE_SELF, &usage);
        return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    }

    std::shared_ptr<GLibPump> m_pump;
};

struct Calls {
    std::vector<std::string> names;
    std::thread::id thread;
};

gboolean noteIdle(gpointer data)
{
    auto* calls = static_cast<Calls*>(data);
    calls->names.push_back("idle");
    calls->thread = std::this_thread::get_id();
    return G_SOURCE_REMOVE;
}

gboolean noteTimeout(gpointer data)
{
    static_cast<Calls*>(data)->names.push_back("timeout");
    return G_SOURCE_REMOVE;
}

}

TEST_F(GLibPumpTest, GLibsIdlesAndTimeoutsRunOnTheLoopsThreadWhenDue)
{
    Calls calls;
    g_idle_add(&noteIdle, &calls);
    g_timeout_add(40, &noteTimeout, &calls);
    loop().runPending();
    EXPECT_EQ(calls.names, std::vector<std::string> { "idle" });
    EXPECT_EQ(calls.thread, std::this_thread::get_id());

    auto before = std::chrono::steady_clock::now();
    // One turn that may wait 5 s: GLib's time-out must end the wait.
    loop().runOnce(5.0);
    auto waited = std::chrono::steady_clock::now() - before;
    EXPECT_EQ(calls.names, (std::vector<std::string> { "idle", "timeout" }));
    EXPECT_GE(waited, std::chrono::milliseconds(30));
    EXPECT_LT(waited, std::chrono::seconds(2));
}

TEST_F(GLibPumpTest, AWakeUpFromAnotherThreadIsServedAndAnIdlePumpCostsNoTime)
{
    Clock::installSystem();
    Calls calls;
    std::thread worker([&calls] { g_main_context_invoke(nullptr, &noteIdle, &calls); });
    EXPECT_TRUE(loop().runUntilCondition([&] { return !calls.names.empty(); }, 5.0));
    worker.join();
    EXPECT_EQ(calls.thread, std::this_thread::get_id());

    // GLib's wake-up was acknowledged: the loop sleeps instead of turning.
    double cpuBefore = cpuSeconds();
    loop().runUntilCondition([] { return false; }, 0.5);
    EXPECT_LT(cpuSeconds() - cpuBefore, 0.1);
}

TEST_F(GLibPumpTest, AGLibCallbackMayTurnTheLoopItself)
{
    struct Nested {
        bool outerDone { false };
        bool innerRan { false };
    } nested;
    g_idle_add(
        [](gpointer data) -> gboolean {
            auto* nested = static_cast<Nested*>(data);
            g_idle_add([](gpointer data) -> gboolean { static_cast<Nested*>(data)->innerRan = true; return G_SOURCE_REMOVE; }, nested);
            NSRunLoop::main().runUntilCondition([nested] { return nested->innerRan; }, 5.0);
            nested->outerDone = true;
            return G_SOURCE_REMOVE;
        },
        &nested);
    loop().runPending();
    EXPECT_TRUE(nested.innerRan);
    EXPECT_TRUE(nested.outerDone);
}

TEST_F(GLibPumpTest, ASettingsChangeByAnotherProcessArrivesThroughTheLoop)
{
    auto session = PrivateSession::start({ .soundServer = false, .networkManager = false, .feedbackd = false });
    // GLib's session bus connection would end the test with SIGTERM when the session ends.
    GObjectRef<GDBusConnection> bus(g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr));
    ASSERT_TRUE(bus);
    g_dbus_connection_set_exit_on_close(bus.get(), FALSE);
    GObjectRef<GSettings> settings(g_settings_new("org.gnome.desktop.notifications"));
    bool changed = false;
    auto noteChange = +[](GSettings*, const char*, gpointer changed) { *static_cast<bool*>(changed) = true; };
    g_signal_connect(settings.get(), "changed::show-banners", G_CALLBACK(noteChange), &changed);
    ASSERT_TRUE(g_settings_get_boolean(settings.get(), "show-banners"));

    session->run("gsettings set org.gnome.desktop.notifications show-banners false");
    EXPECT_TRUE(loop().runUntilCondition([&] { return changed; }, 5.0));
    EXPECT_FALSE(g_settings_get_boolean(settings.get(), "show-banners"));
    settings.reset();
}
