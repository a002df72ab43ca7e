#include "platform/session/evolution/EvolutionCalendars.h"

#include "platform/foundation/NSLog.h"
#include "platform/session/GLibPump.h"
#include "platform/session/evolution/EvolutionNames.h"
#include "platform/session/evolution/GErrorPtr.h"
#include "platform/session/evolution/SourceColor.h"

#include <libecal/libecal.h>

#include <set>

namespace {

// A source without a parent stands in an account of this name.
constexpr const char* kLoneAccount = "evolution";

std::string text(const char* value, const char* otherwise = "")
{
    return value && *value ? value : otherwise;
}

template<class T>
void forEachSource(GList* sources, T&& each)
{
    for (GList* item = sources; item; item = item->next)
        each(E_SOURCE(item->data));
    g_list_free_full(sources, g_object_unref);
}

}

std::unique_ptr<EvolutionCalendars> EvolutionCalendars::start(CalendarMirror mirror)
{
    std::unique_ptr<EvolutionCalendars> calendars(new EvolutionCalendars(std::move(mirror)));
    calendars->watchNames();
    calendars->openRegistry();
    return calendars;
}

EvolutionCalendars::EvolutionCalendars(CalendarMirror mirror)
    : m_pump(GLibPump::shared())
    , m_mirror(std::move(mirror))
{
}

EvolutionCalendars::~EvolutionCalendars()
{
    if (m_opening)
        g_cancellable_cancel(m_opening.get());
    closeRegistry();
    if (m_registryWatch)
        g_bus_unwatch_name(m_registryWatch);
    if (m_factoryWatch)
        g_bus_unwatch_name(m_factoryWatch);
}

void EvolutionCalendars::watchNames()
{
    m_bus.reset(g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr));
    m_factory = std::make_unique<CalendarFactory>(m_bus.get());
    if (!m_bus)
        return;
    // The end of the session is the host's to decide, not GLib's (which would raise SIGTERM).
    g_dbus_connection_set_exit_on_close(m_bus.get(), FALSE);
    m_registryWatch = g_bus_watch_name_on_connection(m_bus.get(), kEvolutionRegistryName, G_BUS_NAME_WATCHER_FLAGS_NONE,
        &EvolutionCalendars::registryAppeared, &EvolutionCalendars::registryVanished, this, nullptr);
    m_factoryWatch = g_bus_watch_name_on_connection(m_bus.get(), kEvolutionCalendarFactoryName, G_BUS_NAME_WATCHER_FLAGS_NONE,
        &EvolutionCalendars::factoryAppeared, nullptr, this, nullptr);
}

// Opening the registry starts the service when the bus can (bus activation), as GNOME Calendar
// would.
void EvolutionCalendars::openRegistry()
{
    if (m_registry || m_opening)
        return;
    m_opening.reset(g_cancellable_new());
    e_source_registry_new(m_opening.get(), &EvolutionCalendars::registryOpened, this);
}

void EvolutionCalendars::registryOpened(GObject*, GAsyncResult* result, gpointer data)
{
    GErrorPtr error;
    ESourceRegistry* registry = e_source_registry_new_finish(result, error.out());
    if (error.isCancelled())
        return;
    auto* self = static_cast<EvolutionCalendars*>(data);
    self->m_opening.reset();
    self->m_answered = true;
    // A registry is made also where no service answers (nothing to activate): it is empty then.
    if (registry && !busNameHasOwner(self->m_bus.get(), kEvolutionRegistryName)) {
        g_object_unref(registry);
        registry = nullptr;
    }
    if (!registry) {
        if (!self->m_saidAbsent)
            NSLog("Calendars: Evolution Data Server is not on the session bus%s%s; GNOME Calendar's calendars are read once it starts",
                error ? ": " : "", error.message());
        self->m_saidAbsent = true;
        return;
    }
    self->m_registry.reset(registry);
    self->m_registryOnBus = true;
    for (const char* signal : { "source-added", "source-changed", "source-removed", "source-enabled", "source-disabled" })
        g_signal_connect(registry, signal, G_CALLBACK(&EvolutionCalendars::sourcesChanged), self);
    NSLog("Calendars: reading Evolution Data Server's calendars");
    self->follow();
}

bool EvolutionCalendars::hasLooked() const
{
    if (!m_answered)
        return false;
    for (const auto& [uid, calendar] : m_calendars)
        if (!calendar->hasLooked())
            return false;
    return true;
}

// The registry object made before follows the service's restart itself: the calendars that went
// meanwhile are told of as removed once it is back, as the service says, not before.
void EvolutionCalendars::registryAppeared(GDBusConnection*, const gchar*, const gchar*, gpointer data)
{
    auto* self = static_cast<EvolutionCalendars*>(data);
    if (!self->m_registry) {
        self->openRegistry();
        return;
    }
    if (self->m_registryOnBus)
        return;
    self->m_registryOnBus = true;
    NSLog("Calendars: Evolution Data Server is back on the session bus");
    self->follow();
}

// Its calendars stay as they are: the registry, gone, says nothing about them.
void EvolutionCalendars::registryVanished(GDBusConnection*, const gchar*, gpointer data)
{
    auto* self = static_cast<EvolutionCalendars*>(data);
    if (!self->m_registry || !self->m_registryOnBus)
        return;
    self->m_registryOnBus = false;
    NSLog("Calendars: Evolution Data Server left the session bus; its calendars keep what they held until it is back");
}

// A calendar factory back on the bus: what was left of the one before is given back, and the
// calendars that could not reach it connect now.
void EvolutionCalendars::factoryAppeared(GDBusConnection*, const gchar*, const gchar*, gpointer data)
{
    auto* self = static_cast<EvolutionCalendars*>(data);
    self->m_factory->back();
    for (auto& [uid, calendar] : self->m_calendars)
        if (!calendar->isConnected())
            calendar->connect();
}

void EvolutionCalendars::sourcesChanged(ESourceRegistry*, ESource*, gpointer data)
{
    static_cast<EvolutionCalendars*>(data)->follow();
}

void EvolutionCalendars::closeRegistry()
{
    m_calendars.clear();
    if (m_registry)
        g_signal_handlers_disconnect_by_data(m_registry.get(), this);
    m_registry.reset();
}

void EvolutionCalendars::follow()
{
    if (!isPresent())
        return;
    EvolutionEventFile::Addresses owner = identities();
    std::map<std::string, CalendarMirror::Calendar> wanted;
    std::set<CalendarMirror::Place> places;
    forEachSource(e_source_registry_list_enabled(m_registry.get(), E_SOURCE_EXTENSION_CALENDAR), [&](ESource* source) {
        CalendarMirror::Calendar calendar = describe(source);
        places.insert({ calendar.account, calendar.name });
        wanted.emplace(text(e_source_get_uid(source)), calendar);
    });
    std::erase_if(m_calendars, [&](const auto& entry) { return !wanted.count(entry.first); });
    for (const auto& place : m_mirror.calendars())
        if (!places.count(place))
            m_mirror.removeCalendar(place);
    for (auto& [uid, calendar] : wanted) {
        auto known = m_calendars.find(uid);
        if (known != m_calendars.end()) {
            known->second->describe(calendar);
            known->second->setIdentities(owner);
            continue;
        }
        ESource* source = e_source_registry_ref_source(m_registry.get(), uid.c_str());
        if (!source)
            continue;
        auto added = std::make_unique<EvolutionCalendar>(source, m_mirror, *m_factory, calendar, owner);
        g_object_unref(source);
        added->connect();
        m_calendars.emplace(uid, std::move(added));
    }
}

CalendarMirror::Calendar EvolutionCalendars::describe(ESource* source) const
{
    CalendarMirror::Calendar calendar;
    calendar.name = text(e_source_get_uid(source));
    calendar.title = text(e_source_get_display_name(source), calendar.name.c_str());
    calendar.account = text(e_source_get_parent(source), kLoneAccount);
    calendar.accountTitle = calendar.account;
    if (ESource* parent = e_source_registry_ref_source(m_registry.get(), calendar.account.c_str())) {
        calendar.accountTitle = text(e_source_get_display_name(parent), calendar.account.c_str());
        g_object_unref(parent);
    }
    auto* selectable = E_SOURCE_SELECTABLE(e_source_get_extension(source, E_SOURCE_EXTENSION_CALENDAR));
    gchar* color = e_source_selectable_dup_color(selectable);
    calendar.color = sourceColorHex(text(color));
    g_free(color);
    return calendar;
}

// The owner's addresses: those of the session's mail identities (a local calendar knows no
// address of its own; Evolution takes these as the user's too).
EvolutionEventFile::Addresses EvolutionCalendars::identities() const
{
    EvolutionEventFile::Addresses addresses;
    forEachSource(e_source_registry_list_enabled(m_registry.get(), E_SOURCE_EXTENSION_MAIL_IDENTITY), [&](ESource* source) {
        auto* identity = E_SOURCE_MAIL_IDENTITY(e_source_get_extension(source, E_SOURCE_EXTENSION_MAIL_IDENTITY));
        gchar* address = e_source_mail_identity_dup_address(identity);
        if (address && *address)
            addresses.push_back(address);
        g_free(address);
    });
    return addresses;
}
