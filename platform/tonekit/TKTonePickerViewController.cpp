#include "platform/tonekit/TKTonePickerViewController.h"

#include "platform/device/Device.h"
#include "platform/foundation/ObjCRuntime.h"
#include "platform/tonelibrary/TLAlert.h"
#include "platform/tonelibrary/TLToneManager.h"
#include "platform/uikit/UIView.h"

namespace {

constexpr const char* kSetShowsToneStore = "setShowsToneStore:";

[[maybe_unused]] const bool registered = ObjCRuntime::registerClass<TKTonePickerViewController>(
    "TKTonePickerViewController", {}, [] { return std::make_shared<TKTonePickerViewController>(); });

std::vector<TKTonePickerViewController::Entry> entries(const std::vector<TLToneManager::Tone>& tones)
{
    std::vector<TKTonePickerViewController::Entry> list;
    for (const auto& tone : tones)
        list.push_back({ tone.identifier, tone.name });
    return list;
}

}

TKTonePickerViewController::TKTonePickerViewController()
    : m_view(std::make_shared<UIView>())
{
    // The full screen of a phone, in points.
    m_view->setFrame(CGRect { 0, 0, 375, 667 });
}

void TKTonePickerViewController::initWithAlertType(int64_t alertType)
{
    m_alertType = alertType;
}

bool TKTonePickerViewController::respondsToSelector(const std::string& selector) const
{
    return selector == kSetShowsToneStore && Device::current().majorSystemVersion() >= 9;
}

void TKTonePickerViewController::setShowsToneStore(bool shows)
{
    if (!respondsToSelector(kSetShowsToneStore))
        ObjCRuntime::doesNotRecognizeSelector("TKTonePickerViewController", kSetShowsToneStore);
    m_showsToneStore = shows;
}

std::vector<TKTonePickerViewController::Section> TKTonePickerViewController::sections() const
{
    const auto& library = TLToneManager::sharedToneManager();
    Section none { "", { Entry { std::nullopt, "None" } } };
    std::vector<Section> list;
    if (m_noneAtTop)
        list.push_back(none);
    list.push_back({ "Ringtones", entries(library.ringtones()) });
    list.push_back({ "Alert Tones", entries(library.textTones()) });
    if (!m_noneAtTop)
        list.push_back(none);
    return list;
}

void TKTonePickerViewController::pickTone(const std::optional<std::string>& identifier)
{
    m_selected = identifier;
    if (identifier)
        playPreview(*identifier);
    if (auto delegate = m_delegate.lock())
        delegate->tonePickerViewControllerSelectedToneWithIdentifier(*this, identifier);
}

void TKTonePickerViewController::playPreview(const std::string& identifier) const
{
    // The preview plays the way the system's version can; a phone before 8 plays no preview.
    if (TLAlert::classRespondsToSelector("playToneAndVibrationForType:toneIdentifier:vibrationIdentifier:"))
        TLAlert::playToneAndVibrationForType(m_alertType, identifier, std::nullopt);
    else if (TLAlert::classRespondsToSelector("_playToneAndVibrationForType:toneIdentifier:vibrationIdentifier:shouldOverrideMasterSwitches:"))
        TLAlert::_playToneAndVibrationForType(m_alertType, identifier, std::nullopt, false);
}
