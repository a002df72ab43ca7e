#include "platform/springboard/CCUISettingsSectionController.h"

#include "platform/springboard/CCUIDoNotDisturbSetting.h"

namespace {

[[maybe_unused]] const bool registered = ControlCenterList::registerClass<CCUISettingsSectionController>("CCUISettingsSectionController", 10, 10);

}

CCUISettingsSectionController::CCUISettingsSectionController()
    : ControlCenterList({ placeholder("CCUIAirplaneModeSetting"), placeholder("CCUIWiFiSetting"), placeholder("CCUIBluetoothSetting"),
        std::make_shared<CCUIDoNotDisturbSetting>(), placeholder("CCUIRotationLockSetting") })
{
}
