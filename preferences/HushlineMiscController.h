#pragma once

#include "platform/messageui/MFMailComposeViewController.h"
#include "platform/preferences/PSListController.h"
#include "preferences/HLNavigationChrome.h"

#include <memory>
#include <optional>
#include <string>

class VQActivityAlertView;

// The miscellaneous screen: resetting every profile (the home screen restarts afterwards) and
// mailing a problem report with the log file.
class HushlineMiscController : public HLChromedListController<PSListController>, public MFMailComposeViewControllerDelegate {
public:
    const Specifiers& specifiers() override;

    // Resetting: the progress panel, then resetProfiles: 2 seconds later.
    void showActivityIndicator(const std::shared_ptr<PSSpecifier>&);
    void resetProfiles(const std::shared_ptr<PSSpecifier>&);
    // Removes the profiles file; true when it existed and was removed.
    static bool resetProfilesInfo(bool reset);
    void showError(const std::string& message);
    void showMessage(const std::string& title, const std::string& message);

    // Reporting: the mail composer with the log file attached.
    void emailLogFile(const std::shared_ptr<PSSpecifier>&);
    void mailComposeControllerDidFinish(MFMailComposeViewController&, MFMailComposeResult, const std::optional<std::string>& error) override;

    const std::shared_ptr<VQActivityAlertView>& activityAlert() const { return m_activityAlert; }

private:
    std::string reportBody();

    std::shared_ptr<VQActivityAlertView> m_activityAlert;
};
