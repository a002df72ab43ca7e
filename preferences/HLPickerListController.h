#pragma once

#include "preferences/HLVelloqListController.h"

#include <memory>

class HLProfile;
struct NSNotification;

// What the calendar, event-status and Wi-Fi pickers share: the profile they edit (the "profile"
// of the opening row's user information), the navigation and share hooks of the profile editor,
// the footer group "CopyRightHeader", and a fresh copy of the profile from the store when the
// profile's applied state changes.
class HLPickerListController : public HLVelloqListController {
public:
    ~HLPickerListController() override;

    void viewDidLoad() override;

    std::shared_ptr<HLProfile> profile() const;

    // A stored profile is written at once, a store error shown with hl_showError; a new profile
    // is only changed in memory (the profile editor stores it when the user saves it).
    virtual void saveProfile();
    // The record with the profile's identifier is fetched again from the store and becomes the
    // opening row's "profile".
    virtual void profileAppliedStateChanged(const NSNotification&);

    std::shared_ptr<PSSpecifier> copyRightSpecifier() override;
    std::string copryRightSpecifierText(long year) override;

protected:
    // The footer group at the end of the list.
    static std::shared_ptr<PSSpecifier> copyRightGroup();
    // Binds a row's reading and writing to this screen's readPreferenceValue / setPreferenceValue.
    void bindToSelf(const std::shared_ptr<PSSpecifier>& row);
};
