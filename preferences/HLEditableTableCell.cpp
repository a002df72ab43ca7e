#include "preferences/HLEditableTableCell.h"

#include "platform/foundation/ObjCRuntime.h"

namespace {

[[maybe_unused]] const bool registered
    = ObjCRuntime::registerClass<HLEditableTableCell>("HLEditableTableCell", {}, [] { return std::make_shared<HLEditableTableCell>(); });

}

void HLEditableTableCell::textFieldDidBeginEditing()
{
    PSEditableTableCell::textFieldDidBeginEditing();
    setReturnKeyType(UIReturnKeyType::Done);
}

bool HLEditableTableCell::textFieldShouldReturn()
{
    endEditing();
    return true;
}
