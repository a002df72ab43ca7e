#include "platform/uikit/UIApplication.h"

#include "platform/device/Device.h"

#include <mutex>

namespace {

std::mutex& applicationMutex()
{
    static std::mutex mutex;
    return mutex;
}

std::shared_ptr<UIApplication>& installedApplication()
{
    static std::shared_ptr<UIApplication> application;
    return application;
}

}

std::shared_ptr<UIApplication> UIApplication::sharedApplication()
{
    std::lock_guard lock(applicationMutex());
    auto& application = installedApplication();
    if (!application)
        application = std::make_shared<UIApplication>();
    return application;
}

void UIApplication::setSharedApplication(std::shared_ptr<UIApplication> application)
{
    std::lock_guard lock(applicationMutex());
    installedApplication() = std::move(application);
}

bool UIApplication::hasSharedApplication()
{
    std::lock_guard lock(applicationMutex());
    return installedApplication() != nullptr;
}

void UIApplication::setSystemVolumeHUDEnabled(bool enabled)
{
    Device::current().setVolumeDisplayEnabled(enabled);
}
