#include "preferences/HushlineWifiController.h"

#include "core/profile/HLProfile.h"
#include "core/profile/HLProfilesManager.h"
#include "core/schedule/HLWiFiManager.h"
#include "platform/foundation/ObjCRuntime.h"
#include "platform/preferences/PSSpecifier.h"
#include "preferences/HLPickerUserInfo.h"
#include "preferences/PSViewController+Hushline_Addons.h"

namespace {

[[maybe_unused]] const bool registered = ObjCRuntime::registerClass<HushlineWifiController>(
    "HushlineWifiController", {}, [] { return std::make_shared<HushlineWifiController>(); });

}

const PSListController::Specifiers& HushlineWifiController::specifiers()
{
    if (m_specifiers.empty() && profile())
        m_specifiers = wifiSpecifiers();
    return m_specifiers;
}

const PSListController::Specifiers& HushlineWifiController::wifiSpecifiers()
{
    if (m_wifiSpecifiers)
        return *m_wifiSpecifiers;
    m_wifiSpecifiers.emplace();
    for (const auto& network : HLWiFiManager::sharedManager().knownNetworks()) {
        const auto* ssid = network["SSID"].asString();
        if (!ssid)
            continue;
        auto row = PSSpecifier::preferenceSpecifierNamed(*ssid, nullptr, nullptr, {}, PSCellType::Switch);
        row->setProperty("HLSwitchCell", "cellClass");
        row->setIdentifier(*ssid);
        row->setUserInfo(network);
        bindToSelf(row);
        m_wifiSpecifiers->push_back(row);
    }
    return *m_wifiSpecifiers;
}

PlistValue HushlineWifiController::readPreferenceValue(const std::shared_ptr<PSSpecifier>& specifier)
{
    return PlistValue(isWiFiSelected(specifier->identifier()));
}

bool HushlineWifiController::isWiFiSelected(const std::string& ssid) const
{
    auto edited = profile();
    return edited && edited->hasWiFiNetwork(ssid);
}

void HushlineWifiController::setPreferenceValue(const PlistValue&, const std::shared_ptr<PSSpecifier>& specifier)
{
    auto edited = profile();
    if (!edited)
        return;
    if (isWiFiSelected(specifier->identifier()))
        edited->removeFromWiFiNetwork(specifier->identifier());
    else
        edited->addToWiFiNetwork(specifier->identifier());
    saveProfile();
}

void HushlineWifiController::saveProfile()
{
    auto edited = profile();
    if (!edited || edited->isNewProfile())
        return;
    std::weak_ptr<HushlineWifiController> weakSelf = std::static_pointer_cast<HushlineWifiController>(shared_from_this());
    HLProfilesManager::sharedManager().updateProfile(edited, [weakSelf] {
        if (auto self = weakSelf.lock())
            hl_refetchPickerProfile(*self);
    }, [weakSelf](const NSError& error) {
        if (auto self = weakSelf.lock())
            hl_showStoreError(*self, error);
    });
}

void HushlineWifiController::profileAppliedStateChanged(const NSNotification&)
{
    hl_refetchPickerProfile(*this);
    reloadSpecifiers();
}
