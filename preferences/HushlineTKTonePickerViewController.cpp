#include "preferences/HushlineTKTonePickerViewController.h"

#include "platform/foundation/ObjCRuntime.h"

namespace {

[[maybe_unused]] const bool registered = ObjCRuntime::registerClass<HushlineTKTonePickerViewController>(
    "HushlineTKTonePickerViewController", {}, [] { return std::make_shared<HushlineTKTonePickerViewController>(); });

}
