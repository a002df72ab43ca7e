#include "preferences/HLDateRangePane.h"

#include "core/profile/HLProfile.h"
#include "platform/foundation/ObjCRuntime.h"
#include "platform/preferences/PSSpecifier.h"
#include "platform/preferences/PSViewController.h"
#include "platform/uikit/UIAlertController.h"
#include "platform/uikit/UIColor.h"
#include "platform/uikit/UIDatePicker.h"
#include "platform/uikit/UITableView.h"
#include "preferences/HLDateRangeControllerDelegate.h"
#include "preferences/HLLocalizedString.h"
#include "preferences/HLTimeText.h"

namespace {

[[maybe_unused]] const bool registered
    = ObjCRuntime::registerClass<HLDateRangePane>("HLDateRangePane", {}, [] { return std::make_shared<HLDateRangePane>(); });

const char* keyForTag(long tag)
{
    return tag == 0 ? "startTime" : "endTime";
}

std::string joined(const std::string& label, const std::string& time)
{
    return label + " " + time;
}

}

void HLDateRangePane::initWithFrame(const CGRect& frame)
{
    PSEditingPane::initWithFrame(frame);
    std::weak_ptr<HLDateRangePane> weakSelf = std::static_pointer_cast<HLDateRangePane>(shared_from_this());
    m_datePicker = std::make_shared<UIDatePicker>();
    m_datePicker->setDatePickerMode(UIDatePickerMode::Time);
    m_datePicker->setTag(0);
    m_datePicker->setValueChangedAction([weakSelf](UIDatePicker& picker) {
        if (auto self = weakSelf.lock())
            self->timeChanged(picker);
    });
    m_tableView = std::make_shared<UITableView>();
    m_tableView->grouped = true;
    m_tableView->rowHeight = kRowHeight;
    m_tableView->scrollEnabled = false;
    m_tableView->bounces = false;
    m_tableView->reuseIdentifier = "dateCell";
    m_tableView->setDataSource([] { return size_t { 2 }; },
        [weakSelf](size_t row) {
            auto self = weakSelf.lock();
            return self ? UITableViewRow { self->rowText(row), timeColor(), NSTextAlignment::Center } : UITableViewRow {};
        });
    m_tableView->setDidSelectRow([weakSelf](size_t row) {
        if (auto self = weakSelf.lock())
            self->tableViewDidSelectRow(row);
    });
    layoutSubviews();
}

void HLDateRangePane::setPreferenceSpecifier(std::shared_ptr<PSSpecifier> specifier)
{
    PSEditingPane::setPreferenceSpecifier(std::move(specifier));
    if (m_datePicker)
        pointPickerAt(static_cast<size_t>(m_datePicker->tag() == 0 ? 0 : 1));
}

void HLDateRangePane::layoutSubviews()
{
    if (!m_tableView)
        return;
    const auto& bounds = frame();
    m_datePicker->frame = CGRect { 0, bounds.height - kPickerHeight, bounds.width, kPickerHeight };
    m_tableView->frame = CGRect { 0, kTableTop, bounds.width, bounds.height - (kPickerHeight + kTableTop) };
    // Half the room left over by the two rows, so that they sit in the middle of the table.
    m_tableView->contentInsetTop = (m_tableView->frame.height - kRowsHeight) / 2;
    m_tableView->selectRow(0);
}

std::shared_ptr<HLProfile> HLDateRangePane::profile() const
{
    return preferenceSpecifier() ? preferenceSpecifier()->userInfo().asObject<HLProfile>() : nullptr;
}

std::shared_ptr<UIColor> HLDateRangePane::timeColor()
{
    return UIColor::colorWithRed(0, 0.478431, 1, 1);
}

std::string HLDateRangePane::rowText(size_t row) const
{
    auto record = profile();
    const auto& time = record ? (row == 0 ? record->startTime() : record->endTime()) : std::nullopt;
    return joined(HLLocalizedString(row == 0 ? "From" : "To"), time.value_or(""));
}

void HLDateRangePane::tableViewDidSelectRow(size_t row)
{
    pointPickerAt(row);
}

void HLDateRangePane::pointPickerAt(size_t row)
{
    m_datePicker->setTag(static_cast<long>(row));
    auto record = profile();
    if (!record)
        return;
    const auto& time = row == 0 ? record->startTime() : record->endTime();
    if (auto date = time ? hl_dateFromTimeText(*time) : std::nullopt)
        m_datePicker->setDate(*date);
}

void HLDateRangePane::timeChanged(UIDatePicker& picker)
{
    auto record = profile();
    if (!record)
        return;
    std::string text = hl_timeText(picker.date());
    bool start = picker.tag() == 0;
    NSDate from = start ? picker.date() : record->startDate();
    NSDate to = start ? record->endDate() : picker.date();
    if (hl_secondsOfDay(to) - hl_secondsOfDay(from) <= 0) {
        showRefusal();
        return;
    }
    record->setValueForKey(PlistValue(text), keyForTag(picker.tag()));
    // The record keeps the window's bounds once read; the end just moved, so it is read afresh.
    if (start)
        record->setStartDate(std::nullopt);
    else
        record->setEndDate(std::nullopt);
    m_tableView->selectRow(static_cast<size_t>(picker.tag()));
    if (auto delegate = std::dynamic_pointer_cast<HLDateRangeControllerDelegate>(this->delegate()))
        delegate->timeChanged();
}

void HLDateRangePane::showRefusal()
{
    auto controller = delegate();
    if (!controller)
        return;
    auto alert = UIAlertController::alertControllerWithTitle(HLLocalizedString("Error"),
        HLLocalizedString("Invalid configuration, 'To' time cannot be less than 'From' time."), UIAlertControllerStyle::Alert);
    alert->addAction(UIAlertAction::actionWithTitle(HLLocalizedString("Close"), UIAlertActionStyle::Default, nullptr));
    controller->presentViewController(alert, true);
}
