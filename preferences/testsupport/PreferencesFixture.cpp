#include "preferences/testsupport/PreferencesFixture.h"

#include "core/profile/HLProfilesManager.h"
#include "platform/foundation/NSBundle.h"
#include "platform/foundation/NSRunLoop.h"
#include "platform/foundation/PropertyList.h"
#include "platform/preferences/PSSpecifier.h"
#include "platform/uikit/UIAlertController.h"
#include "platform/uikit/UIAlertView.h"
#include "platform/uikit/UINavigationController.h"
#include "platform/uikit/UIWindow.h"
#include "preferences/HushlinePreferencesController.h"

#include <filesystem>

void PreferencesFixture::SetUp()
{
    DeviceFixture::SetUp();
    NSRunLoop::main().reset();
    NSBundle::setMainBundleIdentifier("com.apple.Preferences");
    writeSystemVersion("13.3");
    installSettingsBundle();
    // The Settings app's own images, which the volume sliders show.
    auto framework = phonePath("/System/Library/PrivateFrameworks/PreferencesUI.framework");
    std::filesystem::create_directories(framework);
    std::filesystem::copy(std::filesystem::path(HUSHLINE_SOURCE_DIR) / "platform/preferences/PreferencesUI.framework", framework,
        std::filesystem::copy_options::recursive | std::filesystem::copy_options::overwrite_existing);
}

void PreferencesFixture::installLibStatusbar() const
{
    auto target = phonePath("/Library/MobileSubstrate/DynamicLibraries/libstatusbar.dylib");
    std::filesystem::create_directories(target.parent_path());
    std::filesystem::copy_file(HUSHLINE_LIBSTATUSBAR_PATH, target, std::filesystem::copy_options::overwrite_existing);
}

void PreferencesFixture::TearDown()
{
    UIWindow::keyWindow().setRootViewController(nullptr);
    m_navigation.reset();
    while (auto alert = UIAlertView::visibleAlertView())
        alert->dismissWithClickedButtonIndex(0, false);
    NSRunLoop::main().reset();
    DeviceFixture::TearDown();
}

void PreferencesFixture::writeSettings(bool enabled) const
{
    PropertyList::write(HLProfilesManager::settingsFilePath(), PlistValue(PlistDictionary { { kHLEnabledKey, enabled } }));
}

void PreferencesFixture::writeProfiles(const PlistArray& entries) const
{
    PropertyList::write(HLProfilesManager::profilesFilePath(), PlistValue(entries));
}

PlistArray PreferencesFixture::storedProfiles() const
{
    auto file = PropertyList::read(HLProfilesManager::profilesFilePath());
    return file && file->isArray() ? *file->asArray() : PlistArray {};
}

PlistDictionary PreferencesFixture::profileEntry(int64_t identifier, const std::string& title, bool enabled, bool allDay)
{
    return PlistDictionary { { "identifier", identifier }, { "title", title }, { "enabled", enabled }, { "allDay", allDay },
        { "startTime", "8:00 AM" }, { "endTime", "5:00 PM" } };
}

std::shared_ptr<HushlinePreferencesController> PreferencesFixture::openRootList()
{
    auto root = std::make_shared<HushlinePreferencesController>();
    root->initForContentSize();
    m_navigation = UINavigationController::initWithRootViewController(root);
    UIWindow::keyWindow().setRootViewController(m_navigation);
    return root;
}

std::vector<std::string> PreferencesFixture::rowNames(PSListController& list)
{
    std::vector<std::string> names;
    for (const auto& specifier : list.specifiers()) {
        if (specifier->isGroup())
            names.push_back(std::string("[").append(specifier->name().value_or("group")).append("]"));
        else
            names.push_back(specifier->name().value_or(""));
    }
    return names;
}

long PreferencesFixture::rowIndex(PSListController& list, const std::string& name)
{
    auto names = rowNames(list);
    auto it = std::find(names.begin(), names.end(), name);
    return it == names.end() ? -1 : static_cast<long>(it - names.begin());
}

std::shared_ptr<UIAlertController> PreferencesFixture::presentedAlert(UIViewController& controller)
{
    // Up the chain of presented controllers; a presented navigation controller's screen may
    // present in its turn.
    auto presented = controller.presentedViewController();
    for (;;) {
        if (!presented)
            return nullptr;
        if (auto alert = std::dynamic_pointer_cast<UIAlertController>(presented))
            return alert;
        auto next = presented->presentedViewController();
        if (!next)
            if (auto navigation = std::dynamic_pointer_cast<UINavigationController>(presented); navigation && navigation->topViewController())
                next = navigation->topViewController()->presentedViewController();
        presented = next;
    }
}

bool PreferencesFixture::tapAlertAction(UIViewController& controller, const std::string& title)
{
    auto alert = presentedAlert(controller);
    if (!alert)
        return false;
    for (size_t i = 0; i < alert->actions().size(); ++i)
        if (alert->actions()[i]->title() == title)
            return alert->tapActionAtIndex(i);
    return false;
}
