#include "core/profile/HLProfile.h"

#include "core/profile/HLProfilesManager.h"
#include "platform/foundation/DarwinNotifyCenter.h"
#include "platform/testsupport/DeviceFixture.h"

#include <cmath>
#include <set>

class HLProfileTest : public DeviceFixture { };

TEST_F(HLProfileTest, DefaultProfileHasTheStartingValuesAndNoLists)
{
    auto profile = HLProfile::defaultProfile();
    EXPECT_EQ(profile->title(), "Profile");
    EXPECT_TRUE(profile->isEnabled());
    EXPECT_TRUE(profile->isAllDay());
    EXPECT_EQ(profile->ringerVolume(), 0.0625);
    EXPECT_EQ(profile->playBackVolume(), 0.0);
    EXPECT_TRUE(profile->isPlayAlert());
    EXPECT_TRUE(profile->isVibrate());
    EXPECT_TRUE(profile->isVibrateAlert());
    EXPECT_FALSE(profile->isShowOnStatusBar());
    EXPECT_FALSE(profile->isDnDEnabled());
    EXPECT_TRUE(profile->isWakeUpScreen());
    EXPECT_EQ(profile->alertSound(), 1005);
    EXPECT_TRUE(profile->isAllDayEventsIgnored());
    EXPECT_EQ(profile->startTime(), "8:00 AM");
    EXPECT_EQ(profile->endTime(), "5:00 PM");
    EXPECT_EQ(profile->alertToneIdentifier(), "texttone:Calendar Alert");
    EXPECT_EQ(profile->applyProfileEventStatus(), 0);
    EXPECT_FALSE(profile->isApplied());
    EXPECT_FALSE(profile->hasCalendarIdentifiers());
    EXPECT_EQ(profile->identifier(), static_cast<int64_t>(m_clock->now()));
    // The quiet flag is set through its setter, which says so in the log.
    EXPECT_EQ(logCount("Quiet flag of profile Profile was 0"), 1u);
    EXPECT_EQ(logCount("Quiet flag of profile Profile is now 0"), 1u);
}

TEST(NSErrorTest, TheWholeDescriptionNamesDomainCodeAndEveryText)
{
    NSError error { "com.apple.springboard", 1,
        { { NSLocalizedDescriptionKey, "Unable to save" }, { NSLocalizedFailureReasonErrorKey, "The disk is full" } } };
    EXPECT_EQ(error.description(),
        "Error Domain=com.apple.springboard Code=1 \"Unable to save\" UserInfo={NSLocalizedDescription=Unable to save, "
        "NSLocalizedFailureReason=The disk is full}");
}

TEST_F(HLProfileTest, IdentifierIsTheCreationSecondTruncated)
{
    m_clock->set(1700000000.9);
    EXPECT_EQ(HLProfile::init()->identifier(), 1700000000);
    EXPECT_EQ(HLProfile::init()->createdDate().timeIntervalSince1970(), 1700000000.0);
    for (int64_t bad : { int64_t(0), int64_t(-4) }) {
        auto profile = HLProfile::initWithDictionary({ { "identifier", bad } });
        EXPECT_EQ(profile->identifier(), 1700000000);
    }
    EXPECT_EQ(HLProfile::initWithDictionary({})->identifier(), 1700000000);
    EXPECT_EQ(HLProfile::initWithDictionary({ { "identifier", 42 } })->identifier(), 42);
}

TEST_F(HLProfileTest, DictionaryFormRoundTripsWithSinglePrecisionVolumes)
{
    auto profile = HLProfile::defaultProfile();
    profile->setRingerVolume(0.3);
    profile->setPlayBackVolume(0.5);
    profile->setCalendarIdentifiers(std::vector<std::string> { "work/meetings" });
    profile->wifiNetworks().push_back("Office");
    profile->setApplyProfileEventStatus(2);
    auto entry = profile->dictionaryRepresentation();
    EXPECT_EQ(*entry["ringerVolume"].asReal(), 0.3);
    EXPECT_FALSE(entry.count("updatedDate"));

    auto back = HLProfile::initWithDictionary(entry);
    EXPECT_EQ(back->ringerVolume(), 0.30000001192092896);
    EXPECT_EQ(back->playBackVolume(), 0.5);
    EXPECT_EQ(back->ringerVolume(), static_cast<double>(0.3f));
    EXPECT_EQ(back->title(), profile->title());
    EXPECT_EQ(back->calendarIdentifiers(), std::vector<std::string> { "work/meetings" });
    EXPECT_EQ(back->wifiNetworks(), std::vector<std::string> { "Office" });
    EXPECT_EQ(back->applyProfileEventStatus(), 2);
    EXPECT_EQ(back->dictionaryRepresentation(), [&] {
        auto expected = entry;
        expected["ringerVolume"] = 0.30000001192092896;
        return expected;
    }());
}

TEST_F(HLProfileTest, MissingKeysClearFieldsButLeaveListsAndTimesDefaultOnWriting)
{
    auto profile = HLProfile::defaultProfile();
    profile->setCalendarIdentifiers(std::vector<std::string> { "a" });
    profile->setPropertiesFromDicitonary({ { "identifier", 7 } });
    EXPECT_FALSE(profile->title());
    EXPECT_FALSE(profile->isEnabled());
    EXPECT_EQ(profile->ringerVolume(), 0.0);
    EXPECT_FALSE(profile->alertToneIdentifier());
    EXPECT_EQ(profile->calendarIdentifiers(), std::vector<std::string> { "a" });

    auto entry = profile->dictionaryRepresentation();
    EXPECT_FALSE(entry.count("title"));
    EXPECT_FALSE(entry.count("alertToneIdentifier"));
    EXPECT_EQ(*entry["startTime"].asString(), "8:00 AM");
    EXPECT_EQ(*entry["endTime"].asString(), "5:00 PM");
    EXPECT_EQ(entry["wifiNetworks"], PlistValue(PlistArray {}));
    EXPECT_EQ(HLProfile::initWithDictionary(entry)->startTime(), "8:00 AM");
}

TEST_F(HLProfileTest, AnEmptyCalendarListMeansNoCalendarAndStaysEmpty)
{
    auto empty = HLProfile::initWithDictionary({ { "calendarIdentifiers", PlistArray {} } });
    EXPECT_TRUE(empty->hasCalendarIdentifiers());
    EXPECT_TRUE(empty->calendarIdentifiers().empty());
    auto unset = HLProfile::initWithDictionary({});
    EXPECT_FALSE(unset->hasCalendarIdentifiers());
    unset->calendarIdentifiers();
    EXPECT_TRUE(unset->hasCalendarIdentifiers());
}

TEST_F(HLProfileTest, FlagsAndNumbersReadFromStringsAsThePhoneReadsThem)
{
    auto profile = HLProfile::initWithDictionary({ { "enabled", "YES" }, { "allDay", "0" }, { "vibrate", 2 },
        { "ringerVolume", "0.25" }, { "alertSound", "1005abc" }, { "applyProfileEventStatus", 7 } });
    EXPECT_TRUE(profile->isEnabled());
    EXPECT_FALSE(profile->isAllDay());
    EXPECT_TRUE(profile->isVibrate());
    EXPECT_EQ(profile->ringerVolume(), 0.25);
    EXPECT_EQ(profile->alertSound(), 1005);
    EXPECT_EQ(profile->applyProfileEventStatus(), 0);
    EXPECT_EQ(*profile->dictionaryRepresentation()["applyProfileEventStatus"].asInteger(), 0);
    EXPECT_EQ(HLProfile::initWithDictionary({ { "applyProfileEventStatus", -1 } })->applyProfileEventStatus(), 0);
}

TEST_F(HLProfileTest, FieldsOfTheWrongTypeReadAsMissingWithAWarning)
{
    auto profile = HLProfile::defaultProfile();
    profile->setCalendarIdentifiers(std::vector<std::string> { "kept" });
    profile->setPropertiesFromDicitonary({ { "identifier", 9 }, { "title", PlistArray { "x" } }, { "enabled", PlistDictionary {} },
        { "calendarIdentifiers", "not a list" }, { "wifiNetworks", PlistArray { "Home", 3 } }, { "startTime", 8 } });
    EXPECT_FALSE(profile->title());
    EXPECT_FALSE(profile->isEnabled());
    EXPECT_FALSE(profile->startTime());
    EXPECT_EQ(profile->calendarIdentifiers(), std::vector<std::string> { "kept" });
    EXPECT_TRUE(profile->wifiNetworks().empty());
    EXPECT_EQ(logCount("com.velloq.Hushline: Warning => "), 5u);
    EXPECT_EQ(logCount("Ignoring \"calendarIdentifiers\" of a profile entry: expected an array of strings, found a string"), 1u);
}

TEST_F(HLProfileTest, ReadingAppliedNeitherSavesNorAnnounces)
{
    auto profile = HLProfile::initWithDictionary({ { "identifier", 5 }, { "applied", true }, { "updatedDate", NSDate(5.0) } });
    EXPECT_TRUE(profile->isApplied());
    EXPECT_FALSE(profile->updatedDate());
    EXPECT_FALSE(std::filesystem::exists(HLProfilesManager::profilesFilePath()));
    EXPECT_TRUE(DarwinNotifyCenter::current().postedNames().empty());
    EXPECT_EQ(logCount("com.velloq.Hushline: Information => HLProfile::setPropertiesFromDicitonary, [Line "), 1u);
    EXPECT_EQ(logCount("], setPropertiesFromDicitonary=> {\n    applied = 1;\n    identifier = 5;\n"), 1u);
}

TEST_F(HLProfileTest, EqualityIsByIdentifierForProfilesAndIdentityOtherwise)
{
    auto a = HLProfile::initWithDictionary({ { "identifier", 10 }, { "title", "A" } });
    auto b = HLProfile::initWithDictionary({ { "identifier", 10 }, { "title", "B" } });
    auto c = HLProfile::initWithDictionary({ { "identifier", 11 }, { "title", "A" } });
    auto other = std::make_shared<NSObject>();
    EXPECT_TRUE(a->isEqual(b));
    EXPECT_FALSE(a->isEqual(c));
    EXPECT_FALSE(a->isEqual(other));
    EXPECT_TRUE(other->isEqual(other));
    EXPECT_EQ(a->title(), "A");
}

TEST_F(HLProfileTest, ChangeTestLooksAtTheWindowAndTheReceiversCalendarsOnly)
{
    auto stored = HLProfile::initWithDictionary({ { "identifier", 10 }, { "startTime", "9:00 AM" }, { "endTime", "5:00 PM" },
        { "calendarIdentifiers", PlistArray { "a", "b" } } });
    auto newer = HLProfile::initWithDictionary(stored->dictionaryRepresentation());
    newer->setTitle("Renamed");
    newer->setRingerVolume(1.0);
    newer->setCalendarIdentifiers(std::vector<std::string> { "a", "b", "c" });
    EXPECT_FALSE(stored->hasChanged(newer));
    EXPECT_TRUE(newer->hasChanged(stored));

    auto moved = HLProfile::initWithDictionary(stored->dictionaryRepresentation());
    moved->setEndTime("6:00 PM");
    EXPECT_TRUE(stored->hasChanged(moved));

    auto stranger = HLProfile::initWithDictionary({ { "identifier", 11 }, { "startTime", "1:00 AM" } });
    EXPECT_FALSE(stored->hasChanged(stranger));
}

TEST_F(HLProfileTest, KeyValueAccessReachesEveryPropertyByNameAndRefusesWrongTypes)
{
    auto profile = HLProfile::defaultProfile();
    EXPECT_TRUE(profile->setValueForKey(PlistValue("Night"), "title"));
    EXPECT_TRUE(profile->setValueForKey(PlistValue(0.5), "ringerVolume"));
    EXPECT_TRUE(profile->setValueForKey(PlistValue(false), "enabled"));
    EXPECT_TRUE(profile->setValueForKey(PlistValue(std::vector<std::string> { "Home" }), "wifiNetworks"));
    EXPECT_EQ(profile->title(), "Night");
    EXPECT_EQ(profile->ringerVolume(), 0.5);
    EXPECT_FALSE(profile->isEnabled());
    EXPECT_EQ(profile->wifiNetworks(), std::vector<std::string> { "Home" });
    EXPECT_EQ(*profile->valueForKey("title").asString(), "Night");
    EXPECT_EQ(*profile->valueForKey("alertSound").asInteger(), 1005);

    EXPECT_FALSE(profile->setValueForKey(PlistValue(3), "title"));
    EXPECT_FALSE(profile->setValueForKey(PlistValue(PlistArray {}), "enabled"));
    EXPECT_FALSE(profile->setValueForKey(PlistValue(1), "noSuchProperty"));
    EXPECT_TRUE(profile->valueForKey("noSuchProperty").isNone());
    EXPECT_EQ(profile->title(), "Night");

    for (const auto& name : HLProfile::propertyNames())
        EXPECT_TRUE(name == "title" || name == "alertToneIdentifier" || name == "updatedDate" || !profile->valueForKey(name).isNone()) << name;
}

TEST_F(HLProfileTest, TheOneTableNamesEveryKeyOfTheProfilesFileAndEachReadsBackByName)
{
    // The keys of a profiles-file entry, as other processes and earlier versions read them.
    const std::set<std::string> fileKeys { "identifier", "title", "enabled", "applied", "allDay", "ringerVolume", "playBackVolume",
        "deviceVolume", "playAlert", "vibrate", "vibrateAlert", "showOnStatusBar", "dnDEnabled", "applyProfileEventStatus", "alertSound",
        "calendarIdentifiers", "alertToneIdentifier", "allDayEventsIgnored", "startTime", "endTime", "wifiNetworks", "wakeUpScreen",
        "updatedDate" };
    auto profile = HLProfile::defaultProfile();
    profile->setUpdatedDate(NSDate::dateWithTimeIntervalSince1970(1765180800));
    profile->setWifiNetworks(std::vector<std::string> { "Home" });
    PlistDictionary written = profile->dictionaryRepresentation();
    std::set<std::string> writtenKeys;
    for (const auto& [key, value] : written) {
        writtenKeys.insert(key);
        EXPECT_EQ(profile->valueForKey(key), value) << key << " reads back by name as the file has it";
    }
    EXPECT_EQ(writtenKeys, fileKeys);

    // What is read back is what was written, field by field; the updated date is only written.
    auto reread = HLProfile::initWithDictionary(written);
    for (const auto& key : fileKeys) {
        if (key == "updatedDate")
            continue;
        EXPECT_EQ(reread->valueForKey(key), profile->valueForKey(key)) << key;
    }
    EXPECT_FALSE(reread->updatedDate());
}
