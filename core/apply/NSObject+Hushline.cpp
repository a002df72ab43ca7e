#include "core/apply/NSObject+Hushline.h"

#include <any>

namespace {

constexpr const char* kChangedViaHWButtonsKey = "hl_ChangedViaHWButtons";

}

bool hl_ChangedViaHWButtons(const NSObject& object)
{
    const bool* flag = std::any_cast<bool>(&object.associatedObject(kChangedViaHWButtonsKey));
    return flag && *flag;
}

void hl_setChangedViaHWButtons(NSObject& object, bool changed)
{
    object.setAssociatedObject(kChangedViaHWButtonsKey, changed);
}
