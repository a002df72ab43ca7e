#include "platform/testsupport/DeviceFixture.h"
#include "platform/uikit/UIAlertController.h"
#include "platform/uikit/UINavigationController.h"

#include <gmock/gmock.h>

using ::testing::ElementsAre;

class UIViewControllerTest : public DeviceFixture { };

TEST_F(UIViewControllerTest, AScreenInsideAPresentedNavigationControllerDismissesIt)
{
    auto root = std::make_shared<UIViewController>();
    auto editor = std::make_shared<UIViewController>();
    auto modal = UINavigationController::initWithRootViewController(editor);
    root->presentViewController(modal, true);
    EXPECT_EQ(root->presentedViewController(), modal);
    EXPECT_EQ(modal->presentingViewController(), root);
    editor->dismissViewControllerAnimated(true);
    EXPECT_FALSE(root->presentedViewController());
    EXPECT_FALSE(modal->presentingViewController());
}

TEST_F(UIViewControllerTest, AnActionGoesAwayBeforeItsHandlerRunsAndAnAlertGoneTakesNoTaps)
{
    auto root = std::make_shared<UIViewController>();
    auto alert = UIAlertController::alertControllerWithTitle("Title", "Message", UIAlertControllerStyle::Alert);
    std::vector<std::string> seen;
    alert->addAction(UIAlertAction::actionWithTitle("OK", UIAlertActionStyle::Default, [&](const auto& action) {
        seen.push_back(action->title() + (root->presentedViewController() ? " while shown" : " after dismissal"));
    }));
    // Presenting above a controller that already presents goes on top of that one.
    auto below = std::make_shared<UIViewController>();
    root->presentViewController(below, false);
    root->presentViewController(alert, true);
    EXPECT_EQ(below->presentedViewController(), alert);
    below->dismissViewControllerAnimated(false);
    root->dismissViewControllerAnimated(false);
    root->presentViewController(alert, true);
    EXPECT_TRUE(alert->tapActionAtIndex(0));
    EXPECT_THAT(seen, ElementsAre("OK after dismissal"));
    EXPECT_FALSE(alert->tapActionAtIndex(0));
    EXPECT_FALSE(alert->tapActionAtIndex(5));
}
