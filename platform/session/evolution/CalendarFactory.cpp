#include "platform/session/evolution/CalendarFactory.h"

#include "platform/session/evolution/EvolutionNames.h"

CalendarFactory::CalendarFactory(GDBusConnection* bus)
    : m_bus(bus)
{
}

bool CalendarFactory::isOnBus() const
{
    return busNameHasOwner(m_bus, kEvolutionCalendarFactoryName);
}

// A host that stops while EDS is down gives nothing back either: the last references would call
// the factory by its well-known name, and the bus would start EDS for a process that is leaving.
// The leftovers stay reachable from here, so that they end with the process and are not taken
// for lost memory.
CalendarFactory::~CalendarFactory()
{
    if (m_leftovers.empty() || isOnBus())
        return;
    static auto* keptToTheEnd = new std::vector<GObjectRef<GObject>>();
    for (auto& leftover : m_leftovers)
        keptToTheEnd->push_back(std::move(leftover));
}

void CalendarFactory::keepUntilBack(GObjectRef<GObject> leftover)
{
    if (leftover)
        m_leftovers.push_back(std::move(leftover));
}

void CalendarFactory::back()
{
    m_leftovers.clear();
}
