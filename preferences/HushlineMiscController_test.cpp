#include "preferences/testsupport/PreferencesFixture.h"

#include "core/profile/HLProfilesManager.h"
#include "platform/foundation/NSRunLoop.h"
#include "platform/foundation/PropertyList.h"
#include "platform/libvelloq/VQActivityAlertView.h"
#include "platform/messageui/MFMailComposeViewController.h"
#include "platform/preferences/PSSpecifier.h"
#include "platform/social/SLComposeViewController.h"
#include "platform/testsupport/PeerProcess.h"
#include "platform/uikit/UIAlertController.h"
#include "platform/uikit/UIAlertView.h"
#include "platform/uikit/UIApplication.h"
#include "platform/uikit/UIBarButtonItem.h"
#include "platform/uikit/UINavigationController.h"
#include "preferences/HushlineMiscController.h"
#include "preferences/HushlinePreferencesController.h"

#include <fstream>
#include <gmock/gmock.h>
#include <sstream>

using ::testing::ElementsAre;
using ::testing::HasSubstr;

class HushlineMiscControllerTest : public PreferencesFixture {
protected:
    void SetUp() override
    {
        PreferencesFixture::SetUp();
        writeSettings(true);
        m_root = openRootList();
        m_root->tableViewDidSelectRow(static_cast<size_t>(rowIndex(*m_root, "Miscellaneous")));
        m_misc = std::dynamic_pointer_cast<HushlineMiscController>(m_navigation->topViewController());
        ASSERT_TRUE(m_misc);
    }
    void TearDown() override
    {
        m_misc.reset();
        m_root.reset();
        PreferencesFixture::TearDown();
    }
    // The home screen plays a process that a signal ends.
    std::unique_ptr<PeerProcess> startSpringBoard()
    {
        auto springBoard = std::make_unique<PeerProcess>("/bin/sleep", std::vector<std::string> { "60" });
        std::filesystem::create_directories(phonePath("/var/run"));
        std::ofstream(phonePath("/var/run/springboard.launched")) << springBoard->pid() << "\n";
        return springBoard;
    }
    void setLanguage(const std::string& language) const
    {
        PropertyList::write(phonePath("/var/mobile/Library/Preferences/.GlobalPreferences.plist"),
            PlistValue(PlistDictionary { { "AppleLanguages", PlistArray { language } } }));
    }
    std::string latestMail() const
    {
        auto outbox = phonePath(MFMailComposeViewController::outboxPath());
        if (!std::filesystem::exists(outbox))
            return {};
        for (const auto& entry : std::filesystem::directory_iterator(outbox)) {
            std::stringstream text;
            text << std::ifstream(entry.path()).rdbuf();
            return text.str();
        }
        return {};
    }

    std::shared_ptr<HushlinePreferencesController> m_root;
    std::shared_ptr<HushlineMiscController> m_misc;
};

TEST_F(HushlineMiscControllerTest, TheScreenHoldsResetAndReportWithTheVersionFooter)
{
    EXPECT_EQ(m_misc->title(), "Miscellaneous");
    EXPECT_THAT(rowNames(*m_misc), ElementsAre("[Reset Profiles]", "Reset Profiles", "[Contact Velloq]", "Report Problem"));
    EXPECT_EQ(m_misc->specifierAtIndex(0)->propertyForKey("footerText"),
        PlistValue("If there is any problem with configured profiles, use this option to reset all profiles."));
    EXPECT_EQ(m_misc->specifierAtIndex(1)->identifier(), "resetProfiles");
    EXPECT_EQ(m_misc->specifierAtIndex(2)->identifier(), "CopyRightHeader");
    EXPECT_EQ(m_misc->specifierAtIndex(2)->propertyForKey("footerText"), PlistValue("HushlineMe 1.0\n© 2026 Velloq. All rights reserved."));
    EXPECT_EQ(m_misc->specifierAtIndex(3)->identifier(), "report");
    // Going back puts the root list's chrome back in place.
    EXPECT_EQ(UIApplication::sharedApplication()->statusBarStyle(), 1);
}

TEST_F(HushlineMiscControllerTest, CancellingEitherConfirmationDoesNothing)
{
    writeProfiles({ profileEntry(1765180800, "Work", true, true) });
    MFMailComposeViewController::addAccount("owner@example.org");
    for (const char* row : { "Reset Profiles", "Report Problem" }) {
        m_misc->tableViewDidSelectRow(static_cast<size_t>(rowIndex(*m_misc, row)));
        ASSERT_TRUE(presentedAlert(*m_misc));
        ASSERT_TRUE(tapAlertAction(*m_misc, "Cancel"));
    }
    NSRunLoop::main().advanceBy(10);
    EXPECT_FALSE(m_misc->presentedViewController());
    EXPECT_FALSE(UIAlertView::visibleAlertView());
    EXPECT_EQ(storedProfiles().size(), 1u);
    EXPECT_EQ(latestMail(), "");
}

TEST_F(HushlineMiscControllerTest, ResetRemovesTheProfilesAndRestartsTheHomeScreenTwoSecondsAfterTheConfirmation)
{
    writeProfiles({ profileEntry(1765180800, "Work", true, true) });
    auto springBoard = startSpringBoard();
    m_misc->tableViewDidSelectRow(1);
    auto sheet = presentedAlert(*m_misc);
    ASSERT_TRUE(sheet);
    EXPECT_EQ(sheet->title(), "Continue");
    EXPECT_EQ(sheet->message(), "Are you sure you want to continue? Your device will repsring once done.");
    EXPECT_EQ(sheet->actions()[0]->style(), UIAlertActionStyle::Destructive);
    ASSERT_TRUE(tapAlertAction(*m_misc, "OK"));

    auto panel = std::dynamic_pointer_cast<VQActivityAlertView>(UIAlertView::visibleAlertView());
    ASSERT_TRUE(panel);
    EXPECT_EQ(panel->title(), "Resetting");
    EXPECT_EQ(panel->message(), "Your device will be respring once it is done.");
    EXPECT_EQ(panel->numberOfButtons(), 0);

    NSRunLoop::main().advanceBy(1.9);
    EXPECT_TRUE(std::filesystem::exists(HLProfilesManager::profilesFilePath()));
    EXPECT_FALSE(springBoard->hasExited());
    NSRunLoop::main().advanceBy(0.1);
    EXPECT_FALSE(std::filesystem::exists(HLProfilesManager::profilesFilePath()));
    EXPECT_FALSE(UIAlertView::visibleAlertView());
    EXPECT_TRUE(springBoard->waitForExit(10));
}

TEST_F(HushlineMiscControllerTest, ResetWithoutAProfilesFileShowsAnErrorAndLeavesTheHomeScreen)
{
    auto springBoard = startSpringBoard();
    m_misc->tableViewDidSelectRow(1);
    ASSERT_TRUE(tapAlertAction(*m_misc, "OK"));
    NSRunLoop::main().advanceBy(2);
    auto alert = UIAlertView::visibleAlertView();
    ASSERT_TRUE(alert);
    EXPECT_EQ(alert->title(), "Error");
    EXPECT_THAT(alert->buttonTitles(), ElementsAre("Close"));
    EXPECT_FALSE(std::dynamic_pointer_cast<VQActivityAlertView>(alert));
    EXPECT_FALSE(springBoard->waitForExit(0.3));
}

TEST_F(HushlineMiscControllerTest, ReportWithoutAMailAccountSaysSoAndNothingElse)
{
    m_misc->tableViewDidSelectRow(3);
    ASSERT_TRUE(tapAlertAction(*m_misc, "Send Now"));
    auto alert = presentedAlert(*m_misc);
    ASSERT_TRUE(alert);
    EXPECT_EQ(alert->title(), "Information");
    EXPECT_EQ(alert->message(), "No email accounts configured.");
    ASSERT_EQ(alert->actions().size(), 1u);
    EXPECT_EQ(alert->actions()[0]->title(), "Close");
    EXPECT_TRUE(alert->tapActionAtIndex(0));
    EXPECT_FALSE(m_misc->presentedViewController());
    EXPECT_EQ(latestMail(), "");
}

TEST_F(HushlineMiscControllerTest, ReportMailsTheLogFileToSupport)
{
    MFMailComposeViewController::addAccount("owner@example.org");
    std::ofstream(phonePath("/tmp/velloq.log")) << "com.velloq.Hushline: Information => a line of the log\n";
    PropertyList::write(phonePath("/System/Library/CoreServices/DeviceInfo.plist"),
        PlistValue(PlistDictionary { { "SerialNumber", "F17XK0Q2HG7F" }, { "UniqueDeviceID", "00008030-0016" } }));
    m_misc->tableViewDidSelectRow(3);
    ASSERT_TRUE(tapAlertAction(*m_misc, "Send Now"));
    auto composer = std::dynamic_pointer_cast<MFMailComposeViewController>(m_misc->presentedViewController());
    ASSERT_TRUE(composer);
    EXPECT_EQ(composer->subject(), "HushlineMe - velloq.log");
    EXPECT_THAT(composer->toRecipients(), ElementsAre("support@velloq.com"));
    EXPECT_TRUE(composer->isHTML());
    EXPECT_EQ(composer->messageBody(),
        "Please donot remove the below information.\nSerial number: F17XK0Q2HG7F\niPhone12,1 with iOS:13.3, UDID:00008030-0016.\n"
        "HushlineMe 1.0\n© 2026 Velloq. All rights reserved.");
    ASSERT_EQ(composer->attachments().size(), 1u);
    EXPECT_EQ(composer->attachments()[0].mimeType, "mime");
    EXPECT_EQ(composer->attachments()[0].fileName, "velloq.log");

    ASSERT_TRUE(composer->send());
    EXPECT_FALSE(m_misc->presentedViewController());
    std::string mail = latestMail();
    EXPECT_THAT(mail, HasSubstr("From: owner@example.org\r\n"));
    EXPECT_THAT(mail, HasSubstr("To: support@velloq.com\r\n"));
    EXPECT_THAT(mail, HasSubstr("Subject: HushlineMe - velloq.log\r\n"));
    EXPECT_THAT(mail, HasSubstr("Content-Disposition: attachment; filename=\"velloq.log\""));
    // The log line, base64-encoded.
    EXPECT_THAT(mail, HasSubstr("Y29tLnZlbGxvcS5IdXNobGluZTogSW5mb3JtYXRpb24gPT4gYSBsaW5lIG9mIHRoZSBsb2cK"));
}

TEST_F(HushlineMiscControllerTest, ShareUsesSinaWeiboForSimplifiedChineseAndTwitterOtherwise)
{
    for (auto [language, service] : { std::pair { "zh-Hans", SLServiceTypeSinaWeibo }, std::pair { "en", SLServiceTypeTwitter } }) {
        setLanguage(language);
        m_misc->navigationItem().rightBarButtonItem()->tap();
        auto sheet = presentedAlert(*m_misc);
        ASSERT_TRUE(sheet);
        ASSERT_EQ(sheet->actions().size(), 3u);
        EXPECT_EQ(sheet->actions()[2]->style(), UIAlertActionStyle::Cancel);
        ASSERT_TRUE(tapAlertAction(*m_misc, "Share 😘"));
        auto composer = std::dynamic_pointer_cast<SLComposeViewController>(m_misc->presentedViewController());
        ASSERT_TRUE(composer);
        EXPECT_EQ(composer->serviceType(), service);
        EXPECT_EQ(composer->initialText(),
            "I'm Loving #Hushline, which automatically silence your iPhone by syncing with your calendar on your iDevice.");
        composer->post();
        EXPECT_FALSE(m_misc->presentedViewController());
    }
    auto posts = PropertyList::read(phonePath(SLComposeViewController::postsPath()));
    ASSERT_TRUE(posts && posts->isArray());
    ASSERT_EQ(posts->asArray()->size(), 2u);
    EXPECT_EQ((*posts->asArray())[0]["service"], PlistValue(SLServiceTypeSinaWeibo));
}

TEST_F(HushlineMiscControllerTest, FollowOpensTheAppWhenInstalledAndTheBrowserOtherwise)
{
    m_misc->navigationItem().rightBarButtonItem()->tap();
    ASSERT_TRUE(tapAlertAction(*m_misc, "Follow @velloq"));
    std::filesystem::create_directories(phonePath("/Applications/twitter.app"));
    m_misc->navigationItem().rightBarButtonItem()->tap();
    ASSERT_TRUE(tapAlertAction(*m_misc, "Follow @velloq"));
    EXPECT_THAT(UIApplication::sharedApplication()->openedURLs(),
        ElementsAre("https://twitter.com/velloq", "twitter://user?screen_name=velloq"));
}
