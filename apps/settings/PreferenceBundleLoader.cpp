#include "apps/settings/PreferenceBundleLoader.h"

#include "platform/machinery/DeviceRoot.h"
#include "platform/foundation/ObjCRuntime.h"
#include "platform/foundation/PropertyList.h"
#include "platform/preferences/PSListController.h"

#include <dlfcn.h>
#include <stdexcept>

std::shared_ptr<PSListController> PreferenceBundleLoader::loadRootController(const std::string& bundlePhonePath)
{
    auto folder = DeviceRoot::resolve(bundlePhonePath);
    auto info = PropertyList::read(folder / "Info.plist");
    if (!info || !info->isDictionary())
        throw std::runtime_error("no Info.plist in " + folder.string());
    auto executable = (*info)["CFBundleExecutable"].asString();
    auto principal = (*info)["NSPrincipalClass"].asString();
    if (!executable || !principal)
        throw std::runtime_error(folder.string() + "/Info.plist names no CFBundleExecutable or NSPrincipalClass");
    // The bundle stays loaded for the life of the process, as on the phone.
    if (!dlopen((folder / *executable).c_str(), RTLD_NOW | RTLD_GLOBAL))
        throw std::runtime_error(std::string("cannot load the bundle's binary: ") + dlerror());
    auto rootClass = NSClassFromString(*principal);
    auto root = rootClass ? std::dynamic_pointer_cast<PSListController>(rootClass->alloc()) : nullptr;
    if (!root)
        throw std::runtime_error("the bundle has no list controller class " + *principal);
    root->initForContentSize();
    return root;
}
