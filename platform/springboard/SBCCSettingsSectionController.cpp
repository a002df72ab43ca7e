#include "platform/springboard/SBCCSettingsSectionController.h"

#include "platform/device/Device.h"
#include "platform/foundation/ObjCRuntime.h"
#include "platform/foundation/VQInstanceVariables.h"
#include "platform/springboard/ControlCenterElement.h"
#include "platform/springboard/SBCCDoNotDisturbSetting.h"

namespace {

[[maybe_unused]] const bool registered = ObjCRuntime::registerClass<SBCCSettingsSectionController>("SBCCSettingsSectionController",
    [] { return Device::current().runsMajorVersion(7, 9); });
[[maybe_unused]] const bool variables = VQInstanceVariables::add<SBCCSettingsSectionController>("_modules",
    [](SBCCSettingsSectionController& section) { return VQInstanceVariables::objects(section.modules()); });

}

SBCCSettingsSectionController::SBCCSettingsSectionController()
    : m_modules {
        std::make_shared<ControlCenterElement>("SBCCAirplaneModeSetting"),
        std::make_shared<ControlCenterElement>("SBCCWiFiSetting"),
        std::make_shared<ControlCenterElement>("SBCCBluetoothSetting"),
        std::make_shared<SBCCDoNotDisturbSetting>(),
        std::make_shared<ControlCenterElement>("SBCCRotationLockSetting"),
    }
{
}
