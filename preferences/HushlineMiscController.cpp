#include "preferences/HushlineMiscController.h"

#include "core/HLLog.h"
#include "core/profile/HLProfilesManager.h"
#include "platform/machinery/AtomicFile.h"
#include "platform/machinery/DeviceRoot.h"
#include "platform/foundation/NSCalendar.h"
#include "platform/foundation/NSRunLoop.h"
#include "platform/foundation/ObjCRuntime.h"
#include "platform/foundation/UIDevice.h"
#include "platform/libvelloq/VQActivityAlertView.h"
#include "platform/libvelloq/VQUtils.h"
#include "platform/preferences/PSSpecifier.h"
#include "platform/uikit/UIAlertController.h"
#include "platform/uikit/UIImage.h"
#include "preferences/HLBundleImages.h"
#include "preferences/HLLocalizedString.h"
#include "preferences/HLVersionFooter.h"

#include <cstdio>
#include <filesystem>

namespace {

[[maybe_unused]] const bool registered = ObjCRuntime::registerClass<HushlineMiscController>(
    "HushlineMiscController", {}, [] { return std::make_shared<HushlineMiscController>(); });

constexpr const char* kLogFilePath = "/tmp/velloq.log";
constexpr const char* kSupportAddress = "support@velloq.com";

// What a row's alert asks before its action runs; every text is looked up in the string tables.
struct Confirmation {
    const char* title;
    const char* prompt;
    const char* okTitle;
    bool destructive;
};

// A button row that asks first ("Cancel" or the OK button) and on OK hands itself to the screen's
// member.
std::shared_ptr<PSSpecifier> confirmedRow(const std::weak_ptr<HushlineMiscController>& weakSelf, const char* name, const char* identifier,
    const Confirmation& confirmation, void (HushlineMiscController::*action)(const std::shared_ptr<PSSpecifier>&))
{
    auto row = PSSpecifier::confirmationSpecifier(HLLocalizedString(name),
        PlistDictionary {
            { "title", HLLocalizedString(confirmation.title) },
            { "prompt", HLLocalizedString(confirmation.prompt) },
            { "okTitle", HLLocalizedString(confirmation.okTitle) },
            { "cancelTitle", HLLocalizedString("Cancel") },
            { "isDestructive", confirmation.destructive },
        },
        [weakSelf, action](const auto& specifier) {
            if (auto self = weakSelf.lock())
                ((*self).*action)(specifier);
        });
    row->setIdentifier(identifier);
    return row;
}

// printf-style "%@" placeholders filled in order.
std::string fill(std::string pattern, std::initializer_list<std::string> arguments)
{
    size_t from = 0;
    for (const auto& argument : arguments) {
        auto at = pattern.find("%@", from);
        if (at == std::string::npos)
            break;
        pattern.replace(at, 2, argument);
        from = at + argument.size();
    }
    return pattern;
}

}

const PSListController::Specifiers& HushlineMiscController::specifiers()
{
    if (!m_specifiers.empty())
        return m_specifiers;
    std::weak_ptr<HushlineMiscController> weakSelf = std::static_pointer_cast<HushlineMiscController>(shared_from_this());

    auto resetGroup = PSSpecifier::groupSpecifierWithName(HLLocalizedString("Reset Profiles"));
    resetGroup->setProperty(HLLocalizedString("If there is any problem with configured profiles, use this option to reset all profiles."), "footerText");
    auto reset = confirmedRow(weakSelf, "Reset Profiles", "resetProfiles",
        { "Continue", "Are you sure you want to continue? Your device will repsring once done.", "OK", true },
        &HushlineMiscController::showActivityIndicator);

    auto contactGroup = PSSpecifier::groupSpecifierWithName(HLLocalizedString("Contact Velloq"));
    contactGroup->setIdentifier("CopyRightHeader");
    contactGroup->setProperty(hl_versionFooter(NSCalendar::currentCalendar().components(NSDate::date()).year.value_or(1970)), "footerText");
    auto report = confirmedRow(weakSelf, "Report Problem", "report",
        { "Send Now", "Are you sure you want to share log file with Velloq Support Team?", "Send Now", false },
        &HushlineMiscController::emailLogFile);
    report->setProperty(hl_bundleImage("email"), "iconImage");

    m_specifiers = { resetGroup, reset, contactGroup, report };
    return m_specifiers;
}

void HushlineMiscController::showActivityIndicator(const std::shared_ptr<PSSpecifier>& specifier)
{
    if (specifier->name() != HLLocalizedString("Reset Profiles"))
        return;
    m_activityAlert = VQActivityAlertView::initWithTitle(HLLocalizedString("Resetting"), HLLocalizedString("Your device will be respring once it is done."));
    m_activityAlert->show();
    auto self = std::static_pointer_cast<HushlineMiscController>(shared_from_this());
    performSelector(self, "resetProfiles:", &HushlineMiscController::resetProfiles, specifier, 2.0);
}

void HushlineMiscController::resetProfiles(const std::shared_ptr<PSSpecifier>&)
{
    bool reset = resetProfilesInfo(true);
    if (m_activityAlert)
        m_activityAlert->close();
    if (reset)
        VQUtils::killProcessByName("SpringBoard");
    else
        showError(HLLocalizedString("The profiles could not be reset."));
}

bool HushlineMiscController::resetProfilesInfo(bool reset)
{
    if (!reset)
        return false;
    auto path = DeviceRoot::resolve(kHLProfilesFilePath);
    std::error_code error;
    if (!std::filesystem::exists(path, error))
        return false;
    if (std::filesystem::remove(path, error))
        return true;
    HLLogError("Error while deleting the configuration file. Error: %s", error.message().c_str());
    return false;
}

void HushlineMiscController::showError(const std::string& message)
{
    showMessage(VQUtils::localizedLabelFromUIKit("Error"), message);
}

void HushlineMiscController::showMessage(const std::string& title, const std::string& message)
{
    UIAlertView::initWithTitle(title, message, {}, VQUtils::localizedLabelFromUIKit("Close"), {})->show();
}

void HushlineMiscController::emailLogFile(const std::shared_ptr<PSSpecifier>&)
{
    if (!MFMailComposeViewController::canSendMail()) {
        auto alert = UIAlertController::alertControllerWithTitle(HLLocalizedString("Information"), HLLocalizedString("No email accounts configured."),
            UIAlertControllerStyle::Alert);
        alert->addAction(UIAlertAction::actionWithTitle(HLLocalizedString("Close"), UIAlertActionStyle::Cancel, nullptr));
        presentViewController(alert, true);
        return;
    }
    auto composer = std::make_shared<MFMailComposeViewController>();
    composer->setMailComposeDelegate(std::static_pointer_cast<HushlineMiscController>(shared_from_this()));
    composer->setSubject(fill("%@ - %@", { HLLocalizedString("HushlineMe"), "velloq.log" }));
    composer->setToRecipients({ kSupportAddress });
    composer->setMessageBody(reportBody(), true);
    std::string log;
    if (readFile(DeviceRoot::resolve(kLogFilePath), log))
        composer->addAttachmentData(PlistData(log.begin(), log.end()), "mime", "velloq.log");
    presentViewController(composer, true);
}

std::string HushlineMiscController::reportBody()
{
    auto device = UIDevice::currentDevice();
    std::string body = fill(HLLocalizedString("Please donot remove the below information.\nSerial number: %@\n%@ with iOS:%@, UDID:%@."),
        { device->serialNumber(), VQUtils::platform(), device->systemVersion(), device->uniqueDeviceIdentifier() });
    const auto& rows = specifiers();
    if (rows.size() >= 2)
        if (auto footer = rows[rows.size() - 2]->propertyForKey("footerText").asString())
            body = fill("%@\n%@", { body, *footer });
    return body;
}

void HushlineMiscController::mailComposeControllerDidFinish(MFMailComposeViewController&, MFMailComposeResult, const std::optional<std::string>&)
{
    dismissViewControllerAnimated(true);
}
