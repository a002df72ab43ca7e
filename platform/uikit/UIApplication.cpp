#include "platform/uikit/UIApplication.h"

#include "platform/device/Device.h"
#include "platform/machinery/DeviceRoot.h"
#include "platform/uikit/UIWindow.h"

#include <filesystem>

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

bool UIApplication::canOpenURL(const std::string& url) const
{
    auto colon = url.find(':');
    if (colon == std::string::npos || colon == 0)
        return false;
    std::string scheme = url.substr(0, colon);
    if (scheme == "http" || scheme == "https")
        return true;
    std::error_code error;
    return std::filesystem::is_directory(DeviceRoot::resolve("/Applications/" + scheme + ".app"), error);
}

bool UIApplication::openURL(const std::string& url)
{
    if (!canOpenURL(url))
        return false;
    m_openedURLs.push_back(url);
    UIWindow::keyWindow().setNeedsDisplay();
    return true;
}
