#pragma once

#include "platform/session/GObjectRef.h"
#include "platform/session/RemoteValue.h"

#include <functional>
#include <memory>
#include <optional>

class GLibPump;
typedef struct _GSettings GSettings;
typedef struct _GDBusConnection GDBusConnection;

// The session's Do Not Disturb: GSettings "org.gnome.desktop.notifications" "show-banners"
// (Phosh's and GNOME Shell's switches are bound to it, inverted).
//
// GSettings runs on GLib's main context, which the main run loop turns (GLibPump): its change
// signals come on the main thread, and the loop sleeps until dconf tells something. A value that
// comes back equal to one of our pending writes is ours; any other new value is the owner's.
// dconf-service is bus-activated and holds no state of its own (the database is a file every
// process reads): a restarted one changes nothing here, the next write starts it again.
class NotificationBanners : public std::enable_shared_from_this<NotificationBanners> {
public:
    // Reads the key once before returning. Without the schema the setting is absent: one log
    // line says so, and nothing is written.
    static std::shared_ptr<NotificationBanners> connect(std::function<void(bool shown)> ownerChanged);
    ~NotificationBanners();
    NotificationBanners(const NotificationBanners&) = delete;
    NotificationBanners& operator=(const NotificationBanners&) = delete;

    bool isPresent() const { return m_shown.isPresent(); }
    std::optional<bool> areShown() const { return m_shown.value(); }
    // `done` runs on a later turn of the main run loop: true once dconf has the value and it was
    // read back (or it held it already), false when it was refused (the session bus has closed,
    // say) or the setting is absent.
    void setShown(bool shown, std::function<void(bool)> done = {});

private:
    explicit NotificationBanners(std::function<void(bool)> ownerChanged);
    void open();
    bool write(bool shown);
    void valueArrived(bool shown);
    bool isBusClosed() const;
    static void onChanged(GSettings*, const char* key, void* self);

    std::function<void(bool)> m_ownerChanged;
    RemoteValue<bool> m_shown;
    // Declared before the GLib objects, so that it turns the context until they are gone.
    std::shared_ptr<GLibPump> m_pump;
    GObjectRef<GDBusConnection> m_sessionBus;
    GObjectRef<GSettings> m_settings;
    unsigned long m_changedHandler { 0 };
};
