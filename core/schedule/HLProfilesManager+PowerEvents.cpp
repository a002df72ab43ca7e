#include "core/profile/HLProfilesManager.h"

#include "core/HLLog.h"
#include "core/HLTrace.h"
#include "core/apply/EKEvent+Apply.h"
#include "core/profile/EKEvent+Hushline.h"
#include "core/schedule/HLEventWindow.h"
#include "core/schedule/HLWiFiManager.h"
#include "core/NSDate+HLAdditions.h"
#include "platform/eventkit/EKEvent.h"

namespace {

std::string text(const NSDate& date)
{
    return date.description();
}

std::string describe(const std::shared_ptr<EKEvent>& event)
{
    return event ? event->description() : "(null)";
}

}

void HLProfilesManager::schedulePowerEvent(const std::shared_ptr<HLProfile>& profile, std::shared_ptr<EKEvent> event)
{
    if (!event)
        event = getCurrentScheduledEventFromProfile(profile);
    if (!event) {
        HLLogError("****************** Event is nil, hence returning ****************");
        return;
    }
    if (event->status() == EKEventStatusCanceled) {
        HLLogInfo("**** 5. Event '%s' is cancelled, hence ignoring it.", event->title().c_str());
        return;
    }
    if (event->isAllDay()) {
        if (!profile->isAllDayEventsIgnored()) {
            HLLogInfo("Scheduling event now is: %s", describe(event).c_str());
            processScheduledEvent(profile);
        }
        return;
    }

    HLLogInfo("******Scheduling power events for %s", describe(event).c_str());
    NSDate now = NSDate::date();
    auto owner = hl_profile(event);
    auto revertIfApplied = [&] {
        if (owner && owner->isApplied())
            revertProfile(event);
    };
    auto eventCheck = [&] {
        if (hl_isBetweenDate(now, event->startDate(), event->endDate())) {
            processScheduledEvent(profile);
        } else if (event->startDate() < now) {
            HLLogInfo("********* Event %s seems to be out dated, hence not scheduling it.", describe(event).c_str());
            revertIfApplied();
        } else {
            HLLogInfo("******** Scheduling power wakeup at: %s for applying profile.", text(event->startDate()).c_str());
            registerForPowerNotifications(event->startDate(), owner);
            revertIfApplied();
        }
    };

    if (profile->isAllDay() || hl_isOpen(now, profile->startDate(), profile->endDate())) {
        eventCheck();
    } else if (!(profile->startDate() < now)) {
        HLLogInfo("****** Profile's start ime is not crossed, hence scheduling power wakeup at: %s for applying profile.", text(profile->startDate()).c_str());
        registerForPowerNotifications(profile->startDate(), owner);
        revertIfApplied();
    } else {
        HLLogInfo("******* Event %s seems to be out dated, hence not scheduling it.", describe(event).c_str());
        if (owner && owner->isApplied() && profile->endDate() <= now) {
            HLLogInfo("******** Seems event is running/out, but the profile is still applied hence reverting it.");
            revertProfile(event);
        }
    }
}

void HLProfilesManager::processScheduledEvent(const std::shared_ptr<HLProfile>& profile)
{
    bool appliedByGoneNetwork = false;
    if (profile->isWifiEnabled()) {
        auto joined = HLWiFiManager::ssidOf(HLWiFiManager::sharedManager().currentNetWork());
        HLLogInfo("********* Checking whether the network *** '%s' *** is in enabled list or not.", joined ? joined->c_str() : "(null)");
        if (profile->hasWiFiNetwork(joined)) {
            HL_TRACE(networkRuleFollowed(*profile, *joined));
            if (profile->isAllDay()) {
                profile->apply();
                return;
            }
            double startDiff = profile->startDate().timeIntervalSinceNow();
            int32_t startWhole = hl_wholeSeconds(startDiff);
            HLLogInfo("startTimeDiff: %f & startTimeDiffInt: %ld", startDiff, static_cast<long>(startWhole));
            double endDiff = profile->endDate().timeIntervalSinceNow();
            int32_t endWhole = hl_wholeSeconds(endDiff);
            HLLogInfo("endTimeDiff: %f & endTimeDiffInt: %ld", endDiff, static_cast<long>(endWhole));
            if (hl_isStartMoment(startWhole)) {
                HLLogInfo("********************* TURNING PROFILE ON ******************");
                HLLogInfo("Applying profile: %s", profile->description().c_str());
                profile->apply();
                HLLogInfo("Scheduling power wakeup at: %s for reverting profile.", text(profile->endDate()).c_str());
                registerForPowerNotifications(profile->endDate(), profile);
            } else if (hl_isEndMoment(endWhole) || profile->isApplied()) {
                HLLogInfo("********************* TURNING PROFILE OFF ******************");
                profile->revert();
                HLLogInfo("Scheduling power wakeup for 'WiFi' at: %s for applying profile.", text(profile->startDate()).c_str());
                registerForPowerNotifications(profile->startDate(), profile);
            }
            return;
        }
        appliedByGoneNetwork = profile->isApplied();
    }

    HLLogInfo("**** Calling 'getCurrentScheduledEventFromProfile' *************");
    auto event = getCurrentScheduledEventFromProfile(profile);
    if (!event) {
        HLLogError("****************** Event is nil, hence returning ****************");
        return;
    }

    auto turnOn = [&] {
        HLLogInfo("********************* TURNING PROFILE ON ******************");
        applyProfile(event);
        NSDate revertAt = profile->isAllDay() || event->endDate() <= profile->endDate() ? event->endDate() : profile->endDate();
        HLLogInfo("************* Scheduling power wakeup at: %s for reverting profile.", text(revertAt).c_str());
        registerForPowerNotifications(revertAt, profile);
    };
    auto passesAttendance = [&] {
        int64_t wanted = profile->applyProfileEventStatus();
        if (wanted == 0 || event->status() == wanted)
            return true;
        HL_TRACE(eventPassedOver(*profile, *event, HLTraceVerdict::Attendance));
        HLLogInfo("********************* UNBALE TO TURN ON PROFILE, Profile Status: %ld & Event Status: %ld ******************",
            static_cast<long>(wanted), static_cast<long>(event->status()));
        return false;
    };

    if (event->isAllDay()) {
        if (!profile->isAllDayEventsIgnored() && !profile->isApplied() && passesAttendance())
            turnOn();
        return;
    }
    if (!passesAttendance())
        return;

    HLLogInfo("Processing scheduled event: %s", describe(event).c_str());
    int32_t startWhole = hl_wholeSeconds(event->startDate().timeIntervalSinceNow());
    HLLogInfo("[currentEvent.startDate timeIntervalSinceNow]: %f & startTimeDiffInt: %ld", event->startDate().timeIntervalSinceNow(),
        static_cast<long>(hl_wholeSeconds(event->startDate().timeIntervalSinceNow())));
    int32_t endWhole = hl_wholeSeconds(event->endDate().timeIntervalSinceNow());
    HLLogInfo("[currentEvent.endDate timeIntervalSinceNow]: %f & endTimeDiffInt: %ld", event->endDate().timeIntervalSinceNow(),
        static_cast<long>(hl_wholeSeconds(event->endDate().timeIntervalSinceNow())));

    bool occurring = hl_isOccuring(event);
    bool applied = hl_isProfileApplied(event);
    if ((hl_isStartMoment(startWhole) || occurring) && !applied) {
        turnOn();
        return;
    }
    bool off = hl_isEndMoment(endWhole) || (!occurring && applied) || (applied && event->endDate() >= profile->endDate());
    if (off) {
        HLLogInfo("********************* TURNING PROFILE OFF ******************");
        revertProfile(event);
        HLLogInfo("Calling schedule evetns from %s", hl_qualifiedFunctionName(__PRETTY_FUNCTION__).c_str());
        schedulePowerEventsForProfiles();
        removeEventFromScheduledList(profile, event);
    } else if (appliedByGoneNetwork) {
        profile->revert();
        removeEventFromScheduledList(profile, event);
    }
}

void HLProfilesManager::registerForPowerNotifications(const std::optional<NSDate>& date, const std::shared_ptr<HLProfile>& profile)
{
    HLLogInfo("******** Scheduling timer for %s ***************", date ? text(*date).c_str() : "(null)");
    if (profile)
        profile->beginTimerForDate(date);
}
