#include "platform/session/NotificationBanners.h"

#include "platform/foundation/NSLog.h"
#include "platform/foundation/NSRunLoop.h"
#include "platform/session/GLibPump.h"

#include <gio/gio.h>
#include <string>

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
    banners->m_shown.setPresent(schemaInstalled());
    if (banners->isPresent())
        banners->open();
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
    if (!m_settings)
        return;
    g_signal_handler_disconnect(m_settings.get(), m_changedHandler);
    // Writes still on their way reach dconf before the process may end.
    g_settings_sync();
}

void NotificationBanners::open()
{
    m_pump = GLibPump::shared();
    // dconf shares GLib's session bus connection, which by default raises SIGTERM in the whole
    // process when the bus goes away; the host decides itself what the end of the session means.
    m_sessionBus.reset(g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr));
    if (m_sessionBus)
        g_dbus_connection_set_exit_on_close(m_sessionBus.get(), FALSE);
    m_settings.reset(g_settings_new(kSchema));
    // GSettings tells of a change only of a key read once with the handler connected.
    std::string signal = std::string("changed::") + kKey;
    m_changedHandler = g_signal_connect(m_settings.get(), signal.c_str(), G_CALLBACK(&NotificationBanners::onChanged), this);
    m_shown.read(g_settings_get_boolean(m_settings.get(), kKey));
}

// The value is handed to the next turn, out of GLib's signal emission (and out of setShown, where
// GSettings tells of our own write at once).
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
    // Without the session bus no other process's change can reach us: what GSettings tells then
    // is dconf taking back a write of ours it could not deliver.
    if (isBusClosed()) {
        m_shown.forgetWrites();
        m_shown.read(shown);
        return;
    }
    if (m_shown.arrived(shown) && m_ownerChanged)
        m_ownerChanged(shown);
}

bool NotificationBanners::isBusClosed() const
{
    return m_sessionBus && g_dbus_connection_is_closed(m_sessionBus.get());
}

void NotificationBanners::setShown(bool shown, std::function<void(bool)> done)
{
    // The writer hears on a later turn, out of GSettings' signal emission and out of this call.
    auto later = [done = std::move(done)](bool ok) {
        if (done)
            NSRunLoop::main().performBlock([done, ok] { done(ok); });
    };
    auto written = m_shown.beginWrite(shown, std::move(later));
    if (!written)
        return;
    if (!write(shown)) {
        m_shown.refused(written);
        // What GSettings tells of the write it could not deliver is no change of the owner's.
        m_shown.read(g_settings_get_boolean(m_settings.get(), kKey));
        return;
    }
    // GSettings may have told of the write already; else this is its echo.
    NSRunLoop::main().performBlock([weak = weak_from_this(), shown] {
        if (auto banners = weak.lock())
            banners->valueArrived(shown);
    });
}

bool NotificationBanners::write(bool shown)
{
    bool written = g_settings_set_boolean(m_settings.get(), kKey, shown);
    // Once dconf has it (its reply takes a round trip to dconf-service), a read gives it back to
    // every process.
    g_settings_sync();
    bool readBack = g_settings_get_boolean(m_settings.get(), kKey) == shown;
    // With the session bus gone dconf drops the write and still reads back its own copy.
    bool busClosed = m_sessionBus
        && (g_dbus_connection_is_closed(m_sessionBus.get()) || !g_dbus_connection_flush_sync(m_sessionBus.get(), nullptr, nullptr));
    return written && readBack && !busClosed;
}
