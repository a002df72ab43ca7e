#pragma once

#include <gio/gio.h>

// Evolution Data Server's names on the session bus.
inline constexpr const char* kEvolutionRegistryName = "org.gnome.evolution.dataserver.Sources5";
inline constexpr const char* kEvolutionCalendarFactoryName = "org.gnome.evolution.dataserver.Calendar8";

// Whether the name has an owner now (a short call to the bus, which never starts a service).
bool busNameHasOwner(GDBusConnection*, const char* name);
