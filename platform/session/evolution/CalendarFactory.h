#pragma once

#include "platform/session/GObjectRef.h"

#include <gio/gio.h>

#include <vector>

// Evolution Data Server's calendar factory as the calendars see it: whether it is on the bus, and
// what is left of it once it has gone.
//
// A view or a client of a factory that has gone must not be given back while no factory is on
// the bus: stopping a view is a blocking call, and a view's last reference sends "Dispose" to the
// factory's well-known name; the bus would start a factory for either, so that EDS, stopped by its
// owner, would come back at once and the host's loop would wait for it. They are kept until a
// factory is back.
class CalendarFactory {
public:
    explicit CalendarFactory(GDBusConnection*);
    // What is kept while no factory is on the bus stays kept to the end of the process.
    ~CalendarFactory();
    CalendarFactory(const CalendarFactory&) = delete;
    CalendarFactory& operator=(const CalendarFactory&) = delete;

    // Asks the bus (a short call), so that a factory that has just left is not taken for present.
    bool isOnBus() const;
    void keepUntilBack(GObjectRef<GObject>);
    // A factory is on the bus again: what was kept is given back.
    void back();

private:
    GDBusConnection* m_bus;
    std::vector<GObjectRef<GObject>> m_leftovers;
};
