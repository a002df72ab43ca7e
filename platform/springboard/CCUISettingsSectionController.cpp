#include "platform/springboard/CCUISettingsSectionController.h"

#include "platform/device/Device.h"
#include "platform/foundation/ObjCRuntime.h"
#include "platform/springboard/CCUIDoNotDisturbSetting.h"
#include "platform/springboard/ControlCenterElement.h"

namespace {

[[maybe_unused]] const bool registered = ObjCRuntime::registerClass<CCUISettingsSectionController>("CCUISettingsSectionController",
    [] { return Device::current().runsMajorVersion(10, 10); });

}

CCUISettingsSectionController::CCUISettingsSectionController()
    : m_modules {
        std::make_shared<ControlCenterElement>("CCUIAirplaneModeSetting"),
        std::make_shared<ControlCenterElement>("CCUIWiFiSetting"),
        std::make_shared<ControlCenterElement>("CCUIBluetoothSetting"),
        std::make_shared<CCUIDoNotDisturbSetting>(),
        std::make_shared<ControlCenterElement>("CCUIRotationLockSetting"),
    }
{
}
