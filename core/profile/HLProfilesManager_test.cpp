#include "core/profile/HLProfilesManager.h"

#include "platform/foundation/DarwinNotifyCenter.h"
#include "platform/foundation/NSBundle.h"
#include "platform/foundation/NSNotificationCenter.h"
#include "platform/foundation/PropertyList.h"
#include "platform/testsupport/DeviceFixture.h"

#include <fstream>
#include <functional>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

class HLProfilesManagerTest : public DeviceFixture {
protected:
    void SetUp() override
    {
        DeviceFixture::SetUp();
        installSettingsBundle();
        NSBundle::setMainBundleIdentifier("com.apple.springboard");
    }

    HLProfilesManager& store() { return HLProfilesManager::sharedManager(); }

    std::shared_ptr<HLProfile> profile(const std::string& title, int64_t identifier)
    {
        auto p = HLProfile::defaultProfile();
        p->setTitle(title);
        p->setIdentifier(identifier);
        p->setCalendarIdentifiers(std::vector<std::string> {});
        return p;
    }

    PlistArray fileEntries()
    {
        auto file = PropertyList::read(HLProfilesManager::profilesFilePath());
        return file && file->isArray() ? *file->asArray() : PlistArray {};
    }

    void writeProfilesFile(const std::string& bytes)
    {
        std::filesystem::create_directories(HLProfilesManager::profilesFilePath().parent_path());
        std::ofstream(HLProfilesManager::profilesFilePath()) << bytes;
    }

    std::optional<NSError> lastError;
    int successes = 0;
    HLProfilesManager::Success onSuccess() { return [this] { ++successes; }; }
    HLProfilesManager::Failure onFailure() { return [this](const NSError& e) { lastError = e; }; }
};

}

TEST_F(HLProfilesManagerTest, AddWritesTheFileThenAnnouncesLocallyThenSystemWideThenSucceeds)
{
    std::vector<std::string> order;
    std::shared_ptr<HLProfile> announced;
    int observer;
    NSNotificationCenter::defaultCenter().addObserver(&observer, kHLProfileAddedNotification, nullptr, [&](const NSNotification& n) {
        order.push_back("local");
        announced = n.userInfo.at("profile").asObject<HLProfile>();
        EXPECT_EQ(fileEntries().size(), 1u);
    });
    DarwinNotifyCenter::current().addObserver(&observer, kHLProfileAddedNotification, [&](const std::string&) { order.push_back("darwin"); });

    auto work = profile("Work", 1000);
    store().addProfile(work, [&] { order.push_back("success"); }, onFailure());

    EXPECT_EQ(order, (std::vector<std::string> { "local", "darwin", "success" }));
    EXPECT_EQ(announced, work);
    EXPECT_EQ(*fileEntries()[0]["title"].asString(), "Work");
    EXPECT_EQ(logCount("Profiles saved successfully to the disk."), 1u);
    EXPECT_EQ(logCount("Posting notification: com.velloq.ProfileAddedNotification"), 1u);
    // The file is an XML property list.
    std::ifstream in(HLProfilesManager::profilesFilePath());
    std::string head(5, '\0');
    in.read(head.data(), 5);
    EXPECT_EQ(head, "<?xml");
}

TEST_F(HLProfilesManagerTest, ATakenTitleIsRefusedButOtherLetterCaseIsAccepted)
{
    store().addProfile(profile("Work", 1000));
    DarwinNotifyCenter::current().clearPostedNames();
    store().addProfile(profile("Work", 2000), onSuccess(), onFailure());
    ASSERT_TRUE(lastError);
    EXPECT_EQ(lastError->domain, "com.apple.springboard");
    EXPECT_EQ(lastError->code, 1);
    EXPECT_EQ(lastError->localizedDescription(), "Unable to add profile.");
    EXPECT_EQ(lastError->localizedFailureReason(), "Profile name already exist.");
    EXPECT_EQ(lastError->localizedRecoverySuggestion(), "Change profile name and try.");
    EXPECT_TRUE(DarwinNotifyCenter::current().postedNames().empty());
    EXPECT_EQ(fileEntries().size(), 1u);

    store().addProfile(profile("work", 2000), onSuccess(), onFailure());
    EXPECT_EQ(successes, 1);
    EXPECT_EQ(fileEntries().size(), 2u);
}

TEST_F(HLProfilesManagerTest, ASecondProfileOfTheSameSecondMovesToTheNextFreeSecond)
{
    store().addProfile(profile("A", 1000));
    store().addProfile(profile("B", 1001));
    auto c = profile("C", 1000);
    store().addProfile(c, onSuccess(), onFailure());
    EXPECT_EQ(c->identifier(), 1002);
    EXPECT_EQ(*fileEntries()[2]["identifier"].asInteger(), 1002);

    c->setRingerVolume(1.0);
    store().updateProfile(c, onSuccess(), onFailure());
    store().deleteProfile(store().profileByIdentifier(1000), onSuccess(), onFailure());
    EXPECT_EQ(successes, 3);
    EXPECT_FALSE(lastError);
    EXPECT_EQ(fileEntries().size(), 2u);
}

TEST_F(HLProfilesManagerTest, UpdateReplacesByIdentifierWhateverTheTitle)
{
    store().addProfile(profile("A", 1000));
    store().addProfile(profile("B", 2000));
    auto renamed = profile("A", 2000);
    store().updateProfile(renamed, onSuccess(), onFailure());
    EXPECT_EQ(successes, 1);
    EXPECT_EQ(store().profiles()[1], renamed);
    EXPECT_TRUE(renamed->updatedDate());
    EXPECT_EQ(*fileEntries()[1]["title"].asString(), "A");
    EXPECT_TRUE(fileEntries()[1]["updatedDate"].isDate());
    EXPECT_EQ(logCount("Profile updated successfully."), 1u);
    EXPECT_EQ(DarwinNotifyCenter::current().postedNames().back(), kHLProfileChangedNotification);
}

TEST_F(HLProfilesManagerTest, UpdateAndDeleteOfAnUnknownProfileFailAndStillDateTheRecord)
{
    auto stranger = profile("X", 5000);
    store().updateProfile(stranger, onSuccess(), onFailure());
    ASSERT_TRUE(lastError);
    EXPECT_EQ(lastError->localizedDescription(), "Unable to update profile.");
    EXPECT_EQ(lastError->localizedFailureReason(), "Trying to update a profile that is not yet saved to disk.");
    EXPECT_EQ(lastError->localizedRecoverySuggestion(), "Is Profile saved to disk?");
    EXPECT_TRUE(stranger->updatedDate());

    lastError.reset();
    store().deleteProfile(stranger, onSuccess(), onFailure());
    ASSERT_TRUE(lastError);
    EXPECT_EQ(lastError->localizedDescription(), "Unable to delete profile.");
    EXPECT_EQ(lastError->localizedFailureReason(), "Trying to delete a profile that is not yet available.");
    EXPECT_EQ(successes, 0);
    EXPECT_FALSE(std::filesystem::exists(HLProfilesManager::profilesFilePath()));
    // Without a failure callback a failure is silent.
    store().deleteProfile(stranger);
}

TEST_F(HLProfilesManagerTest, AFailedWriteAnnouncesNothingAndKeepsTheChangeInMemory)
{
    auto path = HLProfilesManager::profilesFilePath();
    // A folder where the file should be makes the rename fail.
    std::filesystem::create_directories(path / "blocker");
    auto work = profile("Work", 1000);
    store().addProfile(work, onSuccess(), onFailure());
    ASSERT_TRUE(lastError);
    EXPECT_EQ(lastError->localizedDescription(), "Unable to save profiles to disk.");
    EXPECT_EQ(store().profiles().size(), 1u);
    EXPECT_TRUE(DarwinNotifyCenter::current().postedNames().empty());
    EXPECT_FALSE(store().saveAllProfilesToDisk(work, true, kHLProfileChangedNotification));

    lastError.reset();
    store().deleteProfile(work, onSuccess(), onFailure());
    ASSERT_TRUE(lastError);
    EXPECT_EQ(lastError->localizedDescription(), "Unable to remove and save profiles to disk.");
}

TEST_F(HLProfilesManagerTest, TheQuietUpdateSavesWithoutAnnouncingAndTheLoudOneAnnouncesAChange)
{
    auto work = profile("Work", 1000);
    store().addProfile(work);
    DarwinNotifyCenter::current().clearPostedNames();
    work->setRingerVolume(0.5);
    store().updateProfile(work, false, onSuccess(), nullptr);
    EXPECT_EQ(successes, 1);
    EXPECT_TRUE(DarwinNotifyCenter::current().postedNames().empty());
    EXPECT_EQ(*fileEntries()[0]["ringerVolume"].asReal(), 0.5);
    EXPECT_EQ(logCount("HLProfilesManager+Hushline -> Profile updated successfully."), 1u);

    store().updateProfile(work, true, onSuccess(), nullptr);
    EXPECT_EQ(DarwinNotifyCenter::current().postedNames(), std::vector<std::string> { kHLProfileChangedNotification });
}

TEST_F(HLProfilesManagerTest, DefaultProfileIsWrittenOnlyWhenThereIsNoFile)
{
    HLProfilesManager::createAndSaveDefaultProfile();
    auto entries = fileEntries();
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(*entries[0]["title"].asString(), "Profile");
    EXPECT_TRUE(store().profiles().empty());
    EXPECT_TRUE(DarwinNotifyCenter::current().postedNames().empty());

    writeProfilesFile("<?xml version=\"1.0\"?><plist version=\"1.0\"><array/></plist>");
    HLProfilesManager::createAndSaveDefaultProfile();
    EXPECT_TRUE(fileEntries().empty());
}

TEST_F(HLProfilesManagerTest, QueriesLoadAnEmptyListFirstAndHandOutLiveRecords)
{
    EXPECT_TRUE(store().activeProfiles().empty());
    PlistArray entries;
    for (auto [id, enabled, applied] : { std::tuple { 1, true, false }, { 2, false, true }, { 3, false, false } }) {
        entries.push_back(PlistDictionary { { "identifier", id }, { "title", std::string("P").append(std::to_string(id)) }, { "enabled", enabled }, { "applied", applied } });
    }
    ASSERT_TRUE(PropertyList::write(HLProfilesManager::profilesFilePath(), PlistValue(entries), PropertyList::Format::Binary));

    auto active = store().activeProfiles();
    ASSERT_EQ(active.size(), 2u);
    EXPECT_EQ(active[0]->identifier(), 1);
    EXPECT_EQ(active[1]->identifier(), 2);
    auto disabled = store().disabledProfiles();
    ASSERT_EQ(disabled.size(), 2u);
    EXPECT_EQ(disabled[0]->identifier(), 2);
    EXPECT_EQ(store().enabledProfiles().size(), 2u);
    EXPECT_EQ(store().activeProfileByName("P1"), active[0]);
    EXPECT_FALSE(store().activeProfileByName("P2"));
    EXPECT_EQ(store().profileByIdentifier(1), active[0]);
    EXPECT_NE(store().profileByIdentifier(1, true), active[0]);
    EXPECT_FALSE(store().profileByIdentifier(99));
}

TEST_F(HLProfilesManagerTest, DefaultTitleTakesTheFirstFreeCandidate)
{
    store().addProfile(profile("Profile", 1));
    store().addProfile(profile("Profile - 1", 2));
    EXPECT_EQ(store().defaultProfileTitle(), "Profile - 2");
    store().deleteProfile(store().profiles()[0]);
    EXPECT_EQ(store().defaultProfileTitle(), "Profile");
    EXPECT_EQ(HLProfile::defaultProfile()->title(), "Profile");
}

TEST_F(HLProfilesManagerTest, MasterSwitchIsOffWithoutTheSettingsFile)
{
    EXPECT_FALSE(HLProfilesManager::isHushlineEnabled());
    ASSERT_TRUE(PropertyList::write(HLProfilesManager::settingsFilePath(), PlistValue(PlistDictionary { { kHLEnabledKey, true } })));
    EXPECT_TRUE(HLProfilesManager::isHushlineEnabled());
    ASSERT_TRUE(PropertyList::write(HLProfilesManager::settingsFilePath(), PlistValue(PlistDictionary { { kHLEnabledKey, false } })));
    EXPECT_FALSE(HLProfilesManager::isHushlineEnabled());
}

TEST_F(HLProfilesManagerTest, AnUnreadableFileLoadsEmptyAndIsKeptAsideBeforeTheNextSave)
{
    const std::string garbage = "<?xml version=\"1.0\"?><plist><array><dict><key>title</key><string>Wo";
    writeProfilesFile(garbage);
    EXPECT_TRUE(store().activeProfiles().empty());
    EXPECT_TRUE(store().activeProfiles().empty());
    EXPECT_EQ(logCount("com.velloq.Hushline: Warning => HLProfilesManager::loadProfiles"), 1u);

    store().addProfile(profile("New", 1000));
    auto kept = HLProfilesManager::profilesFilePath();
    kept += ".corrupt";
    std::ifstream in(kept);
    std::string content((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(content, garbage);
    EXPECT_EQ(fileEntries().size(), 1u);
}

TEST_F(HLProfilesManagerTest, ElementsThatAreNotDictionariesAreSkipped)
{
    store();
    PlistArray entries { PlistDictionary { { "identifier", 1 }, { "title", "Kept" } }, "stray", PlistArray {} };
    ASSERT_TRUE(PropertyList::write(HLProfilesManager::profilesFilePath(), PlistValue(entries)));
    store().loadProfiles();
    ASSERT_EQ(store().profiles().size(), 1u);
    EXPECT_EQ(store().profiles()[0]->title(), "Kept");
    EXPECT_EQ(logCount("Skipping element 1 of the profiles file: it is not a dictionary"), 1u);
    EXPECT_EQ(logCount("Skipping element 2 of the profiles file"), 1u);
}

TEST_F(HLProfilesManagerTest, ATopLevelThatIsNotAnArrayCountsAsUnreadable)
{
    ASSERT_TRUE(PropertyList::write(HLProfilesManager::profilesFilePath(), PlistValue(PlistDictionary { { "a", 1 } })));
    store().loadProfiles();
    EXPECT_TRUE(store().profiles().empty());
    store().addProfile(profile("New", 1000));
    auto kept = HLProfilesManager::profilesFilePath();
    kept += ".corrupt";
    auto preserved = PropertyList::read(kept);
    ASSERT_TRUE(preserved);
    EXPECT_TRUE(preserved->isDictionary());
}

namespace {

// Runs `change` in a process of its own (a fork: it starts from this store's list, as another
// process that read the same file would) and waits for it.
void inAnotherProcess(const std::function<bool()>& change)
{
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0)
        _exit(change() ? 0 : 1);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

}

TEST_F(HLProfilesManagerTest, TwoProcessesEditingDifferentProfilesKeepBothChanges)
{
    store().addProfile(profile("A", 1000));
    store().addProfile(profile("B", 2000));
    auto a = store().profileByIdentifier(1000);

    inAnotherProcess([this] {
        bool ok = false;
        auto b = store().profileByIdentifier(2000);
        b->setRingerVolume(0.5);
        store().updateProfile(b, [&] { ok = true; }, nullptr);
        return ok;
    });
    // This process has not heard of it and saves its own change.
    a->setTitle("Work");
    store().updateProfile(a, onSuccess(), onFailure());

    ASSERT_EQ(successes, 1);
    auto entries = fileEntries();
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(*entries[0]["title"].asString(), "Work");
    EXPECT_EQ(*entries[1]["ringerVolume"].asReal(), 0.5);
    // The record being edited stays the one in the list, and now knows the other change too.
    EXPECT_EQ(store().profileByIdentifier(1000), a);
    EXPECT_EQ(store().profileByIdentifier(2000)->ringerVolume(), 0.5);
}

TEST_F(HLProfilesManagerTest, AnUpdateCarriesOnlyItsOwnFieldsOverTheOtherProcesssChangeOfTheSameProfile)
{
    store().addProfile(profile("A", 1000));
    auto a = store().profileByIdentifier(1000);
    inAnotherProcess([this] {
        auto mine = store().profileByIdentifier(1000);
        mine->setDnDEnabled(true);
        bool ok = false;
        store().updateProfile(mine, false, [&] { ok = true; }, nullptr);
        return ok;
    });
    a->setRingerVolume(0.25);
    store().updateProfile(a, onSuccess(), onFailure());
    auto entry = fileEntries().at(0);
    EXPECT_EQ(*entry["ringerVolume"].asReal(), 0.25);
    EXPECT_TRUE(entry["dnDEnabled"].boolValue());
    EXPECT_TRUE(a->isDnDEnabled());
}

TEST_F(HLProfilesManagerTest, AProfileRemovedByAnotherProcessIsNeitherUpdatedNorWrittenBack)
{
    store().addProfile(profile("A", 1000));
    store().addProfile(profile("B", 2000));
    auto b = store().profileByIdentifier(2000);
    inAnotherProcess([this] {
        bool ok = false;
        store().deleteProfile(store().profileByIdentifier(2000), [&] { ok = true; }, nullptr);
        return ok;
    });
    b->setEnabled(false);
    store().updateProfile(b, onSuccess(), onFailure());
    ASSERT_TRUE(lastError);
    EXPECT_EQ(lastError->localizedDescription(), "Unable to update profile.");
    ASSERT_EQ(fileEntries().size(), 1u);
    EXPECT_EQ(*fileEntries()[0]["title"].asString(), "A");

    // The reset removes the file and the home screen writes its default profile: a profile
    // added here joins it instead of bringing the old list back.
    std::filesystem::remove(HLProfilesManager::profilesFilePath());
    inAnotherProcess([] {
        HLProfilesManager::createAndSaveDefaultProfile();
        return true;
    });
    store().addProfile(profile("Gym", 3000), onSuccess(), onFailure());
    auto entries = fileEntries();
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(*entries[0]["title"].asString(), "Profile");
    EXPECT_EQ(*entries[1]["title"].asString(), "Gym");
}

TEST_F(HLProfilesManagerTest, ANewProfileNeverTakesTheIdentifierOfAStoredOne)
{
    int64_t now = HLProfile::init()->identifier();
    store().addProfile(profile("Profile", now));
    store().addProfile(profile("Next", now + 1));
    auto fresh = HLProfile::defaultProfile();
    EXPECT_EQ(fresh->identifier(), now + 2);
    EXPECT_EQ(fresh->title(), "Profile - 1");
}
