#pragma once

#include "platform/uikit/UIViewController.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class TKTonePickerViewController;
class UIView;

// Told which tone the user picked; no identifier is the entry for no tone.
class TKTonePickerViewControllerDelegate {
public:
    virtual ~TKTonePickerViewControllerDelegate() = default;
    virtual void tonePickerViewControllerSelectedToneWithIdentifier(TKTonePickerViewController& picker,
        const std::optional<std::string>& identifier) = 0;
};

// ToneKit's tone picker: the phone's ringtones and alert tones (TLToneManager) and the entry for
// no tone, one of them selected. Picking a tone plays it once as a preview (as every tone the
// phone plays, it shows on the device's change log) and tells the delegate. The owner draws the
// list (a tone-settings screen) from `sections()`.
class TKTonePickerViewController : public UIViewController {
public:
    struct Entry {
        // None for the entry for no tone.
        std::optional<std::string> identifier;
        std::string name;
    };
    struct Section {
        std::string title;
        std::vector<Entry> entries;
    };

    // initWithAlertType:
    virtual void initWithAlertType(int64_t alertType);
    TKTonePickerViewController();

    int64_t alertType() const { return m_alertType; }
    bool showsVibrations() const { return m_showsVibrations; }
    void setShowsVibrations(bool shows) { m_showsVibrations = shows; }
    bool showsStoreButtonInNavigationBar() const { return m_showsStoreButton; }
    void setShowsStoreButtonInNavigationBar(bool shows) { m_showsStoreButton = shows; }
    bool noneAtTop() const { return m_noneAtTop; }
    void setNoneAtTop(bool atTop) { m_noneAtTop = atTop; }
    // setShowsToneStore: exists from system 9 on; sending it earlier throws.
    bool respondsToSelector(const std::string& selector) const;
    bool showsToneStore() const { return m_showsToneStore; }
    void setShowsToneStore(bool shows);

    const std::optional<std::string>& selectedToneIdentifier() const { return m_selected; }
    void setSelectedToneIdentifier(std::optional<std::string> identifier) { m_selected = std::move(identifier); }
    const std::optional<std::string>& defaultToneIdentifier() const { return m_default; }
    void setDefaultToneIdentifier(std::optional<std::string> identifier) { m_default = std::move(identifier); }

    std::shared_ptr<TKTonePickerViewControllerDelegate> delegate() const { return m_delegate.lock(); }
    void setDelegate(const std::shared_ptr<TKTonePickerViewControllerDelegate>& delegate) { m_delegate = delegate; }

    const std::shared_ptr<UIView>& view() const { return m_view; }

    // The list: the entry for no tone first (noneAtTop) or last, the ringtones, the alert tones.
    std::vector<Section> sections() const;
    // The user picks an entry: it becomes the selected one, its tone plays once, the delegate
    // hears of it.
    void pickTone(const std::optional<std::string>& identifier);

private:
    void playPreview(const std::string& identifier) const;

    int64_t m_alertType { 0 };
    bool m_showsVibrations { true };
    bool m_showsStoreButton { false };
    bool m_noneAtTop { false };
    bool m_showsToneStore { true };
    std::optional<std::string> m_selected;
    std::optional<std::string> m_default;
    std::weak_ptr<TKTonePickerViewControllerDelegate> m_delegate;
    std::shared_ptr<UIView> m_view;
};
