#pragma once

#include "platform/eventkit/CalendarMirror.h"
#include "platform/session/GObjectRef.h"
#include "platform/session/evolution/CalendarFactory.h"
#include "platform/session/evolution/EvolutionEventFile.h"

#include <libecal/libecal.h>

#include <map>
#include <optional>
#include <set>
#include <string>

// One calendar of Evolution Data Server kept in the mirror: connected to the calendar factory
// without blocking the loop, a live view of all its events, each stored event (a master, an
// occurrence stored apart) written to its own file as soon as the view tells of it. The first
// notice of a view holds every event: once it is complete, the mirror's files of events the
// calendar no longer holds are removed, and only then. Nothing else removes an event's file but
// the view's own word that the event was removed: a factory that leaves takes nothing from the
// mirror, and its view is dropped without a word to it (see CalendarFactory).
//
// Everything runs on GLib's main context (the main run loop turns it). Until it has connected
// the calendar has no folder of its own in the mirror, unless one is left from before; a calendar
// that cannot be opened keeps what the mirror held.
class EvolutionCalendar {
public:
    EvolutionCalendar(ESource*, CalendarMirror&, CalendarFactory&, CalendarMirror::Calendar, EvolutionEventFile::Addresses identities);
    ~EvolutionCalendar();
    EvolutionCalendar(const EvolutionCalendar&) = delete;
    EvolutionCalendar& operator=(const EvolutionCalendar&) = delete;

    const CalendarMirror::Place& place() const { return m_place; }
    bool isConnected() const { return m_client != nullptr; }
    // Whether the calendar was read whole once, or could not be.
    bool hasLooked() const { return m_looked; }
    // Name, colour, account: the folder follows (writability is the calendar's own).
    void describe(CalendarMirror::Calendar);
    // The owner's addresses of the session's mail identities changed: every file is made again.
    void setIdentities(EvolutionEventFile::Addresses);
    // Connects (again): at first, or when the calendar factory is back on the bus.
    void connect();
    void disconnect();

private:
    // The factory has gone: its view and client are left to the factory's keeping.
    void abandon();
    static void connected(GObject*, GAsyncResult*, gpointer self);
    static void viewCreated(GObject*, GAsyncResult*, gpointer self);
    static void objectsAdded(ECalClientView*, const GSList* components, gpointer self);
    static void objectsRemoved(ECalClientView*, const GSList* ids, gpointer self);
    static void viewComplete(ECalClientView*, const GError*, gpointer self);
    static void readOnlyChanged(GObject*, GParamSpec*, gpointer self);
    static void backendDied(EClient*, gpointer self);
    void startView();
    void stopView();
    void writeEvent(ICalComponent*);
    void removeLeftovers();
    EvolutionEventFile::Addresses owner() const;
    std::optional<std::string> zoneDefinition(const std::string& tzid);

    GObjectRef<ESource> m_source;
    CalendarMirror& m_mirror;
    CalendarFactory& m_factory;
    CalendarMirror::Calendar m_calendar;
    CalendarMirror::Place m_place;
    EvolutionEventFile::Addresses m_identities;
    std::string m_calendarAddress;
    GObjectRef<GCancellable> m_cancellable;
    GObjectRef<ECalClient> m_client;
    GObjectRef<ECalClientView> m_view;
    // While the view's first notice comes in: the files it has written.
    std::optional<std::set<std::string>> m_populating;
    std::map<std::string, std::optional<std::string>> m_zones;
    bool m_reportedFailure { false };
    bool m_looked { false };
};
