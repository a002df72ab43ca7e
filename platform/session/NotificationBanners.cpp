#include "platform/session/NotificationBanners.h"

#include "platform/foundation/NSLog.h"
#include "platform/foundation/NSRunLoop.h"

#include <algorithm>
#include <future>
#include <gio/gio.h>

namespace {

constexpr const char* kSchema = "org.gnome.desktop.notifications";
constexpr const char* kKey = "show-banners";

bool schemaInstalled()
{
    GSettingsSchemaSource* source = g_settings_schema_source_get_default();
    GSettingsSchema* schema = source ? g_settings_schema_source_lookup(source, kSchema, TRUE) : nullptr;
    if (!schema)
        return false;
    g_settings_schema_unref(schema);
    return true;
}

}

std::shared_ptr<NotificationBanners> NotificationBanners::connect(std::function<void(bool)> ownerChanged)
{
    std::shared_ptr<NotificationBanners> banners(new NotificationBanners(std::move(ownerChanged)));
    std::promise<std::pair<bool, bool>> started;
    auto first = started.get_future();
    banners->m_thread = std::thread([raw = banners.get(), &started] {
        raw->runGLib([&started](bool present, bool shown) { started.set_value({ present, shown }); });
    });
    auto [present, shown] = first.get();
    banners->m_present = present;
    if (present)
        banners->m_shown.read(shown);
    else
        NSLog("Session: GSettings has no %s schema; Do Not Disturb stays the phone's own", kSchema);
    return banners;
}

NotificationBanners::NotificationBanners(std::function<void(bool)> ownerChanged)
    : m_ownerChanged(std::move(ownerChanged))
{
}

NotificationBanners::~NotificationBanners()
{
    if (m_loop)
        g_main_context_invoke(m_context, [](gpointer loop) -> gboolean { g_main_loop_quit(static_cast<GMainLoop*>(loop)); return G_SOURCE_REMOVE; }, m_loop);
    if (m_thread.joinable())
        m_thread.join();
}

void NotificationBanners::runGLib(std::function<void(bool, bool)> started)
{
    if (!schemaInstalled()) {
        started(false, false);
        return;
    }
    m_context = g_main_context_new();
    g_main_context_push_thread_default(m_context);
    // dconf shares GLib's session bus connection, which by default raises SIGTERM in the whole
    // process when the bus goes away; the host decides itself what the end of the session means.
    if (GDBusConnection* bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr)) {
        g_dbus_connection_set_exit_on_close(bus, FALSE);
        m_sessionBus = bus;
    }
    m_loop = g_main_loop_new(m_context, FALSE);
    m_settings = g_settings_new(kSchema);
    // GSettings tells of a change only of a key read once with the handler connected.
    g_signal_connect(m_settings, (std::string("changed::") + kKey).c_str(), G_CALLBACK(&NotificationBanners::onChanged), this);
    started(true, g_settings_get_boolean(m_settings, kKey));
    g_main_loop_run(m_loop);
    // Writes still on their way reach dconf before the thread ends.
    g_settings_sync();
    g_object_unref(m_settings);
    if (m_sessionBus)
        g_object_unref(m_sessionBus);
    g_main_loop_unref(m_loop);
    g_main_context_pop_thread_default(m_context);
    g_main_context_unref(m_context);
}

void NotificationBanners::onChanged(GSettings* settings, const char* key, void* self)
{
    bool shown = g_settings_get_boolean(settings, key);
    std::weak_ptr<NotificationBanners> weak = static_cast<NotificationBanners*>(self)->weak_from_this();
    NSRunLoop::main().performBlock([weak, shown] {
        if (auto banners = weak.lock())
            banners->valueArrived(shown);
    });
}

void NotificationBanners::valueArrived(bool shown)
{
    if (m_shown.arrived(shown) && m_ownerChanged)
        m_ownerChanged(shown);
}

void NotificationBanners::setShown(bool shown, std::function<void(bool)> done)
{
    if (!m_shown.beginWrite(shown, m_present, done))
        return;
    struct Write {
        NotificationBanners* banners;
        std::weak_ptr<NotificationBanners> weak;
        bool shown;
        std::function<void(bool)> done;
    };
    auto* write = new Write { this, weak_from_this(), shown, std::move(done) };
    g_main_context_invoke_full(
        m_context, G_PRIORITY_DEFAULT,
        [](gpointer data) -> gboolean {
            auto* write = static_cast<Write*>(data);
            bool written = g_settings_set_boolean(write->banners->m_settings, kKey, write->shown);
            // Once dconf has it, a read gives it back to every process.
            g_settings_sync();
            bool readBack = g_settings_get_boolean(write->banners->m_settings, kKey) == write->shown;
            // With the session bus gone dconf drops the write and still reads back its own copy.
            if (write->banners->m_sessionBus && g_dbus_connection_is_closed(write->banners->m_sessionBus))
                readBack = false;
            NSRunLoop::main().performBlock([weak = write->weak, done = write->done, ok = written && readBack, shown = write->shown] {
                if (auto banners = weak.lock(); banners && ok)
                    banners->valueArrived(shown);
                if (done)
                    done(ok);
            });
            return G_SOURCE_REMOVE;
        },
        write, [](gpointer data) { delete static_cast<Write*>(data); });
}
