#include "apps/settings/ControllerRegistry.h"
#include "apps/settings/RequestGuard.h"
#include "apps/settings/ScreenActions.h"
#include "apps/settings/ScreenSnapshot.h"
#include "platform/foundation/NSRunLoop.h"
#include "platform/foundation/NSCalendar.h"
#include "platform/preferences/PSDetailController.h"
#include "platform/preferences/PSEditableListController.h"
#include "platform/preferences/PSEditingPane.h"
#include "platform/preferences/PSSpecifier.h"
#include "platform/testsupport/DeviceFixture.h"
#include "platform/uikit/UIAlertController.h"
#include "platform/uikit/UIAlertView.h"
#include "platform/uikit/UIDatePicker.h"
#include "platform/uikit/UITableView.h"
#include "platform/uikit/UINavigationController.h"
#include "platform/uikit/UIWindow.h"

#include <gmock/gmock.h>

using nlohmann::json;

namespace {

// A list with a switch, a group with a footer and a confirmation button.
class SampleList : public PSEditableListController {
public:
    const Specifiers& specifiers() override
    {
        if (!m_specifiers.empty())
            return m_specifiers;
        auto toggle = PSSpecifier::preferenceSpecifierNamed("Enabled", nullptr, nullptr, {}, PSCellType::Switch);
        toggle->setProperty(false, "default");
        auto group = PSSpecifier::groupSpecifierWithName("Danger");
        group->setProperty("Think twice.", "footerText");
        auto erase = PSSpecifier::confirmationSpecifier("Erase", PlistDictionary { { "prompt", "Sure?" }, { "isDestructive", true } },
            [this](const auto&) { ++erased; });
        m_specifiers = { toggle, group, erase };
        return m_specifiers;
    }
    int erased { 0 };
};

// A detail screen whose pane has two rows above a time picker, and counts the picker's turns.
class SamplePane : public PSEditingPane {
public:
    void initWithFrame(const CGRect& frame) override
    {
        PSEditingPane::initWithFrame(frame);
        m_table->setDataSource([] { return size_t { 2 }; }, [](size_t row) { return UITableViewRow { row ? "To" : "From", nullptr, NSTextAlignment::Center }; });
        m_picker->setDatePickerMode(UIDatePickerMode::Time);
        m_picker->setDate(*NSCalendar::currentCalendar().dateFromComponents({ 2026, 12, 8, 8, 30, 0 }));
        m_picker->setValueChangedAction([this](UIDatePicker&) { ++turns; });
    }
    std::shared_ptr<UITableView> tableView() const override { return m_table; }
    std::shared_ptr<UIDatePicker> datePicker() const override { return m_picker; }
    int turns { 0 };

private:
    std::shared_ptr<UITableView> m_table { std::make_shared<UITableView>() };
    std::shared_ptr<UIDatePicker> m_picker { std::make_shared<UIDatePicker>() };
};

class SampleDetail : public PSDetailController {
public:
    void loadPane() override
    {
        auto pane = std::make_shared<SamplePane>();
        pane->initWithFrame(viewFrame());
        setPane(pane);
    }
};

}

class ScreenActionsTest : public DeviceFixture {
protected:
    void SetUp() override
    {
        DeviceFixture::SetUp();
        m_list = std::make_shared<SampleList>();
        UIWindow::keyWindow().setRootViewController(UINavigationController::initWithRootViewController(m_list));
    }
    void TearDown() override
    {
        UIWindow::keyWindow().setRootViewController(nullptr);
        NSRunLoop::main().reset();
        DeviceFixture::TearDown();
    }
    std::string screenId() { return m_snapshot.take()["navigation"]["screens"][0]["id"]; }

    ControllerRegistry m_registry;
    ScreenSnapshot m_snapshot { m_registry };
    ScreenActions m_actions { m_registry };
    std::shared_ptr<SampleList> m_list;
};

TEST_F(ScreenActionsTest, TheSnapshotGroupsRowsWithTheirValuesAndFooters)
{
    json state = m_snapshot.take();
    const json& screen = state["navigation"]["screens"][0];
    ASSERT_EQ(screen["groups"].size(), 2u);
    EXPECT_EQ(screen["groups"][0]["rows"][0]["kind"], "switch");
    EXPECT_EQ(screen["groups"][0]["rows"][0]["value"], false);
    EXPECT_EQ(screen["groups"][1]["title"], "Danger");
    EXPECT_EQ(screen["groups"][1]["footer"], "Think twice.");
    EXPECT_EQ(screen["groups"][1]["rows"][0]["kind"], "confirm");
    EXPECT_EQ(screen["groups"][1]["rows"][0]["index"], 2);
    EXPECT_EQ(screen["groups"][1]["rows"][0]["destructive"], true);
    EXPECT_TRUE(state["overlays"].empty());
    EXPECT_TRUE(state["alertView"].is_null());
}

TEST_F(ScreenActionsTest, TapsReachTheScreensAndTheSheetItOpens)
{
    std::string screen = screenId();
    EXPECT_EQ(m_actions.perform({ { "type", "change" }, { "screen", screen }, { "row", 0 }, { "value", true } }), "");
    EXPECT_EQ(m_snapshot.take()["navigation"]["screens"][0]["groups"][0]["rows"][0]["value"], true);

    EXPECT_EQ(m_actions.perform({ { "type", "select" }, { "screen", screen }, { "row", 2 } }), "");
    json state = m_snapshot.take();
    ASSERT_EQ(state["overlays"].size(), 1u);
    EXPECT_EQ(state["overlays"][0]["kind"], "sheet");
    EXPECT_EQ(state["overlays"][0]["message"], "Sure?");
    EXPECT_EQ(m_actions.perform({ { "type", "alert" }, { "screen", state["overlays"][0]["id"] }, { "action", 0 } }), "");
    EXPECT_EQ(m_list->erased, 1);
    EXPECT_TRUE(m_snapshot.take()["overlays"].empty());

    UIAlertView::initWithTitle("Error", "Broken", {}, "Close", {})->show();
    EXPECT_EQ(m_snapshot.take()["alertView"]["title"], "Error");
    EXPECT_EQ(m_actions.perform({ { "type", "alertView" }, { "button", 0 } }), "");
    EXPECT_TRUE(m_snapshot.take()["alertView"].is_null());
}

TEST_F(ScreenActionsTest, MalformedActionsAreRefusedAndChangeNothing)
{
    std::string screen = screenId();
    for (const json& action : { json::array(), json { { "type", "launch" }, { "screen", screen } },
             json { { "type", "select" }, { "screen", "s999" }, { "row", 0 } }, json { { "type", "select" }, { "screen", screen }, { "row", 1 } },
             json { { "type", "select" }, { "screen", screen }, { "row", -1 } }, json { { "type", "change" }, { "screen", screen }, { "row", 0 } },
             json { { "type", "change" }, { "screen", screen }, { "row", 0 }, { "value", json::object() } },
             json { { "type", "delete" }, { "screen", screen }, { "row", 1 } }, json { { "type", "back" }, { "screen", screen } },
             json { { "type", "bar" }, { "screen", screen }, { "side", "middle" }, { "button", 0 } },
             json { { "type", "alertView" }, { "button", 0 } } })
        EXPECT_NE(m_actions.perform(action), "") << action.dump();
    EXPECT_EQ(m_snapshot.take()["navigation"]["screens"][0]["groups"][0]["rows"][0]["value"], false);
    EXPECT_EQ(m_list->erased, 0);
    EXPECT_TRUE(m_snapshot.take()["overlays"].empty());
}

// Each kind of action is refused for its own reason, so the page can say what went wrong; an
// action naming no screen is refused for that before its type is looked at.
TEST_F(ScreenActionsTest, EachRefusalNamesWhatIsWrongWithTheAction)
{
    std::string screen = screenId();
    const std::pair<json, std::string> cases[] = {
        { json::array(), "an action is a JSON object" },
        { json { { "type", "launch" }, { "screen", screen } }, "unknown action type" },
        { json { { "type", "launch" }, { "screen", "s999" } }, "no such screen" },
        { json { { "type", "select" }, { "screen", screen }, { "row", 1 } }, "no such row" },
        { json { { "type", "pick" }, { "screen", screen }, { "hour", 8 }, { "minute", 0 } },
            "a time names a screen with a picker, an hour and a minute" },
        { json { { "type", "change" }, { "screen", screen }, { "row", 1 }, { "value", true } }, "a change names a row and a value" },
        { json { { "type", "delete" }, { "screen", screen }, { "row", 1 } }, "the row cannot be deleted" },
        { json { { "type", "bar" }, { "screen", screen }, { "side", "left" }, { "button", 5 } }, "no such bar button" },
        { json { { "type", "back" }, { "screen", screen } }, "the screen has no back button" },
        { json { { "type", "alert" }, { "screen", screen }, { "action", 0 } }, "no such action" },
        { json { { "type", "mail" }, { "screen", screen }, { "result", "send" } }, "a mail is sent or cancelled" },
        { json { { "type", "share" }, { "screen", screen }, { "result", "post" } }, "a post is posted or cancelled" },
        { json { { "type", "alertView" }, { "button", 0 } }, "no such button on the alert" },
    };
    for (const auto& [action, reason] : cases)
        EXPECT_EQ(m_actions.perform(action), reason) << action.dump();
}

TEST(RequestGuardTest, OnlyThePagesOwnAddressMayAsk)
{
    RequestGuard guard(8080);
    EXPECT_TRUE(guard.allows("127.0.0.1:8080", std::nullopt));
    EXPECT_TRUE(guard.allows("localhost:8080", "http://127.0.0.1:8080"));
    EXPECT_FALSE(guard.allows(std::nullopt, std::nullopt));
    EXPECT_FALSE(guard.allows("127.0.0.1:8081", std::nullopt));
    EXPECT_FALSE(guard.allows("evil.example:8080", std::nullopt));
    EXPECT_FALSE(guard.allows("127.0.0.1:8080", "http://evil.example"));
    EXPECT_FALSE(guard.allows("127.0.0.1:8080", "https://127.0.0.1:8080"));
    EXPECT_FALSE(guard.allows("127.0.0.1:8080", "null"));
    EXPECT_FALSE(guard.allows("127.0.0.1:8080", "http://127.0.0.1:8080.evil.example"));
}

TEST_F(ScreenActionsTest, APaneShowsItsRowsAndPickerAndTakesTapsAndTurnsOfTheWheels)
{
    auto detail = std::make_shared<SampleDetail>();
    detail->setSpecifier(PSSpecifier::preferenceSpecifierNamed("Hours", nullptr, nullptr, {}, PSCellType::Link));
    m_list->navigationController()->pushViewController(detail, false);
    auto shown = m_snapshot.take()["navigation"]["screens"][1];
    std::string id = shown["id"];
    EXPECT_EQ(shown["pane"]["table"]["rows"][1]["text"], "To");
    EXPECT_EQ(shown["pane"]["table"]["rows"][0]["align"], "center");
    EXPECT_EQ(shown["pane"]["table"]["selected"], nullptr);
    EXPECT_EQ(shown["pane"]["picker"]["mode"], "time");
    EXPECT_EQ(shown["pane"]["picker"]["time"], "08:30");

    EXPECT_EQ(m_actions.perform({ { "type", "select" }, { "screen", id }, { "row", 1 } }), "");
    EXPECT_EQ(m_snapshot.take()["navigation"]["screens"][1]["pane"]["table"]["selected"], 1);
    EXPECT_NE(m_actions.perform({ { "type", "select" }, { "screen", id }, { "row", 2 } }), "");
    EXPECT_NE(m_actions.perform({ { "type", "pick" }, { "screen", id }, { "hour", 24 }, { "minute", 0 } }), "");
    EXPECT_NE(m_actions.perform({ { "type", "pick" }, { "screen", id }, { "hour", 13 } }), "");
    auto pane = std::static_pointer_cast<SamplePane>(detail->pane());
    EXPECT_EQ(pane->turns, 0);

    EXPECT_EQ(m_actions.perform({ { "type", "pick" }, { "screen", id }, { "hour", 13 }, { "minute", 5 } }), "");
    EXPECT_EQ(pane->turns, 1);
    EXPECT_EQ(m_snapshot.take()["navigation"]["screens"][1]["pane"]["picker"]["time"], "13:05");
    // The picker keeps its day.
    EXPECT_EQ(NSCalendar::currentCalendar().components(pane->datePicker()->date()).day, 8);
}
