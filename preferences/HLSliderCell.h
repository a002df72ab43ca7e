#pragma once

#include "platform/preferences/PSControlTableCell.h"

// The plug-in's slider row: the row's name stands as a visible title above the slider.
class HLSliderCell : public PSSliderTableCell {
public:
    void refreshCellContentsWithSpecifier(const std::shared_ptr<PSSpecifier>&) override;
    void layoutSubviews() override;
    double defaultCellHeight() const override { return 70; }
};
