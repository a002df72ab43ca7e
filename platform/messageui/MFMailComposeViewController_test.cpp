#include "platform/machinery/DeviceRoot.h"
#include "platform/messageui/MFMailComposeViewController.h"
#include "platform/testsupport/DeviceFixture.h"

#include <fstream>
#include <gmock/gmock.h>
#include <sstream>

using ::testing::HasSubstr;
using ::testing::Not;

namespace {

class RecordingDelegate : public MFMailComposeViewControllerDelegate {
public:
    void mailComposeControllerDidFinish(MFMailComposeViewController&, MFMailComposeResult result, const std::optional<std::string>&) override
    {
        results.push_back(result);
    }
    std::vector<MFMailComposeResult> results;
};

std::string readAll(const std::filesystem::path& path)
{
    std::stringstream text;
    text << std::ifstream(path).rdbuf();
    return text.str();
}

}

class MFMailComposeViewControllerTest : public DeviceFixture { };

TEST_F(MFMailComposeViewControllerTest, MailIsSentOnlyWithAnAccountAndLandsInTheOutboxAsAMessage)
{
    EXPECT_FALSE(MFMailComposeViewController::canSendMail());
    ASSERT_TRUE(MFMailComposeViewController::addAccount("owner@example.org"));
    ASSERT_TRUE(MFMailComposeViewController::addAccount("owner@example.org"));
    EXPECT_TRUE(MFMailComposeViewController::canSendMail());

    auto delegate = std::make_shared<RecordingDelegate>();
    auto mail = std::make_shared<MFMailComposeViewController>();
    mail->setMailComposeDelegate(delegate);
    mail->setSubject("Grüße\r\nBcc: everyone@example.org");
    mail->setToRecipients({ "support@example.org" });
    mail->setMessageBody("<b>hello</b>", true);
    mail->addAttachmentData(PlistData { 'l', 'o', 'g' }, "text/plain", "a\"b\r\nX-Injected: 1.log");
    auto file = mail->send();
    ASSERT_TRUE(file);
    EXPECT_EQ(file->parent_path(), DeviceRoot::resolve(MFMailComposeViewController::outboxPath()));
    std::string message = readAll(*file);
    EXPECT_THAT(message, HasSubstr("From: owner@example.org\r\nTo: support@example.org\r\n"));
    // Text that is not plain ASCII is encoded, so a line break in it cannot start a header.
    EXPECT_THAT(message, HasSubstr("Subject: =?UTF-8?B?"));
    EXPECT_THAT(message, Not(HasSubstr("\r\nBcc:")));
    EXPECT_THAT(message, Not(HasSubstr("\r\nX-Injected")));
    EXPECT_THAT(message, HasSubstr("Content-Type: text/html; charset=UTF-8"));
    EXPECT_THAT(message, HasSubstr("bG9n"));
    EXPECT_THAT(delegate->results, ::testing::ElementsAre(MFMailComposeResult::Sent));
    // A composer finishes once.
    EXPECT_FALSE(mail->send());
    mail->cancel();
    EXPECT_EQ(delegate->results.size(), 1u);
}

TEST_F(MFMailComposeViewControllerTest, CancellingSendsNothing)
{
    MFMailComposeViewController::addAccount("owner@example.org");
    auto delegate = std::make_shared<RecordingDelegate>();
    auto mail = std::make_shared<MFMailComposeViewController>();
    mail->setMailComposeDelegate(delegate);
    mail->cancel();
    EXPECT_THAT(delegate->results, ::testing::ElementsAre(MFMailComposeResult::Cancelled));
    EXPECT_FALSE(std::filesystem::exists(DeviceRoot::resolve(MFMailComposeViewController::outboxPath())));
}
