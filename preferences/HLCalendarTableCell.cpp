#include "preferences/HLCalendarTableCell.h"

#include "platform/foundation/ObjCRuntime.h"

namespace {

[[maybe_unused]] const bool registered
    = ObjCRuntime::registerClass<HLCalendarTableCell>("HLCalendarTableCell", {}, [] { return std::make_shared<HLCalendarTableCell>(); });

}
