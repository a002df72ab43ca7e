#include "platform/session/evolution/EvolutionCalendar.h"

#include "platform/foundation/NSLog.h"
#include "platform/session/evolution/GErrorPtr.h"

#include <malloc.h>

namespace {

// Every event the calendar holds: the view follows them all.
constexpr const char* kEverything = "#t";
// The connection does not wait for a remote calendar to come online: its cache is read at once.
constexpr guint32 kDoNotWaitForOnline = static_cast<guint32>(-1);

struct GFree {
    void operator()(gchar* text) const { g_free(text); }
};
using GText = std::unique_ptr<gchar, GFree>;

}

EvolutionCalendar::EvolutionCalendar(ESource* source, CalendarMirror& mirror, CalendarFactory& factory, CalendarMirror::Calendar calendar,
    EvolutionEventFile::Addresses identities)
    : m_source(E_SOURCE(g_object_ref(source)))
    , m_mirror(mirror)
    , m_factory(factory)
    , m_calendar(std::move(calendar))
    , m_place(m_calendar.account, m_calendar.name)
    , m_identities(std::move(identities))
{
}

EvolutionCalendar::~EvolutionCalendar()
{
    disconnect();
}

void EvolutionCalendar::describe(CalendarMirror::Calendar calendar)
{
    calendar.writable = m_calendar.writable;
    CalendarMirror::Place place { calendar.account, calendar.name };
    m_calendar = std::move(calendar);
    if (place != m_place) {
        // Another account: the calendar moves as a whole.
        m_mirror.removeCalendar(m_place);
        m_place = place;
        if (isConnected()) {
            m_mirror.describe(m_calendar);
            stopView();
            startView();
        }
        return;
    }
    if (isConnected())
        m_mirror.describe(m_calendar);
}

void EvolutionCalendar::setIdentities(EvolutionEventFile::Addresses identities)
{
    if (identities == m_identities)
        return;
    m_identities = std::move(identities);
    if (!isConnected())
        return;
    stopView();
    startView();
}

void EvolutionCalendar::connect()
{
    if (m_cancellable)
        return;
    m_cancellable.reset(g_cancellable_new());
    e_cal_client_connect(m_source.get(), E_CAL_CLIENT_SOURCE_TYPE_EVENTS, kDoNotWaitForOnline, m_cancellable.get(), &EvolutionCalendar::connected,
        this);
}

void EvolutionCalendar::disconnect()
{
    if (m_client && !m_factory.isOnBus()) {
        abandon();
        return;
    }
    if (m_cancellable)
        g_cancellable_cancel(m_cancellable.get());
    m_cancellable.reset();
    stopView();
    if (m_client)
        g_signal_handlers_disconnect_by_data(m_client.get(), this);
    m_client.reset();
    m_zones.clear();
}

void EvolutionCalendar::abandon()
{
    if (m_cancellable)
        g_cancellable_cancel(m_cancellable.get());
    m_cancellable.reset();
    m_populating.reset();
    if (m_view) {
        g_signal_handlers_disconnect_by_data(m_view.get(), this);
        m_factory.keepUntilBack(GObjectRef<GObject>(G_OBJECT(m_view.release())));
    }
    if (m_client) {
        g_signal_handlers_disconnect_by_data(m_client.get(), this);
        m_factory.keepUntilBack(GObjectRef<GObject>(G_OBJECT(m_client.release())));
    }
    m_zones.clear();
}

void EvolutionCalendar::connected(GObject*, GAsyncResult* result, gpointer data)
{
    GErrorPtr error;
    EClient* client = e_cal_client_connect_finish(result, error.out());
    // A cancelled connection belongs to a calendar that may be gone.
    if (error.isCancelled())
        return;
    auto* self = static_cast<EvolutionCalendar*>(data);
    if (!client) {
        self->m_cancellable.reset();
        self->m_looked = true;
        if (!self->m_reportedFailure)
            NSLog("Calendars: \"%s\" (%s) cannot be opened: %s", self->m_calendar.title.c_str(), self->m_calendar.name.c_str(), error.message());
        self->m_reportedFailure = true;
        return;
    }
    self->m_reportedFailure = false;
    self->m_client.reset(E_CAL_CLIENT(client));
    g_signal_connect(client, "notify::readonly", G_CALLBACK(&EvolutionCalendar::readOnlyChanged), self);
    g_signal_connect(client, "backend-died", G_CALLBACK(&EvolutionCalendar::backendDied), self);
    gchar* address = nullptr;
    // A calendar's own address is a property the connection already holds: no round trip.
    if (e_client_get_backend_property_sync(client, E_CAL_BACKEND_PROPERTY_CAL_EMAIL_ADDRESS, &address, nullptr, nullptr) && address)
        self->m_calendarAddress = address;
    g_free(address);
    self->m_calendar.writable = !e_client_is_readonly(client);
    self->m_mirror.describe(self->m_calendar);
    self->startView();
}

void EvolutionCalendar::startView()
{
    e_cal_client_get_view(m_client.get(), kEverything, m_cancellable.get(), &EvolutionCalendar::viewCreated, this);
}

void EvolutionCalendar::stopView()
{
    m_populating.reset();
    if (!m_view)
        return;
    g_signal_handlers_disconnect_by_data(m_view.get(), this);
    e_cal_client_view_stop(m_view.get(), nullptr);
    m_view.reset();
}

void EvolutionCalendar::viewCreated(GObject* client, GAsyncResult* result, gpointer data)
{
    GErrorPtr error;
    ECalClientView* view = nullptr;
    bool created = e_cal_client_get_view_finish(E_CAL_CLIENT(client), result, &view, error.out());
    if (error.isCancelled())
        return;
    auto* self = static_cast<EvolutionCalendar*>(data);
    if (!created || !view) {
        self->m_looked = true;
        NSLog("Calendars: \"%s\" cannot be followed: %s", self->m_calendar.title.c_str(), error.message());
        return;
    }
    self->stopView();
    self->m_view.reset(view);
    g_signal_connect(view, "objects-added", G_CALLBACK(&EvolutionCalendar::objectsAdded), self);
    g_signal_connect(view, "objects-modified", G_CALLBACK(&EvolutionCalendar::objectsAdded), self);
    g_signal_connect(view, "objects-removed", G_CALLBACK(&EvolutionCalendar::objectsRemoved), self);
    g_signal_connect(view, "complete", G_CALLBACK(&EvolutionCalendar::viewComplete), self);
    self->m_populating.emplace();
    GErrorPtr startError;
    e_cal_client_view_start(view, startError.out());
    if (startError)
        NSLog("Calendars: \"%s\" cannot be followed: %s", self->m_calendar.title.c_str(), startError.message());
}

void EvolutionCalendar::objectsAdded(ECalClientView*, const GSList* components, gpointer data)
{
    auto* self = static_cast<EvolutionCalendar*>(data);
    for (const GSList* item = components; item; item = item->next)
        self->writeEvent(static_cast<ICalComponent*>(item->data));
}

void EvolutionCalendar::writeEvent(ICalComponent* component)
{
    if (i_cal_component_isa(component) != I_CAL_VEVENT_COMPONENT)
        return;
    const char* uid = i_cal_component_get_uid(component);
    GText recurrenceId(e_cal_util_component_get_recurid_as_string(component));
    std::string name = CalendarMirror::eventFileName(uid ? uid : "", recurrenceId ? recurrenceId.get() : "");
    auto* native = static_cast<icalcomponent*>(i_cal_object_get_native(I_CAL_OBJECT(component)));
    std::string text = EvolutionEventFile::text(native, owner(), [this](const std::string& tzid) { return zoneDefinition(tzid); });
    m_mirror.putEvent(m_place, name, text);
    if (m_populating)
        m_populating->insert(name);
}

void EvolutionCalendar::objectsRemoved(ECalClientView*, const GSList* ids, gpointer data)
{
    auto* self = static_cast<EvolutionCalendar*>(data);
    for (const GSList* item = ids; item; item = item->next) {
        auto* id = static_cast<ECalComponentId*>(item->data);
        const char* uid = e_cal_component_id_get_uid(id);
        const char* recurrenceId = e_cal_component_id_get_rid(id);
        std::string name = CalendarMirror::eventFileName(uid ? uid : "", recurrenceId ? recurrenceId : "");
        self->m_mirror.removeEvent(self->m_place, name);
        if (recurrenceId && *recurrenceId)
            continue;
        // The whole series goes: its occurrences stored apart with it.
        std::string occurrences = name.substr(0, name.size() - 4) + "~";
        for (const auto& file : self->m_mirror.eventFiles(self->m_place))
            if (file.rfind(occurrences, 0) == 0)
                self->m_mirror.removeEvent(self->m_place, file);
    }
}

void EvolutionCalendar::viewComplete(ECalClientView*, const GError* error, gpointer data)
{
    auto* self = static_cast<EvolutionCalendar*>(data);
    self->m_looked = true;
    if (error) {
        NSLog("Calendars: \"%s\" was read in part: %s", self->m_calendar.title.c_str(), error->message);
        self->m_populating.reset();
        return;
    }
    self->removeLeftovers();
    // The first listing brought every stored event over the bus, parsed on GDBus's own thread:
    // the memory that held them goes back to the system rather than staying with the allocator
    // for a listing that does not come again.
    malloc_trim(0);
}

// Events deleted while nobody followed the calendar: gone from the mirror once the view has
// told of every event it holds.
void EvolutionCalendar::removeLeftovers()
{
    if (!m_populating)
        return;
    for (const auto& file : m_mirror.eventFiles(m_place))
        if (!m_populating->count(file))
            m_mirror.removeEvent(m_place, file);
    m_populating.reset();
}

void EvolutionCalendar::readOnlyChanged(GObject* client, GParamSpec*, gpointer data)
{
    auto* self = static_cast<EvolutionCalendar*>(data);
    self->m_calendar.writable = !e_client_is_readonly(E_CLIENT(client));
    self->m_mirror.describe(self->m_calendar);
}

// The calendar's backend ended: the mirror keeps what it held. With the factory gone too, the
// calendar connects again when a factory is back on the bus (whoever next asks EDS starts it, never
// this host); a backend that ended alone under a factory still there is opened again at once.
void EvolutionCalendar::backendDied(EClient*, gpointer data)
{
    auto* self = static_cast<EvolutionCalendar*>(data);
    NSLog("Calendars: the calendar factory left \"%s\"; it is read again when the factory is back", self->m_calendar.title.c_str());
    self->abandon();
    if (!self->m_factory.isOnBus())
        return;
    self->m_factory.back();
    self->connect();
}

EvolutionEventFile::Addresses EvolutionCalendar::owner() const
{
    EvolutionEventFile::Addresses addresses = m_identities;
    if (!m_calendarAddress.empty())
        addresses.push_back(m_calendarAddress);
    return addresses;
}

// A zone the phone does not know by name is asked of the calendar once (a rare, short call).
std::optional<std::string> EvolutionCalendar::zoneDefinition(const std::string& tzid)
{
    auto known = m_zones.find(tzid);
    if (known != m_zones.end())
        return known->second;
    std::optional<std::string> definition;
    ICalTimezone* zone = nullptr;
    if (e_cal_client_get_timezone_sync(m_client.get(), tzid.c_str(), &zone, nullptr, nullptr) && zone) {
        if (ICalComponent* component = i_cal_timezone_get_component(zone)) {
            GText text(i_cal_component_as_ical_string(component));
            if (text)
                definition = text.get();
            g_object_unref(component);
        }
    }
    m_zones[tzid] = definition;
    return definition;
}
