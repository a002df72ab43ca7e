#pragma once

#include "platform/eventkit/CalendarMirror.h"
#include "platform/session/GObjectRef.h"
#include "platform/session/evolution/CalendarFactory.h"
#include "platform/session/evolution/EvolutionCalendar.h"

#include <libedataserver/libedataserver.h>

#include <map>
#include <memory>
#include <string>

class GLibPump;

// The session's calendars kept by Evolution Data Server (GNOME Calendar's own, those of GNOME
// Online Accounts) mirrored into the phone's calendar database, each enabled calendar a folder
// under its account (the source's parent), named by the source's UID, which stays through
// renames and restarts. Calendars disabled or deleted leave the mirror; reminders and task lists
// are not read.
//
// It follows the service as the bus tells of it, never by looking again: the registry's signals,
// and the owners of the registry's and the calendar factory's names. A service that leaves (a
// crash, a restart) leaves the mirror as it was until it is back, and is never started again by
// this host: the registry object stays through the service's restart (it tells, once the service
// is back, which calendars really went), and only a registry on the bus says which calendars
// there are. One that is not on the bus at all is said once in the log, and read when it starts.
//
// Runs on GLib's main context, turned by the main run loop (GLibPump).
class EvolutionCalendars {
public:
    // Begins to look for the service at once; the mirror fills as it answers.
    static std::unique_ptr<EvolutionCalendars> start(CalendarMirror);
    ~EvolutionCalendars();
    EvolutionCalendars(const EvolutionCalendars&) = delete;
    EvolutionCalendars& operator=(const EvolutionCalendars&) = delete;

    // Whether the registry of the service answers.
    bool isPresent() const { return m_registry && m_registryOnBus; }
    // Whether the service answered the first look (or said it is not there), and every calendar
    // was read whole or could not be.
    bool hasLooked() const;

private:
    explicit EvolutionCalendars(CalendarMirror);
    void watchNames();
    void openRegistry();
    static void registryOpened(GObject*, GAsyncResult*, gpointer self);
    static void registryAppeared(GDBusConnection*, const gchar*, const gchar*, gpointer self);
    static void registryVanished(GDBusConnection*, const gchar*, gpointer self);
    static void factoryAppeared(GDBusConnection*, const gchar*, const gchar*, gpointer self);
    static void sourcesChanged(ESourceRegistry*, ESource*, gpointer self);
    void closeRegistry();
    // Brings the calendars in line with the registry's enabled calendars.
    void follow();
    CalendarMirror::Calendar describe(ESource*) const;
    EvolutionEventFile::Addresses identities() const;

    std::shared_ptr<GLibPump> m_pump;
    CalendarMirror m_mirror;
    GObjectRef<GDBusConnection> m_bus;
    GObjectRef<GCancellable> m_opening;
    GObjectRef<ESourceRegistry> m_registry;
    std::unique_ptr<CalendarFactory> m_factory;
    bool m_registryOnBus { false };
    guint m_registryWatch { 0 };
    guint m_factoryWatch { 0 };
    bool m_saidAbsent { false };
    bool m_answered { false };
    std::map<std::string, std::unique_ptr<EvolutionCalendar>> m_calendars;
};
