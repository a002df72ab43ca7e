#include "apps/testsupport/PhonectlFixture.h"

#include "platform/foundation/PropertyList.h"
#include "platform/mobilewifi/WiFiState.h"

#include <algorithm>
#include <fstream>
#include <map>
#include <set>
#include <sstream>

// phonectl today against a phone with three profiles: "Family" all day on the calendar Family,
// "Office" 9-5 on Work (accepted meetings only, all-day events ignored, with alert tones) and
// "Evening" 6-11 PM at the Wi-Fi network Home, which the phone has joined.
namespace {

class PhoneTodayTest : public PhonectlFixture {
protected:
    void SetUp() override
    {
        PhonectlFixture::SetUp();
        writeProfiles();
        WiFiState::join("Home");
        addEvent("Work", "Early call", "07:00", "08:00", "confirmed");
        addEvent("Work", "Standup", "09:30", "10:00", "confirmed");
        addEvent("Work", "Maybe sync", "11:00", "12:00", "tentative");
        addEvent("Work", "Review", "13:00", "14:00", "cancelled");
        addEvent("Work", "Workshop", "16:00", "18:00", "confirmed");
        addEvent("Work", "Dinner talk", "19:00", "20:00", "confirmed");
        addEvent("Family", "School play", "15:00", "16:00");
        ASSERT_EQ(phonectl({ "calendar", "add", "Work", "--title", "Offsite", "--start", "2026-12-08T00:00:00", "--end",
                      "2026-12-08T00:00:00", "--all-day", "--status", "confirmed" })
                      .status,
            0);
    }

    void writeProfiles()
    {
        PlistDictionary family { { "identifier", 1000 }, { "title", "Family" }, { "enabled", true }, { "allDay", true },
            { "ringerVolume", 0.125 }, { "playBackVolume", 0.125 }, { "playAlert", false },
            { "calendarIdentifiers", PlistArray { "local/Family" } } };
        PlistDictionary office { { "identifier", 1001 }, { "title", "Office" }, { "enabled", true }, { "allDay", false },
            { "startTime", "9:00 AM" }, { "endTime", "5:00 PM" }, { "ringerVolume", 0.0625 }, { "playBackVolume", 0.0625 },
            { "playAlert", true }, { "applyProfileEventStatus", 1 }, { "allDayEventsIgnored", true },
            { "calendarIdentifiers", PlistArray { "local/Work" } } };
        PlistDictionary evening { { "identifier", 1002 }, { "title", "Evening" }, { "enabled", true }, { "allDay", false },
            { "startTime", "6:00 PM" }, { "endTime", "11:00 PM" }, { "ringerVolume", 0.25 }, { "playBackVolume", 0.25 },
            { "playAlert", false }, { "wifiNetworks", PlistArray { "Home" } }, { "calendarIdentifiers", PlistArray { "local/Family" } } };
        ASSERT_TRUE(PropertyList::write(m_root / "var/mobile/Library/Preferences/com.velloq.hushline.profiles.plist",
            PlistValue(PlistArray { family, office, evening })));
        ASSERT_TRUE(PropertyList::write(m_root / "var/mobile/Library/Preferences/com.velloq.hushline.plist",
            PlistValue(PlistDictionary { { "com.velloq.hushline.enabled", true } })));
    }

    PlistValue today(std::vector<std::string> options = {})
    {
        options.insert(options.begin(), "today");
        options.push_back("--json");
        PhonectlResult result = phonectl(options);
        EXPECT_EQ(result.status, 0) << result.err;
        std::string error;
        auto report = parseJson(result.out, &error);
        EXPECT_TRUE(report) << error << "\n" << result.out;
        return report ? *report : PlistValue();
    }

    static const PlistArray& list(const PlistValue& value)
    {
        static const PlistArray none;
        return value.asArray() ? *value.asArray() : none;
    }

    static std::string text(const PlistValue& value) { return value.asString() ? *value.asString() : "<none>"; }

    // "HH:MM profile action [event]" per moment, as the timeline says.
    static std::vector<std::string> timeline(const PlistValue& report)
    {
        std::vector<std::string> lines;
        for (const auto& moment : list(report["moments"])) {
            std::string line = text(moment["time"]).substr(11, 5) + " " + text(moment["profileTitle"]) + " " + text(moment["action"]) + " "
                + text(moment["because"]["kind"]);
            if (moment["because"]["event"].isDictionary())
                line += " " + text(moment["because"]["event"]["title"]);
            lines.push_back(line);
        }
        return lines;
    }

    // Event title -> reason, for one profile.
    static std::map<std::string, std::string> reasons(const PlistValue& report, const std::string& profile)
    {
        std::map<std::string, std::string> result;
        for (const auto& entry : list(report["profiles"]))
            if (text(entry["title"]) == profile)
                for (const auto& passed : list(entry["notActedUpon"]))
                    result[text(passed["event"]["title"])] = text(passed["reason"]);
        return result;
    }

    // Every file under the root with its bytes (a link by its target).
    std::map<std::string, std::string> snapshot() const
    {
        std::map<std::string, std::string> files;
        for (auto it = std::filesystem::recursive_directory_iterator(m_root); it != std::filesystem::recursive_directory_iterator(); ++it) {
            auto relative = std::filesystem::relative(it->path(), m_root).string();
            if (it->is_symlink())
                files[relative] = "-> " + std::filesystem::read_symlink(it->path()).string();
            else if (it->is_regular_file()) {
                std::ifstream in(it->path(), std::ios::binary);
                std::stringstream bytes;
                bytes << in.rdbuf();
                files[relative] = bytes.str();
            } else
                files[relative] = "<folder>";
        }
        return files;
    }
};

}

TEST_F(PhoneTodayTest, TheWholeDayOfAStoppedPhoneSaysWhatHappensAndWhyTheRestDoesNot)
{
    auto before = snapshot();
    PlistValue report = today({ "--date", "2026-12-08" });
    EXPECT_EQ(snapshot(), before) << "the real phone's root is byte-for-byte unchanged";

    EXPECT_EQ(text(report["from"]), "2026-12-08T00:00:00");
    EXPECT_EQ(text(report["until"]), "2026-12-09T00:00:00");
    EXPECT_EQ(text(report["network"]), "Home");
    EXPECT_EQ(text(report["assumption"]), "Assumes the phone stays on the Wi-Fi network \"Home\" and nobody touches the volume.");
    auto lines = timeline(report);
    std::vector<std::string> expected { "09:30 Office applied event Standup", "10:00 Office reverted eventEnded Standup",
        "15:00 Family applied event School play", "16:00 Office applied event Workshop", "16:00 Family reverted eventEnded School play",
        "17:00 Office revertedQuietly activeHoursEnded Workshop", "18:00 Evening applied network", "23:00 Evening reverted activeHoursEnded" };
    EXPECT_EQ(lines, expected);
    const PlistArray& moments = list(report["moments"]);
    ASSERT_EQ(moments.size(), expected.size());
    EXPECT_TRUE(moments[1]["endTone"].boolValue()) << "Office plays its tone when Standup ends";
    EXPECT_FALSE(moments[4]["endTone"].boolValue()) << "Family has no tone";
    EXPECT_EQ(text(moments[0]["text"]), "applied for \"Standup\" (Work, 09:30-10:00)");
    EXPECT_EQ(text(moments[6]["because"]["network"]), "Home");

    std::map<std::string, std::string> office { { "Early call", "outsideActiveHours" }, { "Maybe sync", "attendance" },
        { "Review", "cancelled" }, { "Offsite", "allDayIgnored" }, { "Dinner talk", "outsideActiveHours" },
        { "School play", "calendarNotChosen" } };
    EXPECT_EQ(reasons(report, "Office"), office);
    EXPECT_EQ(reasons(report, "Evening")["School play"], "followsNetwork");
    EXPECT_EQ(reasons(report, "Family")["Standup"], "calendarNotChosen");
    EXPECT_EQ(reasons(report, "Family").count("School play"), 0u);
    for (const auto& profile : list(report["profiles"])) {
        for (const auto& passed : list(profile["notActedUpon"])) {
            if (text(passed["reason"]) == "attendance") {
                EXPECT_EQ(text(passed["text"]), "filtered by attendance: \"Accepted\" wanted, event \"Tentative\"");
            }
        }
    }
}

// A phone whose user never opened the settings has no profiles file: its home screen makes the
// default profile, which follows every calendar. The look does the same in its own phone only.
TEST_F(PhoneTodayTest, APhoneWithoutProfilesLooksAtItsDayWithTheDefaultProfile)
{
    std::filesystem::remove(m_root / "var/mobile/Library/Preferences/com.velloq.hushline.profiles.plist");
    std::filesystem::remove(m_root / "var/mobile/Library/Preferences/com.velloq.hushline.plist");
    auto before = snapshot();
    PlistValue report = today({ "--date", "2026-12-08" });
    EXPECT_EQ(snapshot(), before) << "the default profile is made in the shadow phone only";
    ASSERT_EQ(list(report["profiles"]).size(), 1u);
    std::string title = text(list(report["profiles"])[0]["title"]);
    auto lines = timeline(report);
    EXPECT_NE(std::find(lines.begin(), lines.end(), "07:00 " + title + " applied event Early call"), lines.end())
        << ::testing::PrintToString(lines);
    EXPECT_NE(std::find(lines.begin(), lines.end(), "15:00 " + title + " applied event School play"), lines.end())
        << ::testing::PrintToString(lines);
}

TEST_F(PhoneTodayTest, TheTextSaysTheSameInOneLineEach)
{
    PhonectlResult result = phonectl({ "today", "--date", "2026-12-08" });
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_NE(result.out.find("2026-12-08, the whole day\n"), std::string::npos) << result.out;
    EXPECT_NE(result.out.find("Assumes the phone stays on the Wi-Fi network \"Home\" and nobody touches the volume.\n"), std::string::npos);
    EXPECT_NE(result.out.find("17:00  Office   reverted quietly: the active hours end at 17:00 during \"Workshop\" (Work, 16:00-18:00)\n"),
        std::string::npos)
        << result.out;
    EXPECT_NE(result.out.find("    11:00-12:00 \"Maybe sync\" (Work): filtered by attendance: \"Accepted\" wanted, event \"Tentative\"\n"),
        std::string::npos)
        << result.out;
}

// The shadow phone keeps what it read of the calendars in the user's cache folder, never in the
// phone, and the next look takes unchanged files from there and reads changed ones again.
TEST_F(PhoneTodayTest, ALaterLookTakesTheCalendarsFromTheCacheOutsideThePhoneAndSeesChanges)
{
    auto before = snapshot();
    PlistValue first = today({ "--date", "2026-12-08" });
    EXPECT_EQ(snapshot(), before) << "the real phone's root is byte-for-byte unchanged";
    size_t caches = 0;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(m_cacheHome))
        caches += entry.path().extension() == ".cache";
    EXPECT_EQ(caches, 1u);

    PlistValue second = today({ "--date", "2026-12-08" });
    EXPECT_EQ(toJson(second), toJson(first));

    addEvent("Work", "Late review", "20:00", "21:00");
    PlistValue changed = today({ "--date", "2026-12-08" });
    EXPECT_EQ(reasons(first, "Office").count("Late review"), 0u);
    EXPECT_EQ(reasons(changed, "Office").count("Late review"), 1u) << "the new meeting is seen";
    EXPECT_EQ(timeline(changed), timeline(first));
}

TEST_F(PhoneTodayTest, HushlineSwitchedOffOrAProfileDisabledIsTheReasonForEveryEvent)
{
    ASSERT_TRUE(PropertyList::write(m_root / "var/mobile/Library/Preferences/com.velloq.hushline.plist",
        PlistValue(PlistDictionary { { "com.velloq.hushline.enabled", false } })));
    PlistValue off = today({ "--date", "2026-12-08" });
    EXPECT_TRUE(list(off["moments"]).empty());
    EXPECT_EQ(reasons(off, "Office")["Standup"], "hushlineOff");

    ASSERT_TRUE(PropertyList::write(m_root / "var/mobile/Library/Preferences/com.velloq.hushline.plist",
        PlistValue(PlistDictionary { { "com.velloq.hushline.enabled", true } })));
    auto profiles = PropertyList::read(m_root / "var/mobile/Library/Preferences/com.velloq.hushline.profiles.plist");
    ASSERT_TRUE(profiles && profiles->isArray());
    PlistArray entries = *profiles->asArray();
    (*entries[1].asDictionary())["enabled"] = false;
    ASSERT_TRUE(PropertyList::write(m_root / "var/mobile/Library/Preferences/com.velloq.hushline.profiles.plist", PlistValue(entries)));
    PlistValue disabled = today({ "--date", "2026-12-08" });
    EXPECT_EQ(reasons(disabled, "Office")["Standup"], "profileDisabled");
    for (const auto& line : timeline(disabled))
        EXPECT_EQ(line.find("Office"), std::string::npos) << line;
}

// The real phone then runs the same day on its virtual clock: at every moment of the timeline
// the profiles' applied flags and the tones played change as the timeline says, and nowhere else.
TEST_F(PhoneTodayTest, TheRestOfTheDayIsWhatTheBootedPhoneThenDoes)
{
    boot();
    PlistValue stateBefore = state();
    auto before = snapshot();
    PlistValue report = today();
    EXPECT_EQ(snapshot(), before) << "the real phone's root is byte-for-byte unchanged";
    EXPECT_EQ(state(), stateBefore) << "nothing changed on the real phone";
    EXPECT_EQ(text(report["from"]), "2026-12-08T08:55:00");
    EXPECT_EQ(reasons(report, "Office").count("Early call"), 0u) << "over before the look began";

    std::map<int64_t, bool> applied { { 1000, false }, { 1001, false }, { 1002, false } };
    size_t tones = list(state("tones")).size();
    const PlistArray& moments = list(report["moments"]);
    ASSERT_FALSE(moments.empty());
    auto expectPhone = [&](const std::string& when) {
        const PlistValue profiles = state("profiles");
        for (const auto& profile : list(profiles))
            EXPECT_EQ(profile["applied"].boolValue(), applied[profile["identifier"].longLongValue()])
                << when << ": " << text(profile["title"]);
        EXPECT_EQ(list(state("tones")).size(), tones) << when;
    };
    double clock = localTime("2026-12-08T08:55:00");
    for (size_t i = 0; i < moments.size();) {
        double at = localTime(text(moments[i]["time"]).substr(0, 19));
        ok({ "clock", "advance", std::to_string(static_cast<int>(at - clock - 1)) });
        expectPhone("just before " + text(moments[i]["time"]));
        // Every moment at this time, then a few seconds for the tones and delayed steps.
        for (; i < moments.size() && localTime(text(moments[i]["time"]).substr(0, 19)) == at; ++i) {
            std::string action = text(moments[i]["action"]);
            applied[moments[i]["profile"].longLongValue()] = action == "applied" || action == "refreshed";
            bool playsTone = action == "applied" ? text(moments[i]["profileTitle"]) == "Office" : moments[i]["endTone"].boolValue();
            tones += playsTone ? 1 : 0;
        }
        ok({ "clock", "advance", "4" });
        clock = at + 3;
        expectPhone("after " + text(moments[i - 1]["time"]));
    }
}

TEST_F(PhoneTodayTest, AProfileOnDuringAMeetingIsOnAtTheStartAndGoesOffWhenTheMeetingEnds)
{
    boot();
    ok({ "clock", "advance", std::to_string(45 * 60) });
    ASSERT_TRUE(isApplied(1)) << "09:40: Standup runs";
    PlistValue stateBefore = state();
    PlistValue report = today();
    EXPECT_EQ(state(), stateBefore) << "the look reverts and applies nothing on the real phone";

    const PlistArray& on = list(report["appliedAtStart"]);
    ASSERT_EQ(on.size(), 1u);
    EXPECT_EQ(text(on[0]["profileTitle"]), "Office");
    EXPECT_EQ(text(on[0]["text"]), "on for \"Standup\" (Work, 09:30-10:00)");
    auto lines = timeline(report);
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.front(), "10:00 Office reverted eventEnded Standup") << "the shadow's own start-up is not a moment of the day";
    EXPECT_EQ(reasons(report, "Office").count("Standup"), 0u);
}

TEST_F(PhoneTodayTest, AMeetingTheBootedPhoneHasNotScheduledYetIsAppliedAtTheStartAsItsNextPassDoes)
{
    boot();
    addEvent("Family", "Call", "08:50", "09:20");
    PlistValue report = today();
    const PlistArray& moments = list(report["moments"]);
    ASSERT_FALSE(moments.empty());
    EXPECT_EQ(timeline(report).front(), "08:55 Family applied event Call");
    EXPECT_TRUE(moments[0]["atStart"].boolValue());
    EXPECT_EQ(text(moments[0]["text"]), "applied for \"Call\" (Family, 08:50-09:20), as a pass of the scheduler now would");
    EXPECT_FALSE(moments[1]["atStart"].boolValue());

    EXPECT_TRUE(eventually([&] {
        ok({ "clock", "advance", "1" });
        return isApplied(0);
    })) << "the calendar change's pass applies it";
}
