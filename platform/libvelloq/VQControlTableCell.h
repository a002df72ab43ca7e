#pragma once

#include "platform/preferences/PSControlTableCell.h"

// libvelloq's switch cell: its on colour is whatever switchCellOnTintColor answers.
class VQControlTableCell : public PSSwitchTableCell {
public:
    // The switch.
    PSSwitchTableCell& control() { return *this; }
};
