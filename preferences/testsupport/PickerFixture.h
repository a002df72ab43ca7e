#pragma once

#include "preferences/testsupport/PreferencesFixture.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

class HLProfile;
class PSViewController;

// The pickers' tests: calendars and remembered networks on the phone, a stored profile, and a
// picker opened for it from a link row the way the profile editor opens it.
class PickerFixture : public PreferencesFixture {
protected:
    static constexpr int64_t kProfileId = 1765180800;

    void SetUp() override;

    // A calendar folder "<account>/<folder>" with its display name and colour ("#RRGGBB").
    void writeCalendar(const std::string& account, const std::string& accountTitle, const std::string& folder, const std::string& title,
        const std::optional<std::string>& color, bool writable = true) const;
    // Stores one profile (enabled, all day) with the extra fields, and returns the store's record.
    std::shared_ptr<HLProfile> storeProfile(const PlistDictionary& fields = {});
    // The stored entry of the profile, as the profiles file holds it.
    PlistDictionary storedEntry() const;
    // The strings of the stored entry's array under the key, in order.
    std::vector<std::string> storedStrings(const std::string& key) const;

    // Opens the picker of the class for the profile through a link row of the root list (the
    // calendar picker also gets the grouped calendars).
    std::shared_ptr<PSViewController> openPicker(const std::string& className, const std::shared_ptr<HLProfile>& profile);
    template<class T>
    std::shared_ptr<T> open(const std::string& className, const std::shared_ptr<HLProfile>& profile)
    {
        return std::dynamic_pointer_cast<T>(openPicker(className, profile));
    }
    // Stores a profile with the fields (m_profile) and opens the picker of the class for it.
    template<class T>
    std::shared_ptr<T> openForNewProfile(const std::string& className, const PlistDictionary& fields = {})
    {
        m_profile = storeProfile(fields);
        return open<T>(className, m_profile);
    }

    // The checked rows of the list, each named by its title, by the title its cell shows, or by
    // its identifier.
    enum class RowName { Title, ShownTitle, Identifier };
    static std::vector<std::string> checkedRows(PSListController&, RowName);
    static void tapRow(PSListController&, const std::string& name);

    std::shared_ptr<PSListController> m_rootList;
    std::shared_ptr<HLProfile> m_profile;
};
