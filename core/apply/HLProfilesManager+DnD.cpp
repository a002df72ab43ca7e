#include "core/profile/HLProfilesManager.h"

#include "core/HLLog.h"
#include "core/apply/HLSavedState.h"
#include "core/HLUtils.h"
#include "platform/machinery/DeviceRoot.h"
#include "platform/foundation/NSUserDefaults.h"
#include "platform/foundation/ObjCRuntime.h"
#include "platform/libstatusbar/LSStatusBarItem.h"
#include "platform/foundation/VQInstanceVariables.h"
#include "platform/springboard/CCUIControlCenterPageContainerViewController.h"
#include "platform/springboard/CCUIModuleInstanceManager.h"
#include "platform/springboard/CCUISettingsSectionController.h"
#include "platform/springboard/CCUIToggleModule.h"
#include "platform/springboard/DoNotDisturbSetting.h"
#include "platform/springboard/SBControlCenterController.h"

#include <algorithm>
#include <cctype>
#include <dlfcn.h>

namespace {

constexpr const char* kLibStatusbarPath = "/Library/MobileSubstrate/DynamicLibraries/libstatusbar.dylib";
constexpr const char* kStatusBarItemIdentifier = "com.velloq.hushline";
constexpr int64_t kStatusBarItemAlignment = 2;
constexpr const char* kStatusBarImageName = "Profile";
constexpr const char* kSavedDoNotDisturbKeyPrefix = "com.velloq.hushline-";

using Objects = std::vector<std::shared_ptr<NSObject>>;

// The objects of an array value (an instance variable read by name).
Objects objectsOf(const PlistValue& value)
{
    Objects objects;
    if (const PlistArray* array = value.asArray())
        for (const auto& element : *array)
            objects.push_back(element.asObject());
    return objects;
}

std::shared_ptr<NSObject> firstOfClasses(const Objects& objects, const char* name, const char* otherName)
{
    auto it = std::find_if(objects.begin(), objects.end(), [&](const auto& object) {
        return isKindOfClassNamed(object, name) || isKindOfClassNamed(object, otherName);
    });
    return it == objects.end() ? nullptr : *it;
}

bool containsIgnoringCase(const std::string& text, const std::string& part)
{
    auto lower = [](unsigned char c) { return std::tolower(c); };
    auto found = std::search(text.begin(), text.end(), part.begin(), part.end(),
        [&](char a, char b) { return lower(static_cast<unsigned char>(a)) == lower(static_cast<unsigned char>(b)); });
    return found != text.end();
}

bool isDoNotDisturbModule(const std::string& identifier)
{
    return containsIgnoringCase(identifier, "DND") || containsIgnoringCase(identifier, "Do Not Disturb")
        || containsIgnoringCase(identifier, "DoNotDisturb");
}

// The section list of Control Center before OS 11: the view controller's own before 10; on 10
// that of the system-controls page.
Objects controlCenterSections(const std::shared_ptr<NSObject>& viewController)
{
    if (!HLUtils::isIOS10())
        return objectsOf(vq_instanceVariableForKey(viewController, "_sectionList"));
    for (const auto& page : objectsOf(vq_instanceVariableForKey(viewController, "_allPageContainerViewControllers"))) {
        auto container = std::dynamic_pointer_cast<CCUIControlCenterPageContainerViewController>(page);
        auto content = container ? container->contentViewController() : nullptr;
        if (isKindOfClassNamed(content, "CCUISystemControlsPageViewController"))
            return objectsOf(vq_instanceVariableForKey(content, "_sectionList"));
    }
    return {};
}

std::shared_ptr<DoNotDisturbSetting> controlCenterDoNotDisturbSetting()
{
    if (!NSClassFromString("SBControlCenterController"))
        return nullptr;
    auto controller = SBControlCenterController::sharedInstance();
    auto viewController = controller ? vq_instanceVariableForKey(controller, "_viewController").asObject() : nullptr;
    if (!viewController)
        return nullptr;
    auto section = firstOfClasses(controlCenterSections(viewController), "CCUISettingsSectionController", "SBCCSettingsSectionController");
    if (!section)
        return nullptr;
    Objects modules;
    if (isKindOfClassNamed(section, "CCUISettingsSectionController"))
        modules = std::dynamic_pointer_cast<CCUISettingsSectionController>(section)->_allButtonModules();
    else
        modules = objectsOf(vq_instanceVariableForKey(section, "_modules"));
    return std::dynamic_pointer_cast<DoNotDisturbSetting>(firstOfClasses(modules, "SBCCDoNotDisturbSetting", "CCUIDoNotDisturbSetting"));
}

// The Do Not Disturb module of Control Center from version 11 on; none when the manager class or
// the module is missing. A module that is not a toggle answers nothing, like a message to nil.
std::shared_ptr<CCUIToggleModule> controlCenterDoNotDisturbModule()
{
    if (!NSClassFromString("CCUIModuleInstanceManager"))
        return nullptr;
    for (const auto& instance : CCUIModuleInstanceManager::sharedInstance()->moduleInstances())
        if (instance && instance->metadata() && isDoNotDisturbModule(instance->metadata()->moduleIdentifier()))
            return std::dynamic_pointer_cast<CCUIToggleModule>(instance->module());
    return nullptr;
}

}

void HLProfilesManager::setUpStatusBarItem()
{
    loadLibStatusbar();
    Class itemClass = NSClassFromString("LSStatusBarItem");
    auto item = itemClass ? std::dynamic_pointer_cast<LSStatusBarItem>(itemClass->alloc()) : nullptr;
    if (!item)
        return;
    item->initWithIdentifier(kStatusBarItemIdentifier, kStatusBarItemAlignment);
    item->setImageName(kStatusBarImageName);
    item->setVisible(false);
    m_statusBarItem = item;
}

void HLProfilesManager::loadLibStatusbar()
{
    if (NSClassFromString("LSStatusBarItem"))
        return;
    if (dlopen(DeviceRoot::resolve(kLibStatusbarPath).c_str(), RTLD_NOW))
        HLLogInfo("******* 2. 'libstatusbar.dylib' loaded succesfully ********");
    else
        HLLogError("******* 2. Error while loading 'libstatusbar.dylib'********");
}

void HLProfilesManager::showORHideIconsOnSpringBoard(bool show)
{
    if (m_statusBarItem)
        m_statusBarItem->setVisible(show);
}

void HLProfilesManager::enableORDisableDnD(bool on)
{
    auto& defaults = NSUserDefaults::standardUserDefaults();
    PlistValue saved = defaults.objectForKey(HLSavedState::kDoNotDisturbKey);
    if (on) {
        // What the phone had before the first profile that switches Do Not Disturb on is what
        // the revert gives back.
        if (saved.isNone()) {
            defaults.setBool(isDoNotDisturbOn(), HLSavedState::kDoNotDisturbKey);
            defaults.synchronize();
        }
        switchDoNotDisturb(true);
        return;
    }
    // Nothing saved: the system did not switch Do Not Disturb, so the user's setting stays.
    if (saved.isNone())
        return;
    HLSavedState::removeDoNotDisturb();
    switchDoNotDisturb(saved.boolValue());
}

bool HLProfilesManager::isDoNotDisturbOn()
{
    if (HLUtils::isIOS11()) {
        auto module = controlCenterDoNotDisturbModule();
        return module && module->isSelected();
    }
    auto setting = controlCenterDoNotDisturbSetting();
    return setting && setting->respondsToSelector("isEnabled") && setting->isEnabled();
}

void HLProfilesManager::switchDoNotDisturb(bool on)
{
    if (HLUtils::isIOS11()) {
        enableORDisableDnDForIOS11(on);
        return;
    }
    auto setting = controlCenterDoNotDisturbSetting();
    if (!setting)
        return;
    if (!setting->respondsToSelector("_toggleState") || !setting->respondsToSelector("isEnabled")) {
        setting->_setDNDEnabled(on, true, 3);
        return;
    }
    auto& defaults = NSUserDefaults::standardUserDefaults();
    std::string key = kSavedDoNotDisturbKeyPrefix + setting->identifier();
    bool saved = defaults.boolForKey(key);
    if (on && !setting->isEnabled()) {
        defaults.setBool(setting->isEnabled(), key);
        defaults.synchronize();
        setting->_toggleState();
    } else if (!on && setting->isEnabled() && !saved) {
        setting->_toggleState();
    }
}

void HLProfilesManager::enableORDisableDnDForIOS11(bool on)
{
    if (!NSClassFromString("CCUIModuleInstanceManager")) {
        HLLogError("******* Unable to find 'CCUIModuleInstanceManager'..");
        return;
    }
    auto module = controlCenterDoNotDisturbModule();
    bool selected = module && module->isSelected();
    if (selected == on) {
        HLLogInfo("**** Currently the state of DND module is %d & and you are asking me to set its state as %d. Since both are same, I'm not doing anything!!",
            selected, on);
        return;
    }
    if (!module)
        return;
    if (!HLUtils::isIOS12()) {
        module->setSelected(on);
        return;
    }
    std::shared_ptr<NSObject> buttonView;
    if (module->respondsToSelector("view")) {
        for (const auto& subview : module->view()->subviews()) {
            if (isKindOfClassNamed(subview, "CCUIButtonModuleView")) {
                buttonView = subview;
                break;
            }
        }
    }
    if (module->respondsToSelector("buttonTapped:forEvent:"))
        module->buttonTapped(buttonView, nullptr);
}
