#include "preferences/HushlineUIToneController.h"

#include "core/HLUtils.h"
#include "platform/foundation/NSLog.h"
#include "platform/foundation/ObjCRuntime.h"

namespace {

[[maybe_unused]] const bool registered = ObjCRuntime::registerClass<HushlineUIToneController>(
    "HushlineUIToneController", {}, [] { return std::make_shared<HushlineUIToneController>(); });

std::optional<std::string> chooseToneSuperclass()
{
    if (!HLUtils::isIOS9())
        return std::string("ToneController");
    for (const char* name : { "PSUIToneController", "SHSToneController" })
        if (NSClassFromString(name))
            return std::string(name);
    NSLog("############ ALERT NO SUPER TONE CONTROLLER CLASS #################");
    return std::nullopt;
}

}

HushlineUIToneController::HushlineUIToneController()
{
    toneSuperclassName();
}

const std::optional<std::string>& HushlineUIToneController::toneSuperclassName()
{
    static const std::optional<std::string> name = chooseToneSuperclass();
    return name;
}

void HushlineUIToneController::setTonePickerViewController(std::shared_ptr<TKTonePickerViewController> picker)
{
    // A plain screen does not know the message; sending it would end the Settings app.
    if (toneSuperclassName())
        ToneController::setTonePickerViewController(std::move(picker));
}

void HushlineUIToneController::viewDidLoad()
{
    ToneController::viewDidLoad();
    m_chrome.viewDidLoad(*this, title().value_or(""));
}

void HushlineUIToneController::viewWillAppear(bool animated)
{
    ToneController::viewWillAppear(animated);
    m_chrome.viewWillAppear(*this);
}

void HushlineUIToneController::viewWillDisappear(bool animated)
{
    ToneController::viewWillDisappear(animated);
    m_chrome.viewWillDisappear(*this);
}
