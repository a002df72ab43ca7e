#pragma once

#include <memory>
#include <optional>
#include <string>

class UIColor;
class UIViewController;

// The navigation chrome that the root list, the miscellaneous screen and the tone screen share:
// the share button and the product's title view when the view loads, and while the screen is
// shown a light status bar, a white tint and the navigation colour on the outermost navigation
// bar, all put back when it goes.
class HLNavigationChrome {
public:
    // The share button on the right and the title view: the bundle image "Hushline" fading in
    // over a second, or, for `titleLabel`, a label with the screen's title. On systems from 11 on
    // the back button shows the image "Hushline".
    void viewDidLoad(UIViewController& controller, const std::optional<std::string>& titleLabel = std::nullopt);
    void viewWillAppear(UIViewController& controller);
    void viewWillDisappear(UIViewController& controller);

    // The saved values (prevStatubarStyle, prevTintcolor, prevBarTintcolor).
    long prevStatubarStyle() const { return m_prevStatusBarStyle; }
    const std::shared_ptr<UIColor>& prevTintcolor() const { return m_prevTintColor; }
    const std::shared_ptr<UIColor>& prevBarTintcolor() const { return m_prevBarTintColor; }

private:
    long m_prevStatusBarStyle { 0 };
    std::shared_ptr<UIColor> m_prevTintColor;
    std::shared_ptr<UIColor> m_prevBarTintColor;
    bool m_saved { false };
};

// __tesselTwitterAction: an action sheet with "Share 😘", the follow action and "Cancel".
void hl_tesselTwitterAction(UIViewController& controller);
// shareAction: the share composer for Sina Weibo when the first preferred language is "zh-Hans",
// otherwise for Twitter, with the product's share text.
void hl_shareAction(UIViewController& controller);
// The maker's social-media profile: the network's app when it is installed, else the browser.
void hl_followAction();

// A list screen of the plug-in with the navigation chrome; Base is the list class it extends
// (PSListController, PSEditableListController). The chrome goes on after Base's own viewDidLoad
// and viewWillAppear, and comes off before Base's viewWillDisappear.
template<class Base>
class HLChromedListController : public Base {
public:
    void viewDidLoad() override
    {
        Base::viewDidLoad();
        m_chrome.viewDidLoad(*this);
    }
    void viewWillAppear(bool animated) override
    {
        Base::viewWillAppear(animated);
        m_chrome.viewWillAppear(*this);
    }
    void viewWillDisappear(bool animated) override
    {
        m_chrome.viewWillDisappear(*this);
        Base::viewWillDisappear(animated);
    }

    // __tesselTwitterAction:
    void __tesselTwitterAction() { hl_tesselTwitterAction(*this); }
    // shareAction:
    void shareAction() { hl_shareAction(*this); }

    const HLNavigationChrome& chrome() const { return m_chrome; }

private:
    HLNavigationChrome m_chrome;
};
