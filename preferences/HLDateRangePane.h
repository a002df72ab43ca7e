#pragma once

#include "platform/preferences/PSEditingPane.h"

#include <memory>

class HLProfile;
class UIColor;

// The active-hours pane: a table with the rows "From" and "To" above a time picker. Selecting a
// row points the picker at that end of the window (the picker's tag: 0 "startTime", 1
// "endTime"); turning the picker stores the time when the window still ends after it starts,
// and otherwise refuses it with an alert.
class HLDateRangePane : public PSEditingPane {
public:
    static constexpr double kPickerHeight = 216;
    static constexpr double kTableTop = 20;
    static constexpr double kRowHeight = 44;
    static constexpr double kRowsHeight = 130;

    void initWithFrame(const CGRect& frame) override;
    void setPreferenceSpecifier(std::shared_ptr<PSSpecifier> specifier) override;
    std::shared_ptr<UITableView> tableView() const override { return m_tableView; }
    std::shared_ptr<UIDatePicker> datePicker() const override { return m_datePicker; }
    void layoutSubviews() override;

    // The picker's value-changed action.
    void timeChanged(UIDatePicker& picker);
    void tableViewDidSelectRow(size_t row);

    // The profile of the row that opened the pane.
    std::shared_ptr<HLProfile> profile() const;
    // The colour of the times.
    static std::shared_ptr<UIColor> timeColor();

private:
    std::string rowText(size_t row) const;
    void showRefusal();
    void pointPickerAt(size_t row);

    std::shared_ptr<UITableView> m_tableView;
    std::shared_ptr<UIDatePicker> m_datePicker;
};
