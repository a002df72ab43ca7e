#pragma once

#include "platform/preferences/PSTableCell.h"

// The profile editor's "Active Hours" cell: two lines, "From" with the profile's start time and
// "To" with its end time; the words on the left in black, the times right-aligned in the
// colour of the active-hours screen. The cell's own title stays empty.
class HLDateRangeCell : public PSTableCell {
public:
    static constexpr double kHeight = 64;
    static constexpr double kLineSpacing = 24;

    void refreshCellContentsWithSpecifier(const std::shared_ptr<PSSpecifier>&) override;
    void layoutSubviews() override;
    double defaultCellHeight() const override { return kHeight; }
};
