#pragma once

#include "platform/foundation/PlistValue.h"
#include "platform/uikit/UIViewController.h"

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class MFMailComposeViewController;

enum class MFMailComposeResult { Cancelled = 0, Saved = 1, Sent = 2, Failed = 3 };

// MFMailComposeViewControllerDelegate: told how the composer ended.
class MFMailComposeViewControllerDelegate {
public:
    virtual ~MFMailComposeViewControllerDelegate() = default;
    virtual void mailComposeControllerDidFinish(MFMailComposeViewController&, MFMailComposeResult, const std::optional<std::string>& error) = 0;
};

// The system's mail composer. The phone can send mail when it has a mail account: the addresses
// in "/var/mobile/Library/Mail/Accounts.plist" (an array of strings; phonectl mail-account add).
// Sending writes the message as an RFC 5322 file (MIME, attachments in base64) to the outbox
// "/var/mobile/Library/Mail/Outbox/", from the first account's address.
class MFMailComposeViewController : public UIViewController {
public:
    static bool canSendMail();
    static const char* accountsPath() { return "/var/mobile/Library/Mail/Accounts.plist"; }
    static const char* outboxPath() { return "/var/mobile/Library/Mail/Outbox"; }
    // Adds an account address (what phonectl mail-account add does); false when it cannot be written.
    static bool addAccount(const std::string& address);

    void setMailComposeDelegate(const std::shared_ptr<MFMailComposeViewControllerDelegate>& delegate) { m_delegate = delegate; }
    void setSubject(std::string subject) { m_subject = std::move(subject); }
    void setToRecipients(std::vector<std::string> recipients) { m_to = std::move(recipients); }
    void setMessageBody(std::string body, bool isHTML);
    void addAttachmentData(PlistData data, std::string mimeType, std::string fileName);

    const std::string& subject() const { return m_subject; }
    const std::vector<std::string>& toRecipients() const { return m_to; }
    const std::string& messageBody() const { return m_body; }
    bool isHTML() const { return m_html; }
    struct Attachment {
        PlistData data;
        std::string mimeType;
        std::string fileName;
    };
    const std::vector<Attachment>& attachments() const { return m_attachments; }

    // The user sends or cancels; the delegate hears the result (dismissing is its job).
    // Returns the file the message was written to (none on failure).
    std::optional<std::filesystem::path> send();
    void cancel();

    // The message as RFC 5322 text.
    std::string rfc5322Message(const std::string& from) const;

private:
    std::weak_ptr<MFMailComposeViewControllerDelegate> m_delegate;
    std::string m_subject;
    std::vector<std::string> m_to;
    std::string m_body;
    bool m_html { false };
    std::vector<Attachment> m_attachments;
    bool m_finished { false };
};
