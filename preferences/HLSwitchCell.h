#pragma once

#include "platform/libvelloq/VQControlTableCell.h"

// The plug-in's switch row: on in white at alpha 0.6 in dark mode, otherwise in the navigation
// colour.
class HLSwitchCell : public VQControlTableCell {
public:
    std::shared_ptr<UIColor> switchCellOnTintColor() const override;
};
