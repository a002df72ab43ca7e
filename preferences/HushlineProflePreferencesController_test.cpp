#include "preferences/testsupport/PreferencesFixture.h"

#include "core/profile/HLProfile.h"
#include "platform/foundation/NSRunLoop.h"
#include "platform/preferences/PSSpecifier.h"
#include "platform/preferences/PSTableCell.h"
#include "platform/uikit/UIAlertController.h"
#include "platform/uikit/UIBarButtonItem.h"
#include "platform/uikit/UINavigationController.h"
#include "preferences/HushlinePreferencesController.h"
#include "preferences/HushlineProflePreferencesController.h"

class HushlineProflePreferencesControllerTest : public PreferencesFixture {
protected:
    void SetUp() override
    {
        PreferencesFixture::SetUp();
        writeSettings(true);
        writeProfiles({ profileEntry(1765180800, "Work", true, true), profileEntry(1765180900, "Night", true, false) });
        m_rootList = openRootList();
    }
    std::shared_ptr<HushlineProflePreferencesController> open(const std::string& title)
    {
        m_rootList->tableViewDidSelectRow(static_cast<size_t>(rowIndex(*m_rootList, title)));
        return std::dynamic_pointer_cast<HushlineProflePreferencesController>(m_navigation->topViewController());
    }
    std::shared_ptr<HushlinePreferencesController> m_rootList;
};

TEST_F(HushlineProflePreferencesControllerTest, AnExistingProfileIsStoredAfterEveryChange)
{
    auto editor = open("Night");
    ASSERT_TRUE(editor);
    EXPECT_EQ(editor->title(), "Night");
    EXPECT_FALSE(editor->navigationItem().leftBarButtonItem());
    // The share button of the maker's screens, and the version footer under the last group.
    ASSERT_TRUE(editor->navigationItem().rightBarButtonItem());
    EXPECT_TRUE(editor->navigationItem().rightBarButtonItem()->image());
    EXPECT_EQ(editor->specifierForID("CopyRightHeader")->propertyForKey("footerText"), PlistValue("HushlineMe 1.0\n© 2026 Velloq. All rights reserved."));

    long title = rowIndex(*editor, "Title");
    EXPECT_EQ(editor->tableViewCellForRow(static_cast<size_t>(title))->value(), PlistValue("Night"));
    editor->controlChanged(static_cast<size_t>(title), "Late");
    EXPECT_EQ(storedProfiles()[1]["title"], PlistValue("Late"));
    EXPECT_EQ(editor->title(), "Late");
    NSRunLoop::main().runPending();
    EXPECT_NE(rowIndex(*m_rootList, "Late"), -1);
}

TEST_F(HushlineProflePreferencesControllerTest, ANewProfileWithATakenTitleIsRefusedAndStaysOpen)
{
    m_rootList->navigationItem().rightBarButtonItems()[0]->tap();
    auto modal = std::dynamic_pointer_cast<UINavigationController>(m_rootList->presentedViewController());
    ASSERT_TRUE(modal);
    auto editor = std::dynamic_pointer_cast<HushlineProflePreferencesController>(modal->topViewController());
    editor->controlChanged(static_cast<size_t>(rowIndex(*editor, "Title")), "Work");
    editor->navigationItem().rightBarButtonItem()->tap();
    auto alert = presentedAlert(*m_rootList);
    ASSERT_TRUE(alert);
    EXPECT_EQ(alert->message(), "Unable to add profile.");
    EXPECT_TRUE(alert->tapActionAtIndex(0));
    EXPECT_EQ(m_rootList->presentedViewController(), modal);
    EXPECT_TRUE(editor->profile()->isNewProfile());
    EXPECT_EQ(storedProfiles().size(), 2u);

    editor->navigationItem().leftBarButtonItem()->tap();
    EXPECT_FALSE(m_rootList->presentedViewController());
    EXPECT_EQ(storedProfiles().size(), 2u);
}
