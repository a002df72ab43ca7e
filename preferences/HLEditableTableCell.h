#pragma once

#include "platform/preferences/PSEditableTableCell.h"

// The plug-in's text row: the keyboard's return key is Done, and pressing it ends the editing.
class HLEditableTableCell : public PSEditableTableCell {
public:
    void textFieldDidBeginEditing() override;
    bool textFieldShouldReturn() override;
};
