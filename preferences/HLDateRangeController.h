#pragma once

#include "platform/preferences/PSDetailController.h"
#include "preferences/HLDateRangeControllerDelegate.h"

struct NSNotification;
class HLProfile;

// The active-hours screen: the detail screen of the profile editor's "Active Hours" row, whose
// user information is the profile. Accepted times of a new profile stay in the record (the
// editor is told to rebuild its rows); those of a stored profile are saved at once.
class HLDateRangeController : public PSDetailController, public HLDateRangeControllerDelegate {
public:
    ~HLDateRangeController() override;

    void loadPane() override;
    void timeChanged() override;
    void saveProfile();
    void profileAppliedStateChanged(const NSNotification&);

    std::shared_ptr<HLProfile> profile() const;
};
