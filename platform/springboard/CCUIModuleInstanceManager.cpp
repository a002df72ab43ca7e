#include "platform/springboard/CCUIModuleInstanceManager.h"

#include "platform/device/Device.h"
#include "platform/foundation/ObjCRuntime.h"
#include "platform/springboard/CCUIDoNotDisturbModule.h"
#include "platform/springboard/ControlCenterElement.h"

namespace {

[[maybe_unused]] const bool registered = ObjCRuntime::registerClass<CCUIModuleInstanceManager>("CCUIModuleInstanceManager",
    [] { return Device::current().runsMajorVersion(11, 13); });

std::shared_ptr<CCUIModuleInstance> instance(const char* identifier, std::shared_ptr<NSObject> module)
{
    return std::make_shared<CCUIModuleInstance>(std::make_shared<CCUIModuleMetadata>(identifier), std::move(module));
}

std::shared_ptr<NSObject> other(const char* phoneClass)
{
    return std::make_shared<ControlCenterElement>(phoneClass);
}

}

std::shared_ptr<CCUIModuleInstanceManager> CCUIModuleInstanceManager::sharedInstance()
{
    static const auto manager = std::make_shared<CCUIModuleInstanceManager>();
    return manager;
}

CCUIModuleInstanceManager::CCUIModuleInstanceManager()
    : m_instances {
        instance("com.apple.control-center.ConnectivityModule", other("CCUIConnectivityModule")),
        instance("com.apple.mediaremote.controlcenter.nowplaying", other("MRPlatterViewController")),
        instance("com.apple.control-center.OrientationLockModule", other("CCUIOrientationLockModule")),
        instance("com.apple.control-center.DoNotDisturbModule", std::make_shared<CCUIDoNotDisturbModule>()),
        instance("com.apple.control-center.DisplayModule", other("CCUIDisplayModule")),
        instance("com.apple.control-center.AudioModule", other("CCUIAudioModule")),
    }
{
}
