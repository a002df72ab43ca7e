#pragma once

#include "platform/libvelloq/VQPackageHeaderCell.h"

// The root list's header: white title on the navigation colour (a panel behind the cell on a
// tablet, the cell's own background on a phone).
class HLPackageHeaderCell : public VQPackageHeaderCell {
public:
    void refreshCellContentsWithSpecifier(const std::shared_ptr<PSSpecifier>&) override;
};
