#include "platform/springboard/SBCCSettingsSectionController.h"

#include "platform/springboard/SBCCDoNotDisturbSetting.h"

namespace {

[[maybe_unused]] const bool registered = ControlCenterList::registerClass<SBCCSettingsSectionController>("SBCCSettingsSectionController", 7, 9, "_modules");

}

SBCCSettingsSectionController::SBCCSettingsSectionController()
    : ControlCenterList({ placeholder("SBCCAirplaneModeSetting"), placeholder("SBCCWiFiSetting"), placeholder("SBCCBluetoothSetting"),
        std::make_shared<SBCCDoNotDisturbSetting>(), placeholder("SBCCRotationLockSetting") })
{
}
