#pragma once

#include "platform/session/EchoedValue.h"

#include <functional>
#include <memory>
#include <optional>
#include <thread>

typedef struct _GMainContext GMainContext;
typedef struct _GMainLoop GMainLoop;
typedef struct _GSettings GSettings;
typedef struct _GDBusConnection GDBusConnection;

// The session's Do Not Disturb: GSettings "org.gnome.desktop.notifications" "show-banners"
// (Phosh's and GNOME Shell's switches are bound to it, inverted).
//
// GSettings lives on a GLib thread of its own, with its own main context, so that the main run
// loop never turns GLib's; what changes is handed to the main run loop. The thread sleeps in
// poll until dconf tells it something. A value that comes back equal to one of our pending writes
// is ours; any other new value is the owner's.
class NotificationBanners : public std::enable_shared_from_this<NotificationBanners> {
public:
    // Reads the key once before returning. Without the schema the setting is absent: one log
    // line says so, and nothing is written.
    static std::shared_ptr<NotificationBanners> connect(std::function<void(bool shown)> ownerChanged);
    ~NotificationBanners();
    NotificationBanners(const NotificationBanners&) = delete;
    NotificationBanners& operator=(const NotificationBanners&) = delete;

    bool isPresent() const { return m_present; }
    std::optional<bool> areShown() const { return m_shown.value(); }
    // `done` runs on the main run loop once dconf has the value and it was read back.
    void setShown(bool shown, std::function<void(bool)> done = {});

private:
    explicit NotificationBanners(std::function<void(bool)> ownerChanged);
    void runGLib(std::function<void(bool present, bool shown)> started);
    void valueArrived(bool shown);
    static void onChanged(GSettings*, const char* key, void* self);

    std::function<void(bool)> m_ownerChanged;
    bool m_present { false };
    EchoedValue<bool> m_shown;
    // The GLib side, touched only on its thread once started.
    GMainContext* m_context { nullptr };
    GMainLoop* m_loop { nullptr };
    GSettings* m_settings { nullptr };
    GDBusConnection* m_sessionBus { nullptr };
    std::thread m_thread;
};
