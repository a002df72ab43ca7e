#include "core/HLTrace.h"
#include "core/profile/HLProfile.h"
#include "core/testsupport/SchedulerFixture.h"
#include "platform/eventkit/EKEvent.h"
#include "platform/mobilewifi/WiFiState.h"

#include <algorithm>

// The trace points tell a listener what the scheduler decided, in the order it decided it.
namespace {

class Listener final : public HLTraceObserver {
public:
    void profileApplied(HLProfile& profile) override { note("applied " + *profile.title()); }
    void profileReverted(HLProfile& profile, bool quiet) override { note((quiet ? "reverted quietly " : "reverted ") + *profile.title()); }
    void eventChosen(HLProfile& profile, const EKEvent& event) override { note("chose " + event.title()); }
    void networkRuleFollowed(HLProfile&, const std::string& ssid) override { note("network " + ssid); }
    void eventPassedOver(HLProfile&, const EKEvent& event, HLTraceVerdict verdict) override
    {
        const char* names[] = { "cancelled", "outside the hours", "attendance", "all-day ignored" };
        note("passed over " + event.title() + ": " + names[static_cast<int>(verdict)]);
    }

    std::vector<std::string> notes;

private:
    void note(const std::string& text)
    {
        if (notes.empty() || notes.back() != text)
            notes.push_back(text);
    }
};

class HLTraceTest : public SchedulerFixture {
protected:
    void SetUp() override
    {
        SchedulerFixture::SetUp();
        HLTrace::setObserver(&listener);
    }
    void TearDown() override
    {
        HLTrace::setObserver(nullptr);
        SchedulerFixture::TearDown();
    }

    Listener listener;
};

}

TEST_F(HLTraceTest, TheDecisionsOfADayReachTheListenerInTheirOrder)
{
    addEvent("Early", "07:00", "07:30");
    addEvent("Standup", "10:00", "11:00", EKEventStatusConfirmed);
    addEvent("Maybe", "12:00", "13:00", EKEventStatusTentative);
    addEvent("Dropped", "14:00", "15:00", EKEventStatusCanceled);
    addEvent("Workshop", "16:00", "18:00", EKEventStatusConfirmed);
    addProfile("Work", "9:00 AM", "5:00 PM", [](HLProfile& profile) { profile.setApplyProfileEventStatus(EKEventStatusConfirmed); });
    store().schedulePowerEventsForProfiles(true);
    runUntil("23:00");

    auto has = [&](const std::string& note) { return std::find(listener.notes.begin(), listener.notes.end(), note) != listener.notes.end(); };
    EXPECT_TRUE(has("passed over Early: outside the hours"));
    EXPECT_TRUE(has("passed over Maybe: attendance"));
    EXPECT_TRUE(has("passed over Dropped: cancelled"));
    auto at = [&](const std::string& note) { return std::find(listener.notes.begin(), listener.notes.end(), note) - listener.notes.begin(); };
    EXPECT_LT(at("chose Standup"), at("applied Work"));
    EXPECT_LT(at("applied Work"), at("reverted Work"));
    EXPECT_LT(at("chose Workshop"), at("reverted quietly Work")) << "the hours end during the workshop";
}

TEST_F(HLTraceTest, AProfileAtItsNetworkTellsTheNetworkInsteadOfAnEvent)
{
    WiFiState::join("Home");
    addEvent("Standup", "10:00", "11:00");
    addProfile("Home", "9:00 AM", "5:00 PM", [](HLProfile& profile) { profile.setWifiNetworks(std::vector<std::string> { "Home" }); });
    store().schedulePowerEventsForProfiles(true);
    runUntil("18:00");
    ASSERT_FALSE(listener.notes.empty());
    EXPECT_EQ(listener.notes.front(), "network Home");
    std::vector<std::string> decisions;
    for (const auto& note : listener.notes)
        if (note.rfind("chose", 0) == 0 || note.rfind("applied", 0) == 0 || note.rfind("reverted", 0) == 0)
            decisions.push_back(note);
    EXPECT_EQ(decisions, (std::vector<std::string> { "applied Home", "reverted Home" })) << "the calendar is not consulted";
}
