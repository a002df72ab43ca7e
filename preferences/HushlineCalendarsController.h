#pragma once

#include "preferences/HLPickerListController.h"

// The calendar picker: whether all-day events are ignored, the link to the event-status picker,
// and the writable calendars of each account (accounts sorted regardless of case) with a
// checkmark on the calendars whose events trigger the profile. A tap on a calendar toggles it.
class HushlineCalendarsController : public HLPickerListController {
public:
    const Specifiers& specifiers() override;
    std::shared_ptr<PSTableCell> tableViewCellForRow(size_t index) override;
    void tableViewDidSelectRow(size_t index) override;

    PlistValue readPreferenceValue(const std::shared_ptr<PSSpecifier>&) override;
    void setPreferenceValue(const PlistValue& value, const std::shared_ptr<PSSpecifier>&) override;

    void profileAppliedStateChanged(const NSNotification&) override;

private:
    std::shared_ptr<PSSpecifier> allDayEventsSpecifier();
    std::shared_ptr<PSSpecifier> eventStatusSpecifier();
    void appendCalendarGroups();
    void toggleCalendar(const std::string& identifier);
};
