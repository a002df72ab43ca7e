#pragma once

#include "platform/preferences/PSTableCell.h"

// A calendar's row in the calendar picker: the calendar's colour swatch as icon and its title,
// made in the default style without reuse identifier; the picker sets the checkmark and tint.
class HLCalendarTableCell : public PSTableCell {
};
