#pragma once

#include "platform/uikit/UIViewController.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

class UIImage;

inline constexpr const char* SLServiceTypeTwitter = "com.apple.social.twitter";
inline constexpr const char* SLServiceTypeSinaWeibo = "com.apple.social.sinaweibo";

enum class SLComposeViewControllerResult { Cancelled = 0, Done = 1 };

// The system's share composer for one social network. Posting records the post under the
// device root, in "/var/mobile/Library/Social/Posts.plist" (an array of dictionaries with
// "service", "text", "images" and "date"), where a person or a test reads what would have been
// posted.
class SLComposeViewController : public UIViewController {
public:
    using CompletionHandler = std::function<void(SLComposeViewControllerResult)>;

    static std::shared_ptr<SLComposeViewController> composeViewControllerForServiceType(const std::string& serviceType);
    static bool isAvailableForServiceType(const std::string& serviceType);
    static const char* postsPath() { return "/var/mobile/Library/Social/Posts.plist"; }

    const std::string& serviceType() const { return m_serviceType; }
    const std::string& initialText() const { return m_text; }
    bool setInitialText(std::string text);
    bool addImage(std::shared_ptr<UIImage> image);
    void setCompletionHandler(CompletionHandler handler) { m_completion = std::move(handler); }

    // The user edits the text, then posts or cancels; either closes the composer.
    void setText(std::string text) { m_text = std::move(text); }
    bool post();
    void cancel();

private:
    void finish(SLComposeViewControllerResult);

    std::string m_serviceType;
    std::string m_text;
    std::vector<std::shared_ptr<UIImage>> m_images;
    CompletionHandler m_completion;
};
