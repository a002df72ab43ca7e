#pragma once

// Test support for applying and reverting profiles (include in tests only).

#include "core/profile/HLProfile.h"
#include "core/profile/HLProfilesManager.h"
#include "platform/testsupport/PhoneFixture.h"
#include "platform/foundation/NSBundle.h"
#include "platform/foundation/NSUserDefaults.h"
#include "platform/springboard/SpringBoard.h"

#include <functional>
#include <memory>
#include <string>

// The test stands in for SpringBoard: its defaults are SpringBoard's domain and its application
// object is SpringBoard. The phone runs the OS version the test names, with its ringer at 0.75
// and its media volume at 0.5, and the store starts empty.
class ApplyFixture : public PhoneFixture {
protected:
    void SetUp() override
    {
        PhoneFixture::SetUp();
        NSBundle::setMainBundleIdentifier("com.apple.springboard");
        UIApplication::setSharedApplication(std::make_shared<SpringBoard>());
        writeSystemVersion(systemVersion());
        HLProfilesManager::sharedManager().loadProfiles();
        phone().setRingerVolume(0.75f, "test");
        phone().setMediaVolume(0.5f, "test");
        loop().runPending();
        phone().clearChanges();
        clearLog();
    }

    virtual const char* systemVersion() const { return "13.3"; }

    // A profile saved in the store, set up by `configure`.
    std::shared_ptr<HLProfile> storedProfile(const std::string& title, const std::function<void(HLProfile&)>& configure = {})
    {
        auto profile = HLProfile::init();
        profile->setIdentifier(1000 + static_cast<int64_t>(HLProfilesManager::sharedManager().profiles().size()));
        profile->setTitle(title);
        profile->setEnabled(true);
        profile->setRingerVolume(0.125);
        profile->setPlayBackVolume(0.25);
        if (configure)
            configure(*profile);
        HLProfilesManager::sharedManager().addProfile(profile);
        return profile;
    }

    static NSUserDefaults& defaults() { return NSUserDefaults::standardUserDefaults(); }
    static bool hasDefault(const std::string& key) { return !defaults().objectForKey(key).isNone(); }
};
