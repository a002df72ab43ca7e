#include "apps/settings/ControllerRegistry.h"
#include "apps/settings/HushlineTodayController.h"
#include "apps/settings/ScreenSnapshot.h"
#include "core/profile/HLProfilesManager.h"
#include "platform/foundation/DarwinNotifyCenter.h"
#include "platform/foundation/NSRunLoop.h"
#include "platform/foundation/ObjCRuntime.h"
#include "platform/preferences/PSSpecifier.h"
#include "platform/testsupport/DeviceFixture.h"
#include "platform/uikit/UIApplication.h"
#include "platform/uikit/UIColor.h"
#include "platform/uikit/UINavigationController.h"
#include "platform/uikit/UIWindow.h"

#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <gmock/gmock.h>
#include <sstream>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using nlohmann::json;

// Times are written as the editor writes them and kept whole on a line.
#define NBSP "\u00a0"
#define RANGE NBSP "–\u2060" NBSP
using ::testing::ElementsAre;

// The Today screen against a stand-in phonectl: a shell script that notes its arguments and
// prints the report the test wrote (or fails as the test tells it). What is checked is what the
// page is sent: the screen's groups and rows.
class HushlineTodayControllerTest : public DeviceFixture {
protected:
    void SetUp() override
    {
        DeviceFixture::SetUp();
        HushlineTodayController::registerClass();
        m_calls = m_root / "phonectl-calls";
        writeReport(sampleReport());
        writePhonectl("cat '" + (m_root / "report.json").string() + "'");
    }
    void TearDown() override
    {
        UIWindow::keyWindow().setRootViewController(nullptr);
        m_today.reset();
        unsetenv("HUSHLINE_PHONECTL");
        NSRunLoop::main().reset();
        DeviceFixture::TearDown();
    }

    // The stand-in phonectl: notes "$@", then runs the body.
    void writePhonectl(const std::string& body)
    {
        auto script = m_root / "phonectl.sh";
        std::ofstream(script) << "#!/bin/sh\necho \"$@\" >> '" << m_calls.string() << "'\n" << body << "\n";
        chmod(script.c_str(), 0755);
        setenv("HUSHLINE_PHONECTL", script.c_str(), 1);
    }
    void writeReport(const json& report) { std::ofstream(m_root / "report.json") << report.dump(); }

    static json sampleReport()
    {
        return json::parse(R"json({
          "day": "2026-12-08", "from": "2026-12-08T08:55:00", "until": "2026-12-09T00:00:00", "hushlineEnabled": true, "network": "Home",
          "assumption": "Assumes the phone stays on the Wi-Fi network \"Home\" and nobody touches the volume.",
          "appliedAtStart": [ { "profile": 1000, "profileTitle": "Family", "because": { "kind": "event" },
                                "text": "on for \"Breakfast\" (Family, 08:00-09:00)" } ],
          "moments": [
            { "time": "2026-12-08T09:30:00", "profile": 1001, "profileTitle": "Office", "action": "applied", "endTone": false, "atStart": false,
              "because": { "kind": "event" }, "text": "applied for \"Standup\" (Work, 09:30-10:00)" },
            { "time": "2026-12-08T10:00:00", "profile": 1001, "profileTitle": "Office", "action": "reverted", "endTone": true, "atStart": false,
              "because": { "kind": "eventEnded" }, "text": "reverted with its end tone: \"Standup\" (Work, 09:30-10:00) has ended" } ],
          "profiles": [
            { "identifier": 1000, "title": "Family", "hours": "all day", "notActedUpon": [] },
            { "identifier": 1001, "title": "Office", "hours": "9:00 AM - 5:00 PM", "notActedUpon": [
              { "event": { "title": "Maybe sync", "calendarTitle": "Work", "start": "2026-12-08T11:00:00", "end": "2026-12-08T12:00:00", "allDay": false },
                "reason": "attendance", "text": "filtered by attendance: \"Accepted\" wanted, event \"Tentative\"" },
              { "event": { "title": "Offsite", "calendarTitle": "Work", "start": "2026-12-08T00:00:00", "end": "2026-12-09T00:00:00", "allDay": true },
                "reason": "allDayIgnored", "text": "all-day events are ignored by the profile" } ] } ]
        })json");
    }

    // Opens the screen as the root list's row does, in a navigation stack of its own.
    void openScreen()
    {
        auto made = NSClassFromString("HushlineTodayController");
        ASSERT_TRUE(made);
        m_today = std::dynamic_pointer_cast<HushlineTodayController>(made->alloc());
        ASSERT_TRUE(m_today);
        m_today->setTitle("Today");
        UIWindow::keyWindow().setRootViewController(UINavigationController::initWithRootViewController(m_today));
        m_today->loadViewIfNeeded();
    }

    // Runs the loop until the looks have settled (none under way, none queued).
    void settle()
    {
        ASSERT_TRUE(NSRunLoop::main().runUntilCondition([this] { return !m_today->isLooking(); }, 20));
    }

    // The screen as the page gets it: "[group title | footer]" and "title | detail" per row.
    std::vector<std::string> shown()
    {
        ControllerRegistry registry;
        json screen = ScreenSnapshot(registry).take()["navigation"]["screens"].back();
        std::vector<std::string> lines;
        for (const auto& group : screen["groups"]) {
            std::string footer = group.value("footer", "");
            lines.push_back("[" + group.value("title", "") + (footer.empty() ? "" : " | " + footer) + "]");
            for (const auto& row : group["rows"]) {
                EXPECT_EQ(row["kind"], "static");
                EXPECT_EQ(row.value("wrap", false), true) << row.dump();
                std::string detail = row["detail"].is_string() ? row["detail"].get<std::string>() : "";
                lines.push_back(row["title"].get<std::string>() + (detail.empty() ? "" : " | " + detail));
            }
        }
        return lines;
    }

    std::vector<std::string> calls() const
    {
        std::ifstream in(m_calls);
        std::vector<std::string> lines;
        for (std::string line; std::getline(in, line);)
            lines.push_back(line);
        return lines;
    }

    std::filesystem::path m_calls;
    std::shared_ptr<HushlineTodayController> m_today;
};

TEST_F(HushlineTodayControllerTest, TheReportShowsAsTheSpanTheTimelineAndTheEventsPassedOverPerProfile)
{
    openScreen();
    EXPECT_THAT(shown(), ElementsAre("[]", "Looking at the rest of today…"));
    settle();
    EXPECT_THAT(calls(), ElementsAre("--root " + m_root.string() + " today --json"));
    EXPECT_THAT(shown(),
        ElementsAre("[ | Assumes the phone stays on the Wi-Fi network \"Home\" and nobody touches the volume.]",
            "From 8:55" NBSP "AM to midnight | Tue," NBSP "Dec" NBSP "8", "[On Now]",
            "Family is on for \"Breakfast\" (Family, 8:00" NBSP "AM" RANGE "9:00" NBSP "AM)", "[Timeline]",
            "Office applied for \"Standup\" (Work, 9:30" NBSP "AM" RANGE "10:00" NBSP "AM) | 9:30" NBSP "AM",
            "Office reverted with its end tone: \"Standup\" (Work, 9:30" NBSP "AM" RANGE "10:00" NBSP "AM) has ended | 10:00" NBSP "AM",
            "[Office (9:00 AM - 5:00 PM)]",
            "\"Maybe sync\" (Work) – filtered by attendance: \"Accepted\" wanted, event \"Tentative\" | 11:00" NBSP "AM" RANGE "12:00" NBSP "PM",
            "\"Offsite\" (Work) – all-day events are ignored by the profile | all day"));
}

TEST_F(HushlineTodayControllerTest, AQuietDayWithHushlineOffSaysSo)
{
    json report = sampleReport();
    report["from"] = "2026-12-08T00:00:00";
    report["hushlineEnabled"] = false;
    report["appliedAtStart"] = json::array();
    report["moments"] = json::array();
    report["profiles"] = json::array();
    writeReport(report);
    openScreen();
    settle();
    EXPECT_THAT(shown(), ElementsAre("[ | Assumes the phone stays on the Wi-Fi network \"Home\" and nobody touches the volume.]",
                             "The whole day | Tue," NBSP "Dec" NBSP "8", "Hushline is switched off.", "[Timeline]", "No profile is applied or reverted."));
}

TEST_F(HushlineTodayControllerTest, ProfileSwitchNetworkAndClockChangesEachMakeOneMoreLook)
{
    openScreen();
    settle();
    for (const char* name : { kHLProfileAddedNotification, kHLProfileChangedNotification, kHLProfileDeletedNotification,
             kHLEnabledOrDisabledNotification, "com.apple.system.config.network_change", "com.velloq.phone.ClockMoved" }) {
        size_t before = m_today->looksStarted();
        json report = sampleReport();
        report["moments"][0]["profileTitle"] = name;
        writeReport(report);
        // A burst in one turn of the loop is one look.
        for (int i = 0; i < 3; ++i)
            CFNotificationCenterPostNotification(CFNotificationCenterGetDarwinNotifyCenter(), name, nullptr, nullptr, true);
        settle();
        EXPECT_EQ(m_today->looksStarted(), before + 1) << name;
        EXPECT_THAT(shown(), ::testing::Contains(std::string(name) + " applied for \"Standup\" (Work, 9:30" NBSP "AM" RANGE "10:00" NBSP "AM) | 9:30" NBSP "AM")) << name;
    }
}

TEST_F(HushlineTodayControllerTest, ACalendarFileWrittenMakesOneMoreLook)
{
    std::filesystem::create_directories(phonePath("/var/mobile/Calendars/local/Work"));
    openScreen();
    settle();
    json report = sampleReport();
    report["moments"][0]["text"] = "applied for \"Lunch\" (Work, 12:00-13:00)";
    writeReport(report);
    std::ofstream(phonePath("/var/mobile/Calendars/local/Work/lunch.ics")) << "BEGIN:VCALENDAR\r\nEND:VCALENDAR\r\n";
    ASSERT_TRUE(NSRunLoop::main().runUntilCondition([this] { return m_today->looksStarted() >= 2; }, 20));
    settle();
    EXPECT_THAT(shown(), ::testing::Contains("Office applied for \"Lunch\" (Work, 12:00" NBSP "PM" RANGE "1:00" NBSP "PM) | 9:30" NBSP "AM"));
}

TEST_F(HushlineTodayControllerTest, ChangesDuringALookMakeExactlyOneLookAfterIt)
{
    // Each look waits for the test to open a gate (a named pipe) before it answers.
    auto gate = m_root / "gate";
    ASSERT_EQ(mkfifo(gate.c_str(), 0600), 0);
    writePhonectl("read line < '" + gate.string() + "'\ncat '" + (m_root / "report.json").string() + "'");
    auto openGate = [&] {
        int fd = open(gate.c_str(), O_WRONLY);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(write(fd, "go\n", 3), 3);
        close(fd);
    };
    openScreen();
    ASSERT_TRUE(m_today->isLooking());
    for (int i = 0; i < 4; ++i) {
        CFNotificationCenterPostNotification(CFNotificationCenterGetDarwinNotifyCenter(), kHLProfileChangedNotification, nullptr, nullptr, true);
        NSRunLoop::main().runPending();
    }
    EXPECT_EQ(m_today->looksStarted(), 1u);
    openGate();
    ASSERT_TRUE(NSRunLoop::main().runUntilCondition([this] { return m_today->looksStarted() == 2; }, 20));
    // The first answer is shown while the second look runs.
    EXPECT_THAT(shown(), ::testing::Contains("[Timeline]"));
    openGate();
    settle();
    EXPECT_EQ(m_today->looksStarted(), 2u);
    EXPECT_EQ(calls().size(), 2u);
}

TEST_F(HushlineTodayControllerTest, AFailedLookShowsPhonectlsMessageAboveTheLastReport)
{
    openScreen();
    settle();
    writePhonectl("echo 'phonectl: the shadow phone failed: no calendars' >&2\nexit 1");
    CFNotificationCenterPostNotification(CFNotificationCenterGetDarwinNotifyCenter(), kHLProfileChangedNotification, nullptr, nullptr, true);
    settle();
    auto lines = shown();
    ASSERT_GE(lines.size(), 4u);
    EXPECT_EQ(lines[0], "[Today Cannot Be Shown]");
    EXPECT_EQ(lines[1], "phonectl: the shadow phone failed: no calendars");
    EXPECT_THAT(lines, ::testing::Contains("[Timeline]"));

    // Output that is no report is a failure too; the next good answer clears it.
    writePhonectl("echo 'not json'");
    CFNotificationCenterPostNotification(CFNotificationCenterGetDarwinNotifyCenter(), kHLProfileChangedNotification, nullptr, nullptr, true);
    settle();
    EXPECT_EQ(shown()[1], "phonectl gave no report");
    writePhonectl("cat '" + (m_root / "report.json").string() + "'");
    CFNotificationCenterPostNotification(CFNotificationCenterGetDarwinNotifyCenter(), kHLProfileChangedNotification, nullptr, nullptr, true);
    settle();
    EXPECT_THAT(shown(), ::testing::Not(::testing::Contains("[Today Cannot Be Shown]")));
}

TEST_F(HushlineTodayControllerTest, WithoutPhonectlTheScreenSaysWhatIsMissing)
{
    unsetenv("HUSHLINE_PHONECTL");
    openScreen();
    settle();
    EXPECT_THAT(shown(), ElementsAre("[Today Cannot Be Shown]", "phonectl is not known to the Settings app (HUSHLINE_PHONECTL is not set)"));
    setenv("HUSHLINE_PHONECTL", "/nonexistent/phonectl", 1);
    CFNotificationCenterPostNotification(CFNotificationCenterGetDarwinNotifyCenter(), kHLProfileChangedNotification, nullptr, nullptr, true);
    settle();
    EXPECT_EQ(shown()[1], "cannot start /nonexistent/phonectl: No such file or directory");
}

TEST_F(HushlineTodayControllerTest, AScreenClosedDuringALookIsNotToldOfItAndTheChildIsReaped)
{
    openScreen();
    ASSERT_TRUE(m_today->isLooking());
    std::weak_ptr<HushlineTodayController> gone = m_today;
    UIWindow::keyWindow().setRootViewController(nullptr);
    m_today.reset();
    EXPECT_TRUE(gone.expired());
    // The look still runs to its end on the loop, and its child is reaped: none is left, ended or not.
    auto noChildLeft = [] {
        siginfo_t info {};
        return waitid(P_ALL, 0, &info, WEXITED | WNOHANG | WNOWAIT) < 0 && errno == ECHILD;
    };
    EXPECT_TRUE(NSRunLoop::main().runUntilCondition(noChildLeft, 20));
    EXPECT_EQ(calls().size(), 1u);
}

TEST_F(HushlineTodayControllerTest, WhileShownTheBarWearsThePlugInsColoursAndGivesThemBackWhenLeft)
{
    installSettingsBundle();
    auto rootList = std::make_shared<PSListController>();
    auto navigation = UINavigationController::initWithRootViewController(rootList);
    UIWindow::keyWindow().setRootViewController(navigation);
    auto row = PSSpecifier::preferenceSpecifierNamed("Today", nullptr, nullptr, "HushlineTodayController", PSCellType::Link);
    auto today = rootList->controllerForSpecifier(row);
    ASSERT_TRUE(today);
    rootList->pushController(today, false);
    EXPECT_EQ(today->title(), "Today");
    ASSERT_TRUE(navigation->navigationBar().barTintColor);
    ASSERT_TRUE(navigation->navigationBar().barTintColor->patternImage());
    EXPECT_EQ(navigation->navigationBar().tintColor->red(), 1);
    EXPECT_EQ(UIApplication::sharedApplication()->statusBarStyle(), 1);

    navigation->popViewControllerAnimated(false);
    EXPECT_FALSE(navigation->navigationBar().barTintColor);
    EXPECT_FALSE(navigation->navigationBar().tintColor);
    EXPECT_EQ(UIApplication::sharedApplication()->statusBarStyle(), 0);
    m_today = std::dynamic_pointer_cast<HushlineTodayController>(today);
    ASSERT_TRUE(m_today);
    settle();
}
