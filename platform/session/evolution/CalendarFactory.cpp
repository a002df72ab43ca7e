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

void CalendarFactory::keepUntilBack(GObjectRef<GObject> leftover)
{
    if (leftover)
        m_leftovers.push_back(std::move(leftover));
}

void CalendarFactory::back()
{
    m_leftovers.clear();
}
