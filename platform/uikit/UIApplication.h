#pragma once

#include "platform/foundation/NSObject.h"

#include <memory>
#include <string>
#include <vector>

// The process's application object. The home-screen host installs its SpringBoard object;
// any other process gets a plain application on first use.
class UIApplication : public NSObject {
public:
    static std::shared_ptr<UIApplication> sharedApplication();
    static void setSharedApplication(std::shared_ptr<UIApplication>);
    // Whether sharedApplication() has been created or installed yet.
    static bool hasSharedApplication();

    // Whether the system shows its volume display when a volume changes.
    void setSystemVolumeHUDEnabled(bool enabled);

    // 0 default (dark text), 1 light content.
    long statusBarStyle() const { return m_statusBarStyle; }
    void setStatusBarStyle(long style) { m_statusBarStyle = style; }

    // Web addresses always open; an app's own scheme ("twitter://") opens when that app is
    // installed on the phone ("/Applications/<scheme>.app" exists).
    bool canOpenURL(const std::string& url) const;
    // Opens the address (in the app or the browser) when it can; the addresses opened are kept,
    // in order, for whoever looks at the phone.
    bool openURL(const std::string& url);
    const std::vector<std::string>& openedURLs() const { return m_openedURLs; }

private:
    long m_statusBarStyle { 0 };
    std::vector<std::string> m_openedURLs;
};
