#include "platform/eventkit/EKEventStore.h"

#include "platform/machinery/DeviceRoot.h"
#include "platform/foundation/DispatchQueue.h"
#include "platform/foundation/NSNotificationCenter.h"

#include <set>

namespace {

std::optional<std::filesystem::path>& cacheFileSetting()
{
    static std::optional<std::filesystem::path> file;
    return file;
}

EKEventStore::CacheUpdates& cacheUpdatesSetting()
{
    static EKEventStore::CacheUpdates updates = EKEventStore::CacheUpdates::WhenAsked;
    return updates;
}

}

void EKEventStore::keepReadCalendarsIn(std::optional<std::filesystem::path> cacheFile, CacheUpdates updates)
{
    cacheFileSetting() = std::move(cacheFile);
    cacheUpdatesSetting() = updates;
}

std::shared_ptr<EKEventStore> EKEventStore::init()
{
    auto store = std::make_shared<EKEventStore>(Private {}, calendarsFolder());
    store->startWatching();
    return store;
}

EKEventStore::EKEventStore(Private, std::filesystem::path folder)
    : m_index(std::move(folder), cacheFileSetting() ? std::make_unique<CalendarCache>(*cacheFileSetting()) : nullptr)
    , m_updatesAfterQueries(cacheFileSetting() && cacheUpdatesSetting() == CacheUpdates::AfterQueries)
{
    if (m_updatesAfterQueries)
        m_index.deferCacheSaves();
}

EKEventStore::~EKEventStore()
{
    m_watcher.reset();
}

std::filesystem::path EKEventStore::calendarsFolder()
{
    return DeviceRoot::resolve("/var/mobile/Calendars");
}

void EKEventStore::saveReadCalendars()
{
    std::lock_guard lock(m_mutex);
    m_index.keepExpansions();
}

void EKEventStore::keepExpansionsSoon()
{
    if (!m_updatesAfterQueries || m_expansionsPending)
        return;
    m_expansionsPending = true;
    // The passes of one turn of the loop query one after another: one save covers them all, and
    // it writes only when files were read or series expanded further than the cache holds.
    std::weak_ptr<NSObject> weakStore = weak_from_this();
    dispatch_async(dispatch_get_main_queue(), [weakStore] {
        auto store = std::static_pointer_cast<EKEventStore>(weakStore.lock());
        if (!store)
            return;
        std::lock_guard lock(store->m_mutex);
        store->m_expansionsPending = false;
        store->m_index.keepExpansions();
    });
}

void EKEventStore::startWatching()
{
    std::weak_ptr<NSObject> weakStore = weak_from_this();
    m_watcher = std::make_unique<CalendarWatcher>(m_index.root(), [weakStore] {
        if (auto store = weakStore.lock())
            NSNotificationCenter::defaultCenter().postNotificationName(EKEventStoreChangedNotification, store);
    });
}

std::vector<std::shared_ptr<EKCalendar>> EKEventStore::calendarsForEntityType(EKEntityType type)
{
    if (type != EKEntityTypeEvent)
        return {};
    std::lock_guard lock(m_mutex);
    m_index.refresh();
    keepExpansionsSoon();
    return m_index.calendars();
}

std::shared_ptr<EKCalendar> EKEventStore::calendarWithIdentifier(const std::string& identifier)
{
    for (auto& calendar : calendarsForEntityType(EKEntityTypeEvent))
        if (calendar->calendarIdentifier() == identifier)
            return calendar;
    return nullptr;
}

EKEventPredicate EKEventStore::predicateForEventsWithStartDate(const NSDate& startDate, const NSDate& endDate,
    std::optional<std::vector<std::shared_ptr<EKCalendar>>> calendars)
{
    return { startDate, endDate, std::move(calendars) };
}

std::vector<std::shared_ptr<EKEvent>> EKEventStore::eventsMatchingPredicate(const EKEventPredicate& predicate)
{
    std::set<std::string> identifiers;
    if (predicate.calendars)
        for (const auto& calendar : *predicate.calendars)
            if (calendar)
                identifiers.insert(calendar->calendarIdentifier());
    if (predicate.calendars && identifiers.empty())
        return {};
    std::lock_guard lock(m_mutex);
    m_index.refresh();
    keepExpansionsSoon();
    return m_index.events(predicate.startDate.timeIntervalSince1970(), predicate.endDate.timeIntervalSince1970(),
        predicate.calendars ? &identifiers : nullptr);
}

std::shared_ptr<EKEvent> EKEventStore::eventWithUUID(const std::string& uuid)
{
    std::lock_guard lock(m_mutex);
    m_index.refresh();
    keepExpansionsSoon();
    return m_index.eventWithUUID(uuid);
}

std::shared_ptr<EKEvent> EKEventStore::eventWithIdentifier(const std::string& identifier)
{
    std::lock_guard lock(m_mutex);
    m_index.refresh();
    keepExpansionsSoon();
    return m_index.eventWithIdentifier(identifier);
}

std::shared_ptr<EKEvent> EKEventStore::eventWithUniqueId(const std::string& uniqueId)
{
    return eventWithIdentifier(uniqueId);
}

std::shared_ptr<EKEvent> EKEventStore::eventWithUniqueId(const std::string& uniqueId, const NSDate& occurrenceDate)
{
    std::lock_guard lock(m_mutex);
    m_index.refresh();
    keepExpansionsSoon();
    return m_index.eventWithIdentifier(uniqueId, occurrenceDate.timeIntervalSince1970());
}
