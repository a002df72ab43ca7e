#include "preferences/testsupport/PreferencesFixture.h"

#include "core/profile/HLProfile.h"
#include "platform/foundation/NSNotificationCenter.h"
#include "platform/preferences/PSSpecifier.h"
#include "platform/preferences/PSTableCell.h"
#include "platform/uikit/UIAlertController.h"
#include "platform/uikit/UIBarButtonItem.h"
#include "platform/uikit/UIDatePicker.h"
#include "platform/uikit/UINavigationController.h"
#include "platform/uikit/UITableView.h"
#include "preferences/HLDateRangeController.h"
#include "preferences/HLDateRangePane.h"
#include "preferences/HLEditorNotifications.h"
#include "preferences/HLTimeText.h"
#include "preferences/HushlinePreferencesController.h"
#include "preferences/HushlineProflePreferencesController.h"

class HLDateRangeControllerTest : public PreferencesFixture {
protected:
    void SetUp() override
    {
        PreferencesFixture::SetUp();
        writeSettings(true);
        writeProfiles({ profileEntry(1765180800, "Work", true, false) });
        m_rootList = openRootList();
    }
    std::shared_ptr<HushlineProflePreferencesController> openEditor()
    {
        m_rootList->tableViewDidSelectRow(static_cast<size_t>(rowIndex(*m_rootList, "Work")));
        return std::dynamic_pointer_cast<HushlineProflePreferencesController>(m_navigation->topViewController());
    }
    std::shared_ptr<HLDateRangeController> openHours(HushlineProflePreferencesController& editor)
    {
        editor.tableViewDidSelectRow(static_cast<size_t>(rowIndex(editor, "Active Hours")));
        auto navigation = editor.navigationController();
        auto hours = std::dynamic_pointer_cast<HLDateRangeController>(navigation->topViewController());
        m_pane = hours ? std::dynamic_pointer_cast<HLDateRangePane>(hours->pane()) : nullptr;
        m_hours = hours;
        return hours;
    }
    // The user turns the wheels to the time; true when the time was refused with the alert.
    bool pick(const std::string& time)
    {
        m_pane->datePicker()->userDidPickDate(*hl_dateFromTimeText(time));
        auto alert = presentedAlert(*m_hours);
        if (!alert)
            return false;
        EXPECT_EQ(alert->title(), "Error");
        EXPECT_EQ(alert->message(), "Invalid configuration, 'To' time cannot be less than 'From' time.");
        EXPECT_EQ(alert->actions().size(), 1u);
        EXPECT_EQ(alert->actions()[0]->title(), "Close");
        EXPECT_TRUE(alert->tapActionAtIndex(0));
        return true;
    }
    std::string storedTime(const char* key) const
    {
        auto profiles = storedProfiles();
        auto text = profiles[0][key].asString();
        return text ? *text : "";
    }
    std::string rowText(size_t row) const { return m_pane->tableView()->cellForRow(row).text; }

    std::shared_ptr<HushlinePreferencesController> m_rootList;
    std::shared_ptr<HLDateRangePane> m_pane;
    std::shared_ptr<HLDateRangeController> m_hours;
};

TEST_F(HLDateRangeControllerTest, ThePaneShowsBothEndsAboveATimePickerOnTheSelectedOne)
{
    auto editor = openEditor();
    auto cell = editor->tableViewCellForRow(static_cast<size_t>(rowIndex(*editor, "Active Hours")));
    EXPECT_EQ(cell->defaultCellHeight(), 64);
    EXPECT_EQ(cell->textLabel().text, "");
    ASSERT_EQ(cell->contentLabels().size(), 4u);
    EXPECT_EQ(cell->contentLabels()[0].text, "From");
    EXPECT_EQ(cell->contentLabels()[1].text, "8:00 AM");
    EXPECT_EQ(cell->contentLabels()[2].text, "To");
    EXPECT_EQ(cell->contentLabels()[3].text, "5:00 PM");
    EXPECT_EQ(cell->contentLabels()[3].frame.y - cell->contentLabels()[1].frame.y, 24);
    EXPECT_EQ(cell->contentLabels()[1].frame.width, 100);
    EXPECT_EQ(cell->contentLabels()[1].frame.x, PSTableCell::kContentWidth - 135);

    auto hours = openHours(*editor);
    ASSERT_TRUE(hours);
    ASSERT_TRUE(m_pane);
    EXPECT_EQ(hours->title(), "Active Hours");
    auto table = m_pane->tableView();
    auto picker = m_pane->datePicker();
    EXPECT_EQ(rowText(0), "From 8:00 AM");
    EXPECT_EQ(rowText(1), "To 5:00 PM");
    EXPECT_EQ(table->cellForRow(0).alignment, NSTextAlignment::Center);
    EXPECT_EQ(table->indexPathForSelectedRow(), std::optional<size_t>(0));
    EXPECT_EQ(picker->datePickerMode(), UIDatePickerMode::Time);
    EXPECT_EQ(picker->tag(), 0);
    EXPECT_EQ(hl_timeText(picker->date()), "8:00 AM");
    EXPECT_EQ(picker->frame.height, 216);
    EXPECT_EQ(picker->frame.y + picker->frame.height, m_pane->frame().height);
    EXPECT_EQ(table->frame.y, 20);
    EXPECT_EQ(table->frame.height, m_pane->frame().height - 236);
    EXPECT_EQ(table->contentInsetTop, (table->frame.height - 130) / 2);
    EXPECT_FALSE(table->scrollEnabled);
    EXPECT_EQ(table->reuseIdentifier, "dateCell");

    table->userDidSelectRow(1);
    EXPECT_EQ(picker->tag(), 1);
    EXPECT_EQ(hl_timeText(picker->date()), "5:00 PM");
}

TEST_F(HLDateRangeControllerTest, AnEndNotAfterTheStartIsRefusedAndALaterOneStored)
{
    auto editor = openEditor();
    openHours(*editor);
    m_pane->tableView()->userDidSelectRow(1);
    EXPECT_TRUE(pick("7:59 AM"));
    EXPECT_TRUE(pick("8:00 AM"));
    EXPECT_EQ(storedTime("endTime"), "5:00 PM");
    EXPECT_EQ(rowText(1), "To 5:00 PM");
    // The picker keeps the refused value.
    EXPECT_EQ(hl_timeText(m_pane->datePicker()->date()), "8:00 AM");

    EXPECT_FALSE(pick("8:01 AM"));
    EXPECT_EQ(storedTime("endTime"), "8:01 AM");
    EXPECT_EQ(rowText(1), "To 8:01 AM");
    EXPECT_EQ(m_pane->tableView()->indexPathForSelectedRow(), std::optional<size_t>(1));
}

TEST_F(HLDateRangeControllerTest, AStartLaterThanTheStoredEndIsRefusedEvenAfterTheEndMoved)
{
    auto editor = openEditor();
    openHours(*editor);
    EXPECT_TRUE(pick("5:30 PM"));
    EXPECT_EQ(storedTime("startTime"), "8:00 AM");

    // The window's end moves to 6 PM: a start at 5:30 PM now lies inside it.
    m_pane->tableView()->userDidSelectRow(1);
    EXPECT_FALSE(pick("6:00 PM"));
    m_pane->tableView()->userDidSelectRow(0);
    EXPECT_FALSE(pick("5:30 PM"));
    EXPECT_EQ(storedTime("startTime"), "5:30 PM");
    EXPECT_EQ(storedTime("endTime"), "6:00 PM");

    // Back in the editor, the cell shows the new window.
    m_navigation->popViewControllerAnimated(false);
    auto cell = editor->tableViewCellForRow(static_cast<size_t>(rowIndex(*editor, "Active Hours")));
    EXPECT_EQ(cell->contentLabels()[1].text, "5:30 PM");
    EXPECT_EQ(cell->contentLabels()[3].text, "6:00 PM");
}

TEST_F(HLDateRangeControllerTest, ANewProfilesTimesStayInMemoryUntilSave)
{
    m_rootList->navigationItem().rightBarButtonItems()[0]->tap();
    auto modal = std::dynamic_pointer_cast<UINavigationController>(m_rootList->presentedViewController());
    ASSERT_TRUE(modal);
    auto editor = std::dynamic_pointer_cast<HushlineProflePreferencesController>(modal->topViewController());
    editor->controlChanged(static_cast<size_t>(rowIndex(*editor, "Title")), "Evening");
    editor->controlChanged(static_cast<size_t>(rowIndex(*editor, "All Day")), false);
    size_t rebuilds = 0;
    NSNotificationCenter::defaultCenter().addObserver(this, kHLProfileDataUpdateNotification, nullptr, [&](const auto&) { ++rebuilds; });

    openHours(*editor);
    ASSERT_TRUE(m_pane);
    m_pane->tableView()->userDidSelectRow(1);
    EXPECT_FALSE(pick("9:00 PM"));
    EXPECT_EQ(rebuilds, 1u);
    EXPECT_EQ(storedProfiles().size(), 1u);
    auto cell = editor->tableViewCellForRow(static_cast<size_t>(rowIndex(*editor, "Active Hours")));
    EXPECT_EQ(cell->contentLabels()[3].text, "9:00 PM");

    modal->popViewControllerAnimated(false);
    editor->navigationItem().rightBarButtonItem()->tap();
    auto profiles = storedProfiles();
    ASSERT_EQ(profiles.size(), 2u);
    EXPECT_EQ(profiles[1]["title"], PlistValue("Evening"));
    EXPECT_EQ(profiles[1]["endTime"], PlistValue("9:00 PM"));
    NSNotificationCenter::defaultCenter().removeObserver(this);
}
