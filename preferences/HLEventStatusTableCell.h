#pragma once

#include "platform/preferences/PSTableCell.h"

// A row of the event-status picker: the stock title is hidden and a label of its own shows the
// row's identifier in the cell's tint colour, 15 points from the left edge, 40 points narrower
// than the cell and as high as the cell.
class HLEventStatusTableCell : public PSTableCell {
public:
    static constexpr double kCellWidth = 390;
    static constexpr double kCellHeight = 44;

    void refreshCellContentsWithSpecifier(const std::shared_ptr<PSSpecifier>& specifier) override;
    void layoutSubviews() override;
    const UILabelData& displayedTitleLabel() const override { return m_statusLabel; }

    const UILabelData& statusLabel() const { return m_statusLabel; }

private:
    UILabelData m_statusLabel;
};
